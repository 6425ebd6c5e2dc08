// Start-up pieces and the text tables: command line, temporary-folder rule, window rectangles, fonts.
#include <gtest/gtest.h>

#include "app/startup.h"
#include "base/texts.h"
#include "locate/paths.h"
#include "test_support.h"

TEST(Texts, EveryTableIsCompleteAndOutOfRangeMeansSimplified) {
    for (int language : {0, 1, 2}) {
        for (int id = 0; id < TextCount; ++id) {
            ASSERT_NE(text(language, static_cast<TextId>(id))[0], L'\0') << language << " " << id;
        }
    }
    EXPECT_STREQ(text(3, WindowTitle), text(SimplifiedChinese, WindowTitle));
    EXPECT_STREQ(text(-1, PatchFound), L"已找到 patch.rpa");
    EXPECT_STREQ(languageCode(3), L"zh-CN");
    EXPECT_STREQ(languageCode(TraditionalChinese), L"zh-TW");
    EXPECT_STREQ(languageCode(English), L"en");
    for (int language : {0, 1, 2}) EXPECT_STREQ(text(language, SteamAppIdLabel), L"Steam App ID");
    EXPECT_EQ(fontFamilyList(7).count, 5u);
    EXPECT_EQ(fontFamilyList(English).count, 4u);
}

TEST(Texts, TypographyOfTheTitles) {
    EXPECT_NE(std::wstring(text(TraditionalChinese, WindowTitle)).find(L"『塔文湖邊的小屋』"), std::wstring::npos);
    EXPECT_NE(std::wstring(text(SimplifiedChinese, WindowTitle)).find(L"《塔文湖边的小屋》"), std::wstring::npos);
    EXPECT_STREQ(text(English, Subtitle), L"Automatic game patch installer");
    EXPECT_STREQ(text(TraditionalChinese, Subtitle), L"遊戲修補檔 \u00B7 自動安裝程式");
    const std::wstring extract = text(English, ExtractZipMessage);
    EXPECT_EQ(extract.find(L"\n\n"), extract.find(L"archive.") + 8);
}

TEST(Fonts, StandInFamiliesResolveInThisPrefix) {
    // The test prefix installs stand-ins under the Windows names, so the first choice succeeds.
    for (int language : {0, 1, 2}) {
        OwnedFontFamily family = createFontFamily(language);
        ASSERT_TRUE(family);
        EXPECT_EQ(family->status, Gdiplus::Ok);
        wchar_t name[LF_FACESIZE] = {};
        Gdiplus::DllExports::GdipGetFamilyName(family->family, name, 0);
        EXPECT_STREQ(name, fontFamilyList(language).names[0]) << language;
    }
}

TEST(CommandLine, LanguageCodes) {
    EXPECT_EQ(parseCommandLine(L"x.exe --lang en").language, English);
    EXPECT_EQ(parseCommandLine(L"x.exe --lang ZH-tw").language, TraditionalChinese);
    EXPECT_EQ(parseCommandLine(L"x.exe --lang Traditional").language, TraditionalChinese);
    EXPECT_EQ(parseCommandLine(L"x.exe --LANG ENGLISH").language, English);
    for (const wchar_t* line : {L"x.exe --lang zh-CN", L"x.exe --lang fr", L"x.exe --lang \"\""}) {
        const CommandLineOptions o = parseCommandLine(line);
        EXPECT_TRUE(o.languageGiven);
        EXPECT_EQ(o.language, SimplifiedChinese);
    }
    EXPECT_FALSE(parseCommandLine(L"x.exe --lang").languageGiven);
    EXPECT_FALSE(parseCommandLine(L"x.exe").languageGiven);
}

TEST(CommandLine, DestinationAndOtherArguments) {
    CommandLineOptions o = parseCommandLine(L"x.exe --dest \"D:\\My Games\\游戏\" --lang en");
    EXPECT_EQ(o.destOption, L"D:\\My Games\\游戏");
    EXPECT_EQ(o.language, English);
    o = parseCommandLine(L"x.exe --DEST a --dest b /s --other c:\\x --dest");
    EXPECT_EQ(o.destOption, L"b");
    EXPECT_FALSE(o.languageGiven);
    // What the elevated restart writes is read back as exactly two options.
    o = parseCommandLine(
        L"x.exe --lang zh-TW --dest \"C:\\Program Files (x86)\\Steam\\steamapps\\common\\TavinMere\\game\"");
    EXPECT_EQ(o.language, TraditionalChinese);
    EXPECT_EQ(o.destOption, L"C:\\Program Files (x86)\\Steam\\steamapps\\common\\TavinMere\\game");
}

