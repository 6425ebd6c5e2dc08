// Game location on the Wine prefix's real registry, files and drives: path rules, Steam roots and
// libraries, the manifest and the game folder test and the ranked list, and hostile input (oversized
// and self-naming library files).
#include <gtest/gtest.h>

#include "base/texts.h"
#include "locate/candidates.h"
#include "locate/manifest.h"
#include "locate/steam.h"
#include "support/world.h"

namespace {

using namespace world;
// A manifest time in 2022; the prefix's file system keeps whole seconds exactly.
constexpr uint64_t Older = 133000000000000000ull;

wstring game(wstring root) { return normalizePath(makeGame(root)); }
// The game in a library's common folder, under that folder name.
wstring gameIn(wstring library, wstring name = L"TavinMere") { return game(library + L"\\steamapps\\common\\" + name); }
void writeManifest(wstring library, std::string installdir, uint64_t stamp = Older) {
    const wstring f = library + L"\\steamapps\\appmanifest_2719305.acf";
    writeBytes(f, "\"AppState\" { \"installdir\" \"" + installdir + "\" }");
    EXPECT_TRUE(setLastWriteTime(f, stamp));
}
void writeLibraries(wstring root, wstring text) {
    makeDirs(root += L"\\steamapps");
    writeBytes(root + L"\\libraryfolders.vdf", narrow(text));
}

// Every test gets a folder of its own and an empty Steam registry.
struct World : ::testing::Test {
    World() { clearSteamRegistry(); }
    ~World() { clearSteamRegistry(); }
    void user(const wchar_t* name, wstring path) { setString(HKEY_CURRENT_USER, SteamUserKey, name, path); }
    // The entries in the test's own folder or on its drives: the prefix may hold other Steam worlds.
    Strings ours(Strings all, wstring drives = L"") {
        Strings out;
        for (auto& p : all)
            if (p.find(dir.root) == 0 || drives.find(p[0]) != wstring::npos) out.push_back(p);
        return out;
    }
    // The locations as the window shows them: each path, starred when the user gave it.
    Strings detect(wstring installerDir, wstring dest = L"", wstring chosen = L"") {
        Strings all;
        for (auto& c : findGameLocations(installerDir, dest, chosen)) all.push_back(c.path + (c.manual ? L"*" : L""));
        return ours(all);
    }
    TempDir dir;
};

}  // namespace

TEST(Paths, TextRules) {
    SetCurrentDirectoryW(L"C:\\");
    const std::pair<wstring, wstring> cases[] = {
        {normalizePath(L"  \"C:/Program Files (x86)/Steam/\"  "), L"C:\\Program Files (x86)\\Steam"},
        {normalizePath(L"C:\\\\\\"), L"C:\\"},
        // a lone quote stays, and the text is relative then
        {normalizePath(L"\"C:\\x"), L"C:\\\"C:\\x"},
        {normalizePath(L"sub\\dir"), L"C:\\sub\\dir"},
        {toLongPath(L"C:\\x"), L"\\\\?\\C:\\x"},
        // once
        {toLongPath(L"\\\\?\\C:\\x"), L"\\\\?\\C:\\x"},
        {toLongPath(L"\\\\srv\\share\\x"), L"\\\\?\\UNC\\srv\\share\\x"},
        // only a full path takes the prefix
        {toLongPath(L"sub\\x"), L"sub\\x"},
        {gameRootOf(L"E:\\game"), L"E:\\"},
        {gameRootOf(L"E:\\TavinMere\\Game\\"), L"E:\\TavinMere"},
        {gameRootOf(L"E:\\mygame"), L""}};
    for (auto& [got, expected] : cases) EXPECT_EQ(got, expected);
    EXPECT_TRUE(equalsIgnoreCase(L"C:\\GAMES\\ÄÖ游", L"c:\\games\\äö游"));
    EXPECT_TRUE(equalsIgnoreCase(L"", L""));
    EXPECT_FALSE(endsWithIgnoreCase(L"me", L"\\game"));
}

