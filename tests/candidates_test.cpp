// The candidate list end to end on a Steam world in the Wine prefix: sources and their ranks, merging,
// re-selection, the patch state refresh, the arrows, the counter, and the real folder picker.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "install/installer_app.h"
#include "install/checks.h"
#include "locate/candidates.h"
#include "locate/paths.h"
#include "locate_world.h"
#include "test_support.h"

namespace {

// Manifest times a few seconds apart in 2022; the prefix's file system keeps whole seconds exactly.
constexpr uint64_t Older = 133000000000000000ull;
constexpr uint64_t Newer = Older + 20000000ull;

// The entries of the list that lie in the test's folder: the prefix may hold other worlds.
std::vector<GameCandidate> inside(const std::vector<GameCandidate>& list, const std::wstring& folder) {
    std::vector<GameCandidate> out;
    const std::wstring prefix = normalizePath(folder) + L"\\";
    for (const GameCandidate& c : list) {
        if (c.path.size() > prefix.size() && equalsIgnoreCase(c.path.substr(0, prefix.size()), prefix))
            out.push_back(c);
    }
    return out;
}

std::wstring game(const std::wstring& root) { return normalizePath(makeGame(root)); }

class Candidates : public ::testing::Test {
protected:
    void SetUp() override {
        world::clearSteamRegistry();
        app.language = English;
        app.installerDir = dir / L"installer";
        makeDirs(app.installerDir);
        app.patchSourcePath = app.installerDir + L"\\patch.rpa";
    }
    void TearDown() override { world::clearSteamRegistry(); }
    std::vector<GameCandidate> detect() {
        detectGameLocations(app);
        return inside(app.candidates, dir.path());
    }
    TempDir dir;
    InstallerApp app;
};

void expectEntry(const GameCandidate& c, const std::wstring& path, bool manual, int32_t score, uint64_t stamp) {
    EXPECT_TRUE(equalsIgnoreCase(c.path, path)) << narrow(c.path) << " vs " << narrow(path);
    EXPECT_EQ(c.manual, manual) << narrow(path);
    EXPECT_EQ(c.score, score) << narrow(path);
    EXPECT_EQ(c.stamp, stamp) << narrow(path);
}

}  // namespace

