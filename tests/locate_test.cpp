// Game location on the Wine prefix's real registry, files and drives: path rules, Steam roots and
// libraries, the manifest and the game folder test, the ranked list and the folder picker, and hostile
// input (text generated with a fixed seed, broken registry values, huge and self-naming files, loops).
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "base/texts.h"
#include "locate/candidates.h"
#include "locate/manifest.h"
#include "locate/paths.h"
#include "locate/steam.h"
#include "support/support.h"
#include "support/world.h"

namespace {

using Strings = std::vector<std::wstring>;
constexpr uint32_t Seed = 20261207;
// Manifest times 2 s apart in 2022; the prefix's file system keeps whole seconds exactly.
constexpr uint64_t Older = 133000000000000000ull;
constexpr uint64_t Newer = Older + 20000000ull;

size_t indexIn(const Strings& list, const std::wstring& path) {
    for (size_t i = 0; i < list.size(); ++i)
        if (equalsIgnoreCase(list[i], normalizePath(path))) return i;
    return list.size();
}

wchar_t freeLetter(wchar_t from) {
    for (wchar_t c = from; c <= L'Y'; ++c) {
        const wchar_t root[] = {c, L':', L'\\', 0};
        if (GetDriveTypeW(root) == DRIVE_NO_ROOT_DIR) return c;
    }
    return 0;
}

std::wstring game(const std::wstring& root) { return normalizePath(makeGame(root)); }

// The entries in the test's own folder: the prefix may hold other Steam worlds.
std::vector<GameCandidate> inside(const std::vector<GameCandidate>& list, const std::wstring& folder) {
    std::vector<GameCandidate> out;
    const std::wstring prefix = normalizePath(folder) + L"\\";
    for (const GameCandidate& c : list)
        if (equalsIgnoreCase(c.path.substr(0, prefix.size()), prefix)) out.push_back(c);
    return out;
}

void expectEntry(const GameCandidate& c, const std::wstring& path, bool manual, int32_t score, uint64_t stamp) {
    EXPECT_TRUE(equalsIgnoreCase(c.path, path)) << narrow(c.path) << " vs " << narrow(path);
    EXPECT_EQ(c.manual, manual) << narrow(path);
    EXPECT_EQ(c.score, score) << narrow(path);
    EXPECT_EQ(c.stamp, stamp) << narrow(path);
}

// Characters that matter to the readers mixed with others, lone surrogates and zeros.
std::wstring randomText(std::mt19937& rng, size_t maxLength) {
    static const wchar_t alphabet[] = L"\"\\\\\"{}/ \t\r\n:.aZ9游\xD800\xDC00\xDFFF\xFEFF";
    std::wstring s(rng() % (maxLength + 1), L'\0');
    for (wchar_t& c : s)
        c = rng() % 4 == 0 ? static_cast<wchar_t>(1 + rng() % 0xFFFF) : alphabet[rng() % std::size(alphabet)];
    return s;
}

class World : public ::testing::Test {
protected:
    void SetUp() override { world::clearSteamRegistry(); }
    void TearDown() override { world::clearSteamRegistry(); }
    std::vector<GameCandidate> detect(const std::wstring& installerDir, const std::wstring& dest = L"",
                                      const std::wstring& chosen = L"") {
        return inside(findGameLocations(installerDir, dest, chosen), dir.path());
    }
    TempDir dir;
};

}  // namespace

