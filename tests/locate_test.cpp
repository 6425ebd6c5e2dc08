// Game location on the Wine prefix's real registry, files and drives: path rules, Steam roots and
// libraries, the manifest and the game folder test and the ranked list, and hostile
// input (broken registry values, oversized and self-naming library files).
#include <gtest/gtest.h>

#include "base/texts.h"
#include "locate/candidates.h"
#include "locate/manifest.h"
#include "locate/paths.h"
#include "locate/steam.h"
#include "support/support.h"
#include "support/world.h"

namespace {

using namespace world;
using std::wstring;
using Strings = std::vector<wstring>;
// Manifest times 2 s apart in 2022; the prefix's file system keeps whole seconds exactly.
constexpr uint64_t Older = 133000000000000000ull, Newer = Older + 20000000ull;

wstring game(const wstring& root) { return normalizePath(makeGame(root)); }
// The game in a library's common folder, under that folder name.
wstring gameIn(const wstring& library, const wstring& name = L"TavinMere") {
    return game(library + L"\\steamapps\\common\\" + name);
}
void writeManifest(const wstring& library, const std::string& installdir, uint64_t stamp = Older) {
    const wstring f = library + L"\\steamapps\\appmanifest_2719305.acf";
    writeBytes(f, "\"AppState\" { \"installdir\" \"" + installdir + "\" }");
    EXPECT_TRUE(setLastWriteTime(f, stamp));
}
void writeLibraries(const wstring& root, const wstring& text) {
    writeBytes(root + L"\\steamapps\\libraryfolders.vdf", narrow(text));
}

struct World : ::testing::Test {
    World() { clearSteamRegistry(); }
    ~World() { clearSteamRegistry(); }
    void user(const wchar_t* name, const wstring& path) { setString(HKEY_CURRENT_USER, SteamUserKey, name, path); }
    // The entries in the test's own folder or on its drives: the prefix may hold other Steam worlds.
    Strings ours(const Strings& all, const wstring& drives = L"") {
        Strings out;
        for (const wstring& p : all)
            if (p.rfind(dir.path(), 0) == 0 || drives.find(p[0]) != wstring::npos) out.push_back(p);
        return out;
    }
    // The locations as the window shows them: each path, marked when the user gave it.
    Strings detect(const wstring& installerDir, const wstring& dest = L"", const wstring& chosen = L"") {
        Strings all;
        for (const GameCandidate& c : findGameLocations(installerDir, dest, chosen))
            all.push_back(c.path + (c.manual ? L" (given)" : L""));
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
        {normalizePath(L"D:\\Steam\\steamapps\\..\\steamapps\\common"), L"D:\\Steam\\steamapps\\common"},
        // a lone quote stays, and the text is relative then
        {normalizePath(L"\"C:\\x"), L"C:\\\"C:\\x"},
        {normalizePath(L"sub\\dir"), L"C:\\sub\\dir"},
        {toLongPath(L"C:\\x"), L"\\\\?\\C:\\x"},
        {toLongPath(L"\\\\srv\\share\\x"), L"\\\\?\\UNC\\srv\\share\\x"},
        // only a full path takes the prefix
        {toLongPath(L"sub\\x"), L"sub\\x"},
        {trimSpaces(L" \t a b \r\n"), L"a b"},
        {gameRootOf(L"E:\\game"), L"E:\\"},
        {gameRootOf(L"E:\\TavinMere\\Game\\"), L"E:\\TavinMere"},
        {gameRootOf(L"E:\\mygame"), L""}};
    for (auto& [got, expected] : cases) EXPECT_EQ(got, expected);
    EXPECT_TRUE(equalsIgnoreCase(L"C:\\GAMES\\ÄÖ游", L"c:\\games\\äö游"));
    EXPECT_TRUE(equalsIgnoreCase(L"", L""));
    EXPECT_FALSE(equalsIgnoreCase(L"C:\\Games", L"C:\\Games\\"));
    EXPECT_FALSE(equalsIgnoreCase(L"C:\\Games", L"C:\\Gamez"));
    EXPECT_TRUE(endsWithIgnoreCase(L"D:\\x\\GAME", L"\\game"));
    EXPECT_FALSE(endsWithIgnoreCase(L"me", L"\\game"));
}

TEST_F(World, RegistryPathsOfStringTypesOnlyAndExpanded) {
    const wstring name = L"Program Files (x86)\\Steam 游戏", steam = dir / name;
    SetEnvironmentVariableW(L"LOCATE_TEST_BASE", dir.path().c_str());
    const struct {
        DWORD type;
        wstring data;
        // bytes short of the text with its terminator
        DWORD short_;
        // whether it reads as the folder
        bool found;
    } values[] = {{REG_SZ, L"  \"" + steam + L"\\\"  ", 0, 1},
                  {REG_EXPAND_SZ, L"%LOCATE_TEST_BASE%\\" + name, 0, 1},
                  // no terminator, an odd byte count, a zero inside
                  {REG_SZ, steam, 2, 1},
                  {REG_SZ, steam, 1, 1},
                  {REG_SZ, steam + wstring(1, L'\0') + L"junk", 2, 1},
                  {REG_SZ, L"   ", 0, 0},
                  // the number 42
                  {REG_DWORD, wstring(L"*\0", 2), 2, 0},
                  {REG_MULTI_SZ, steam, 0, 0}};
    for (const auto& v : values) {
        ASSERT_TRUE(setValue(HKEY_CURRENT_USER, SteamUserKey, L"SteamPath", v.type, v.data.c_str(),
                             DWORD(v.data.size() * 2 + 2 - v.short_)));
        EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, SteamUserKey, L"SteamPath", 0), v.found ? steam : L"") << v.type;
    }
    EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, SteamUserKey, L"Missing", 0), L"");
}

