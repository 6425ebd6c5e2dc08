// Game location on the Wine prefix's real registry, files and drives: path rules, Steam roots and
// libraries, the manifest and the game folder test and the ranked list, and hostile
// input (broken registry values, oversized and self-naming library files).
#include <gtest/gtest.h>

#include <algorithm>

#include "base/texts.h"
#include "locate/candidates.h"
#include "locate/manifest.h"
#include "locate/paths.h"
#include "locate/steam.h"
#include "support/support.h"
#include "support/world.h"

namespace {

using Strings = std::vector<std::wstring>;
// Manifest times 2 s apart in 2022; the prefix's file system keeps whole seconds exactly.
constexpr uint64_t Older = 133000000000000000ull, Newer = Older + 20000000ull;

size_t indexIn(const Strings& list, const std::wstring& path) {
    for (size_t i = 0; i < list.size(); ++i)
        if (equalsIgnoreCase(list[i], normalizePath(path))) return i;
    return list.size();
}

std::wstring game(const std::wstring& root) { return normalizePath(makeGame(root)); }
// The game in a library's common folder, under that folder name.
std::wstring gameIn(const std::wstring& library, const std::wstring& name = L"TavinMere") {
    return game(library + L"\\steamapps\\common\\" + name);
}
void writeManifest(const std::wstring& library, const std::string& installdir) {
    writeBytes(library + L"\\steamapps\\appmanifest_2719305.acf",
               "\"AppState\" { \"installdir\" \"" + installdir + "\" }");
}

// A location as the window shows it: its path, marked when the user gave it.
std::wstring describe(const GameCandidate& c) { return c.path + (c.manual ? L" (given)" : L""); }

class World : public ::testing::Test {
protected:
    void SetUp() override { world::clearSteamRegistry(); }
    void TearDown() override { world::clearSteamRegistry(); }
    void setSteamPath(const std::wstring& path, DWORD type = REG_SZ) {
        world::setString(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", path, type);
    }
    std::wstring steamPath() { return readRegistryPath(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", 0); }
    // The entries found in the test's own folder: the prefix may hold other Steam worlds.
    Strings detect(const std::wstring& installerDir, const std::wstring& dest = L"", const std::wstring& chosen = L"") {
        Strings out;
        for (const GameCandidate& c : findGameLocations(installerDir, dest, chosen))
            if (equalsIgnoreCase(c.path.substr(0, dir.path().size()), dir.path())) out.push_back(describe(c));
        return out;
    }
    TempDir dir;
};

}  // namespace

TEST(Paths, TextRules) {
    SetCurrentDirectoryW(L"C:\\");
    const std::pair<std::wstring, std::wstring> cases[] = {
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
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].first, cases[i].second) << i;
    EXPECT_TRUE(equalsIgnoreCase(L"C:\\GAMES\\ÄÖ游", L"c:\\games\\äö游"));
    EXPECT_TRUE(equalsIgnoreCase(L"", L""));
    EXPECT_FALSE(equalsIgnoreCase(L"C:\\Games", L"C:\\Games\\"));
    EXPECT_FALSE(equalsIgnoreCase(L"C:\\Games", L"C:\\Gamez"));
    EXPECT_TRUE(endsWithIgnoreCase(L"D:\\x\\GAME", L"\\game"));
    EXPECT_FALSE(endsWithIgnoreCase(L"me", L"\\game"));
}

TEST_F(World, RegistryPathsOfStringTypesOnlyAndExpanded) {
    const std::wstring steam = normalizePath(dir / L"Program Files (x86)\\Steam 游戏");
    SetEnvironmentVariableW(L"LOCATE_TEST_BASE", dir.path().c_str());
    const struct {
        DWORD type;
        std::wstring data;
        // bytes short of the text with its terminator
        DWORD short_;
        std::wstring expected;
    } values[] = {{REG_SZ, L"  \"" + steam + L"\\\"  ", 0, steam},
                  {REG_EXPAND_SZ, L"%LOCATE_TEST_BASE%\\Program Files (x86)\\Steam 游戏", 0, steam},
                  // no terminator, an odd byte count, a zero inside
                  {REG_SZ, steam, 2, steam},
                  {REG_SZ, steam, 1, steam},
                  {REG_SZ, steam + std::wstring(1, L'\0') + L"junk", 2, steam},
                  {REG_SZ, L"   ", 0, L""},
                  // the number 42
                  {REG_DWORD, std::wstring(L"*\0", 2), 2, L""},
                  {REG_MULTI_SZ, steam, 0, L""}};
    for (const auto& v : values) {
        const DWORD bytes = DWORD(v.data.size() * 2 + 2 - v.short_);
        ASSERT_TRUE(
            world::setValue(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", v.type, v.data.c_str(), bytes));
        EXPECT_EQ(steamPath(), v.expected) << v.type;
    }
    EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, world::SteamUserKey, L"Missing", 0), L"");
}

TEST_F(World, RootsInTheirOrderOnceEachOnFixedDrivesOnly) {
    const std::wstring steam = dir / L"Steam", second = dir / L"Second";
    for (const std::wstring& f : {steam, second, dir / L"fixed\\Games\\SteamLibrary", dir / L"fixed\\SteamLibrary",
                                  dir / L"fixed\\Games\\Steam", dir / L"removable\\Steam"})
        makeDirs(f);
    setSteamPath(steam);
    world::setString(HKEY_LOCAL_MACHINE, world::SteamMachineKey, L"InstallPath", steam + L"\\");
    world::setString(HKEY_CURRENT_USER, world::SteamUserKey, L"InstallPath", dir / L"vanished");
    world::setString(HKEY_LOCAL_MACHINE, world::SteamMachineKey, L"InstallPath", second, REG_SZ, KEY_WOW64_32KEY);
    world::Drive fixed(L'M', dir / L"fixed"), removable(L'M', dir / L"removable", DRIVE_REMOVABLE);
    ASSERT_TRUE(fixed.ok());
    ASSERT_TRUE(removable.ok());
    const Strings roots = buildSteamRootList();
    EXPECT_EQ(indexIn(roots, steam), 0u);
    EXPECT_EQ(indexIn(roots, second), 1u);
    size_t drive = indexIn(roots, fixed.root());
    ASSERT_LT(drive, roots.size());
    // A fixed drive's own root, then SteamLibrary, Games\Steam and Games\SteamLibrary where they exist.
    for (const wchar_t* found : {L"SteamLibrary", L"Games\\Steam", L"Games\\SteamLibrary"})
        EXPECT_EQ(indexIn(roots, fixed.root() + found), ++drive) << narrow(found);
    for (const std::wstring& absent : {dir / L"vanished", removable.root(), removable.root() + L"Steam"})
        EXPECT_EQ(indexIn(roots, absent), roots.size()) << narrow(absent);
    // each once
    for (size_t i = 0; i < roots.size(); ++i) EXPECT_EQ(indexIn(roots, roots[i]), i);
}

// Strict UTF-8 first, its BOM dropped; other bytes are read in the ANSI code page, 1252 for Wine in the
// C.UTF-8 locale that tools/lib.sh sets.
TEST(TextFile, EncodingsSizesAndSharing) {
    TempDir dir;
    const std::wstring f = dir / L"a.vdf";
    const std::pair<std::string, std::wstring> cases[] = {
        {"\xEF\xBB\xBF\"D:\\\\\xE6\xB8\xB8\xE6\x88\x8F\"", L"\"D:\\\\游戏\""},
        {"\xF0\x9F\x8E\xAE \xC3\xA9", L"\U0001F3AE é"},
        {"Biblioth\xE8que", L"Bibliothèque"}};
    ASSERT_EQ(GetACP(), 1252u);
    for (const auto& [bytes, text] : cases) {
        writeBytes(f, bytes);
        EXPECT_EQ(readTextFile(f), text) << bytes;
    }
    EXPECT_EQ(readTextFile(dir / L"missing.vdf"), L"");
    EXPECT_EQ(readTextFile(dir.path()), L"");
    // past the size any library file has
    writeSparseFile(f, 16 * 1024 * 1024 + 1);
    EXPECT_EQ(readTextFile(f), L"");
}

TEST(QuotedStrings, EscapesEmptyAndUnterminated) {
    EXPECT_EQ(extractQuotedStrings(L"\"a\" { \"b c\" } // \"d\""), (Strings{L"a", L"b c", L"d"}));
    EXPECT_EQ(extractQuotedStrings(L"\"D:\\\\Lib\" \"say \\\"hi\\\"\" \"C:\\x\\n\""),
              (Strings{L"D:\\Lib", L"say \"hi\"", L"C:\\x\\n"}));
    EXPECT_EQ(extractQuotedStrings(L"\"\"\"\" \"open"), (Strings{L"", L"", L"open"}));
    EXPECT_EQ(extractQuotedStrings(L"\"end\\"), Strings{L"end\\"});
    EXPECT_EQ(extractQuotedStrings(L"no quotes"), Strings{});
    EXPECT_EQ(extractQuotedStrings(std::wstring(100001, L'"')).size(), 50001u);
}

TEST(GameFolder, RootArchivesExecutableAndTheFiveStartingFolders) {
    TempDir dir;
    const std::wstring library = dir / L"Steam Library", root = library + L"\\steamapps\\common\\TavinMere";
    const std::wstring folder = game(root);
    for (const std::wstring& start : {folder, root + L"\\GAME\\", root, library + L"\\steamapps\\common",
                                      library + L"\\steamapps", library, L"\"" + library + L"/\""})
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
    std::wstring deep = dir.path();
    while (deep.size() < 400) deep += L"\\a folder of some length";
    makeGame(deep + L"\\TavinMere");
    EXPECT_EQ(resolveGameFolder(deep), normalizePath(deep + L"\\TavinMere\\game"));
}

// The manifest names one folder inside common: a value that would lead elsewhere leaves the default name.
TEST(Manifest, InstallDirLeadingOutOfCommonLeavesTheDefault) {
    TempDir dir;
    makeDirs(dir / L"steamapps");
    for (const std::string value :
         {"", "..\\\\..\\\\..\\\\Victim", "../Victim", "..", ".", "D:Victim", "C:\\\\Victim"}) {
        writeManifest(dir.path(), value);
        EXPECT_EQ(manifestCandidates(dir.path()).first.path, dir / L"steamapps\\common\\TavinMere\\game") << value;
    }
}

TEST_F(World, LibrariesFromNestedAndFlatFilesInFirstPlaceOrder) {
    const std::wstring steam = dir / L"Steam", second = dir / L"Second Steam", libA = dir / L"Lib A";
    const std::wstring libB = dir / L"Lib B";
    for (const std::wstring& f :
         {steam + L"\\steamapps", second + L"\\steamapps", libA, libB, dir / L"Lib C", dir / L"cjk\\游戏\\Lib"})
        makeDirs(f);
    world::Drive cjk(L'D', dir / L"cjk");
    ASSERT_TRUE(cjk.ok());
    // Nested layout with a BOM: a CJK path, the root again, a vanished and a UNC library.
    writeBytes(steam + L"\\steamapps\\libraryfolders.vdf",
               "\xEF\xBB\xBF" + narrow(world::nestedLibraryFolders({steam, cjk.root() + L"游戏\\Lib", libA,
                                                                    dir / L"gone", L"\\\\server\\share\\Lib"})));
    // The older flat layout: numbered keys map straight to folders; no other key names a library.
    writeBytes(second + L"\\steamapps\\libraryfolders.vdf",
               narrow(L"\"LibraryFolders\" { \"contentstatsid\" \"" + dir / L"Lib C" + L"\" \"1\" \"" + libB +
                      L"\" \"2\" \"" + libA + L"\" }"));
    setSteamPath(steam);
    world::setString(HKEY_CURRENT_USER, world::SteamUserKey, L"InstallPath", second);
    Strings ours;
    for (const std::wstring& l : findSteamLibraries())
        if (l.rfind(dir.path(), 0) == 0 || l[0] == cjk.root()[0]) ours.push_back(l);
    EXPECT_EQ(ours, (Strings{steam, cjk.root() + L"游戏\\Lib", libA, second, libB, cjk.root()}));
    // A file that names its own root in three spellings lists it once, first.
    writeBytes(steam + L"\\steamapps\\libraryfolders.vdf",
               narrow(world::nestedLibraryFolders({steam + L"\\", steam + L"\\steamapps\\..", libA, steam})));
    const Strings libraries = findSteamLibraries();
    EXPECT_EQ(libraries[0], steam);
    EXPECT_EQ(libraries[1], libA);
}

// Under Wine, after the roots Windows knows of: the home's Steam folders in their order, then the client
// Proton names with the libraries its file names by Linux path, then Proton's libraries, named as Steam
// names them (by their steamapps folder) or by themselves. Wine derives the home from the HOME a process
// starts with from Linux, so the test sets it as Wine writes it.
TEST_F(World, LinuxSideRootsAfterTheWindowsOnesInTheirOrder) {
    const std::wstring home = dir / L"home", client = dir / L"client";
    Strings roots{dir / L"Windows Steam"};
    for (const wchar_t* f :
         {L".local\\share\\Steam", L".steam\\steam", L".steam\\root", L".steam\\debian-installation",
          L".var\\app\\com.valvesoftware.Steam\\.local\\share\\Steam",
          L".var\\app\\com.valvesoftware.Steam\\data\\Steam", L"snap\\steam\\common\\.local\\share\\Steam"})
        roots.push_back(home + L"\\" + f);
    roots.insert(roots.end(), {client, dir / L"SD card 游戏", dir / L"Proton Lib", dir / L"Proton Lib 2"});
    Strings expected;
    for (const std::wstring& root : roots) expected.push_back(game(root + L"\\steamapps\\common\\TavinMere"));
    setSteamPath(roots[0]);
    writeBytes(client + L"\\steamapps\\libraryfolders.vdf",
               "\"LibraryFolders\" { \"contentstatsid\" \"-8\" \"1\" { \"path\" \"" + unixPathOf(roots[9]) + "\" } }");
    const std::pair<const wchar_t*, std::wstring> variables[] = {
        {L"STEAM_COMPAT_CLIENT_INSTALL_PATH", widen(unixPathOf(client))},
        {L"STEAM_COMPAT_LIBRARY_PATHS",
         widen(unixPathOf(roots[10] + L"\\steamapps") + ":/nowhere:" + unixPathOf(roots[11]))},
        {L"WINEHOMEDIR", L"\\??\\" + home}};
    wchar_t saved[MAX_PATH] = {};
    GetEnvironmentVariableW(L"WINEHOMEDIR", saved, MAX_PATH);
    for (const auto& [name, value] : variables) SetEnvironmentVariableW(name, value.c_str());
    EXPECT_EQ(detect(L""), expected);
    for (const auto& [name, value] : variables) SetEnvironmentVariableW(name, nullptr);
    SetEnvironmentVariableW(L"WINEHOMEDIR", saved);
}

TEST_F(World, EverySourceRankedAndMergedToItsBest) {
    // Given first: picked, then --dest; then the installer in a game folder, the uninstall entry, the
    // manifests (a newer one before an older one, a manifest's folder before the default one beside it),
    // and last a library without a manifest.
    const std::wstring steam = dir / L"Steam", newer = dir / L"Newer Library", plain = dir / L"Plain Library";
    const std::wstring installerGame = game(dir / L"Installed Here"), uninstallGame = game(dir / L"Uninstalled 游戏");
    const std::wstring custom = gameIn(steam, L"Tavin Mere"), steamDefault = gameIn(steam), newerGame = gameIn(newer);
    const std::wstring plainGame = gameIn(plain), destGame = game(dir / L"Given"), pickedGame = game(dir / L"Picked");
    writeManifest(steam, "Tavin Mere");
    writeManifest(newer, "TavinMere");
    ASSERT_TRUE(world::setLastWriteTime(steam + L"\\steamapps\\appmanifest_2719305.acf", Older));
    ASSERT_TRUE(world::setLastWriteTime(newer + L"\\steamapps\\appmanifest_2719305.acf", Newer));
    writeBytes(steam + L"\\steamapps\\libraryfolders.vdf", narrow(world::nestedLibraryFolders({steam, plain, newer})));
    setSteamPath(steam);
    world::setString(HKEY_LOCAL_MACHINE, world::UninstallKey, L"InstallLocation", dir / L"Uninstalled 游戏\\", REG_SZ,
                     KEY_WOW64_32KEY);
    EXPECT_EQ(detect(installerGame, dir / L"Given", pickedGame),
              (Strings{pickedGame + L" (given)", destGame + L" (given)", installerGame, uninstallGame, newerGame,
                       custom, steamDefault, plainGame}));
    // One location from several sources is listed once, at the place of its best one: the uninstall entry
    // lifts the Steam root's default folder over the manifests; --dest makes it given; the installer in
    // the game's root lifts it as well. Without its own path the installer adds nothing, not even a "game"
    // folder where the current directory is.
    world::setString(HKEY_CURRENT_USER, world::UninstallKey, L"InstallLocation",
                     steam + L"/steamapps/common/TavinMere");
    SetCurrentDirectoryW(gameRootOf(pickedGame).c_str());
    EXPECT_EQ(detect(L""), (Strings{steamDefault, uninstallGame, newerGame, custom, plainGame}));
    EXPECT_EQ(detect(steam + L"\\steamapps\\common\\TavinMere", steam)[0], steamDefault + L" (given)");
    world::clearSteamRegistry();
    setSteamPath(steam);
    EXPECT_EQ(detect(steam + L"\\steamapps\\common\\TavinMere")[0], steamDefault);
    SetCurrentDirectoryW(L"C:\\");
    // A folder given that is no game is not listed.
    std::vector<GameCandidate> direct;
    addCandidate(direct, dir / L"Given", true, 2000, 9);
    EXPECT_TRUE(direct.empty());
    EXPECT_EQ(candidateCounterText(English, 0, 1), L"");
}
