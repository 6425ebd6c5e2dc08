// Steam discovery against the real Wine registry, files and drives: registry paths, the text reader,
// the quoted-string reader, the root list and the library list.
#include <gtest/gtest.h>

#include <algorithm>

#include "locate/paths.h"
#include "locate/steam.h"
#include "locate_world.h"
#include "test_support.h"

namespace {

using Strings = std::vector<std::wstring>;

size_t indexIn(const Strings& list, const std::wstring& path) {
    const std::wstring p = normalizePath(path);
    for (size_t i = 0; i < list.size(); ++i) {
        if (equalsIgnoreCase(list[i], p)) return i;
    }
    return list.size();
}

size_t countIn(const Strings& list, const std::wstring& path) {
    const std::wstring p = normalizePath(path);
    return static_cast<size_t>(
        std::count_if(list.begin(), list.end(), [&](const std::wstring& e) { return equalsIgnoreCase(e, p); }));
}

// The first drive letter from `from` on that no drive uses.
wchar_t freeLetter(wchar_t from) {
    for (wchar_t c = from; c <= L'Y'; ++c) {
        const wchar_t root[] = {c, L':', L'\\', 0};
        if (GetDriveTypeW(root) == DRIVE_NO_ROOT_DIR) return c;
    }
    return 0;
}

class SteamWorld : public ::testing::Test {
protected:
    void SetUp() override { world::clearSteamRegistry(); }
    void TearDown() override { world::clearSteamRegistry(); }
    TempDir dir;
};

}  // namespace

TEST_F(SteamWorld, RegistryPathsAreNormalizedAndOnlyStringTypesCount) {
    const std::wstring steam = dir / L"Program Files (x86)\\Steam 游戏";
    makeDirs(steam);
    std::wstring untidy = L"  \"" + steam + L"\\\"  ";
    std::replace(untidy.begin(), untidy.end(), L'\\', L'/');
    world::RegistryValue value(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", untidy);
    ASSERT_TRUE(value.ok());
    EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", 0), normalizePath(steam));

    SetEnvironmentVariableW(L"LOCATE_TEST_BASE", dir.path().c_str());
    world::RegistryValue expand(HKEY_CURRENT_USER, world::SteamUserKey, L"InstallPath",
                                L"%LOCATE_TEST_BASE%\\Program Files (x86)\\Steam 游戏", REG_EXPAND_SZ);
    EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, world::SteamUserKey, L"InstallPath", 0), normalizePath(steam));
    // The same text as REG_SZ is taken literally.
    world::RegistryValue literal(HKEY_CURRENT_USER, world::SteamUserKey, L"Literal", L"%LOCATE_TEST_BASE%\\x");
    EXPECT_NE(readRegistryPath(HKEY_CURRENT_USER, world::SteamUserKey, L"Literal", 0).find(L"%LOCATE_TEST_BASE%"),
              std::wstring::npos);

    const DWORD number = 42;
    world::RegistryValue dword(HKEY_CURRENT_USER, world::SteamUserKey, L"Number", REG_DWORD, &number, 4);
    EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, world::SteamUserKey, L"Number", 0), L"");
    world::RegistryValue blank(HKEY_CURRENT_USER, world::SteamUserKey, L"Blank", L"   ");
    EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, world::SteamUserKey, L"Blank", 0), L"");
    EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, world::SteamUserKey, L"Missing", 0), L"");
    EXPECT_EQ(readRegistryPath(HKEY_CURRENT_USER, L"Software\\NoSuchVendor", L"SteamPath", 0), L"");
}

TEST_F(SteamWorld, MachineViewsAreReadSeparately) {
    const std::wstring only32 = dir / L"Steam32";
    makeDirs(only32);
    world::RegistryValue value(HKEY_LOCAL_MACHINE, world::SteamMachineKey, L"InstallPath", only32, REG_SZ,
                               KEY_WOW64_32KEY);
    ASSERT_TRUE(value.ok());
    EXPECT_EQ(readRegistryPath(HKEY_LOCAL_MACHINE, world::SteamMachineKey, L"InstallPath", KEY_WOW64_32KEY),
              normalizePath(only32));
    EXPECT_EQ(readRegistryPath(HKEY_LOCAL_MACHINE, world::SteamMachineKey, L"InstallPath", KEY_WOW64_64KEY), L"");
    // The 32-bit view is still a root, found at its own step of the list.
    EXPECT_EQ(countIn(buildSteamRootList(), only32), 1u);
}