// Roots: the registry's in their order, then each fixed drive's own root with Steam, SteamLibrary,
// Games\Steam and Games\SteamLibrary where they exist; no vanished folder, no removable drive.
// Libraries: each root, then the further libraries its file names, each folder at its first place.
TEST_F(World, RootsAndLibraries) {
    const wstring steam = dir / L"Steam", second = dir / L"Second", libA = dir / L"Lib A", libB = dir / L"Lib B",
                  onC = dir / L"fixed\\游戏\\Lib";
    const wchar_t* onDrive[] = {L"", L"Steam", L"SteamLibrary", L"Games\\Steam", L"Games\\SteamLibrary"};
    for (auto f : onDrive) makeDirs(dir / L"fixed\\" + f);
    for (auto& f : {libA, libB, dir / L"Lib C", onC, dir / L"removable\\Steam"}) makeDirs(f);
    Drive fixed(L'M', dir / L"fixed"), removable(L'M', dir / L"removable", DRIVE_REMOVABLE);
    ASSERT_TRUE(fixed.ok);
    ASSERT_TRUE(removable.ok);
    // Nested layout with a BOM: the root again in three spellings, the drive's root and a CJK path on it (and
    // the same folder through C:, counted once), a vanished and a UNC library.
    const wstring cjk = fixed.root() + L"游戏\\Lib";
    writeLibraries(steam,
                   L"\xFEFF" + nestedLibraryFolders({steam + L"\\", cjk, onC, fixed.root(), steam + L"\\steamapps\\..",
                                                     libA, steam, dir / L"no", L"\\\\server\\share"}));
    // The older flat layout: numbered keys map straight to folders; no other key, nor an empty one, names a library.
    writeLibraries(second, L"\"LibraryFolders\" { \"content\\\"statsid\" \"" + dir / L"Lib C" + L"\" \"\" \"" +
                               dir / L"Lib C" + L"\" \"1\" \"" + libB + L"\" \"2\" \"" + libA + L"\" }");
    user(L"SteamPath", steam);
    // expanded
    setString(HKEY_CURRENT_USER, SteamUserKey, L"InstallPath", L"%SystemDrive%" + second.substr(2), REG_EXPAND_SZ);
    setString(HKEY_LOCAL_MACHINE, SteamMachineKey, L"InstallPath", dir / L"vanished");
    setString(HKEY_LOCAL_MACHINE, SteamMachineKey, L"InstallPath", libA + L"\\", REG_SZ, KEY_WOW64_32KEY);
    Strings roots{steam, second, libA}, libraries{steam, cjk, fixed.root(), libA, second, libB};
    for (auto f : onDrive) roots.push_back(fixed.root() + f);
    libraries.insert(libraries.end(), roots.begin() + 4, roots.end());
    const wstring drives{fixed.root()[0], removable.root()[0]};
    EXPECT_EQ(ours(buildSteamRootList(), drives), roots);
    EXPECT_EQ(ours(findSteamLibraries(), drives), libraries);
    // Steam's default folder, though the environment puts Program Files elsewhere
    const wstring usual = L"C:\\Program Files (x86)\\Steam";
    SetEnvironmentVariableW(L"ProgramFiles(x86)", L"Q:\\");
    makeDirs(usual);
    const auto all = buildSteamRootList();
    RemoveDirectoryW(usual.c_str());
    EXPECT_EQ(std::count(all.begin(), all.end(), usual), 1);
}