// Roots: the registry's in their order, then each fixed drive's own root with Steam, SteamLibrary,
// Games\Steam and Games\SteamLibrary where they exist; no vanished folder, no removable drive.
// Libraries: each root, then the further libraries its file names, each folder at its first place.
TEST_F(World, RootsAndLibrariesInFirstPlaceOrderOnceEachOnFixedDrivesOnly) {
    const wstring steam = dir / L"Steam", second = dir / L"Second", libA = dir / L"Lib A", libB = dir / L"Lib B";
    const wchar_t* onDrive[] = {L"", L"Steam", L"SteamLibrary", L"Games\\Steam", L"Games\\SteamLibrary"};
    for (auto f : onDrive) makeDirs(dir / L"fixed\\" + f);
    for (const wstring& f : {steam + L"\\steamapps", second + L"\\steamapps", libA, libB, dir / L"Lib C",
                             dir / L"fixed\\游戏\\Lib", dir / L"removable\\Steam"})
        makeDirs(f);
    Drive fixed(L'M', dir / L"fixed"), removable(L'M', dir / L"removable", DRIVE_REMOVABLE);
    ASSERT_TRUE(fixed.ok());
    ASSERT_TRUE(removable.ok());
    user(L"SteamPath", steam);
    user(L"InstallPath", second);
    setString(HKEY_LOCAL_MACHINE, SteamMachineKey, L"InstallPath", dir / L"vanished");
    setString(HKEY_LOCAL_MACHINE, SteamMachineKey, L"InstallPath", libA + L"\\", REG_SZ, KEY_WOW64_32KEY);
    // Nested layout with a BOM: a CJK path on the drive, the root again, a vanished and a UNC library.
    const wstring cjk = fixed.root() + L"游戏\\Lib";
    writeLibraries(steam,
                   L"\xFEFF" + nestedLibraryFolders({steam, cjk, libA, dir / L"gone", L"\\\\server\\share\\Lib"}));
    // The older flat layout: numbered keys map straight to folders; no other key names a library.
    writeLibraries(second, L"\"LibraryFolders\" { \"contentstatsid\" \"" + dir / L"Lib C" + L"\" \"1\" \"" + libB +
                               L"\" \"2\" \"" + libA + L"\" }");
    Strings roots{steam, second, libA}, libraries{steam, cjk, libA, second, libB};
    for (auto f : onDrive) roots.push_back(fixed.root() + f), libraries.push_back(fixed.root() + f);
    const wstring drives{fixed.root()[0], removable.root()[0]};
    EXPECT_EQ(ours(buildSteamRootList(), drives), roots);
    EXPECT_EQ(ours(findSteamLibraries(), drives), libraries);
    // A file that names its own root in three spellings lists it once, first.
    writeLibraries(steam, nestedLibraryFolders({steam + L"\\", steam + L"\\steamapps\\..", libA, steam}));
    const Strings found = findSteamLibraries();
    EXPECT_EQ(found[0], steam);
    EXPECT_EQ(found[1], libA);
}