TEST_F(Candidates, EverySourceRankedAndOrdered) {
    // Installer inside a game's "game" folder (1000); uninstall entry (900); a Steam root whose manifest
    // names another folder (800) while the default folder also holds a game (700); a second library with a
    // newer manifest (800, first of the two); a library without manifest (500); --dest (1100); picked (1200).
    const std::wstring installerGame = game(dir / L"Installed Here");
    app.installerDir = installerGame;
    const std::wstring uninstallGame = game(dir / L"Uninstalled 游戏");
    const std::wstring steam = dir / L"Steam";
    const std::wstring custom = game(steam + L"\\steamapps\\common\\Tavin Mere");
    const std::wstring steamDefault = game(steam + L"\\steamapps\\common\\TavinMere");
    const std::wstring newer = dir / L"Newer Library";
    const std::wstring newerGame = game(newer + L"\\steamapps\\common\\TavinMere");
    const std::wstring plain = dir / L"Plain Library";
    const std::wstring plainGame = game(plain + L"\\steamapps\\common\\TavinMere");
    const std::wstring destGame = game(dir / L"Given");
    const std::wstring pickedGame = game(dir / L"Picked");
    writeBytes(steam + L"\\steamapps\\appmanifest_2719305.acf", "\"installdir\" \"Tavin Mere\"");
    writeBytes(newer + L"\\steamapps\\appmanifest_2719305.acf", "\"installdir\" \"TavinMere\"");
    ASSERT_TRUE(world::setLastWriteTime(steam + L"\\steamapps\\appmanifest_2719305.acf", Older));
    ASSERT_TRUE(world::setLastWriteTime(newer + L"\\steamapps\\appmanifest_2719305.acf", Newer));
    writeBytes(steam + L"\\steamapps\\libraryfolders.vdf",
               world::utf8Of(world::nestedLibraryFolders({steam, plain, newer})));
    world::RegistryValue steamPath(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", steam);
    world::RegistryValue uninstall(HKEY_LOCAL_MACHINE, world::UninstallKey, L"InstallLocation",
                                   dir / L"Uninstalled 游戏\\", REG_SZ, KEY_WOW64_32KEY);
    app.destOption = dir / L"Given";
    app.chosenFolder = pickedGame;

    const std::vector<GameCandidate> list = detect();
    ASSERT_EQ(list.size(), 8u);
    expectEntry(list[0], pickedGame, true, 1200, StampAllOnes);
    expectEntry(list[1], destGame, true, 1100, StampAllOnes);
    expectEntry(list[2], installerGame, false, 1000, StampAllOnes);
    expectEntry(list[3], uninstallGame, false, 900, 0);
    expectEntry(list[4], newerGame, false, 800, Newer);
    expectEntry(list[5], custom, false, 800, Older);
    expectEntry(list[6], steamDefault, false, 700, Older);
    expectEntry(list[7], plainGame, false, 500, 0);
    EXPECT_EQ(app.selectedCandidate, 0u);
}

TEST_F(Candidates, OneLocationFromSeveralSourcesMergesToTheBest) {
    // The uninstall entry and the manifest name the same game: 900 from the entry, the manifest's stamp.
    const std::wstring steam = dir / L"Steam";
    const std::wstring steamGame = game(steam + L"\\steamapps\\common\\TavinMere");
    writeBytes(steam + L"\\steamapps\\appmanifest_2719305.acf", "\"installdir\" \"TavinMere\"");
    ASSERT_TRUE(world::setLastWriteTime(steam + L"\\steamapps\\appmanifest_2719305.acf", Older));
    world::RegistryValue steamPath(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", steam);
    world::RegistryValue uninstall(HKEY_CURRENT_USER, world::UninstallKey, L"InstallLocation",
                                   steam + L"/steamapps/common/TavinMere");
    std::vector<GameCandidate> list = detect();
    ASSERT_EQ(list.size(), 1u);
    expectEntry(list[0], steamGame, false, 900, Older);

    // Naming it with --dest makes it user-given; the installer's root gives root\game at 950.
    app.destOption = steam;
    app.installerDir = steam + L"\\steamapps\\common\\TavinMere";
    list = detect();
    ASSERT_EQ(list.size(), 1u);
    expectEntry(list[0], steamGame, true, 1100, StampAllOnes);
    app.destOption.clear();
    list = detect();
    ASSERT_EQ(list.size(), 1u);
    expectEntry(list[0], steamGame, false, 950, Older);

    // Direct insertion: the entry keeps its text and place, takes the larger score and stamp.
    std::vector<GameCandidate> direct;
    addCandidate(direct, steamGame, false, 500, 7);
    addCandidate(direct, steamGame + L"\\", true, 100, 3);
    addCandidate(direct, dir / L"not a game", true, 2000, 9);
    ASSERT_EQ(direct.size(), 1u);
    expectEntry(direct[0], steamGame, true, 500, 7);
}

TEST_F(Candidates, SelectionFollowsThePathAcrossDetections) {
    const std::wstring a = game(dir / L"Lib A\\steamapps\\common\\TavinMere");
    const std::wstring b = game(dir / L"Lib B\\steamapps\\common\\TavinMere");
    const std::wstring c = game(dir / L"Lib C\\steamapps\\common\\TavinMere");
    const std::wstring steam = dir / L"Lib A";
    writeBytes(steam + L"\\steamapps\\libraryfolders.vdf",
               world::utf8Of(world::nestedLibraryFolders({dir / L"Lib A", dir / L"Lib B", dir / L"Lib C"})));
    world::RegistryValue steamPath(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", steam);
    std::vector<GameCandidate> list = detect();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_TRUE(equalsIgnoreCase(list[2].path, c));

    // Select C, then make B disappear: C stays selected although its index moves.
    for (size_t i = 0; i < app.candidates.size(); ++i)
        if (equalsIgnoreCase(app.candidates[i].path, c)) app.selectedCandidate = i;
    DeleteFileW((b + L"\\data.rpa").c_str());
    detectGameLocations(app);
    ASSERT_TRUE(hasValidSelection(app));
    EXPECT_TRUE(equalsIgnoreCase(selectedGameCandidate(app)->path, c));
    // When the selected location itself is gone, the first entry is selected.
    DeleteFileW((c + L"\\data.rpa").c_str());
    detectGameLocations(app);
    EXPECT_EQ(app.selectedCandidate, 0u);
    EXPECT_TRUE(equalsIgnoreCase(inside(app.candidates, dir.path())[0].path, a));
}

TEST_F(Candidates, DetectionRefreshesThePatchState) {
    const std::wstring g = game(dir / L"Game");
    app.destOption = g;
    writeBytes(app.patchSourcePath, "12345");
    app.uiState = StateFailed;
    app.statusText = L"old failure";
    app.progressPermille = 400;
    detectGameLocations(app);
    EXPECT_TRUE(app.patchFound);
    EXPECT_EQ(app.patchSize, fileSizeOf(app.patchSourcePath));
    EXPECT_EQ(app.uiState, StateReady);
    EXPECT_EQ(app.statusText, L"");
    EXPECT_EQ(app.progressPermille, 0);

    DeleteFileW(app.patchSourcePath.c_str());
    makeDirs(app.patchSourcePath);  // a folder by the patch's name is no patch
    app.uiState = StateInstalling;
    detectGameLocations(app);
    EXPECT_FALSE(app.patchFound);
    EXPECT_EQ(app.patchSize, 0u);
    EXPECT_EQ(app.uiState, StateInstalling);
}

TEST_F(Candidates, ArrowsWrapAndCounterText) {
    selectNextCandidate(app);
    selectPreviousCandidate(app);
    EXPECT_EQ(app.selectedCandidate, 0u);
    app.candidates.resize(1);
    EXPECT_EQ(candidateCounterText(app), L"");
    app.candidates.resize(3);
    selectPreviousCandidate(app);
    EXPECT_EQ(app.selectedCandidate, 2u);
    selectNextCandidate(app);
    EXPECT_EQ(app.selectedCandidate, 0u);
    selectNextCandidate(app);
    EXPECT_EQ(candidateCounterText(app), std::wstring(text(English, DetectedLocations)) + L"  2 / 3");
    app.language = SimplifiedChinese;
    EXPECT_EQ(candidateCounterText(app), std::wstring(text(SimplifiedChinese, DetectedLocations)) + L"  2 / 3");
}

namespace {

HWND findDialogOfThisProcess(HWND skip) {
    struct Search {
        HWND skip;
        HWND found;
    } search{skip, nullptr};
    EnumWindows(
        [](HWND w, LPARAM p) -> BOOL {
            auto* s = reinterpret_cast<Search*>(p);
            DWORD pid = 0;
            GetWindowThreadProcessId(w, &pid);
            wchar_t cls[64] = {};
            GetClassNameW(w, cls, 64);
            if (w != s->skip && pid == GetCurrentProcessId() && IsWindowVisible(w) && wcscmp(cls, L"#32770") == 0) {
                s->found = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitForDialog(HWND skip = nullptr) {
    for (int i = 0; i < 200; ++i) {
        if (HWND w = findDialogOfThisProcess(skip)) return w;
        Sleep(50);
    }
    return nullptr;
}

std::wstring windowText(HWND w) {
    wchar_t buffer[512] = {};
    GetWindowTextW(w, buffer, 512);
    return buffer;
}

// All static texts of a dialog joined, to read a message box.
std::wstring staticTexts(HWND dialog) {
    std::wstring all;
    EnumChildWindows(
        dialog,
        [](HWND w, LPARAM p) -> BOOL {
            wchar_t cls[32] = {};
            GetClassNameW(w, cls, 32);
            if (wcscmp(cls, L"Static") == 0) *reinterpret_cast<std::wstring*>(p) += windowText(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&all));
    return all;
}

HWND firstEdit(HWND dialog) {
    HWND found = nullptr;
    EnumChildWindows(
        dialog,
        [](HWND w, LPARAM p) -> BOOL {
            wchar_t cls[32] = {};
            GetClassNameW(w, cls, 32);
            if (wcscmp(cls, L"Edit") != 0 || !IsWindowVisible(w)) return TRUE;
            *reinterpret_cast<HWND*>(p) = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Types the folder into the picker's name box and presses Open; cancels when it cannot.
void pickInDialog(HWND dialog, const std::wstring& folder) {
    HWND edit = firstEdit(dialog);
    if (!edit) {
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder.c_str()));
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
}

}  // namespace

TEST_F(Candidates, PickerCancelledChangesNothing) {
    app.destOption = game(dir / L"Given");
    detectGameLocations(app);
    const auto before = app.candidates;
    std::wstring title;
    std::thread helper([&] {
        HWND dialog = waitForDialog();
        if (!dialog) return;
        title = windowText(dialog);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    chooseGameFolder(app);
    helper.join();
    EXPECT_EQ(title, text(English, SelectGameFolderTitle));
    EXPECT_EQ(app.chosenFolder, L"");
    EXPECT_EQ(app.candidates.size(), before.size());
}

TEST_F(Candidates, PickerChoiceResolvesOrWarns) {
    const std::wstring found = game(dir / L"Found");
    const std::wstring picked = game(dir / L"Picked 游戏");
    app.destOption = dir / L"Found";
    detectGameLocations(app);
    ASSERT_EQ(inside(app.candidates, dir.path()).size(), 1u);

    // Picking the game root resolves to its game folder, which goes first, manual, and is selected.
    std::thread helper([&] {
        if (HWND dialog = waitForDialog()) pickInDialog(dialog, dir / L"Picked 游戏");
    });
    chooseGameFolder(app);
    helper.join();
    ASSERT_TRUE(equalsIgnoreCase(app.chosenFolder, picked)) << narrow(app.chosenFolder);
    ASSERT_TRUE(hasValidSelection(app));
    expectEntry(*selectedGameCandidate(app), picked, true, 1200, StampAllOnes);
    EXPECT_EQ(app.selectedCandidate, 0u);

    // A folder without the game gives the hint and keeps everything as it was.
    makeDirs(dir / L"Empty");
    std::wstring message;
    std::thread warner([&] {
        HWND dialog = waitForDialog();
        if (!dialog) return;
        pickInDialog(dialog, dir / L"Empty");
        HWND box = waitForDialog(dialog);
        for (int i = 0; box && i < 20 && message.empty(); ++i, Sleep(50)) message = staticTexts(box);
        if (box) PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    chooseGameFolder(app);
    warner.join();
    EXPECT_EQ(message, text(English, FolderPickerHint));
    EXPECT_TRUE(equalsIgnoreCase(app.chosenFolder, picked));
    EXPECT_EQ(app.selectedCandidate, 0u);
}