// Strict UTF-8 first, its BOM dropped; other bytes are read in the ANSI code page, 1252 for Wine in the
// C.UTF-8 locale that tools/lib.sh sets.
TEST_F(World, TextFileEncodingsAndSizes) {
    const wstring f = dir / L"a.vdf";
    const std::pair<std::string, wstring> cases[] = {
        {"\xEF\xBB\xBF\"D:\\\\\xE6\xB8\xB8\xE6\x88\x8F\"", L"\"D:\\\\游戏\""},
        {"\xF0\x9F\x8E\xAE \xC3\xA9", L"\U0001F3AE é"},
        {"Biblioth\xE8que", L"Bibliothèque"}};
    ASSERT_EQ(GetACP(), 1252u);
    for (auto& [bytes, text] : cases) {
        writeBytes(f, bytes);
        EXPECT_EQ(readTextFile(f), text);
    }
    // past the 16 MiB any library file stays under
    writeBytes(f, "", (16 << 20) + 1);
    EXPECT_EQ(readTextFile(f), L"");
}

// A game folder holds an archive beside its root's executable; found from itself, its root and the five folders
// a search starts from, however deep.
TEST_F(World, GameFolder) {
    const wstring library = dir / L"Steam Library", common = library + L"\\steamapps\\common",
                  root = common + L"\\TavinMere", folder = game(root);
    for (auto& start :
         {folder, root + L"\\game\\", root, common, library + L"\\steamapps", library, L"\"" + library + L"/\""})
        EXPECT_EQ(resolveGameFolder(start), folder);
    EXPECT_EQ(resolveGameFolder(dir.root), L"");
    // The patch alone (any case), a folder named like an archive or one deeper is not the game.
    MoveFileW((folder + L"\\data.rpa").c_str(), (folder + L"\\PATCH.RPA").c_str());
    makeDirs(folder + L"\\x.rpa\\deep.rpa");
    EXPECT_FALSE(isGameFolder(folder));
    writeBytes(folder + L"\\archive.RPA", "x");
    EXPECT_TRUE(isGameFolder(folder));
    DeleteFileW((root + L"\\Tavinmere.exe").c_str());
    // the executable must be a file
    makeDirs(root + L"\\Tavinmere.exe");
    EXPECT_FALSE(isGameFolder(folder));
    // A game deeper than MAX_PATH is found: the listing takes the long form.
    wstring deep = dir.root;
    while (deep.size() < 400) deep += L"\\a folder of some length";
    const wstring deepGame = game(deep + L"\\TavinMere");
    EXPECT_EQ(resolveGameFolder(deep), deepGame);
}

// The manifest names one folder inside common: a value that would lead elsewhere leaves the default name.
TEST_F(World, ManifestLeadingOutOfCommon) {
    makeDirs(dir / L"steamapps");
    for (auto value : {"", "..\\\\..\\\\..\\\\Victim", "../Victim", "..", ".", "D:Victim", "C:\\\\Victim"}) {
        writeManifest(dir.root, value);
        EXPECT_EQ(manifestCandidates(dir.root).first.path, dir / L"steamapps\\common\\TavinMere\\game") << value;
    }
}

// Under Wine, after the roots Windows knows of: the home's Steam folders in their order, then the client
// Proton names with the libraries its file names by Linux path, then Proton's libraries, named as Steam
// names them (by their steamapps folder) or by themselves. Wine derives the home from the HOME a process
// starts with from Linux, so the test sets it as Wine writes it; this process has no use for it after.
TEST_F(World, LinuxSideRoots) {
    Strings roots, expected;
    for (auto f :
         {L"Windows Steam", L"home\\.local\\share\\Steam", L"home\\.steam\\steam", L"home\\.steam\\root",
          L"home\\.steam\\debian-installation", L"home\\.var\\app\\com.valvesoftware.Steam\\.local\\share\\Steam",
          L"home\\.var\\app\\com.valvesoftware.Steam\\data\\Steam", L"home\\snap\\steam\\common\\.local\\share\\Steam",
          L"client", L"SD card 游戏", L"Proton Lib", L"Proton Lib 2"})
        roots.push_back(dir / f), expected.push_back(gameIn(dir / f));
    user(L"SteamPath", roots[0]);
    writeLibraries(roots[8], nestedLibraryFolders({widen(unixPathOf(roots[9]))}));
    const std::pair<const wchar_t*, wstring> variables[] = {
        {L"STEAM_COMPAT_CLIENT_INSTALL_PATH", widen(unixPathOf(roots[8]))},
        {L"STEAM_COMPAT_LIBRARY_PATHS",
         widen(unixPathOf(roots[10] + L"\\steamapps") + ":/nowhere:" + unixPathOf(roots[11]))},
        {L"WINEHOMEDIR", L"\\??\\" + dir / L"home"}};
    for (auto& [name, value] : variables) SetEnvironmentVariableW(name, value.c_str());
    EXPECT_EQ(detect(L""), expected);
    for (auto& [name, value] : variables) SetEnvironmentVariableW(name, nullptr);
}