// Strict UTF-8 first, its BOM dropped; other bytes are read in the ANSI code page, 1252 for Wine in the
// C.UTF-8 locale that tools/lib.sh sets.
TEST(TextFile, EncodingsAndSizes) {
    TempDir dir;
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
    EXPECT_EQ(readTextFile(dir / L"missing.vdf"), L"");
    EXPECT_EQ(readTextFile(dir.path()), L"");
    // past the size any library file has
    writeSparseFile(f, 16 * 1024 * 1024 + 1);
    EXPECT_EQ(readTextFile(f), L"");
}

TEST(QuotedStrings, EscapesEmptyAndUnterminated) {
    const std::pair<wstring, Strings> cases[] = {
        {L"\"a\" { \"b c\" } // \"d\"", {L"a", L"b c", L"d"}},
        {L"\"D:\\\\Lib\" \"say \\\"hi\\\"\" \"C:\\x\\n\"", {L"D:\\Lib", L"say \"hi\"", L"C:\\x\\n"}},
        {L"\"\"\"\" \"open", {L"", L"", L"open"}},
        {L"\"end\\", {L"end\\"}},
        {L"no quotes", {}}};
    for (auto& [text, tokens] : cases) EXPECT_EQ(extractQuotedStrings(text), tokens);
    EXPECT_EQ(extractQuotedStrings(wstring(100001, L'"')).size(), 50001u);
}

TEST(GameFolder, RootArchivesExecutableAndTheFiveStartingFolders) {
    TempDir dir;
    const wstring library = dir / L"Steam Library", common = library + L"\\steamapps\\common",
                  root = common + L"\\TavinMere", folder = game(root);
    for (const wstring& start :
         {folder, root + L"\\GAME\\", root, common, library + L"\\steamapps", library, L"\"" + library + L"/\""})
        EXPECT_TRUE(equalsIgnoreCase(resolveGameFolder(start), folder)) << narrow(start);
    EXPECT_EQ(resolveGameFolder(dir.path()), L"");
    // The patch alone (any case), a folder named like an archive or one deeper is not the game.
    DeleteFileW((folder + L"\\data.rpa").c_str());
    writeBytes(folder + L"\\PATCH.RPA", "x");
    makeDirs(folder + L"\\x.rpa\\deep.rpa");
    EXPECT_FALSE(isGameFolder(folder));
    writeBytes(folder + L"\\archive.RPA", "x");
    EXPECT_TRUE(isGameFolder(folder));
    DeleteFileW((root + L"\\Tavinmere.exe").c_str());
    // the executable must be a file
    makeDirs(root + L"\\Tavinmere.exe");
    EXPECT_FALSE(isGameFolder(folder));
    // A game deeper than MAX_PATH is found: the listing takes the long form.
    wstring deep = dir.path();
    while (deep.size() < 400) deep += L"\\a folder of some length";
    const wstring deepGame = game(deep + L"\\TavinMere");
    EXPECT_EQ(resolveGameFolder(deep), deepGame);
}

// The manifest names one folder inside common: a value that would lead elsewhere leaves the default name.
TEST(Manifest, InstallDirLeadingOutOfCommonLeavesTheDefault) {
    TempDir dir;
    makeDirs(dir / L"steamapps");
    for (std::string value : {"", "..\\\\..\\\\..\\\\Victim", "../Victim", "..", ".", "D:Victim", "C:\\\\Victim"}) {
        writeManifest(dir.path(), value);
        EXPECT_EQ(manifestCandidates(dir.path()).first.path, dir / L"steamapps\\common\\TavinMere\\game") << value;
    }
}

