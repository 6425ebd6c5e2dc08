// Patch installation on real files, drives, threads, message boxes and processes: the checks before a
// copy, the copy that keeps the old patch until the new one is complete, its progress and outcome, the
// restart as administrator and the game's start, and the locations the window acts on.
#include <gtest/gtest.h>

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
const std::string Old = "old";

// What the stand-in game wrote when it was started: its command line, or in started.txt its folder (it
// writes both into the folder it was started in). It holds the file to itself until the text is whole.
wstring startedMarker(const wstring& path) {
    std::string bytes;
    waitUntil([&] { return !(bytes = readBytes(path)).empty(); });
    return wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
}

// Closes the stand-in game once its window shows.
void closeStandIn() {
    HWND w = waitForWindow(L"TavinMereStandIn", 30000);
    EXPECT_TRUE(w);
    PostMessageW(w, WM_CLOSE, 0, 0);
    EXPECT_TRUE(waitUntil([&] { return !IsWindow(w); }));
}

// The one message box shown: its text and its icon.
void expectOneBox(DialogAnswerer& answerer, const wstring& text, UINT icon) {
    const auto seen = answerer.seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, text);
    EXPECT_EQ(seen[0].icon, icon);
}

// The failed copy's status: the words, then the system's text for the code.
wstring copyFailed(DWORD code) { return text(English, CopyFailed) + (L": " + systemErrorText(code)); }

// The built stand-in game: it writes its command line and folder where it is started.
wstring standIn() { return buildFolder() + L"\\standin\\Tavinmere.exe"; }

struct Install : ::testing::Test {
    TempDir temp;
    InstallerApp app;
    NotifyWindow notify{app};
    wstring folder, target;
    // the game holding the old patch open: it shares reading only
    OwnedFile held;
    void gameOpens() {
        held.reset(CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    }

    Install() {
        app.language = English;
        app.installerDir = temp / L"installer";
        makeDirs(app.installerDir);
        app.patchSourcePath = app.installerDir + L"\\patch.rpa";
        useFolder(makeGame(temp / L"Game Root"));
    }
    void useFolder(const wstring& f) {
        folder = f;
        target = f + L"\\patch.rpa";
        app.candidates = {{f}};
        app.selectedCandidate = 0;
    }
    void install() {
        startInstall(app);
        ASSERT_EQ(app.uiState, StateInstalling);
        ASSERT_TRUE(notify.pumpUntilDone());
    }
};

}  // namespace

TEST(Checks, FileIdentityAndRoom) {
    TempDir dir;
    const wstring a = dir / L"a.rpa";
    writeBytes(a, "a");
    ASSERT_TRUE(CreateHardLinkW((dir / L"link.rpa").c_str(), a.c_str(), nullptr));
    // the same file under another name
    EXPECT_TRUE(isSameFile(a, dir / L"link.rpa"));
    // The patch plus a margin of its own size (the small drive's refusals), at most 8 MiB, free beside
    // the old one: just enough, and a byte less.
    EXPECT_TRUE(hasRoomForPatch(108 * MiB, 100 * MiB));
    EXPECT_FALSE(hasRoomForPatch(108 * MiB - 1, 100 * MiB));
    // a need past 64 bits
    EXPECT_FALSE(hasRoomForPatch(~0ull, ~0ull - 10));
    // FAT ends a byte short of 4 GiB, as FAT32 does (the small drive's refusals pin that limit); other
    // file systems hold any patch.
    EXPECT_FALSE(fileSystemHolds(L"FAT", 4ull << 30));
    EXPECT_TRUE(fileSystemHolds(L"exFAT", 4ull << 30));
    // a code the system has no text for
    EXPECT_EQ(systemErrorText(0xDEAD), L"Unknown error (0x0000DEAD)");
}