TEST_F(World, EverySourceRanked) {
    // Given first: picked, then --dest; then the installer in a game folder, the uninstall entry, the
    // manifests (a newer one before an older one, a manifest's folder before the default one beside it),
    // and last a library without a manifest.
    const wstring steam = dir / L"Steam", newer = dir / L"Newer", plain = dir / L"Plain",
                  installed = game(dir / L"Installed"), uninstalled = game(dir / L"Uninstalled 游戏"),
                  custom = gameIn(steam, L"Tavin Mere"), steamGame = gameIn(steam), newerGame = gameIn(newer),
                  plainGame = gameIn(plain), given = game(dir / L"Given"), picked = game(dir / L"Picked"),
                  root = gameRootOf(steamGame);
    writeManifest(steam, "Tavin Mere");
    // two seconds later
    writeManifest(newer, "TavinMere", Older + 20000000);
    writeLibraries(steam, nestedLibraryFolders({plain, newer}));
    user(L"SteamPath", steam);
    setString(HKEY_LOCAL_MACHINE, UninstallKey, L"InstallLocation", dir / L"Uninstalled 游戏\\", REG_SZ,
              KEY_WOW64_32KEY);
    EXPECT_EQ(detect(installed, dir / L"Given", picked),
              (Strings{picked + L"*", given + L"*", installed, uninstalled, newerGame, custom, steamGame, plainGame}));
    // One location from several sources is listed once, at the place of its best one: the installer in
    // the game's root lifts the Steam root's default folder over the uninstall entry; a second uninstall
    // entry naming it lifts it over the manifests; --dest makes it given. Without its own path the installer adds
    // nothing, not even a "game" folder where the current directory is.
    EXPECT_EQ(detect(root)[0], steamGame);
    setString(HKEY_CURRENT_USER, UninstallKey, L"InstallLocation", steam + L"/steamapps/common/TavinMere");
    SetCurrentDirectoryW((dir / L"Picked").c_str());
    EXPECT_EQ(detect(L""), (Strings{steamGame, uninstalled, newerGame, custom, plainGame}));
    SetCurrentDirectoryW(L"C:\\");
    EXPECT_EQ(detect(root, steam)[0], steamGame + L"*");
    // counted from 1, and only for two or more
    EXPECT_EQ(candidateCounterText(English, 0, 2), L"Detected locations  1 / 2");
    EXPECT_EQ(candidateCounterText(English, 0, 1), L"");
}

// The folder picker, titled in the language, gives the game folder picked; one without the game is explained and
// gives none.
TEST_F(World, FolderPicker) {
    const wstring folder = game(dir / L"Picked");
    for (auto [picked, found] : {std::pair{folder, folder}, {dir.root, wstring()}}) {
        DialogAnswerer answerer(IDOK, picked);
        EXPECT_EQ(pickGameFolder(nullptr, English, dir.root), found);
        const auto seen = answerer.seen();
        ASSERT_EQ(seen.size(), found.empty() ? 2u : 1u);
        EXPECT_EQ(seen[0].text, text(English, SelectGameFolderTitle));
        EXPECT_TRUE(found.size() || seen[1].text == text(English, FolderPickerHint));
    }
}