TEST(Paths, TextRules) {
    SetCurrentDirectoryW(L"C:\\");
    const struct {
        std::wstring got, expected;
    } cases[] = {
        {normalizePath(L"  \"C:/Program Files (x86)/Steam/\"  "), L"C:\\Program Files (x86)\\Steam"},
        {normalizePath(L"C:\\"), L"C:\\"},
        {normalizePath(L"C:\\\\\\"), L"C:\\"},
        {normalizePath(L"\"\""), L""},
        {normalizePath(L" \t "), L""},
        {normalizePath(L"D:\\Steam\\steamapps\\..\\steamapps\\common"), L"D:\\Steam\\steamapps\\common"},
        {normalizePath(L"\\\\server\\share\\"), L"\\\\server\\share"},
        {normalizePath(L"\"C:\\x"), L"C:\\\"C:\\x"},  // a lone quote stays, and the text is relative then
        {joinPath(L"C:\\", L"Steam"), L"C:\\Steam"},
        {joinPath(L"C:\\Games", L"Steam"), L"C:\\Games\\Steam"},
        {joinPath(L"C:/x/", L"y"), L"C:/x/y"},
        {joinPath(L"", L"game"), L"game"},
        {joinPath(L"C:\\x", L""), L"C:\\x"},
        {parentFolder(L"C:\\Games\\patch.rpa"), L"C:\\Games"},
        {parentFolder(L"C:\\patch.rpa"), L"C:\\"},
        {parentFolder(L"C:\\"), L"C:\\"},
        {parentFolder(L"D:/a/b/"), L"D:/a/b"},
        {parentFolder(L"patch.rpa"), L""},
        {parentFolder(L"\\file"), L""},
        {parentFolder(L""), L""},
        {toLongPath(L"C:\\x"), L"\\\\?\\C:\\x"},
        {toLongPath(L"\\\\srv\\share\\x"), L"\\\\?\\UNC\\srv\\share\\x"},
        {toLongPath(L"\\\\?\\C:\\x"), L"\\\\?\\C:\\x"},
        {toLongPath(L"relative\\x"), L"relative\\x"},
        {trimSpaces(L" \t a b \r\n"), L"a b"},
    };
    for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].got, cases[i].expected) << i;
    EXPECT_EQ(normalizePath(L"sub\\dir"), L"C:\\sub\\dir");
    EXPECT_TRUE(equalsIgnoreCase(L"C:\\GAMES\\ÄÖ游", L"c:\\games\\äö游"));
    EXPECT_FALSE(equalsIgnoreCase(L"C:\\Games", L"C:\\Games\\"));
    EXPECT_FALSE(equalsIgnoreCase(L"C:\\Games", L"C:\\Gamez"));
    EXPECT_TRUE(endsWithIgnoreCase(L"D:\\x\\GAME", L"\\game"));
    EXPECT_FALSE(endsWithIgnoreCase(L"me", L"\\game"));
    EXPECT_TRUE(endsWithIgnoreCase(L"abc", L""));
    TempDir dir;
    writeBytes(dir / L"file", "x");
    EXPECT_TRUE(isExistingFile(dir / L"file") && !isExistingDirectory(dir / L"file"));
    EXPECT_TRUE(isExistingDirectory(dir.path()) && !isExistingFile(dir.path()));
    EXPECT_FALSE(isExistingFile(dir / L"missing") || isExistingDirectory(dir / L"missing"));
}