// The main action when there is nothing to copy, or no copy to start.
TEST_F(Install, ActionsThatCopyNothing) {
    DialogAnswerer answerer(IDOK);
    settle(notify.window);
    // no patch at all: the window shows it
    startInstall(app);
    EXPECT_TRUE(repaintPending(notify.window));
    // the empty patch is refused with a warning (the one box of this test, checked below)
    writeBytes(app.patchSourcePath, "");
    startInstall(app);
    writeBytes(app.patchSourcePath, "p");
    app.uiState = StateInstalling;
    // a second press while one runs starts nothing
    startInstall(app);
    EXPECT_FALSE(app.installJob);
    app.uiState = StateReady;
    // no valid selection: nothing, not even a word
    app.selectedCandidate = 1;
    startInstall(app);
    expectOneBox(answerer, text(English, PatchEmpty), MB_ICONWARNING);
    // The installer in the destination folder itself: nothing to copy.
    app.selectedCandidate = 0;
    writeBytes(target, "p");
    app.patchSourcePath = target;
    startInstall(app);
    EXPECT_EQ(app.uiState, StateCompleted);
    EXPECT_EQ(app.progressPermille, FullPermille);
    EXPECT_TRUE(app.targetIsSource);
    EXPECT_EQ(app.jobLocation.path, folder);
}

// The new patch replaces the old one only once it is complete: every other end leaves the old one as it
// was, its read-only attribute included. Each event comes with the first progress report, or before the
// start.
TEST_F(Install, OldPatchSurvives) {
    using Event = void (*)(Install&);
    const Event cancel = [](Install& t) { requestCancel(t.app); };
    const Event gameOpens = [](Install& t) { t.gameOpens(); };
    // The source replaced by a file of another size.
    const Event shrink = [](Install& t) {
        MoveFileW(t.app.patchSourcePath.c_str(), (t.app.patchSourcePath + L".old").c_str());
        writeBytes(t.app.patchSourcePath, "short");
    };
    const wstring inUse = text(English, PatchInUse) + (L" " + systemErrorText(ERROR_SHARING_VIOLATION));
    const struct {
        uint64_t size;
        InstallState state;
        // the event, and whether it comes before the start
        Event event{};
        bool before{};
        // with the full bar
        Event atFull{};
        // the failure shown, with the icon of its message box
        wstring status{};
        UINT icon{};
    } cases[] = {
        // The window closed: as the teardown does after a confirmed close, the worker is stopped and
        // joined. The outcome is never taken: the window stays as it was.
        {Endless, StateReady, [](Install& t) { stopWorker(t.app); }},
        // cancel mid-copy
        {Endless, StateCancelled, cancel},
        {Long, StateFailed, shrink, false, {}, copyFailed(ERROR_WRITE_FAULT), MB_ICONERROR},
        // The game holds the old patch: refused before a byte is copied, or, opened after the copy began,
        // at the swap, which is tried again for a while; either way a warning without the administrator offer.
        {8 * MiB, StateFailed, gameOpens, true, {}, inUse, MB_ICONWARNING},
        {Long, StateFailed, gameOpens, false, {}, inUse, MB_ICONWARNING},
        // The swap waits for the game while the cancel comes with the full bar: the cancel holds.
        {Long, StateCancelled, gameOpens, false, cancel},
        // success, over the partial file of a killed run
        {8 * MiB, StateCompleted},
    };
    // Each end but the last finds the old patch as the previous one left it.
    writeBytes(target, Old);
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY);
    // Started past the checks, which refuse the large patches on a small disk.
    app.jobLocation = app.candidates[0];
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        writeBytes(app.patchSourcePath, "", c.size);
        if (!c.event) writeBytes(target + L".partial", "stale");
        int fired = 0;
        notify.onProgress = [&](int32_t p) {
            if (c.atFull && p == FullPermille) c.atFull(*this);
            if (c.event && !fired++) c.event(*this);
        };
        if (c.before) c.event(*this);
        notify.progress.clear();
        app.statusText.clear();
        DialogAnswerer answerer(IDOK);
        ASSERT_TRUE(startWorker(app, app.patchSourcePath, target));
        ASSERT_TRUE(notify.pumpUntilDone());
        EXPECT_EQ(app.uiState, c.state);
        EXPECT_EQ(app.statusText, c.status);
        if (c.icon) expectOneBox(answerer, c.status, c.icon);
        EXPECT_TRUE(c.icon || answerer.seen().empty());
        // No report before a refusal; else the bar stays where the copy stopped.
        EXPECT_EQ(notify.progress.empty(), c.before);
        if (!c.before) {
            EXPECT_EQ(app.progressPermille, notify.progress.back());
        }
        held.reset();
        EXPECT_EQ(folderEntries(folder), (Strings{L"data.rpa", L"patch.rpa"}));
        if (c.event) {
            EXPECT_EQ(readBytes(target), Old);
            EXPECT_TRUE(GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_READONLY);
        } else {
            // the new patch, never read-only, reported from the start to the full bar
            EXPECT_EQ(readBytes(target), std::string(8 * MiB, '\0'));
            EXPECT_EQ(GetFileAttributesW(target.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
            EXPECT_EQ(notify.progress.front(), 0);
            EXPECT_EQ(notify.progress.back(), FullPermille);
        }
    }
}

