// Patch installation on real files, drives, threads, message boxes and processes: the checks before a
// copy, the copy that keeps the old patch until the new one is complete, its progress and outcome, the
// restart as administrator and the game's start, and the locations the window acts on.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <thread>

#include "app/startup.h"
#include "install/checks.h"
#include "install/error_text.h"
#include "install/installer_app.h"
#include "install/launch.h"
#include "install/locations.h"
#include "locate/paths.h"
#include "support/support.h"

namespace {

constexpr uint64_t MiB = 1ull << 20;
// A copy that no machine ends within the time a test takes to react to its first message, and one that
// takes a good fraction of a second but does end.
constexpr uint64_t Endless = 16ull << 30, Long = 1ull << 30;
const std::string Old = "the previous patch";
using Names = std::vector<std::wstring>;

std::wstring copyFailed(DWORD code) { return text(English, CopyFailed) + (L": " + systemErrorText(code)); }
std::wstring inUse(DWORD code) { return text(English, PatchInUse) + (L" " + systemErrorText(code)); }

uint64_t freeBytesOf(const std::wstring& root) {
    ULARGE_INTEGER free{};
    GetDiskFreeSpaceExW(root.c_str(), &free, nullptr, nullptr);
    return free.QuadPart;
}

bool isReadOnly(const std::wstring& path) { return GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_READONLY; }

// What the stand-in game wrote when it was started: its folder, or its command line. It holds the file
// to itself until the text is whole.
std::wstring startedMarker(const std::wstring& path) {
    std::string bytes;
    waitUntil([&] { return !(bytes = readBytes(path)).empty(); });
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

// Closes the stand-in game once its window shows.
void closeStandIn() {
    HWND w = nullptr;
    EXPECT_TRUE(waitUntil([&] { return (w = FindWindowW(L"TavinMereStandIn", nullptr)) != nullptr; }));
    PostMessageW(w, WM_CLOSE, 0, 0);
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(w); }));
}

// The one message box shown: its text (unless none is given), its icon and whether it offers Yes.
void expectOneBox(DialogAnswerer& answerer, const std::wstring& text, UINT icon, bool yes = false) {
    const auto seen = answerer.seen();
    ASSERT_EQ(seen.size(), 1u);
    if (!text.empty()) EXPECT_EQ(seen[0].text, text);
    EXPECT_EQ(seen[0].icon, icon);
    EXPECT_EQ(seen[0].hasYes, yes);
}

void copyStandIn(const std::wstring& to) {
    ASSERT_TRUE(CopyFileW((buildFolder() + L"\\standin\\Tavinmere.exe").c_str(), to.c_str(), FALSE));
}

struct Install : ::testing::Test {
    TempDir temp;
    InstallerApp app;
    NotifyWindow notify{app};
    std::wstring folder, target;
    // the game holding the old patch open
    OwnedFile held;

    void SetUp() override {
        app.language = English;
        app.installerDir = temp / L"installer";
        makeDirs(app.installerDir);
        app.installerPath = app.installerDir + L"\\TavinMere-Patch-Installer.exe";
        app.patchSourcePath = app.installerDir + L"\\patch.rpa";
        useFolder(makeGame(temp / L"Game Root"));
    }
    void useFolder(const std::wstring& f) {
        folder = f;
        target = f + L"\\patch.rpa";
        app.candidates = {{f, false, 900, 0}};
        app.selectedCandidate = 0;
    }
    void install() {
        startInstall(app);
        ASSERT_EQ(app.uiState, StateInstalling);
        ASSERT_TRUE(notify.pumpUntilDone());
    }
};

}  // namespace

