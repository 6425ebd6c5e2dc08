// The game folder test, the game root, resolving a user's folder and the app manifest's two locations.
#include <gtest/gtest.h>

#include "locate/manifest.h"
#include "locate/paths.h"
#include "locate_world.h"
#include "test_support.h"

TEST(GameRoot, FromTheDestinationFolder) {
    EXPECT_EQ(gameRootOf(L"E:\\game"), L"E:\\");
    EXPECT_EQ(gameRootOf(L"E:\\TavinMere\\Game"), L"E:\\TavinMere");
    EXPECT_EQ(gameRootOf(L"E:\\TavinMere\\game\\"), L"E:\\TavinMere");
    EXPECT_EQ(gameRootOf(L"E:\\TavinMere"), L"");
    EXPECT_EQ(gameRootOf(L"E:\\mygame"), L"");
    EXPECT_EQ(gameRootOf(L""), L"");
}

TEST(GameFolder, ArchivesExecutableAndSpellings) {
    TempDir dir;
    const std::wstring root = dir / L"steamapps\\common\\TavinMere 游戏";
    const std::wstring game = makeGame(root);
    EXPECT_TRUE(isGameFolder(game));
    EXPECT_TRUE(isGameFolder(root + L"\\GAME"));
    EXPECT_TRUE(isGameFolder(root + L"/game/"));
    EXPECT_FALSE(isGameFolder(root));

    // Only the patch, in any letter case, or a directory named like an archive, is not the game.
    DeleteFileW((game + L"\\data.rpa").c_str());
    writeBytes(game + L"\\PATCH.RPA", "x");
    makeDirs(game + L"\\x.rpa");
    makeDirs(game + L"\\sub");
    writeBytes(game + L"\\sub\\deep.rpa", "x");
    EXPECT_FALSE(isGameFolder(game));
    writeBytes(game + L"\\archive.RPA", "x");
    EXPECT_TRUE(isGameFolder(game));

    // The executable must be a file in the root.
    DeleteFileW((root + L"\\Tavinmere.exe").c_str());
    EXPECT_FALSE(isGameFolder(game));
    makeDirs(root + L"\\Tavinmere.exe");
    EXPECT_FALSE(isGameFolder(game));
    EXPECT_FALSE(isGameFolder(dir / L"missing\\game"));
}

TEST(Resolve, EachOfTheFiveStartingFolders) {
    TempDir dir;
    const std::wstring library = dir / L"Steam Library";
    const std::wstring game = normalizePath(makeGame(library + L"\\steamapps\\common\\TavinMere"));
    const std::wstring starts[] = {game,
                                   library + L"\\steamapps\\common\\TavinMere",
                                   library + L"\\steamapps\\common",
                                   library + L"\\steamapps",
                                   library,
                                   L"\"" + library + L"\\\""};
    for (const std::wstring& start : starts) EXPECT_EQ(resolveGameFolder(start), game) << narrow(start);
    EXPECT_EQ(resolveGameFolder(dir.path()), L"");
    EXPECT_EQ(resolveGameFolder(dir / L"nowhere"), L"");

    // Only the default folder name is tried from above the root.
    const std::wstring other = dir / L"Other";
    const std::wstring renamed = normalizePath(makeGame(other + L"\\steamapps\\common\\Renamed"));
    EXPECT_EQ(resolveGameFolder(other), L"");
    EXPECT_EQ(resolveGameFolder(other + L"\\steamapps\\common\\Renamed"), renamed);
}

TEST(Manifest, InstallDirScoresAndStamp) {
    TempDir dir;
    const std::wstring library = dir.path();
    const std::wstring steamapps = library + L"\\steamapps";
    makeDirs(steamapps);
    const std::wstring manifest = steamapps + L"\\appmanifest_2719305.acf";

    ManifestLocations none = manifestCandidates(library);
    EXPECT_EQ(none.first.path, steamapps + L"\\common\\TavinMere\\game");
    EXPECT_EQ(none.second.path, none.first.path);
    EXPECT_EQ(none.first.score, 500);
    EXPECT_EQ(none.second.score, 500);
    EXPECT_EQ(none.first.stamp, 0u);

    writeBytes(manifest, world::utf8Of(L"\"AppState\"\n{\n\t\"appid\"\t\"2719305\"\n\t\"InstallDir\"\t\"Tavin "
                                       L"Mere 游戏\"\n\t\"installdir\"\t\"Second\"\n}\n"));
    const uint64_t stamp = 0x01DA0000'12345678ull;
    ASSERT_TRUE(world::setLastWriteTime(manifest, stamp));
    ManifestLocations present = manifestCandidates(library);
    EXPECT_EQ(present.first.path, steamapps + L"\\common\\Tavin Mere 游戏\\game");
    EXPECT_EQ(present.first.score, 800);
    EXPECT_EQ(present.second.path, steamapps + L"\\common\\TavinMere\\game");
    EXPECT_EQ(present.second.score, 700);
    EXPECT_EQ(present.first.stamp, stamp);
    EXPECT_EQ(present.second.stamp, stamp);

    // An empty installdir keeps the default name; an unreadable (empty) manifest still counts as present.
    writeBytes(manifest, "\"installdir\" \"\" \"other\" \"x\"");
    EXPECT_EQ(manifestCandidates(library).first.path, steamapps + L"\\common\\TavinMere\\game");
    writeBytes(manifest, "");
    ManifestLocations empty = manifestCandidates(library);
    EXPECT_EQ(empty.first.score, 800);
    EXPECT_NE(empty.first.stamp, 0u);
}
