// The copy worker on real files and threads, its messages received by a real window: replacement,
// refusals for rights and for a file in use, cancel, faults mid-copy and the end-of-copy state.
#include <gtest/gtest.h>

#include <iostream>

#include "install/installer_app.h"
#include "install/checks.h"
#include "install/error_text.h"
#include "install/worker.h"
#include "install_harness.h"
#include "locate/paths.h"
#include "test_support.h"

namespace {

constexpr uint64_t LargePatch = 600ull << 20;

// Makes a file of the size at once (its contents read back as zeros): big copies without the writing.
void makeLargeFile(const std::wstring& path, uint64_t size) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(f, INVALID_HANDLE_VALUE);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    SetFilePointerEx(f, end, nullptr, FILE_BEGIN);
    SetEndOfFile(f);
    CloseHandle(f);
}

std::string patternOf(size_t size, char seed) {
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>(seed + i * 13 + (i >> 9));
    return s;
}

// The game folder on the fixture's 2 MiB drive T:, or empty when T: is not such a drive.
std::wstring tinyDriveGame() {
    ULARGE_INTEGER freeBytes{}, totalBytes{};
    if (!GetDiskFreeSpaceExW(L"T:\\", &freeBytes, &totalBytes, nullptr) || totalBytes.QuadPart > (4u << 20)) return {};
    return L"T:\\Game\\game";
}

bool refusesWriting(const std::wstring& file) {
    HANDLE f = CreateFileW(file.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
    return f == INVALID_HANDLE_VALUE && GetLastError() == ERROR_ACCESS_DENIED;
}

struct WorkerFixture : InstallFixture {
    void expectStrictlyIncreasing() const {
        for (size_t i = 1; i < notify.progress.size(); ++i) EXPECT_LT(notify.progress[i - 1], notify.progress[i]);
        EXPECT_LE(notify.progress.size(), 1001u);
    }
    // Runs the install and asks for a cancel at the first progress report past zero.
    void installCancellingAtFirstReport() {
        notify.onProgress = [this](int32_t p) {
            if (p > 0) requestCancel(app);
        };
        startInstall(app);
        ASSERT_EQ(app.uiState, StateInstalling);
        ASSERT_TRUE(notify.pumpUntilDone());
    }
};

}  // namespace

TEST_F(WorkerFixture, ExistingTargetIsReplacedWithProgressUpToFullAndNothingShown) {
    const std::string patch = patternOf(3 << 20, 'a');
    writeBytes(app.patchSourcePath, patch);
    writeBytes(target, "an older patch");
    DialogAnswerer answerer(IDOK);
    startInstall(app);
    ASSERT_EQ(app.uiState, StateInstalling);
    EXPECT_EQ(app.progressPermille, 0);
    ASSERT_TRUE(notify.pumpUntilDone());
    EXPECT_EQ(app.uiState, StateCompleted);
    EXPECT_EQ(app.progressPermille, 1000);
    EXPECT_TRUE(app.targetExists);
    EXPECT_FALSE(app.installJob);
    EXPECT_FALSE(app.workerThread);
    EXPECT_TRUE(readBytes(target) == patch);
    ASSERT_FALSE(notify.progress.empty());
    EXPECT_EQ(notify.progress.back(), 1000);
    expectStrictlyIncreasing();
    EXPECT_TRUE(answerer.seen().empty());
}