TEST(Checks, FileSizeIdentityAndRoom) {
    TempDir dir;
    // past 32 bits: the high part counts
    writeSparseFile(dir / L"big", (5ull << 30) + 7);
    EXPECT_EQ(fileSizeOf(dir / L"big"), (5ull << 30) + 7);
    const std::wstring a = dir / L"a.rpa";
    writeBytes(a, "a");
    writeBytes(dir / L"b.rpa", "a");
    ASSERT_TRUE(CreateHardLinkW((dir / L"link.rpa").c_str(), a.c_str(), nullptr));
    std::wstring upper = a;
    CharUpperW(upper.data());
    for (const std::wstring& same : {upper, L"\"" + a + L"\"", dir / L"x\\..\\a.rpa", dir / L"link.rpa"})
        EXPECT_TRUE(isSameFile(a, same)) << narrow(same);
    // The same contents in another file, and a missing file on either side.
    EXPECT_FALSE(isSameFile(a, dir / L"b.rpa"));
    EXPECT_FALSE(isSameFile(a, dir / L"none.rpa"));
    EXPECT_FALSE(isSameFile(dir / L"none.rpa", a));
    // The patch plus a margin of its own size, at most 8 MiB, free beside the old one.
    const struct {
        uint64_t free, patch;
        bool room;
    } rooms[] = {{10 * MiB, 5 * MiB, true},
                 {10 * MiB - 1, 5 * MiB, false},
                 {108 * MiB, 100 * MiB, true},
                 {108 * MiB - 1, 100 * MiB, false},
                 {0, 0, true},
                 {~0ull, ~0ull - 10, false}};
    for (const auto& r : rooms) EXPECT_EQ(hasRoomForPatch(r.free, r.patch), r.room) << r.free << " " << r.patch;
    // FAT and FAT32 end a byte short of 4 GiB; other file systems hold any patch.
    const std::pair<const wchar_t*, bool> systems[] = {
        {L"FAT", false}, {L"fat32", false}, {L"exFAT", true}, {L"NTFS", true}, {L"", true}};
    for (const auto& [system, holds] : systems) EXPECT_EQ(fileSystemHolds(system, 4ull << 30), holds) << narrow(system);
    EXPECT_TRUE(fileSystemHolds(L"FAT32", (4ull << 30) - 1));
}

TEST_F(Install, MainActionsThatEndBeforeACopy) {
    DialogAnswerer answerer(IDOK);
    settle(notify.window);
    // no patch at all: the window shows it
    startInstall(app);
    EXPECT_TRUE(repaintPending(notify.window));
    writeBytes(app.patchSourcePath, "");
    app.uiState = StateFailed;
    // the empty patch is refused with a warning, the state kept
    startInstall(app);
    EXPECT_EQ(app.uiState, StateFailed);
    writeBytes(app.patchSourcePath, "p");
    // no valid selection
    app.selectedCandidate = 1;
    startInstall(app);
    EXPECT_TRUE(app.patchFound);
    EXPECT_EQ(app.uiState, StateFailed);
    app.uiState = StateInstalling;
    app.progressPermille = 420;
    // a second press while one runs starts nothing
    startInstall(app);
    EXPECT_EQ(app.progressPermille, 420);
    EXPECT_FALSE(app.installJob);
    expectOneBox(answerer, text(English, PatchEmpty), MB_ICONWARNING);
    EXPECT_EQ(answerer.seen()[0].caption, text(English, WindowTitle));
    // The installer in the destination folder itself: nothing to copy.
    app.uiState = StateReady;
    app.selectedCandidate = 0;
    writeBytes(target, "the patch");
    app.patchSourcePath = target;
    startInstall(app);
    EXPECT_EQ(app.uiState, StateCompleted);
    EXPECT_EQ(app.progressPermille, FullPermille);
    EXPECT_TRUE(app.targetIsSource);
    EXPECT_EQ(app.jobLocation.path, folder);
    EXPECT_EQ(readBytes(target), "the patch");
}

