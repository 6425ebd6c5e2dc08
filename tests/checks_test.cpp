// The patch source and target checks on real files: sizes, file identity through other spellings and
// hard links, the target state, the space rule, and each way the main action can end before a copy.
#include <gtest/gtest.h>

#include "install/installer_app.h"
#include "install/checks.h"
#include "install_harness.h"
#include "locate/paths.h"
#include "test_support.h"

namespace {

constexpr uint64_t MiB = 1ull << 20;

struct ChecksFixture : InstallFixture {
    bool repaintPending() const { return GetUpdateRect(notify.window, nullptr, FALSE) != FALSE; }
    void settle() { ValidateRect(notify.window, nullptr); }
};

}  // namespace

TEST_F(ChecksFixture, FileSizeOfReadsTheSizeAndGivesZeroWithoutAFile) {
    writeFileOfSize(temp / L"five", 5 * MiB + 3);
    EXPECT_EQ(fileSizeOf(temp / L"five"), 5 * MiB + 3);
    EXPECT_EQ(fileSizeOf(temp / L"missing"), 0u);
    HANDLE f = CreateFileW((temp / L"big").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = (5ll << 30) + 7;  // past 32 bits: the high part counts
    SetFilePointerEx(f, end, nullptr, FILE_BEGIN);
    SetEndOfFile(f);
    CloseHandle(f);
    EXPECT_EQ(fileSizeOf(temp / L"big"), (5ull << 30) + 7);
}

TEST_F(ChecksFixture, SameFileThroughOtherSpellingsAndAHardLink) {
    writeBytes(temp / L"a.rpa", "a");
    writeBytes(temp / L"b.rpa", "a");
    const std::wstring a = temp / L"a.rpa";
    std::wstring upper = a;
    for (wchar_t& c : upper) c = static_cast<wchar_t>(towupper(c));
    std::wstring slashes = a;
    for (wchar_t& c : slashes)
        if (c == L'\\') c = L'/';
    EXPECT_TRUE(isSameFile(a, upper));
    EXPECT_TRUE(isSameFile(a, slashes));
    EXPECT_TRUE(isSameFile(a, L"\"" + a + L"\""));
    EXPECT_TRUE(isSameFile(a, temp / L"installer\\..\\a.rpa"));
    ASSERT_TRUE(CreateHardLinkW((temp / L"link.rpa").c_str(), a.c_str(), nullptr));
    EXPECT_TRUE(isSameFile(a, temp / L"link.rpa"));
    EXPECT_FALSE(isSameFile(a, temp / L"b.rpa"));  // same contents, another file
    EXPECT_FALSE(isSameFile(a, temp / L"missing.rpa"));
    EXPECT_FALSE(isSameFile(temp / L"missing.rpa", a));
}

TEST(SpaceRule, MarginIsThePatchSizeUpToEightMiB) {
    EXPECT_TRUE(hasRoomForPatch(10 * MiB, 0, 5 * MiB));
    EXPECT_FALSE(hasRoomForPatch(10 * MiB - 1, 0, 5 * MiB));
    EXPECT_TRUE(hasRoomForPatch(108 * MiB, 0, 100 * MiB));
    EXPECT_FALSE(hasRoomForPatch(108 * MiB - 1, 0, 100 * MiB));
    EXPECT_TRUE(hasRoomForPatch(8 * MiB, 100 * MiB, 100 * MiB));  // the replaced target's bytes count
    EXPECT_FALSE(hasRoomForPatch(8 * MiB - 1, 100 * MiB, 100 * MiB));
    EXPECT_TRUE(hasRoomForPatch(~0ull, 2, 100 * MiB));  // the sum overflows: passes
    EXPECT_FALSE(hasRoomForPatch(~0ull - 5, 0, ~0ull - 10));
}

TEST_F(ChecksFixture, TargetStateFollowsTheSelection) {
    app.patchFound = true;
    refreshTargetState(app);
    EXPECT_FALSE(app.targetExists);
    writeBytes(target, "old");
    refreshTargetState(app);
    EXPECT_TRUE(app.targetExists);
    EXPECT_FALSE(app.targetIsSource);

    // The installer lies in the destination folder itself: source and target are one file.
    app.patchSourcePath = target;
    refreshTargetState(app);
    EXPECT_TRUE(app.targetIsSource);
    app.patchFound = false;  // only a found patch can be the target
    refreshTargetState(app);
    EXPECT_FALSE(app.targetIsSource);

    DeleteFileW(target.c_str());
    CreateDirectoryW(target.c_str(), nullptr);  // a folder of that name is no target
    refreshTargetState(app);
    EXPECT_FALSE(app.targetExists);

    app.selectedCandidate = 1;  // no valid selection
    app.targetExists = true;
    refreshTargetState(app);
    EXPECT_FALSE(app.targetExists);
    EXPECT_EQ(targetPathOf(app), L"");
}

TEST_F(ChecksFixture, NothingToInstallOnlyRepaints) {
    DialogAnswerer answerer(IDOK);
    settle();
    startInstall(app);  // no patch at all
    EXPECT_EQ(app.uiState, StateReady);
    EXPECT_TRUE(repaintPending());
    CreateDirectoryW(app.patchSourcePath.c_str(), nullptr);  // a folder named patch.rpa is not found
    settle();
    startInstall(app);
    EXPECT_FALSE(app.patchFound);
    EXPECT_TRUE(repaintPending());
    RemoveDirectoryW(app.patchSourcePath.c_str());
    writeBytes(app.patchSourcePath, "p");
    app.candidates.clear();
    settle();
    startInstall(app);
    EXPECT_TRUE(app.patchFound);
    EXPECT_EQ(app.uiState, StateReady);
    EXPECT_TRUE(repaintPending());
    EXPECT_FALSE(app.installJob);
    EXPECT_TRUE(answerer.seen().empty());
}

TEST_F(ChecksFixture, EmptyPatchWarnsOnEveryAttemptAndChangesNothing) {
    writeBytes(app.patchSourcePath, "");
    app.uiState = StateFailed;
    app.statusText = L"before";
    DialogAnswerer answerer(IDOK);
    startInstall(app);
    startInstall(app);
    EXPECT_EQ(app.uiState, StateFailed);
    EXPECT_EQ(app.statusText, L"before");
    EXPECT_FALSE(app.installJob);
    const auto seen = answerer.seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].text, text(English, PatchEmpty));
    EXPECT_EQ(seen[0].caption, text(English, WindowTitle));
}