// The fixtures' 2 MiB drive T:, a FAT32 USB stick as Windows programs see it: the FAT32 limit, then the
// space (the old patch's bytes do not count as free), then a drive that fills during the copy, and the
// room of a partial file an earlier run left, which the copy replaces.
TEST_F(Install, SmallFat32Drive) {
    useFolder(L"T:\\Game\\game");
    const std::string old(MiB / 2, 'o');
    writeBytes(target, old);
    ULARGE_INTEGER free{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(L"T:\\", &free, nullptr, nullptr));
    const uint64_t room = free.QuadPart;
    // T: is the fixtures' small drive
    ASSERT_LT(room, 2 * MiB);
    // a stale partial file's room counts, and no more (over a third: the drive then has less free than twice it)
    const std::string stale(room * 2 / 5, 'p');
    writeBytes(target + L".partial", stale);
    for (auto [patch, refusal] : {std::pair{4ull << 30, PatchTooLargeForFat},
                                  {(4ull << 30) - 1, NotEnoughSpace},
                                  {room / 2 + 1, NotEnoughSpace}}) {
        SCOPED_TRACE(patch);
        writeBytes(app.patchSourcePath, "", patch);
        DialogAnswerer answerer(IDOK);
        startInstall(app);
        EXPECT_EQ(app.uiState, StateFailed);
        expectOneBox(answerer, text(English, refusal), refusal == NotEnoughSpace ? MB_ICONERROR : MB_ICONWARNING);
    }
    // for the folder the refused installs were for
    writeBytes(app.patchSourcePath, "", room + MiB);
    ASSERT_TRUE(startWorker(app, app.patchSourcePath, target));
    // The selection moves while the copy runs: the outcome is shown with the folder it is about.
    app.selectedCandidate = 1;
    DialogAnswerer answerer(IDOK);
    ASSERT_TRUE(notify.pumpUntilDone());
    EXPECT_EQ(app.selectedCandidate, 0u);
    EXPECT_EQ(app.statusText, copyFailed(ERROR_DISK_FULL));
    EXPECT_EQ(readBytes(target), old);
    // A folder gone since it was found lacks no room: the copy says what failed.
    useFolder(L"T:\\Gone");
    install();
    EXPECT_EQ(app.statusText, copyFailed(ERROR_PATH_NOT_FOUND));
    useFolder(L"T:\\Game\\game");
    writeBytes(target + L".partial", stale);
    writeBytes(app.patchSourcePath, "", room / 2 - 4096);
    install();
    EXPECT_TRUE(app.statusText.empty());
    EXPECT_EQ(fileSizeOf(target), room / 2 - 4096);
    EXPECT_EQ(folderEntries(folder), Strings{L"patch.rpa"});
}

// Progress in per mille, rounded down and clamped: at most one message per value, and within the interval
// of a screen refresh only the full bar (counted against the time a run of values took, as no machine
// can be held to 15 ms).
TEST_F(Install, ProgressMessages) {
    InstallJob job;
    job.notifyWindow = notify.window;
    const auto post = [&](int64_t total, int64_t done) {
        LARGE_INTEGER t, d;
        t.QuadPart = total, d.QuadPart = done;
        copyProgress(t, d, {}, {}, 1, 0, nullptr, nullptr, &job);
    };
    // the total and the bytes done, each value posted and handed to the window to draw, the wait before the next
    const std::tuple<int64_t, int64_t, std::vector<int32_t>, DWORD> reports[] = {{0, 0, {0}, 20},
                                                                                 {1000, 0, {}, 20},
                                                                                 {1000, 1, {1}, 20},
                                                                                 // past 32 bits
                                                                                 {1ll << 40, (1ll << 40) - 1, {999}, 0},
                                                                                 {1, 2, {1000}, 20}};
    std::vector<int32_t> drawn;
    notify.onProgress = [&](int32_t p) {
        if (repaintPending(notify.window)) drawn.push_back(p);
    };
    for (const auto& [total, done, expected, pumpMs] : reports) {
        drawn.clear();
        post(total, done);
        pumpMessages(pumpMs);
        EXPECT_EQ(drawn, expected);
    }
    // Values coming faster than a screen refreshes: no more messages than the time they took allows.
    notify.progress.clear();
    const auto start = GetTickCount64();
    for (int64_t done = 1; done < 1000; ++done) post(1000, done);
    pumpMessages(0);
    EXPECT_LE(notify.progress.size(), (GetTickCount64() - start) / 15 + 1);
}