// Under Wine, after the roots Windows knows of: the home's Steam folders in their order, then the client
// Proton names with the libraries its file names by Linux path, then Proton's libraries, named as Steam
// names them (by their steamapps folder) or by themselves. Wine derives the home from the HOME a process
// starts with from Linux, so the test sets it as Wine writes it.
TEST_F(World, LinuxSideRootsAfterTheWindowsOnesInTheirOrder) {
    const wstring home = dir / L"home\\", client = dir / L"client";
    Strings roots{dir / L"Windows Steam"}, expected;
    for (auto f : {L".local\\share\\Steam", L".steam\\steam", L".steam\\root", L".steam\\debian-installation",
                   L".var\\app\\com.valvesoftware.Steam\\.local\\share\\Steam",
                   L".var\\app\\com.valvesoftware.Steam\\data\\Steam", L"snap\\steam\\common\\.local\\share\\Steam"})
        roots.push_back(home + f);
    roots.insert(roots.end(), {client, dir / L"SD card 游戏", dir / L"Proton Lib", dir / L"Proton Lib 2"});
    for (const wstring& root : roots) expected.push_back(gameIn(root));
    user(L"SteamPath", roots[0]);
    writeLibraries(client, nestedLibraryFolders({widen(unixPathOf(roots[9]))}));
    const std::pair<const wchar_t*, wstring> variables[] = {
        {L"STEAM_COMPAT_CLIENT_INSTALL_PATH", widen(unixPathOf(client))},
        {L"STEAM_COMPAT_LIBRARY_PATHS",
         widen(unixPathOf(roots[10] + L"\\steamapps") + ":/nowhere:" + unixPathOf(roots[11]))},
        {L"WINEHOMEDIR", L"\\??\\" + home}};
    wchar_t saved[MAX_PATH] = {};
    GetEnvironmentVariableW(L"WINEHOMEDIR", saved, MAX_PATH);
    for (auto& [name, value] : variables) SetEnvironmentVariableW(name, value.c_str());
    EXPECT_EQ(detect(L""), expected);
    for (auto& [name, value] : variables) SetEnvironmentVariableW(name, nullptr);
    SetEnvironmentVariableW(L"WINEHOMEDIR", saved);
}

TEST_F(World, EverySourceRankedAndMergedToItsBest) {
    // Given first: picked, then --dest; then the installer in a game folder, the uninstall entry, the
    // manifests (a newer one before an older one, a manifest's folder before the default one beside it),
    // and last a library without a manifest.
    const wstring steam = dir / L"Steam", newer = dir / L"Newer", plain = dir / L"Plain",
                  installed = game(dir / L"Installed"), uninstalled = game(dir / L"Uninstalled 游戏"),
                  custom = gameIn(steam, L"Tavin Mere"), steamGame = gameIn(steam), newerGame = gameIn(newer),
                  plainGame = gameIn(plain), given = game(dir / L"Given"), picked = game(dir / L"Picked");
    writeManifest(steam, "Tavin Mere");
    writeManifest(newer, "TavinMere", Newer);
    writeLibraries(steam, nestedLibraryFolders({steam, plain, newer}));
    user(L"SteamPath", steam);
    setString(HKEY_LOCAL_MACHINE, UninstallKey, L"InstallLocation", dir / L"Uninstalled 游戏\\", REG_SZ,
              KEY_WOW64_32KEY);
    EXPECT_EQ(detect(installed, dir / L"Given", picked),
              (Strings{picked + L" (given)", given + L" (given)", installed, uninstalled, newerGame, custom, steamGame,
                       plainGame}));
    // One location from several sources is listed once, at the place of its best one: the uninstall entry
    // lifts the Steam root's default folder over the manifests; --dest makes it given; the installer in
    // the game's root lifts it as well. Without its own path the installer adds nothing, not even a "game"
    // folder where the current directory is.
    setString(HKEY_CURRENT_USER, UninstallKey, L"InstallLocation", steam + L"/steamapps/common/TavinMere");
    SetCurrentDirectoryW((dir / L"Picked").c_str());
    EXPECT_EQ(detect(L""), (Strings{steamGame, uninstalled, newerGame, custom, plainGame}));
    SetCurrentDirectoryW(L"C:\\");
    const wstring root = gameRootOf(steamGame);
    EXPECT_EQ(detect(root, steam)[0], steamGame + L" (given)");
    clearSteamRegistry();
    user(L"SteamPath", steam);
    EXPECT_EQ(detect(root)[0], steamGame);
    EXPECT_EQ(candidateCounterText(English, 0, 1), L"");
}