TEST_F(SteamWorld, RootListKeepsFirstPlaceDropsMissingAndScansOnlyFixedDrives) {
    const std::wstring steam = dir / L"Steam";
    const std::wstring pf86 = dir / L"pf86";
    const std::wstring pf = dir / L"pf";
    makeDirs(steam);
    makeDirs(pf86 + L"\\Steam");
    makeDirs(pf + L"\\Steam");
    const std::wstring fixedFolder = dir / L"fixed drive";
    const std::wstring removableFolder = dir / L"removable";
    makeDirs(fixedFolder + L"\\Games\\SteamLibrary");
    makeDirs(fixedFolder + L"\\SteamLibrary");
    makeDirs(removableFolder + L"\\Steam");

    wchar_t savedPf86[MAX_PATH] = {};
    wchar_t savedPf[MAX_PATH] = {};
    GetEnvironmentVariableW(L"ProgramFiles(x86)", savedPf86, MAX_PATH);
    GetEnvironmentVariableW(L"ProgramFiles", savedPf, MAX_PATH);
    world::RegistryValue user(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", steam);
    world::RegistryValue machine(HKEY_LOCAL_MACHINE, world::SteamMachineKey, L"InstallPath", steam + L"\\");
    world::RegistryValue gone(HKEY_CURRENT_USER, world::SteamUserKey, L"InstallPath", dir / L"vanished");
    SetEnvironmentVariableW(L"ProgramFiles(x86)", pf86.c_str());
    SetEnvironmentVariableW(L"ProgramFiles", pf.c_str());
    world::Drive fixed(freeLetter(L'M'), fixedFolder);
    ASSERT_TRUE(fixed.ok());
    world::Drive removable(freeLetter(L'M'), removableFolder, DRIVE_REMOVABLE);
    ASSERT_TRUE(removable.ok());

    const Strings roots = buildSteamRootList();
    ASSERT_EQ(countIn(roots, steam), 1u);
    EXPECT_EQ(indexIn(roots, steam), 0u);
    EXPECT_EQ(indexIn(roots, pf86 + L"\\Steam"), 1u);
    EXPECT_EQ(indexIn(roots, pf + L"\\Steam"), 2u);
    EXPECT_EQ(countIn(roots, dir / L"vanished"), 0u);
    // The drive itself, then its conventional folders in their fixed order.
    const size_t driveRoot = indexIn(roots, fixed.root());
    ASSERT_LT(driveRoot, roots.size());
    EXPECT_EQ(indexIn(roots, fixed.root() + L"SteamLibrary"), driveRoot + 1);
    EXPECT_EQ(indexIn(roots, fixed.root() + L"Games\\SteamLibrary"), driveRoot + 2);
    EXPECT_EQ(countIn(roots, removable.root()), 0u);
    EXPECT_EQ(countIn(roots, removable.root() + L"Steam"), 0u);
    for (size_t i = 0; i < roots.size(); ++i)
        for (size_t j = i + 1; j < roots.size(); ++j) EXPECT_FALSE(equalsIgnoreCase(roots[i], roots[j]));
    SetEnvironmentVariableW(L"ProgramFiles(x86)", savedPf86);
    SetEnvironmentVariableW(L"ProgramFiles", savedPf);
}

TEST(TextFile, DecodingBomLimitsAndSharing) {
    TempDir dir;
    const std::wstring f = dir / L"a.vdf";
    writeBytes(f, "\xEF\xBB\xBF\"path\"\t\"D:\\\\\xE6\xB8\xB8\xE6\x88\x8F\"");
    EXPECT_EQ(readTextFile(f), L"\"path\"\t\"D:\\\\游戏\"");
    writeBytes(f, "plain");
    EXPECT_EQ(readTextFile(f), L"plain");
    writeBytes(f, "");
    EXPECT_EQ(readTextFile(f), L"");
    EXPECT_EQ(readTextFile(dir / L"missing.vdf"), L"");
    EXPECT_EQ(readTextFile(dir.path()), L"");

    // Invalid UTF-8 falls back to the ANSI code page, whatever this prefix uses.
    const std::wstring ansiName = GetACP() == 936 ? L"游戏" : L"Bibliothèque";
    char ansi[64] = {};
    BOOL lossy = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, 0, ansiName.c_str(), -1, ansi, sizeof ansi, nullptr, &lossy);
    ASSERT_GT(n, 1);
    ASSERT_FALSE(lossy);
    writeBytes(f, std::string("\"") + ansi + "\"");
    EXPECT_EQ(readTextFile(f), L"\"" + ansiName + L"\"");

    writeFileOfSize(f, 16 * 1024 * 1024);
    EXPECT_EQ(readTextFile(f).size(), 16u * 1024 * 1024);
    writeFileOfSize(f, 16 * 1024 * 1024 + 1);
    EXPECT_EQ(readTextFile(f), L"");

    // Steam may hold the file open for writing while we read it.
    writeBytes(f, "\"x\"");
    HANDLE writer = CreateFileW(f.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_EQ(readTextFile(f), L"\"x\"");
    CloseHandle(writer);
}

TEST(QuotedStrings, EscapesEmptyAndUnterminatedTokens) {
    using V = std::vector<std::wstring>;
    EXPECT_EQ(extractQuotedStrings(L"\"a\" { \"b c\" } // \"d\""), (V{L"a", L"b c", L"d"}));
    EXPECT_EQ(extractQuotedStrings(L"\"D:\\\\Steam\\\\Lib\""), (V{L"D:\\Steam\\Lib"}));
    EXPECT_EQ(extractQuotedStrings(L"\"say \\\"hi\\\"\""), (V{L"say \"hi\""}));
    EXPECT_EQ(extractQuotedStrings(L"\"C:\\x\\n\""), (V{L"C:\\x\\n"}));
    EXPECT_EQ(extractQuotedStrings(L"\"\"\"\""), (V{L"", L""}));
    EXPECT_EQ(extractQuotedStrings(L"\"open"), (V{L"open"}));
    EXPECT_EQ(extractQuotedStrings(L"\"end\\"), (V{L"end\\"}));
    EXPECT_EQ(extractQuotedStrings(L"\""), (V{L""}));
    EXPECT_EQ(extractQuotedStrings(L"no quotes at all"), V{});
    EXPECT_EQ(extractQuotedStrings(L""), V{});
}

TEST_F(SteamWorld, LibrariesFromNestedAndFlatFilesInFirstPlaceOrder) {
    const std::wstring steam = dir / L"Steam";
    const std::wstring second = dir / L"Second Steam";
    makeDirs(steam + L"\\steamapps");
    makeDirs(second + L"\\steamapps");
    const std::wstring cjkFolder = dir / L"cjk drive";
    makeDirs(cjkFolder + L"\\游戏\\SteamLibrary");
    world::Drive cjk(freeLetter(L'D'), cjkFolder);
    ASSERT_TRUE(cjk.ok());
    const std::wstring cjkLibrary = cjk.root() + L"游戏\\SteamLibrary";
    const std::wstring libA = dir / L"Lib A";
    const std::wstring libB = dir / L"Lib B";
    makeDirs(libA);
    makeDirs(libB);

    // Nested layout in UTF-8 with a BOM: doubled backslashes, a CJK path, a vanished and a UNC library.
    writeBytes(steam + L"\\steamapps\\libraryfolders.vdf",
               "\xEF\xBB\xBF" + world::utf8Of(world::nestedLibraryFolders(
                                    {steam, cjkLibrary, libA, dir / L"gone", L"\\\\server\\share\\Lib"})));
    // The older flat layout: numbered keys map straight to folders.
    std::wstring flat = L"\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\"\t\"1234\"\n\t\"1\"\t\"" + libB +
                        L"\"\n\t\"2\"\t\"" + libA + L"\"\n}\n";
    writeBytes(second + L"\\steamapps\\libraryfolders.vdf", world::utf8Of(flat));

    world::RegistryValue user(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", steam);
    world::RegistryValue other(HKEY_CURRENT_USER, world::SteamUserKey, L"InstallPath", second);
    const Strings libraries = findSteamLibraries();
    const size_t s = indexIn(libraries, steam);
    ASSERT_EQ(s, 0u);
    EXPECT_EQ(indexIn(libraries, cjkLibrary), 1u);
    EXPECT_EQ(indexIn(libraries, libA), 2u);
    EXPECT_EQ(indexIn(libraries, second), 3u);
    EXPECT_EQ(indexIn(libraries, libB), 4u);
    EXPECT_EQ(countIn(libraries, libA), 1u);
    EXPECT_EQ(countIn(libraries, dir / L"gone"), 0u);
    for (const std::wstring& l : libraries) EXPECT_NE(l.substr(0, 2), L"\\\\");
}

TEST_F(SteamWorld, NumberedKeyTakesTheWordPathWhenSuchFolderExists) {
    // In the nested layout "0" is followed by the word path, a relative folder under the current directory.
    const std::wstring steam = dir / L"Steam";
    makeDirs(steam + L"\\steamapps");
    makeDirs(dir / L"path");
    writeBytes(steam + L"\\steamapps\\libraryfolders.vdf", "\"libraryfolders\" { \"0\" { \"path\" \"\" } }");
    world::RegistryValue user(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", steam);
    wchar_t previous[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, previous);
    SetCurrentDirectoryW(dir.path().c_str());
    const Strings libraries = findSteamLibraries();
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(indexIn(libraries, dir / L"path"), 1u);
}