TEST_F(WorkerFixture, ReadOnlyTargetFailsWithAccessDeniedAndOffersTheRestart) {
    writeBytes(app.patchSourcePath, patternOf(1 << 20, 'b'));
    writeBytes(target, "the previous patch");
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
    if (!refusesWriting(target)) {
        // Wine keeps the read-only attribute in mode bits, which root bypasses; the fixture's target is
        // read-only and immutable as well.
        SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        app.candidates[0].path = buildFolder() + L"\\install_fixtures\\locked\\game";
        target = app.candidates[0].path + L"\\patch.rpa";
        ASSERT_TRUE(GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_READONLY);
        if (!refusesWriting(target)) GTEST_SKIP() << "no target here refuses writing";
    }
    DialogAnswerer answerer(IDNO);
    startInstall(app);
    ASSERT_TRUE(notify.pumpUntilDone());
    EXPECT_EQ(app.uiState, StateFailed);
    EXPECT_EQ(app.statusText, std::wstring(text(English, CopyFailed)) + L": " + systemErrorText(ERROR_ACCESS_DENIED));
    const auto seen = answerer.seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, text(English, NotWritableRestartAdmin));
    EXPECT_EQ(seen[0].caption, text(English, WindowTitle));
    EXPECT_TRUE(seen[0].hasYes);
    EXPECT_EQ(readBytes(target), "the previous patch");  // the copy never opened it, so it is left alone
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(WorkerFixture, DiskFullMidCopyFailsWithItsTextAndLeavesNoPartialTarget) {
    const std::wstring tiny = tinyDriveGame();
    if (tiny.empty()) GTEST_SKIP() << "T: is not the fixture's 2 MiB drive";
    app.candidates[0].path = tiny;
    target = tiny + L"\\patch.rpa";
    const std::string patch = patternOf(3 << 20, 'f');
    writeBytes(app.patchSourcePath, patch);
    DialogAnswerer answerer(IDOK);
    // Past the space check, as when another program fills the drive during the copy.
    ASSERT_TRUE(startWorker(app, app.patchSourcePath, target));
    app.uiState = StateInstalling;
    ASSERT_TRUE(notify.pumpUntilDone());
    EXPECT_EQ(app.uiState, StateFailed);
    const std::wstring expected = std::wstring(text(English, CopyFailed)) + L": " + systemErrorText(ERROR_DISK_FULL);
    EXPECT_EQ(app.statusText, expected);
    const auto seen = answerer.seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, expected);
    EXPECT_FALSE(isExistingFile(target));
    EXPECT_TRUE(readBytes(app.patchSourcePath) == patch);
    ULARGE_INTEGER freeBytes{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(L"T:\\", &freeBytes, nullptr, nullptr));
    EXPECT_GT(freeBytes.QuadPart, 1u << 20);  // the partial copy's blocks are given back
}

TEST_F(WorkerFixture, TargetHeldOpenWithoutSharingGivesPatchInUseWarning) {
    writeBytes(app.patchSourcePath, patternOf(1 << 20, 'c'));
    writeBytes(target, "in use by the game");
    HANDLE held = CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    DialogAnswerer answerer(IDOK);
    startInstall(app);
    ASSERT_TRUE(notify.pumpUntilDone());
    CloseHandle(held);
    EXPECT_EQ(app.uiState, StateFailed);
    const std::wstring expected =
        std::wstring(text(English, PatchInUse)) + L" " + systemErrorText(ERROR_SHARING_VIOLATION);
    EXPECT_EQ(app.statusText, expected);
    const auto seen = answerer.seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, expected);
    EXPECT_FALSE(seen[0].hasYes);
    EXPECT_EQ(readBytes(target), "in use by the game");
}

TEST_F(WorkerFixture, CancelMidCopyEndsCancelledWithoutPartialTarget) {
    makeLargeFile(app.patchSourcePath, LargePatch);
    installCancellingAtFirstReport();
    EXPECT_EQ(app.uiState, StateCancelled);
    ASSERT_FALSE(notify.progress.empty());
    EXPECT_EQ(app.progressPermille, notify.progress.back());  // the bar stays where it stopped
    EXPECT_LT(app.progressPermille, 1000);
    EXPECT_FALSE(isExistingFile(target));
    EXPECT_EQ(fileSizeOf(app.patchSourcePath), LargePatch);
    expectStrictlyIncreasing();
}

TEST_F(WorkerFixture, SecondEndMessageIsIgnored) {
    writeBytes(app.patchSourcePath, patternOf(4096, 'd'));
    startInstall(app);
    ASSERT_TRUE(notify.pumpUntilDone());
    ASSERT_EQ(app.uiState, StateCompleted);
    app.statusText = L"kept";
    DialogAnswerer answerer(IDOK);
    PostMessageW(notify.window, WM_INSTALL_DONE, 0, 0);
    ASSERT_TRUE(notify.pumpUntilDone());
    EXPECT_EQ(app.uiState, StateCompleted);
    EXPECT_EQ(app.statusText, L"kept");
    EXPECT_TRUE(answerer.seen().empty());
}