// The new patch replaces the old one only once it is complete: every other end leaves the old one as it
// was, its read-only attribute included. Each event must come while the copy runs.
TEST_F(Install, OldPatchSurvivesEveryEndButSuccess) {
    const auto cancel = [](Install& t) { requestCancel(t.app); };
    // A game opening the old patch while the copy runs: it shares reading only.
    const auto gameOpens = [](Install& t) {
        t.held.reset(CreateFileW(t.target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    };
    const struct {
        uint64_t size;
        // the event comes with the first report at or past this value; -1: before the start
        int32_t at;
        void (*event)(Install&);
        // with the full bar
        void (*atFull)(Install&);
        InstallState state;
        // the failure shown, 0 for none
        DWORD code;
        UINT icon;
    } cases[] = {
        // success, over the partial file of a killed run
        {8 * MiB, 1001, nullptr, nullptr, StateCompleted, 0, 0},
        // cancel mid-copy
        {Endless, 1, cancel, nullptr, StateCancelled, 0, 0},
        // the window closed: as the teardown does after a confirmed close, the worker is stopped and joined
        {Endless, 1, [](Install& t) { stopWorker(t.app); }, nullptr, StateInstalling, 0, 0},
        // source replaced by a file of another size
        {Long, 0,
         [](Install& t) {
             MoveFileW(t.app.patchSourcePath.c_str(), (t.app.patchSourcePath + L".old").c_str());
             writeBytes(t.app.patchSourcePath, "short");
         },
         nullptr, StateFailed, ERROR_WRITE_FAULT, MB_ICONERROR},
        // The game holds the old patch: refused before a byte is copied, or, opened after the copy began,
        // at the swap, which is tried again for a while; either way a warning without the administrator offer.
        {8 * MiB, -1, gameOpens, nullptr, StateFailed, ERROR_SHARING_VIOLATION, MB_ICONWARNING},
        // game starts mid-copy
        {Long, 0, gameOpens, nullptr, StateFailed, ERROR_SHARING_VIOLATION, MB_ICONWARNING},
        // The swap waits for the game while the cancel comes with the full bar: the cancel holds.
        {Long, 0, gameOpens, cancel, StateCancelled, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        writeSparseFile(app.patchSourcePath, c.size);
        SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        writeBytes(target, Old);
        SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
        if (!c.event) writeBytes(target + L".partial", "what a killed run left");
        app.uiState = StateReady;
        bool fired = false, full = false;
        notify.onProgress = [&](int32_t p) {
            if (c.atFull && p == FullPermille && !full) full = (c.atFull(*this), true);
            if (p < c.at || fired) return;
            if (readBytes(target) != Old) ADD_FAILURE() << "the copy ended before the event";
            fired = true;
            c.event(*this);
        };
        notify.progress.clear();
        if (c.at < 0) c.event(*this);
        DialogAnswerer answerer(IDOK);
        // past the space check, which refuses such a patch on a small disk
        if (c.size > 16 * MiB) {
            app.jobLocation = app.candidates[0];
            ASSERT_TRUE(startWorker(app, app.patchSourcePath, target));
            app.uiState = StateInstalling;
        } else {
            startInstall(app);
        }
        ASSERT_TRUE(notify.pumpUntilDone());
        EXPECT_EQ(app.uiState, c.state);
        EXPECT_EQ(fired, c.event && c.at >= 0);
        EXPECT_EQ(full, c.atFull != nullptr);
        EXPECT_EQ(notify.progress.empty(), c.at < 0);
        if (c.code) {
            EXPECT_EQ(app.statusText, c.code == ERROR_SHARING_VIOLATION ? inUse(c.code) : copyFailed(c.code));
            expectOneBox(answerer, L"", c.icon);
        } else {
            EXPECT_TRUE(answerer.seen().empty());
        }
        // The bar stays where the copy stopped.
        EXPECT_TRUE(c.state != StateCancelled || app.progressPermille == notify.progress.back());
        held.reset();
        EXPECT_EQ(isReadOnly(target), c.event != nullptr);
        EXPECT_EQ(readBytes(target), c.event ? Old : std::string(8 * MiB, '\0'));
        EXPECT_EQ(folderEntries(folder), (Names{L"data.rpa", L"patch.rpa"}));
        // the success: every value up to the full bar, each once
        if (!c.event) {
            EXPECT_EQ(notify.progress.front(), 0);
            EXPECT_EQ(notify.progress.back(), FullPermille);
            EXPECT_TRUE(std::is_sorted(notify.progress.begin(), notify.progress.end(), std::less_equal<>()));
        }
    }
}

// A copy stuck in a read that never returns (a share that went away, a pulled stick): closing the window
// still ends, and the thread left behind removes its partial file once it can.
TEST_F(Install, ClosingDoesNotWaitForAStuckCopy) {
    const std::wstring pipe = buildFolder() + L"\\fixtures\\stuck.fifo";
    // The pipe's reader and writer, held open: the copy's own read then waits for bytes that never come.
    OwnedFile reader(CreateFileW(pipe.c_str(), GENERIC_READ, 7, nullptr, OPEN_EXISTING, 0, nullptr));
    OwnedFile writer(CreateFileW(pipe.c_str(), GENERIC_WRITE, 7, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(writer) << "the fixtures' named pipe";
    ASSERT_TRUE(startWorker(app, pipe, target));
    HANDLE thread = nullptr;
    DuplicateHandle(GetCurrentProcess(), app.workerThread, GetCurrentProcess(), &thread, SYNCHRONIZE, FALSE, 0);
    const OwnedHandle worker(thread);
    ASSERT_TRUE(waitUntil([&] { return isExistingFile(target + L".partial"); })) << "the copy never began";
    std::atomic<bool> stopped{false};
    std::thread closing([&] { stopWorker(app), stopped = true; });
    ASSERT_TRUE(waitUntil([&] { return stopped.load(); })) << "closing waits for the stuck copy";
    closing.join();
    // Under Wine a read of a pipe cannot be cancelled (Windows cancels it): the thread may still be there.
    // the end of the pipe, at last
    writer.reset();
    EXPECT_EQ(WaitForSingleObject(worker.get(), 30000), WAIT_OBJECT_0);
    EXPECT_EQ(folderEntries(folder), Names{L"data.rpa"});
}

// The copy ends while the folder picker is open, and a folder is picked then: the outcome stays on show
// with the folder that got the patch, and the picked one joins the locations.
TEST_F(Install, AnOutcomeOutlastsThePickerOpenWhenItCame) {
    const std::wstring other = normalizePath(makeGame(temp / L"Other Root"));
    writeSparseFile(app.patchSourcePath, 8 * MiB);
    DialogAnswerer answerer(IDOK, other, notify.finished);
    notify.onProgress = [&](int32_t) {
        notify.onProgress = nullptr;
        // Ctrl+B during the copy
        chooseGameFolder(app);
    };
    install();
    EXPECT_EQ(app.uiState, StateCompleted);
    EXPECT_EQ(app.progressPermille, FullPermille);
    EXPECT_TRUE(equalsIgnoreCase(selectedGameCandidate(app)->path, folder));
    EXPECT_LT(indexOfPath(app.candidates, other), app.candidates.size());
    EXPECT_EQ(fileSizeOf(target), 8 * MiB);
}

// The fixtures' 2 MiB drive T:, a FAT32 USB stick as Windows programs see it: the FAT32 limit, then the
// space (the old patch's bytes do not count as free), then a drive that fills during the copy, and the
// room of a partial file an earlier run left, which the copy replaces.
TEST_F(Install, SmallFat32DriveRefusalsAndDiskFullMidCopy) {
    ASSERT_LT(freeBytesOf(L"T:\\"), 3 * MiB) << "T: is not the fixtures' small drive";
    useFolder(L"T:\\Game\\game");
    const std::string old(freeBytesOf(L"T:\\") / 4, 'o');
    writeBytes(target, old);
    const uint64_t room = freeBytesOf(L"T:\\");
    const std::pair<uint64_t, TextId> refusals[] = {
        {4ull << 30, PatchTooLargeForFat}, {(4ull << 30) - 1, NotEnoughSpace}, {room / 2 + 1, NotEnoughSpace}};
    for (auto [patch, refusal] : refusals) {
        SCOPED_TRACE(patch);
        writeSparseFile(app.patchSourcePath, patch);
        DialogAnswerer answerer(IDOK);
        startInstall(app);
        EXPECT_EQ(app.uiState, StateFailed);
        EXPECT_FALSE(app.installJob);
        EXPECT_EQ(app.statusText, text(English, refusal));
        expectOneBox(answerer, text(English, refusal), refusal == NotEnoughSpace ? MB_ICONERROR : MB_ICONWARNING);
    }
    writeSparseFile(app.patchSourcePath, room + MiB);
    ASSERT_TRUE(startWorker(app, app.patchSourcePath, target));
    app.uiState = StateInstalling;
    DialogAnswerer answerer(IDOK);
    ASSERT_TRUE(notify.pumpUntilDone());
    EXPECT_EQ(app.statusText, copyFailed(ERROR_DISK_FULL));
    EXPECT_EQ(freeBytesOf(L"T:\\"), room);
    EXPECT_EQ(readBytes(target), old);
    writeBytes(target + L".partial", std::string(room / 2, 'p'));
    writeSparseFile(app.patchSourcePath, room / 2 - 4096);
    install();
    EXPECT_EQ(app.uiState, StateCompleted);
    EXPECT_EQ(fileSizeOf(target), room / 2 - 4096);
    EXPECT_EQ(folderEntries(folder), Names{L"patch.rpa"});
}

// At most one message per value, and within the interval of a screen refresh only the full bar.
TEST_F(Install, ProgressIsOneMessagePerPermilleRoundedDownAndClamped) {
    InstallJob job;
    job.notifyWindow = notify.window;
    const struct {
        int64_t total, done;
        // -1: nothing posted
        int32_t posted;
        // before the next report
        DWORD pumpMs;
    } reports[] = {{0, 0, 0, 20},
                   {1000, 0, -1, 20},
                   {1000, 1, 1, 20},
                   {3, 1, 333, 20},
                   {3, 1, -1, 20},
                   {3, 2, 666, 0},
                   // too soon after the last one
                   {8, 7, -1, 20},
                   {1 << 20, 1048575, 999, 0},
                   {1, 2, 1000, 20},
                   {1ll << 40, 1ll << 40, -1, 0}};
    for (const auto& r : reports) {
        LARGE_INTEGER total, done, zero{};
        total.QuadPart = r.total;
        done.QuadPart = r.done;
        // each value posted and handed to the window to draw
        std::vector<int32_t> drawn;
        notify.onProgress = [&](int32_t p) { drawn.insert(drawn.end(), repaintPending(notify.window) ? 1 : 0, p); };
        EXPECT_EQ(copyProgress(total, done, zero, zero, 1, 0, nullptr, nullptr, &job), DWORD(PROGRESS_CONTINUE));
        pumpMessages(r.pumpMs);
        EXPECT_EQ(drawn, r.posted < 0 ? std::vector<int32_t>{} : std::vector<int32_t>{r.posted})
            << r.total << " " << r.done;
    }
    job.cancelRequested = 1;
    LARGE_INTEGER one;
    one.QuadPart = 1;
    EXPECT_EQ(copyProgress(one, one, one, one, 1, 0, nullptr, nullptr, &job), DWORD(PROGRESS_CANCEL));
}

// Read back as the restarted installer reads its command line, a quote or backslash in the folder never
// ends it early or adds an option.
TEST(Restart, EveryFolderComesBackAsOneArgument) {
    for (int32_t language : {SimplifiedChinese, TraditionalChinese, English}) {
        for (const std::wstring folder :
             {L"D:\\游戏\\Steam Library\\game", L"C:\\Games\\", L"C:\\Games\\\\",
              L"C:\\x\" --lang zh-CN --dest \"C:\\Windows", L"C:\\a\\\"b\\\\\"c", L"\\\\server\\share\\game"}) {
            const CommandLineOptions o = parseCommandLine((L"x.exe " + restartParameters(language, folder)).c_str());
            EXPECT_EQ(o.destOption, folder);
            EXPECT_EQ(o.language, language);
        }
    }
}

// Yes to an elevation the shell refuses (it cannot start the program), or No: this installer stays.
TEST_F(Install, RestartAnsweredNoOrRefusedLeavesThisOneRunning) {
    copyStandIn(app.installerDir + L"\\Installer.exe");
    for (int answer : {IDYES, IDNO}) {
        app.installerPath = app.installerDir + (answer == IDYES ? L"\\Missing.exe" : L"\\Installer.exe");
        DialogAnswerer answerer(answer);
        restartElevated(app, folder);
        EXPECT_EQ(answerer.seen().size(), 1u);
        // a restart that started would have closed it
        EXPECT_TRUE(IsWindow(notify.window));
    }
}

TEST_F(Install, AGameThatCannotStartIsExplained) {
    const std::wstring exe = temp / L"Game Root\\Tavinmere.exe";
    app.jobLocation = app.candidates[0];
    DeleteFileW(exe.c_str());
    // a folder of that name
    makeDirs(exe);
    for (auto [message, icon] : {std::pair{GameExeNotFound, MB_ICONWARNING}, {LaunchFailed, MB_ICONERROR}}) {
        DialogAnswerer answerer(IDOK);
        launchGame(app);
        expectOneBox(answerer, text(English, message) + (L"\n\n" + exe), icon);
        EXPECT_FALSE(notify.closeRequested);
        RemoveDirectoryW(exe.c_str());
        writeBytes(exe, "MZ this is not a program");
    }
}

// Another folder picked while the copy runs: the window still acts on the folder that got the patch, and
// a folder the user may not write is offered a restart as administrator for itself, whatever is selected
// by then (the stand-in game plays the installer to restart: it records its folder and command line).
TEST_F(Install, TheWindowActsOnTheFolderThatWasPatched) {
    const std::wstring other = makeGame(temp / L"Other Root");
    writeSparseFile(app.patchSourcePath, 16 * MiB);
    notify.onProgress = [&](int32_t) {
        app.chosenFolder = normalizePath(other);
        // the patched folder is found by no source now
        detectGameLocations(app);
    };
    install();
    EXPECT_EQ(app.uiState, StateCompleted);
    ASSERT_TRUE(equalsIgnoreCase(selectedGameCandidate(app)->path, folder));
    EXPECT_FALSE(isExistingFile(other + L"\\patch.rpa"));
    copyStandIn(temp / L"Game Root\\Tavinmere.exe");
    copyStandIn(temp / L"Other Root\\Tavinmere.exe");
    // to the other folder: ready for an install of its own
    stepLocation(app, true);
    EXPECT_EQ(app.uiState, StateReady);
    app.uiState = StateCompleted;
    // in the completed state the main action starts the game in its root, without a word, and closes
    startInstall(app);
    EXPECT_TRUE(equalsIgnoreCase(normalizePath(startedMarker(temp / L"Game Root\\started.txt")), temp / L"Game Root"));
    EXPECT_TRUE(notify.closeRequested);
    closeStandIn();
    EXPECT_FALSE(isExistingFile(temp / L"Other Root\\started.txt"));

    const std::wstring locked = buildFolder() + L"\\fixtures\\locked\\game";
    useFolder(locked);
    app.uiState = StateReady;
    app.language = TraditionalChinese;
    app.installerPath = temp / L"Game Root\\Tavinmere.exe";
    DialogAnswerer answerer(IDYES);
    notify.onProgress = nullptr;
    startInstall(app);
    useFolder(other);
    ASSERT_TRUE(notify.pumpUntilDone());
    EXPECT_EQ(app.statusText, text(TraditionalChinese, CopyFailed) + (L": " + systemErrorText(ERROR_ACCESS_DENIED)));
    expectOneBox(answerer, text(TraditionalChinese, NotWritableRestartAdmin), MB_ICONWARNING, true);
    EXPECT_EQ(readBytes(locked + L"\\patch.rpa"), Old);
    EXPECT_EQ(folderEntries(locked), Names{L"patch.rpa"});
    EXPECT_TRUE(equalsIgnoreCase(normalizePath(startedMarker(app.installerDir + L"\\started.txt")), app.installerDir));
    const CommandLineOptions o = parseCommandLine(startedMarker(app.installerDir + L"\\arguments.txt").c_str());
    EXPECT_EQ(o.destOption, locked);
    EXPECT_EQ(o.language, TraditionalChinese);
    EXPECT_FALSE(IsWindow(notify.window));
    closeStandIn();
}