TEST_F(ChecksFixture, PatchAlreadyInPlaceCompletesWithoutCopying) {
    writeBytes(target, "the patch");
    app.patchSourcePath = target;
    startInstall(app);
    EXPECT_EQ(app.uiState, StateCompleted);
    EXPECT_EQ(app.progressPermille, 1000);
    EXPECT_TRUE(app.targetIsSource);
    EXPECT_FALSE(app.installJob);
    EXPECT_EQ(readBytes(target), "the patch");
}

TEST_F(ChecksFixture, InstallingIgnoresTheMainAction) {
    writeBytes(app.patchSourcePath, "p");
    app.uiState = StateInstalling;
    app.progressPermille = 420;
    startInstall(app);
    EXPECT_EQ(app.progressPermille, 420);
    EXPECT_FALSE(app.installJob);
    EXPECT_FALSE(app.patchFound);  // not even the source is looked at again
}

TEST_F(ChecksFixture, NotEnoughSpaceOnASmallDriveIsRefused) {
    ULARGE_INTEGER freeBytes{}, totalBytes{};
    if (!GetDiskFreeSpaceExW(L"T:\\", &freeBytes, &totalBytes, nullptr) || totalBytes.QuadPart > 4 * MiB)
        GTEST_SKIP() << "T: is not the fixture's 2 MiB drive";
    app.candidates[0].path = L"T:\\Game\\game";
    writeFileOfSize(app.patchSourcePath, freeBytes.QuadPart / 2 + 1);  // needs twice its size: just too much
    DialogAnswerer answerer(IDOK);
    startInstall(app);
    EXPECT_EQ(app.uiState, StateFailed);
    EXPECT_EQ(app.statusText, text(English, NotEnoughSpace));
    EXPECT_FALSE(app.installJob);
    EXPECT_FALSE(isExistingFile(L"T:\\Game\\game\\patch.rpa"));
    const auto seen = answerer.seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, text(English, NotEnoughSpace));

    writeFileOfSize(app.patchSourcePath, freeBytes.QuadPart / 2 - 4096);  // fits with its margin
    startInstall(app);
    EXPECT_EQ(app.uiState, StateInstalling);
    ASSERT_TRUE(notify.pumpUntilDone());
    EXPECT_EQ(app.uiState, StateCompleted);
    DeleteFileW(L"T:\\Game\\game\\patch.rpa");
}