TEST_F(World, RegistryPathsOfStringTypesOnlyExpandedAndPerView) {
    const std::wstring steam = dir / L"Program Files (x86)\\Steam 游戏";
    makeDirs(steam);
    std::wstring untidy = L"  \"" + steam + L"\\\"  ";
    std::replace(untidy.begin(), untidy.end(), L'\\', L'/');
    SetEnvironmentVariableW(L"LOCATE_TEST_BASE", dir.path().c_str());
    const std::wstring withZero = steam + std::wstring(1, L'\0') + L"junk";
    const DWORD number = 42;
    const struct {
        DWORD type;
        const void* data;
        DWORD bytes;
        std::wstring expected;
    } values[] = {
        {REG_SZ, untidy.c_str(), DWORD(untidy.size() * 2 + 2), normalizePath(steam)},
        {REG_EXPAND_SZ, L"%LOCATE_TEST_BASE%\\Program Files (x86)\\Steam 游戏", 0, normalizePath(steam)},
        {REG_SZ, L"%LOCATE_TEST_BASE%", 0, normalizePath(L"%LOCATE_TEST_BASE%")},      // taken literally
        {REG_SZ, steam.c_str(), DWORD(steam.size() * 2), normalizePath(steam)},        // without a terminator
        {REG_SZ, steam.c_str(), DWORD(steam.size() * 2 + 1), normalizePath(steam)},    // an odd byte count
        {REG_SZ, withZero.c_str(), DWORD(withZero.size() * 2), normalizePath(steam)},  // a zero ends the text
        {REG_SZ, "\x41", 1, L""},
        {REG_SZ, L"   ", 0, L""},
        {REG_DWORD, &number, 4, L""},
        {REG_BINARY, steam.c_str(), DWORD(steam.size() * 2 + 2), L""},
        {REG_MULTI_SZ, steam.c_str(), DWORD(steam.size() * 2 + 2), L""},
    };
    for (const auto& v : values) {
        const DWORD bytes = v.bytes ? v.bytes : DWORD((wcslen(static_cast<const wchar_t*>(v.data)) + 1) * 2);
        world::RegistryValue value(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", v.type, v.data, bytes);
        ASSERT_TRUE(value.ok());
        EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", 0), v.expected) << v.type;
    }
    EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, world::SteamUserKey, L"Missing", 0), L"");
    world::RegistryValue only32(HKEY_LOCAL_MACHINE, world::SteamMachineKey, L"InstallPath", steam, REG_SZ,
                                KEY_WOW64_32KEY);
    EXPECT_EQ(readRegistryPath(HKEY_LOCAL_MACHINE, world::SteamMachineKey, L"InstallPath", KEY_WOW64_32KEY),
              normalizePath(steam));
    EXPECT_EQ(readRegistryPath(HKEY_LOCAL_MACHINE, world::SteamMachineKey, L"InstallPath", KEY_WOW64_64KEY), L"");
    EXPECT_EQ(indexIn(buildSteamRootList(), steam), 0u);
    // 1 MiB of text, and an expansion past the system's 32K cap: some text back, never a crash.
    world::RegistryValue huge(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath",
                              L"C:\\" + std::wstring(512 * 1024, L'a'));
    EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", 0).size(), 512u * 1024 + 3);
    SetEnvironmentVariableW(L"LOCATE_LONG", std::wstring(30000, L'b').c_str());
    world::RegistryValue longer(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath",
                                L"C:\\%LOCATE_LONG%\\%LOCATE_LONG%", REG_EXPAND_SZ);
    EXPECT_FALSE(readRegistryPath(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", 0).empty());
}

TEST_F(World, RootListInItsOrderOnceEachWithFixedDrivesOnly) {
    const std::wstring steam = dir / L"Steam";
    const std::wstring pf86 = dir / L"pf86", pf = dir / L"pf";
    for (const std::wstring& f : {steam, pf86 + L"\\Steam", pf + L"\\Steam", dir / L"fixed\\Games\\SteamLibrary",
                                  dir / L"fixed\\SteamLibrary", dir / L"removable\\Steam"})
        makeDirs(f);
    wchar_t savedPf86[MAX_PATH] = {}, savedPf[MAX_PATH] = {};
    GetEnvironmentVariableW(L"ProgramFiles(x86)", savedPf86, MAX_PATH);
    GetEnvironmentVariableW(L"ProgramFiles", savedPf, MAX_PATH);
    world::RegistryValue user(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", steam);
    world::RegistryValue machine(HKEY_LOCAL_MACHINE, world::SteamMachineKey, L"InstallPath", steam + L"\\");
    world::RegistryValue gone(HKEY_CURRENT_USER, world::SteamUserKey, L"InstallPath", dir / L"vanished");
    SetEnvironmentVariableW(L"ProgramFiles(x86)", pf86.c_str());
    SetEnvironmentVariableW(L"ProgramFiles", pf.c_str());
    world::Drive fixed(freeLetter(L'M'), dir / L"fixed");
    world::Drive removable(freeLetter(L'M'), dir / L"removable", DRIVE_REMOVABLE);
    ASSERT_TRUE(fixed.ok() && removable.ok());
    const Strings roots = buildSteamRootList();
    SetEnvironmentVariableW(L"ProgramFiles(x86)", savedPf86);
    SetEnvironmentVariableW(L"ProgramFiles", savedPf);
    EXPECT_EQ(indexIn(roots, steam), 0u);
    EXPECT_EQ(indexIn(roots, pf86 + L"\\Steam"), 1u);
    EXPECT_EQ(indexIn(roots, pf + L"\\Steam"), 2u);
    const size_t drive = indexIn(roots, fixed.root());
    ASSERT_LT(drive, roots.size());
    EXPECT_EQ(indexIn(roots, fixed.root() + L"SteamLibrary"), drive + 1);
    EXPECT_EQ(indexIn(roots, fixed.root() + L"Games\\SteamLibrary"), drive + 2);
    for (const std::wstring& absent : {dir / L"vanished", removable.root(), removable.root() + L"Steam"})
        EXPECT_EQ(indexIn(roots, absent), roots.size()) << narrow(absent);
    for (size_t i = 0; i < roots.size(); ++i)
        for (size_t j = i + 1; j < roots.size(); ++j) EXPECT_FALSE(equalsIgnoreCase(roots[i], roots[j]));
}

TEST(TextFile, EncodingsSizesAndSharing) {
    TempDir dir;
    const std::wstring f = dir / L"a.vdf";
    // Strict UTF-8 first, its BOM dropped; invalid UTF-8 is read in the ANSI code page, here that of the prefix.
    const struct {
        UINT codePage;
        std::string bytes;
        std::wstring text;
    } cases[] = {
        {0, "\xEF\xBB\xBF\"D:\\\\\xE6\xB8\xB8\xE6\x88\x8F\"", L"\"D:\\\\游戏\""},
        {0, "plain", L"plain"},
        {0, "", L""},
        {1252, "Biblioth\xE8que", L"Bibliothèque"},
        {936, "\xD3\xCE\xCF\xB7", L"游戏"},
        {950, "\xB9\x43\xC0\xB8", L"遊戲"},
    };
    int fallbacks = 0;
    for (const auto& c : cases) {
        if (c.codePage != 0 && c.codePage != GetACP()) continue;
        fallbacks += c.codePage != 0;
        writeBytes(f, c.bytes);
        EXPECT_EQ(readTextFile(f), c.text) << c.bytes;
    }
    EXPECT_EQ(fallbacks, 1) << "no case for the prefix's code page " << GetACP();
    EXPECT_EQ(readTextFile(dir / L"missing.vdf"), L"");
    EXPECT_EQ(readTextFile(dir.path()), L"");
    writeSparseFile(f, 16 * 1024 * 1024);
    EXPECT_EQ(readTextFile(f).size(), 16u * 1024 * 1024);
    writeSparseFile(f, 16 * 1024 * 1024 + 1);
    EXPECT_EQ(readTextFile(f), L"");
    // Steam may hold the file open for writing while it is read.
    writeBytes(f, "\"x\"");
    HANDLE writer = CreateFileW(f.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(readTextFile(f), L"\"x\"");
    CloseHandle(writer);
}

TEST(QuotedStrings, EscapesEmptyUnterminatedAndGeneratedText) {
    using V = Strings;
    EXPECT_EQ(extractQuotedStrings(L"\"a\" { \"b c\" } // \"d\""), (V{L"a", L"b c", L"d"}));
    EXPECT_EQ(extractQuotedStrings(L"\"D:\\\\Steam\\\\Lib\" \"say \\\"hi\\\"\""),
              (V{L"D:\\Steam\\Lib", L"say \"hi\""}));
    EXPECT_EQ(extractQuotedStrings(L"\"C:\\x\\n\""), (V{L"C:\\x\\n"}));
    EXPECT_EQ(extractQuotedStrings(L"\"\"\"\""), (V{L"", L""}));
    EXPECT_EQ(extractQuotedStrings(L"\"open"), (V{L"open"}));
    EXPECT_EQ(extractQuotedStrings(L"\"end\\"), (V{L"end\\"}));
    EXPECT_EQ(extractQuotedStrings(L"no quotes"), V{});
    EXPECT_EQ(extractQuotedStrings(std::wstring(100001, L'"')).size(), 50001u);
    EXPECT_EQ(extractQuotedStrings(L"\"" + std::wstring(99999, L'\\'))[0].size(), 50000u);
    // Any tokens, escaped and separated by noise without quotes, come back exactly.
    std::mt19937 rng(Seed);
    for (int round = 0; round < 2000; ++round) {
        V tokens(rng() % 12);
        std::wstring text;
        for (std::wstring& t : tokens) {
            t = randomText(rng, 40);
            std::wstring noise = randomText(rng, 6), escaped;
            noise.erase(std::remove(noise.begin(), noise.end(), L'"'), noise.end());
            for (wchar_t c : t) escaped += (c == L'\\' || c == L'"') ? std::wstring{L'\\', c} : std::wstring(1, c);
            text += noise + L"\"" + escaped + L"\"";
        }
        ASSERT_EQ(extractQuotedStrings(text), tokens) << "round " << round;
    }
}

TEST(HostileText, GeneratedFilesAndPaths) {
    TempDir dir;
    std::mt19937 rng(Seed + 1);
    for (int round = 0; round < 200; ++round) {
        // Code points of every length class come back exactly; bytes that are no UTF-8 still give text.
        std::wstring text;
        for (int i = rng() % 200; i > 0; --i) {
            uint32_t cp = rng() % 0x10FFFF + 1;
            if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
            if (cp >= 0x10000) {
                text += static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
                cp = 0xDC00 + (cp & 0x3FF);
            }
            text += static_cast<wchar_t>(cp);
        }
        writeBytes(dir / L"f.vdf", narrow(text));
        ASSERT_EQ(readTextFile(dir / L"f.vdf"), text) << "round " << round;
        std::string bytes(1 + rng() % 300, '\0');
        for (char& b : bytes) b = static_cast<char>(rng());
        bytes.back() = '\xFF';
        writeBytes(dir / L"f.vdf", bytes);
        ASSERT_FALSE(readTextFile(dir / L"f.vdf").empty()) << "round " << round;
    }
    for (int round = 0; round < 3000; ++round) {
        std::wstring path = (round % 3 ? L"" : L"C:\\") + randomText(rng, 120);
        const std::wstring p = normalizePath(round % 7 ? path : L"\\\\?\\" + path);
        ASSERT_EQ(p.find(L'/'), std::wstring::npos) << "round " << round;
        ASSERT_TRUE(p.size() < 4 || p.back() != L'\\') << "round " << round;
        EXPECT_FALSE(isGameFolder(p));
    }
    std::wstring longPath = L"C:\\";
    while (longPath.size() < 32000) longPath += L"segment游戏\\";
    EXPECT_FALSE(normalizePath(L"\"" + longPath + L"\"").empty());
    EXPECT_EQ(resolveGameFolder(longPath), L"");
    EXPECT_EQ(readTextFile(longPath + L"libraryfolders.vdf"), L"");
    SteamRootList roots;
    addSteamRoot(roots, longPath);
    EXPECT_TRUE(roots.empty());
}

TEST(GameFolder, RootArchivesExecutableAndSpellings) {
    EXPECT_EQ(gameRootOf(L"E:\\game"), L"E:\\");
    EXPECT_EQ(gameRootOf(L"E:\\TavinMere\\Game\\"), L"E:\\TavinMere");
    EXPECT_EQ(gameRootOf(L"E:\\mygame"), L"");
    TempDir dir;
    const std::wstring root = dir / L"steamapps\\common\\TavinMere 游戏";
    const std::wstring folder = makeGame(root);
    for (const std::wstring& spelling : {folder, root + L"\\GAME", root + L"/game/"})
        EXPECT_TRUE(isGameFolder(spelling));
    EXPECT_FALSE(isGameFolder(root));
    // The patch alone (any case), a folder named like an archive or one deeper is not the game.
    DeleteFileW((folder + L"\\data.rpa").c_str());
    writeBytes(folder + L"\\PATCH.RPA", "x");
    makeDirs(folder + L"\\x.rpa");
    makeDirs(folder + L"\\sub");
    writeBytes(folder + L"\\sub\\deep.rpa", "x");
    EXPECT_FALSE(isGameFolder(folder));
    writeBytes(folder + L"\\archive.RPA", "x");
    EXPECT_TRUE(isGameFolder(folder));
    DeleteFileW((root + L"\\Tavinmere.exe").c_str());
    makeDirs(root + L"\\Tavinmere.exe");  // the executable must be a file
    EXPECT_FALSE(isGameFolder(folder));
    // A game deeper than MAX_PATH is found: the listing takes the long form.
    std::wstring deep = dir.path();
    while (deep.size() < 400) deep += L"\\a folder of some length";
    makeDirs(deep);
    ASSERT_TRUE(isExistingDirectory(deep));
    makeGame(deep + L"\\TavinMere");
    EXPECT_EQ(resolveGameFolder(deep), normalizePath(deep + L"\\TavinMere\\game"));
}

TEST(GameFolder, ResolvedFromEachOfTheFiveStartingFolders) {
    TempDir dir;
    const std::wstring library = dir / L"Steam Library";
    const std::wstring folder = game(library + L"\\steamapps\\common\\TavinMere");
    for (const std::wstring& start :
         {folder, library + L"\\steamapps\\common\\TavinMere", library + L"\\steamapps\\common",
          library + L"\\steamapps", library, L"\"" + library + L"\\\""})
        EXPECT_EQ(resolveGameFolder(start), folder) << narrow(start);
    EXPECT_EQ(resolveGameFolder(dir.path()), L"");
    // Only the default folder name is tried from above the root.
    const std::wstring renamed = game(dir / L"Other\\steamapps\\common\\Renamed");
    EXPECT_EQ(resolveGameFolder(dir / L"Other"), L"");
    EXPECT_EQ(resolveGameFolder(dir / L"Other\\steamapps\\common\\Renamed"), renamed);
}

TEST(Manifest, InstallDirScoresAndStamp) {
    TempDir dir;
    const std::wstring steamapps = dir / L"steamapps";
    const std::wstring manifest = steamapps + L"\\appmanifest_2719305.acf";
    const std::wstring defaultGame = steamapps + L"\\common\\TavinMere\\game";
    makeDirs(steamapps);
    ManifestLocations m = manifestCandidates(dir.path());
    expectEntry({m.first.path, false, m.first.score, m.first.stamp}, defaultGame, false, 500, 0);
    expectEntry({m.second.path, false, m.second.score, m.second.stamp}, defaultGame, false, 500, 0);
    writeBytes(manifest, narrow(L"\"AppState\" { \"InstallDir\" \"Tavin Mere 游戏\" \"installdir\" \"Second\" }"));
    ASSERT_TRUE(world::setLastWriteTime(manifest, Older));
    m = manifestCandidates(dir.path());
    expectEntry({m.first.path, false, m.first.score, m.first.stamp}, steamapps + L"\\common\\Tavin Mere 游戏\\game",
                false, 800, Older);
    expectEntry({m.second.path, false, m.second.score, m.second.stamp}, defaultGame, false, 700, Older);
    writeBytes(manifest, "\"installdir\" \"\" \"other\" \"x\"");  // empty: the default name
    EXPECT_EQ(manifestCandidates(dir.path()).first.path, defaultGame);
}

TEST_F(World, LibrariesFromNestedAndFlatFilesInFirstPlaceOrder) {
    const std::wstring steam = dir / L"Steam", second = dir / L"Second Steam";
    const std::wstring libA = dir / L"Lib A", libB = dir / L"Lib B";
    for (const std::wstring& f :
         {steam + L"\\steamapps", second + L"\\steamapps", libA, libB, dir / L"cjk drive\\游戏\\SteamLibrary"})
        makeDirs(f);
    world::Drive cjk(freeLetter(L'D'), dir / L"cjk drive");
    ASSERT_TRUE(cjk.ok());
    const std::wstring cjkLibrary = cjk.root() + L"游戏\\SteamLibrary";
    // Nested layout with a BOM: a CJK path, the root again, a vanished and a UNC library.
    writeBytes(steam + L"\\steamapps\\libraryfolders.vdf",
               "\xEF\xBB\xBF" + narrow(world::nestedLibraryFolders(
                                    {steam, cjkLibrary, libA, dir / L"gone", L"\\\\server\\share\\Lib"})));
    // The older flat layout: numbered keys map straight to folders.
    writeBytes(second + L"\\steamapps\\libraryfolders.vdf",
               narrow(L"\"LibraryFolders\" { \"TimeNextStatsReport\" \"1234\" \"1\" \"" + libB + L"\" \"2\" \"" + libA +
                      L"\" }"));
    world::RegistryValue user(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", steam);
    world::RegistryValue other(HKEY_CURRENT_USER, world::SteamUserKey, L"InstallPath", second);
    const Strings libraries = findSteamLibraries();
    const Strings expected = {steam, cjkLibrary, libA, second, libB};
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(indexIn(libraries, expected[i]), i) << i;
    EXPECT_EQ(std::count(libraries.begin(), libraries.end(), normalizePath(libA)), 1);
    EXPECT_EQ(indexIn(libraries, dir / L"gone"), libraries.size());
    for (const std::wstring& l : libraries) EXPECT_NE(l.substr(0, 2), L"\\\\");
}

TEST_F(World, TenThousandLibrariesAndAFileThatNamesItsOwnRoot) {
    const std::wstring steam = dir / L"Steam";
    makeDirs(steam + L"\\steamapps");
    Strings named{steam, steam + L"\\", steam + L"\\steamapps\\..", steam + L"\\steamapps"};
    for (int i = 0; i < 10000; ++i) {
        named.push_back(dir / (L"L" + std::to_wstring(i)));
        CreateDirectoryW(named.back().c_str(), nullptr);
    }
    writeBytes(steam + L"\\steamapps\\libraryfolders.vdf", narrow(world::nestedLibraryFolders(named)));
    world::RegistryValue user(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", steam);
    world::RegistryValue twice(HKEY_CURRENT_USER, world::SteamUserKey, L"InstallPath", steam + L"/");
    const Strings libraries = findSteamLibraries();
    ASSERT_GE(libraries.size(), 10002u);
    EXPECT_EQ(libraries[0], normalizePath(steam));
    EXPECT_EQ(libraries[1], normalizePath(steam + L"\\steamapps"));
    EXPECT_EQ(libraries[10001], normalizePath(dir / L"L9999"));
}

TEST_F(World, EverySourceRankedAndMergedToItsBest) {
    // The installer in a game folder (1000); the uninstall entry (900); a Steam root whose manifest names
    // another folder (800) while the default folder holds a game too (700); a library with a newer
    // manifest (800, first of the two); a library without one (500); --dest (1100); picked (1200).
    const std::wstring installerGame = game(dir / L"Installed Here");
    const std::wstring uninstallGame = game(dir / L"Uninstalled 游戏");
    const std::wstring steam = dir / L"Steam", newer = dir / L"Newer Library", plain = dir / L"Plain Library";
    const std::wstring custom = game(steam + L"\\steamapps\\common\\Tavin Mere");
    const std::wstring steamDefault = game(steam + L"\\steamapps\\common\\TavinMere");
    const std::wstring newerGame = game(newer + L"\\steamapps\\common\\TavinMere");
    const std::wstring plainGame = game(plain + L"\\steamapps\\common\\TavinMere");
    const std::wstring destGame = game(dir / L"Given"), pickedGame = game(dir / L"Picked");
    writeBytes(steam + L"\\steamapps\\appmanifest_2719305.acf", "\"installdir\" \"Tavin Mere\"");
    writeBytes(newer + L"\\steamapps\\appmanifest_2719305.acf", "\"installdir\" \"TavinMere\"");
    ASSERT_TRUE(world::setLastWriteTime(steam + L"\\steamapps\\appmanifest_2719305.acf", Older));
    ASSERT_TRUE(world::setLastWriteTime(newer + L"\\steamapps\\appmanifest_2719305.acf", Newer));
    writeBytes(steam + L"\\steamapps\\libraryfolders.vdf", narrow(world::nestedLibraryFolders({steam, plain, newer})));
    world::RegistryValue steamPath(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", steam);
    world::RegistryValue uninstall(HKEY_LOCAL_MACHINE, world::UninstallKey, L"InstallLocation",
                                   dir / L"Uninstalled 游戏\\", REG_SZ, KEY_WOW64_32KEY);
    std::vector<GameCandidate> list = detect(installerGame, dir / L"Given", pickedGame);
    ASSERT_EQ(list.size(), 8u);
    expectEntry(list[0], pickedGame, true, 1200, StampAllOnes);
    expectEntry(list[1], destGame, true, 1100, StampAllOnes);
    expectEntry(list[2], installerGame, false, 1000, StampAllOnes);
    expectEntry(list[3], uninstallGame, false, 900, 0);
    expectEntry(list[4], newerGame, false, 800, Newer);
    expectEntry(list[5], custom, false, 800, Older);
    expectEntry(list[6], steamDefault, false, 700, Older);
    expectEntry(list[7], plainGame, false, 500, 0);

    // One location from several sources is listed once: the uninstall entry's 900, the manifest's stamp;
    // naming it with --dest makes it user-given; the installer in its root adds root\game at 950.
    world::RegistryValue same(HKEY_CURRENT_USER, world::UninstallKey, L"InstallLocation",
                              steam + L"/steamapps/common/TavinMere");
    expectEntry(inside(detect(L""), steam)[0], steamDefault, false, 900, Older);
    expectEntry(inside(detect(steam + L"\\steamapps\\common\\TavinMere", steam), steam)[0], steamDefault, true, 1100,
                StampAllOnes);
    expectEntry(inside(detect(steam + L"\\steamapps\\common\\TavinMere"), steam)[0], steamDefault, false, 950, Older);
    std::vector<GameCandidate> direct;
    addCandidate(direct, steamDefault, false, 500, 7);
    addCandidate(direct, steamDefault + L"\\", true, 100, 3);
    addCandidate(direct, dir / L"not a game", true, 2000, 9);
    ASSERT_EQ(direct.size(), 1u);
    expectEntry(direct[0], steamDefault, true, 500, 7);
    EXPECT_EQ(indexOfPath(direct, steamDefault + L"x"), 1u);
}

TEST(Counter, ShownFromTwoLocationsInTheCurrentLanguage) {
    EXPECT_EQ(candidateCounterText(English, 0, 1), L"");
    EXPECT_EQ(candidateCounterText(English, 1, 3), std::wstring(text(English, DetectedLocations)) + L"  2 / 3");
    EXPECT_EQ(candidateCounterText(TraditionalChinese, 2, 12), L"偵測到的位置  3 / 12");
}

TEST_F(World, PickerResolvesTheChoiceWarnsOrChangesNothing) {
    const std::wstring picked = game(dir / L"Picked 游戏");
    makeDirs(dir / L"Empty");
    const struct {
        std::wstring typed;  // empty: cancel
        std::wstring result;
        bool hint;
    } picks[] = {{L"", L"", false}, {dir / L"Picked 游戏", picked, false}, {dir / L"Empty", L"", true}};
    for (const auto& pick : picks) {
        DialogAnswerer answerer(IDOK, pick.typed);
        EXPECT_TRUE(equalsIgnoreCase(pickGameFolder(nullptr, English, picked), pick.result)) << narrow(pick.typed);
        const auto seen = answerer.seen();
        ASSERT_EQ(seen.size(), pick.hint ? 2u : 1u);
        EXPECT_EQ(seen[0].caption, text(English, SelectGameFolderTitle));
        if (pick.hint) {
            EXPECT_EQ(seen[1].text, text(English, FolderPickerHint));
            EXPECT_EQ(seen[1].icon, static_cast<UINT>(MB_ICONWARNING));
        }
    }
}