// Yes to an elevation the shell refuses (it cannot start the program), or No: this installer stays, and is drawn
// again once the question is gone.
TEST_F(Install, RestartAsAdministrator) {
    for (int answer : {IDYES, IDNO}) {
        app.installerPath = answer == IDYES ? temp / L"Missing.exe" : standIn();
        DialogAnswerer answerer(answer);
        settle(notify.window);
        restartElevated(app, folder);
        EXPECT_EQ(answerer.seen().size(), 1u);
        EXPECT_TRUE(repaintPending(notify.window));
        // a restart that started would have closed it
        EXPECT_TRUE(IsWindow(notify.window));
    }
    // Read back as the restarted installer reads its command line, a quote or backslash in the folder
    // never ends it early or adds an option.
    for (const wstring f : {L"C:\\Games\\", L"C:\\x\" --lang zh-CN --dest \"C:\\Windows", L"C:\\a\\\"b\\\\\"c"})
        EXPECT_EQ(parseCommandLine((L"x.exe " + restartParameters(English, f)).c_str()).destOption, f);
}

// The copy ends while the folder picker is open, and another folder is picked then: the outcome stays on
// show with the folder that got the patch, the picked one joins the locations (the arrows reach it), and
// the window still acts on the patched folder. A folder the user may not write is offered a restart as administrator
// for itself, whatever is selected by then (the stand-in game plays the installer to restart).
TEST_F(Install, ActsOnThePatchedFolder) {
    const wstring other = normalizePath(makeGame(temp / L"Other Root"));
    writeBytes(app.patchSourcePath, "p");
    ASSERT_TRUE(CopyFileW(standIn().c_str(), (temp / L"Game Root\\Tavinmere.exe").c_str(), FALSE));
    {
        DialogAnswerer answerer(IDOK, other, notify.finished);
        // Ctrl+B during the copy, once
        notify.onProgress = [&, picks = 0](int32_t) mutable {
            if (!picks++) chooseGameFolder(app);
        };
        install();
        EXPECT_TRUE(equalsIgnoreCase(selectedGameCandidate(app)->path, folder));
        // a third location after it
        app.candidates.push_back({L"E:\\game"});
        // to the picked folder: ready for an install of its own
        stepLocation(app, true);
        EXPECT_EQ(app.uiState, StateReady);
        EXPECT_FALSE(app.targetExists);
        app.uiState = StateCompleted;
        // In the completed state the main action starts the patched game in its root (the stand-in
        // writes there) and closes.
        startInstall(app);
        EXPECT_NE(startedMarker(temp / L"Game Root\\started.txt"), L"");
        EXPECT_TRUE(notify.closeRequested);
        closeStandIn();
        // back onto the patched folder: the outcome stays
        stepLocation(app, false);
        EXPECT_EQ(app.uiState, StateCompleted);
        // A pick while no copy runs selects the picked folder, though the selected one is still found, and shows it.
        app.destOption = folder;
        settle(notify.window);
        chooseGameFolder(app);
        EXPECT_TRUE(repaintPending(notify.window));
        EXPECT_TRUE(equalsIgnoreCase(selectedGameCandidate(app)->path, other));
        EXPECT_EQ(app.uiState, StateReady);
        EXPECT_FALSE(app.targetExists);
    }

    const wstring locked = buildFolder() + L"\\fixtures\\locked\\game";
    useFolder(locked);
    app.language = TraditionalChinese;
    app.installerPath = standIn();
    DialogAnswerer answerer(IDYES);
    startInstall(app);
    useFolder(other);
    ASSERT_TRUE(notify.pumpUntilDone());
    expectOneBox(answerer, text(TraditionalChinese, NotWritableRestartAdmin), MB_ICONWARNING);
    // started in the installer's folder
    const auto o = parseCommandLine(startedMarker(app.installerDir + L"\\arguments.txt").c_str());
    EXPECT_EQ(o.destOption, locked);
    EXPECT_EQ(o.language, TraditionalChinese);
    EXPECT_FALSE(IsWindow(notify.window));
    closeStandIn();
}