// The selection moves to another folder while the copy runs (F5 or Ctrl+B during an install): the
// end of the copy must not claim a patch in the folder selected now.
TEST_F(WorkerFixture, EndOfCopyJudgesTheFolderSelectedNow) {
    makeLargeFile(app.patchSourcePath, 64ull << 20);
    const std::wstring other = makeGame(temp / L"Other Root");
    app.candidates.push_back({other, false, 800, 0});
    notify.onProgress = [this](int32_t) { app.selectedCandidate = 1; };
    startInstall(app);
    ASSERT_TRUE(notify.pumpUntilDone());
    EXPECT_EQ(app.uiState, StateCompleted);
    EXPECT_TRUE(isExistingFile(target));  // the job kept its own destination
    EXPECT_FALSE(app.targetExists);       // and nothing lies in the one selected now
    writeBytes(other + L"\\patch.rpa", "x");
    app.selectedCandidate = 0;
    app.uiState = StateReady;
    startInstall(app);
    notify.onProgress = nullptr;
    ASSERT_TRUE(notify.pumpUntilDone());
    EXPECT_TRUE(app.targetExists);
}

TEST_F(WorkerFixture, StopWorkerDuringCopyJoinsAndLeavesNoPartialTarget) {
    makeLargeFile(app.patchSourcePath, LargePatch);
    bool stopped = false;
    notify.onProgress = [&](int32_t p) {
        if (p > 0 && !stopped) {
            stopped = true;
            stopWorker(app);
        }
    };
    startInstall(app);
    notify.pumpUntilDone(5000);  // the end message finds no job once the worker was stopped
    ASSERT_TRUE(stopped);
    EXPECT_FALSE(app.installJob);
    EXPECT_FALSE(app.workerThread);
    EXPECT_FALSE(isExistingFile(target));
}

TEST_F(WorkerFixture, DestinationFolderMovedAwayMidCopyLeavesNoPartialTargetAnywhere) {
    makeLargeFile(app.patchSourcePath, LargePatch);
    const std::wstring moved = temp / L"moved game";
    BOOL renamed = FALSE;
    DialogAnswerer answerer(IDOK);
    notify.onProgress = [&](int32_t p) {
        if (p > 0 && !renamed) renamed = MoveFileW(gameFolder.c_str(), moved.c_str());
    };
    startInstall(app);
    ASSERT_TRUE(notify.pumpUntilDone());
    EXPECT_NE(app.uiState, StateInstalling);
    EXPECT_FALSE(isExistingFile(target));
    if (renamed && app.uiState != StateCompleted) {
        // Wine lets the folder of an open file be renamed (Windows refuses) and deletes a file marked for
        // deletion under the name it was opened by; what stays behind is the whole copy, never a part.
        const uint64_t left = fileSizeOf(moved + L"\\patch.rpa");
        EXPECT_TRUE(left == 0 || left == LargePatch) << left;
    }
    EXPECT_EQ(fileSizeOf(app.patchSourcePath), LargePatch);
    std::wcout << L"[ info ] destination moved: " << renamed << L", outcome " << app.uiState << L", status "
               << app.statusText << std::endl;
}

TEST_F(WorkerFixture, SourceFolderMovedAwayMidCopyEndsWithoutPartialTarget) {
    makeLargeFile(app.patchSourcePath, LargePatch);
    const std::wstring moved = temp / L"moved installer";
    BOOL renamed = FALSE;
    DialogAnswerer answerer(IDOK);
    notify.onProgress = [&](int32_t p) {
        if (p > 0 && !renamed) renamed = MoveFileW(app.installerDir.c_str(), moved.c_str());
    };
    startInstall(app);
    ASSERT_TRUE(notify.pumpUntilDone());
    EXPECT_NE(app.uiState, StateInstalling);
    if (app.uiState == StateCompleted) {
        EXPECT_EQ(fileSizeOf(target), LargePatch);
    } else {
        EXPECT_FALSE(isExistingFile(target));
    }
    const std::wstring source = renamed ? moved + L"\\patch.rpa" : app.patchSourcePath;
    EXPECT_EQ(fileSizeOf(source), LargePatch);
    std::wcout << L"[ info ] source moved: " << renamed << L", outcome " << app.uiState << L", status "
               << app.statusText << std::endl;
}