TEST(TempFolder, InsideAtAnyDepthButNotASibling) {
    EXPECT_TRUE(isFolderInside(L"C:\\Users\\a\\Temp", L"C:\\Users\\a\\Temp"));
    EXPECT_TRUE(isFolderInside(L"C:\\USERS\\A\\TEMP\\Rar$EX01\\x", L"C:\\Users\\a\\Temp"));
    EXPECT_FALSE(isFolderInside(L"C:\\Users\\a\\Temp2", L"C:\\Users\\a\\Temp"));
    EXPECT_FALSE(isFolderInside(L"C:\\Users\\a", L"C:\\Users\\a\\Temp"));
    EXPECT_FALSE(isFolderInside(L"", L"C:\\Temp"));
    EXPECT_FALSE(isFolderInside(L"C:\\Temp", L""));
    // This test program itself runs from the build folder, not from the temporary folder.
    EXPECT_FALSE(isInsideTempFolder());
}

TEST(WindowRect, SizesOnDifferentWorkAreas) {
    const DWORD style = WS_OVERLAPPEDWINDOW;
    RECT client{0, 0, 1160, 700};
    AdjustWindowRectEx(&client, style, FALSE, 0);
    WindowRect r = windowRectFor(1160, 700, 640, 500, style, RECT{0, 0, 1920, 1040}, 96);
    EXPECT_EQ(r.width, client.right - client.left);
    EXPECT_EQ(r.height, client.bottom - client.top);
    EXPECT_EQ(r.x, (1920 - r.width) / 2);
    EXPECT_EQ(r.y, (1040 - r.height) / 2);

    r = windowRectFor(1160, 700, 640, 500, style, RECT{0, 0, 800, 560}, 96);
    EXPECT_EQ(r.width, 776);
    EXPECT_EQ(r.height, 536);
    r = windowRectFor(1160, 700, 640, 500, style, RECT{0, 0, 600, 400}, 96);
    EXPECT_EQ(r.width, 640);
    EXPECT_EQ(r.height, 500);
    EXPECT_EQ(r.x, -20);

    RECT big{0, 0, 1740, 1050};
    AdjustWindowRectEx(&big, style, FALSE, 0);
    r = windowRectFor(1160, 700, 640, 500, style, RECT{0, 0, 4000, 3000}, 144);
    EXPECT_EQ(r.width, big.right - big.left);
    // 36 is the margin at 144 DPI.
    r = windowRectFor(1160, 700, 640, 500, style, RECT{0, 0, 1000, 800}, 144);
    EXPECT_EQ(r.width, 1000 - 36);
}

TEST(Background, EmbeddedPictureDecodesAndReleases) {
    InstallerApp app;
    app.instance = GetModuleHandleW(nullptr);
    loadBackgroundImage(app);
    ASSERT_NE(app.backgroundImage, nullptr);
    EXPECT_EQ(app.backgroundMemory, nullptr);  // the stream owns the block
    UINT w = 0, h = 0;
    Gdiplus::DllExports::GdipGetImageWidth(app.backgroundImage, &w);
    Gdiplus::DllExports::GdipGetImageHeight(app.backgroundImage, &h);
    EXPECT_EQ(w, 2560u);
    EXPECT_EQ(h, 1440u);
    releaseInstallerApp(app);
    EXPECT_EQ(app.backgroundImage, nullptr);
    EXPECT_EQ(app.backgroundStream, nullptr);
}

TEST(Background, MissingResourceLeavesNoPicture) {
    InstallerApp app;
    app.instance = GetModuleHandleW(L"kernel32.dll");
    loadBackgroundImage(app);
    EXPECT_EQ(app.backgroundImage, nullptr);
    EXPECT_EQ(app.backgroundStream, nullptr);
    EXPECT_EQ(app.backgroundMemory, nullptr);
}
