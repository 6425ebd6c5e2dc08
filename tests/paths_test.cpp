// Path rules: canonical form, joining, splitting, comparison, the long-path prefix and existence tests.
#include <gtest/gtest.h>

#include "locate/paths.h"
#include "test_support.h"

TEST(Compare, OrdinalIgnoringCase) {
    EXPECT_TRUE(equalsIgnoreCase(L"C:\\GAMES\\Game", L"c:\\games\\game"));
    EXPECT_FALSE(equalsIgnoreCase(L"C:\\Games", L"C:\\Games\\"));
    EXPECT_TRUE(equalsIgnoreCase(L"D:\\游戏\\ÄÖ", L"d:\\游戏\\äö"));
    EXPECT_TRUE(endsWithIgnoreCase(L"D:\\x\\GAME", L"\\game"));
    EXPECT_FALSE(endsWithIgnoreCase(L"me", L"\\game"));
    EXPECT_TRUE(endsWithIgnoreCase(L"abc", L""));
    EXPECT_EQ(trimSpaces(L" \t a b \r\n"), L"a b");
    EXPECT_EQ(trimSpaces(L"   "), L"");
}

TEST(Normalize, QuotesSlashesAndTrailingSeparators) {
    EXPECT_EQ(normalizePath(L"  \"C:/Program Files (x86)/Steam/\"  "), L"C:\\Program Files (x86)\\Steam");
    EXPECT_EQ(normalizePath(L"C:\\"), L"C:\\");
    EXPECT_EQ(normalizePath(L"C:\\\\\\"), L"C:\\");
    EXPECT_EQ(normalizePath(L"\"\""), L"");
    EXPECT_EQ(normalizePath(L"    "), L"");
    EXPECT_EQ(normalizePath(L"D:\\Steam\\steamapps\\..\\steamapps\\common"), L"D:\\Steam\\steamapps\\common");
    EXPECT_EQ(normalizePath(L"D:\\Games\\"), L"D:\\Games");
    EXPECT_EQ(normalizePath(L"\\\\server\\share\\"), L"\\\\server\\share");
    // A lone leading quote stays and goes to the system with the rest of the text.
    EXPECT_EQ(normalizePath(L"\"C:\\x").find(L'"') != std::wstring::npos, true);
}

TEST(Normalize, RelativeAndDriveRelativeUseTheCurrentDirectory) {
    wchar_t cwd[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, cwd);
    EXPECT_EQ(normalizePath(L"sub\\dir"), joinPath(normalizePath(cwd), L"sub\\dir"));
    const std::wstring bareDrive = normalizePath(L"C:");
    EXPECT_GE(bareDrive.size(), 3u);
    EXPECT_EQ(bareDrive.substr(0, 2), L"C:");
}

TEST(JoinAndParent, Rules) {
    EXPECT_EQ(joinPath(L"C:\\", L"Steam"), L"C:\\Steam");
    EXPECT_EQ(joinPath(L"C:\\Games", L"Steam"), L"C:\\Games\\Steam");
    EXPECT_EQ(joinPath(L"", L"game"), L"game");
    EXPECT_EQ(joinPath(L"C:\\x", L""), L"C:\\x");
    EXPECT_EQ(joinPath(L"C:/x/", L"y"), L"C:/x/y");
    EXPECT_EQ(parentFolder(L"C:\\Games\\patch.rpa"), L"C:\\Games");
    EXPECT_EQ(parentFolder(L"C:\\patch.rpa"), L"C:\\");
    EXPECT_EQ(parentFolder(L"C:\\"), L"C:\\");
    EXPECT_EQ(parentFolder(L"patch.rpa"), L"");
    EXPECT_EQ(parentFolder(L"\\file"), L"");
    EXPECT_EQ(parentFolder(L"C:\\a\\b\\"), L"C:\\a\\b");
    EXPECT_EQ(parentFolder(L"D:/a/b"), L"D:/a");
}

TEST(LongPath, Prefixes) {
    EXPECT_EQ(toLongPath(L"C:\\x"), L"\\\\?\\C:\\x");
    EXPECT_EQ(toLongPath(L"\\\\srv\\share\\x"), L"\\\\?\\UNC\\srv\\share\\x");
    EXPECT_EQ(toLongPath(L"\\\\?\\C:\\x"), L"\\\\?\\C:\\x");
    EXPECT_EQ(toLongPath(L"relative\\x"), L"relative\\x");
}

TEST(Existence, FilesAndDirectories) {
    TempDir dir;
    writeBytes(dir / L"file.txt", "x");
    makeDirs(dir / L"子目录 with space");
    EXPECT_TRUE(isExistingFile(dir / L"file.txt"));
    EXPECT_FALSE(isExistingDirectory(dir / L"file.txt"));
    EXPECT_TRUE(isExistingDirectory(dir / L"子目录 with space"));
    EXPECT_FALSE(isExistingFile(dir / L"子目录 with space"));
    EXPECT_FALSE(isExistingFile(dir / L"missing"));
    EXPECT_FALSE(isExistingDirectory(dir / L"missing"));
}

TEST(LongPath, ReachesPathsBeyondMaxPath) {
    TempDir dir;
    std::wstring deep = normalizePath(dir.path());
    while (deep.size() < 400) deep = joinPath(deep, L"a-rather-long-folder-name-to-pass-max-path");
    makeDirs(toLongPath(deep).substr(0));
    EXPECT_TRUE(CreateDirectoryW(toLongPath(joinPath(deep, L"leaf")).c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    EXPECT_NE(GetFileAttributesW(toLongPath(joinPath(deep, L"leaf")).c_str()), INVALID_FILE_ATTRIBUTES);
}
