// The application shell: texts and fonts, the command line, the temporary-folder rule, window
// rectangles, the background picture, the language window driven with real messages and read through
// MSAA, and the real installer started as a player starts it.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include <thread>

#include "app/language_window.h"
#include "app/startup.h"
#include "base/win32.h"
#include "support/support.h"
#include "ui/main_window.h"

namespace gp = Gdiplus::DllExports;

namespace {

constexpr float CardCentreX[3] = {129, 325, 521};  // logical centres of the three cards
constexpr float CardCentreY = 166;

std::wstring installerExe() { return buildFolder() + L"\\bin\\TavinMere-Patch-Installer.exe"; }

std::wstring familyName(const FontFamily& family) {
    wchar_t name[LF_FACESIZE] = {};
    gp::GdipGetFamilyName(family.family, name, 0);
    return name;
}

LPARAM clientPoint(HWND window, float x, float y) {
    RECT client{};
    GetClientRect(window, &client);
    const float s = languageScale(client.right, client.bottom, windowDpi(window));
    return MAKELPARAM(static_cast<int>(x * s + 0.5f), static_cast<int>(y * s + 0.5f));
}

void post(HWND window, UINT message, WPARAM wParam, float x = 0, float y = 0) {
    PostMessageW(window, message, wParam, message == WM_KEYDOWN ? 1 : clientPoint(window, x, y));
}

// Runs the language window on this thread while a second one drives it once it shows. A window the
// script leaves open is closed after a while, and the result says so with -2.
int32_t runDriven(const std::function<void(HWND)>& script) {
    bool closedByScript = true;
    std::thread driver([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);  // for the assistive tool's calls
        if (HWND window = waitForWindow(LanguageWindowClass, 10000)) {
            script(window);
            for (int i = 0; i < 300 && IsWindow(window); ++i) Sleep(10);
            closedByScript = !IsWindow(window);
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
        CoUninitialize();
    });
    const int32_t result = runLanguageWindow(GetModuleHandleW(nullptr));
    driver.join();
    return closedByScript ? result : -2;
}

// A folder outside the temporary folder, where the installer agrees to run.
struct PlainFolder {
    std::wstring path = L"C:\\tavin-app-" + std::to_wstring(GetCurrentProcessId());
    PlainFolder() { makeDirs(path); }
    ~PlainFolder() { removeTree(path); }
};

}  // namespace

TEST(Texts, CompleteTablesCodesAndTypography) {
    for (int32_t language : {0, 1, 2}) {
        for (int id = 0; id < TextCount; ++id) EXPECT_NE(text(language, TextId(id))[0], L'\0') << language << id;
        for (int id = 0; id < AccessibleTextCount; ++id)
            EXPECT_NE(accessibleText(language, AccessibleTextId(id))[0], L'\0') << language << id;
        EXPECT_STREQ(text(language, SteamAppIdLabel), L"Steam App ID");
    }
    const struct {
        int32_t language;
        const wchar_t *code, *longLabel, *shortLabel, *firstFont;
        size_t fonts;
    } languages[] = {{3, L"zh-CN", L"简体中文", L"简中", L"Microsoft YaHei UI", 5},
                     {-1, L"zh-CN", L"简体中文", L"简中", L"Microsoft YaHei UI", 5},
                     {TraditionalChinese, L"zh-TW", L"繁體中文", L"繁中", L"Microsoft JhengHei UI", 5},
                     {English, L"en", L"English", L"EN", L"Segoe UI", 4}};
    for (const auto& l : languages) {
        EXPECT_STREQ(languageCode(l.language), l.code);
        EXPECT_STREQ(languageLongLabel(l.language), l.longLabel);
        EXPECT_STREQ(languageShortLabel(l.language), l.shortLabel);
        EXPECT_STREQ(fontFamilyList(l.language).names[0], l.firstFont);
        EXPECT_EQ(fontFamilyList(l.language).count, l.fonts);
        EXPECT_STREQ(accessibleText(l.language, PressAction), l.language == English ? L"Press" : L"按下");
    }
    EXPECT_STREQ(text(3, PatchFound), L"已找到 patch.rpa");
    EXPECT_STREQ(accessibleText(TraditionalChinese, MusicOnName), L"音樂：開");
    EXPECT_NE(std::wstring(text(TraditionalChinese, WindowTitle)).find(L"『塔文湖邊的小屋』"), std::wstring::npos);
    EXPECT_STREQ(text(TraditionalChinese, Subtitle), L"遊戲修補檔 \u00B7 自動安裝程式");
    const std::wstring extract = text(English, ExtractZipMessage);
    EXPECT_EQ(extract.find(L"\n\n"), extract.find(L"archive.") + 8);
    // The stand-in families of this prefix are found under the Windows names, the first of each list.
    for (int32_t language : {0, 1, 2}) {
        const OwnedFontFamily family = createFontFamily(language);
        EXPECT_EQ(family->status, Gdiplus::Ok);
        EXPECT_EQ(familyName(*family), fontFamilyList(language).names[0]);
    }
}

// Runs in a copy of the prefix without the stand-in fonts (see fixtures.sh), as a bare Wine prefix is.
TEST(BareFonts, OpenFamiliesStandInWhenNoWindowsFamilyExists) {
    Gdiplus::GpFontFamily* arial = nullptr;
    ASSERT_NE(gp::GdipCreateFontFamilyFromName(L"Arial", nullptr, &arial), Gdiplus::Ok) << "not a bare prefix";
    const std::pair<int32_t, const wchar_t*> languages[] = {
        {SimplifiedChinese, L"开始安装"}, {TraditionalChinese, L"開始安裝"}, {English, L"Install patch"}};
    for (const auto& [language, caption] : languages) {
        const OwnedFontFamily family = createFontFamily(language);
        ASSERT_EQ(family->status, Gdiplus::Ok) << language;
        const std::wstring name = familyName(*family);
        const bool cjk = name == L"WenQuanYi Micro Hei";
        const bool latin = name == L"DejaVu Sans" || name == L"Liberation Sans" || name == L"Noto Sans";
        EXPECT_TRUE(language == English ? latin : cjk) << narrow(name);
        Canvas c(200, 40);
        drawText(c.dc, family.get(), caption, -1, 16, StyleBold, 0xFF000000, {0, 0, 200, 40}, 0, TrimCharacter, 0);
        EXPECT_GT(c.ink(0, 0, 200, 40), 2000u) << language;
    }
}

TEST(CommandLine, OptionsLanguageCodesAndBlankFolders) {
    const struct {
        const wchar_t* line;
        bool languageGiven;
        int32_t language;
        const wchar_t* dest;
    } cases[] = {
        {L"x.exe --lang en", true, English, L""},
        {L"x.exe --lang ZH-tw", true, TraditionalChinese, L""},
        {L"x.exe --LANG Traditional", true, TraditionalChinese, L""},
        {L"x.exe --lang ENGLISH", true, English, L""},
        {L"x.exe --lang fr", true, SimplifiedChinese, L""},
        {L"x.exe --lang \"\"", true, SimplifiedChinese, L""},
        {L"x.exe --lang", false, SimplifiedChinese, L""},
        {L"x.exe --dest \"D:\\My Games\\游戏\" --lang en", true, English, L"D:\\My Games\\游戏"},
        {L"x.exe --DEST a --dest b /s --other c:\\x --dest", false, SimplifiedChinese, L"b"},
        {L"x.exe --dest \"   \"", false, SimplifiedChinese, L""},
        {L"x.exe --dest a --dest \"\"", false, SimplifiedChinese, L""},
    };
    for (const auto& c : cases) {
        const CommandLineOptions o = parseCommandLine(c.line);
        EXPECT_EQ(o.languageGiven, c.languageGiven) << narrow(c.line);
        EXPECT_EQ(o.language, c.language) << narrow(c.line);
        EXPECT_EQ(o.destOption, c.dest) << narrow(c.line);
    }
}

TEST(Startup, TemporaryFolderRuleWindowRectanglesAndPicture) {
    const struct {
        const wchar_t *folder, *temp;
        bool inside;
    } folders[] = {{L"C:\\Users\\a\\Temp", L"C:\\Users\\a\\Temp", true},
                   {L"C:\\USERS\\A\\TEMP\\Rar$EX01\\x", L"C:\\Users\\a\\Temp", true},
                   {L"C:\\Users\\a\\Temp2", L"C:\\Users\\a\\Temp", false},
                   {L"C:\\Users\\a", L"C:\\Users\\a\\Temp", false},
                   {L"", L"C:\\Temp", false},
                   {L"C:\\Temp", L"", false}};
    for (const auto& f : folders) EXPECT_EQ(isFolderInside(f.folder, f.temp), f.inside) << narrow(f.folder);
    EXPECT_FALSE(isInsideTempFolder());  // this program runs from the build folder
    RECT design{0, 0, 1160, 700}, big{0, 0, 1740, 1050};
    AdjustWindowRectEx(&design, WS_OVERLAPPEDWINDOW, FALSE, 0);
    AdjustWindowRectEx(&big, WS_OVERLAPPEDWINDOW, FALSE, 0);
    const struct {
        RECT work;
        int dpi, x, y, width, height;
    } rects[] = {
        {{0, 0, 1920, 1040},
         96,
         (1920 - (design.right - design.left)) / 2,
         (1040 - (design.bottom - design.top)) / 2,
         design.right - design.left,
         design.bottom - design.top},
        {{0, 0, 800, 560}, 96, 12, 12, 776, 536},
        {{0, 0, 600, 400}, 96, -20, -50, 640, 500},
        {{0, 0, 4000, 3000},
         144,
         (4000 - (big.right - big.left)) / 2,
         (3000 - (big.bottom - big.top)) / 2,
         big.right - big.left,
         big.bottom - big.top},
        {{100, 50, 1100, 850}, 144, 118, 68, 964, 764},  // a margin of 36 at 144 DPI
    };
    for (const auto& r : rects) {
        const WindowRect got = windowRectFor(1160, 700, 640, 500, WS_OVERLAPPEDWINDOW, r.work, r.dpi);
        EXPECT_EQ(got.x, r.x) << r.work.right;
        EXPECT_EQ(got.y, r.y) << r.work.right;
        EXPECT_EQ(got.width, r.width) << r.work.right;
        EXPECT_EQ(got.height, r.height) << r.work.right;
    }
    InstallerApp app;
    app.instance = GetModuleHandleW(nullptr);
    loadBackgroundImage(app);
    ASSERT_TRUE(app.backgroundImage);
    EXPECT_EQ(app.backgroundMemory, nullptr);  // the stream owns the block
    UINT w = 0, h = 0;
    gp::GdipGetImageWidth(app.backgroundImage.get(), &w);
    gp::GdipGetImageHeight(app.backgroundImage.get(), &h);
    EXPECT_EQ(w * 10000 + h, 2560u * 10000 + 1440u);
    releaseInstallerApp(app);
    EXPECT_FALSE(app.backgroundImage || app.backgroundStream);
    app.instance = GetModuleHandleW(L"kernel32.dll");  // no picture there
    loadBackgroundImage(app);
    EXPECT_FALSE(app.backgroundImage || app.backgroundStream || app.backgroundMemory);
}

TEST(LanguageWindow, ScaleCardsAndFrame) {
    const struct {
        int w, h;
        UINT dpi;
        float scale;
    } scales[] = {{650, 280, 96, 1.0f}, {975, 420, 144, 1.5f}, {1300, 560, 96, 1.0f},
                  {520, 280, 96, 0.8f}, {300, 280, 96, 0.65f}, {0, 0, 144, 1.5f}};
    for (const auto& s : scales) EXPECT_FLOAT_EQ(languageScale(s.w, s.h, s.dpi), s.scale) << s.w;
    EXPECT_EQ(languageCardAt(65 / 1.5f, 180 / 1.5f), SimplifiedChinese);
    for (int i = 0; i < 3; ++i) {
        const float left = 42.0f + 196.0f * i;
        EXPECT_EQ(languageCardAt(left, 118), i);
        EXPECT_EQ(languageCardAt(left + 174, 214), i);
        EXPECT_EQ(languageCardAt(left - 0.5f, 150), -1);
        EXPECT_EQ(languageCardAt(left + 174.5f, 150), -1);
    }
    EXPECT_EQ(languageCardAt(100, 117.5f), -1);
    EXPECT_EQ(languageCardAt(100, 214.5f), -1);
    Canvas canvas(650, 280);
    LanguageWindowState state;
    for (int i = 0; i < 3; ++i) state.choiceFamilies[i] = createFontFamily(i);
    state.hotChoice = 1;
    paintLanguageContent(canvas.dc, state, 650, 280);
    EXPECT_EQ(canvas.pixel(250, 128), 0xFFFFE5F0u);  // the hot face
    EXPECT_GE((canvas.pixel(54, 128) >> 8) & 0xFF, 0xF0u);
    EXPECT_NE(canvas.pixel(54, 128), 0xFFFFE5F0u);
    auto dark = [&](int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += ((canvas.pixel(x, y) >> 16) & 0xFF) < 0x90;
        return n;
    };
    EXPECT_GT(dark(150, 40, 500, 86), 50);  // the title
    for (int i = 0; i < 3; ++i) EXPECT_GT(dark(50 + 196 * i, 140, 208 + 196 * i, 195), 30) << i;
    EXPECT_EQ(dark(0, 230, 650, 280), 0);
    // What assistive tools read: the three cards in their own languages, in client pixels.
    const std::vector<AccessibleItem> cards = languageWindowItems(state, 1.5f);
    ASSERT_EQ(cards.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(cards[i].name, languageLongLabel(i));
        EXPECT_EQ(cards[i].defaultAction, accessibleText(i, PressAction));
        EXPECT_EQ(cards[i].role, ROLE_SYSTEM_PUSHBUTTON);
        EXPECT_EQ(cards[i].state, i == 1 ? STATE_SYSTEM_HOTTRACKED : 0);
        EXPECT_EQ(cards[i].bounds.left, static_cast<LONG>((42 + 196 * i) * 1.5f));
        EXPECT_EQ(cards[i].bounds.bottom, 321);
    }
}

TEST(LanguageWindow, ChoosesByReleaseKeyOrAssistiveToolAndCancels) {
    const struct {
        const char* what;
        std::function<void(HWND)> script;
        int32_t result;
    } runs[] = {
        {"click on English", [](HWND w) { post(w, WM_LBUTTONUP, 0, CardCentreX[2], CardCentreY); }, English},
        {"right edge", [](HWND w) { post(w, WM_LBUTTONUP, 0, 216, 150); }, SimplifiedChinese},
        {"bottom edge", [](HWND w) { post(w, WM_LBUTTONUP, 0, 434, 214); }, English},
        {"press on one, release on another",
         [](HWND w) {
             post(w, WM_LBUTTONDOWN, MK_LBUTTON, CardCentreX[0], CardCentreY);
             post(w, WM_LBUTTONUP, 0, CardCentreX[1], CardCentreY);
         },
         TraditionalChinese},
        {"gaps, then other keys, then T",
         [](HWND w) {
             for (float x : {220.0f, 420.0f, 630.0f}) post(w, WM_LBUTTONUP, 0, x, 150);
             post(w, WM_LBUTTONUP, 0, 100, 230);
             for (WPARAM k : {WPARAM('4'), WPARAM(VK_F1), WPARAM(VK_RETURN), WPARAM(VK_NUMPAD1), WPARAM(VK_SPACE)})
                 post(w, WM_KEYDOWN, k);
             post(w, WM_KEYDOWN, 'T');
         },
         TraditionalChinese},
        {"1", [](HWND w) { post(w, WM_KEYDOWN, '1'); }, SimplifiedChinese},
        {"C", [](HWND w) { post(w, WM_KEYDOWN, 'C'); }, SimplifiedChinese},
        {"2", [](HWND w) { post(w, WM_KEYDOWN, '2'); }, TraditionalChinese},
        {"3", [](HWND w) { post(w, WM_KEYDOWN, '3'); }, English},
        {"E", [](HWND w) { post(w, WM_KEYDOWN, 'E'); }, English},
        {"Escape", [](HWND w) { post(w, WM_KEYDOWN, VK_ESCAPE); }, -1},
        {"close box", [](HWND w) { PostMessageW(w, WM_CLOSE, 0, 0); }, -1},
        {"Alt+F4", [](HWND w) { PostMessageW(w, WM_SYSKEYDOWN, VK_F4, 1 | (1 << 29)); }, -1},
        // An assistive tool's default action arrives as a message (the calls are read across processes
        // by the end-to-end probe; Wine's marshalling hangs between two threads of one process).
        {"the default action of a card, after one of no card",
         [](HWND w) {
             PostMessageW(w, WM_ACCESSIBLE_ACTION, 3, 0);
             PostMessageW(w, WM_ACCESSIBLE_ACTION, 1, 0);
         },
         TraditionalChinese},
    };
    for (const auto& run : runs) EXPECT_EQ(runDriven(run.script), run.result) << run.what;
}

TEST(LanguageWindow, HotCardRepaintsOncePerChangeAndLeaveClearsIt) {
    static int paints = 0;
    HHOOK hook = SetWindowsHookExW(
        WH_GETMESSAGE,
        [](int code, WPARAM removal, LPARAM message) {
            if (code == HC_ACTION && removal == PM_REMOVE && reinterpret_cast<const MSG*>(message)->message == WM_PAINT)
                ++paints;
            return CallNextHookEx(nullptr, code, removal, message);
        },
        nullptr, GetCurrentThreadId());
    int crossing = -1, leaving = -1;
    bool handOverCard = false;
    runDriven([&](HWND w) {
        auto move = [w](float x, float y) {
            SendMessageW(w, WM_MOUSEMOVE, 0, clientPoint(w, x, y));
            for (int i = 0; i < 100 && GetUpdateRect(w, nullptr, FALSE); ++i) Sleep(10);
        };
        POINT rest = {325, 250};  // the real pointer rests away from the cards
        ClientToScreen(w, &rest);
        SetCursorPos(rest.x, rest.y);
        move(325, 250);
        paints = 0;
        for (float x : {100.0f, 120.0f, 216.0f, 220.0f, 225.0f, 300.0f, 310.0f}) move(x, 150);
        Sleep(100);
        crossing = paints;  // onto the first card, into the gap, onto the second
        handOverCard = SendMessageW(w, WM_SETCURSOR, WPARAM(w), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)) == TRUE;
        paints = 0;
        SendMessageW(w, WM_MOUSELEAVE, 0, 0);
        move(310, 150);  // the leave cleared the hot card: the next move over it repaints again
        leaving = paints;
        PostMessageW(w, WM_CLOSE, 0, 0);
    });
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(crossing, 3);
    EXPECT_EQ(leaving, 2);
    EXPECT_TRUE(handOverCard);
}

TEST(Installer, LanguageWindowOpensTheMainWindowOrEndsTheRun) {
    PlainFolder folder;
    for (bool choose : {true, false}) {
        ChildProcess child;
        ASSERT_TRUE(startProcess(child, installerExe(), L"", folder.path));
        HWND language = waitForWindow(LanguageWindowClass, 60000, &child);
        ASSERT_NE(language, nullptr);
        EXPECT_EQ(windowText(language), L"TavinMere · Patch Installer");
        RECT client{};
        GetClientRect(language, &client);
        EXPECT_EQ(client.right * 1000 + client.bottom, 650 * 1000 + 280);  // 96 DPI on Xvfb
        EXPECT_EQ(findWindow(MainWindowClass, child.info.dwProcessId), nullptr);
        post(language, choose ? WM_LBUTTONUP : WM_KEYDOWN, choose ? 0 : VK_ESCAPE, CardCentreX[2], CardCentreY);
        HWND main = waitForWindow(MainWindowClass, choose ? 60000 : 3000, &child);
        EXPECT_EQ(main != nullptr, choose);
        if (main) {
            EXPECT_EQ(windowText(main), text(English, WindowTitle));
            EXPECT_FALSE(IsWindow(language));
            PostMessageW(main, WM_CLOSE, 0, 0);
        }
        EXPECT_EQ(child.waitForExit(30000), 0u);
    }
}

// The temporary folder given in its short 8.3 form while the installer's path is long: the refusal
// must still come, in the chosen language, and end the run with 0.
TEST(Installer, RefusesToRunFromTheTemporaryFolderWhateverItsSpelling) {
    PlainFolder base;
    const std::wstring temp = base.path + L"\\Temporary Files Folder";
    makeDirs(temp + L"\\Rar$EXa1.234");
    ASSERT_TRUE(CopyFileW(installerExe().c_str(), (temp + L"\\Rar$EXa1.234\\Installer.exe").c_str(), FALSE));
    wchar_t shortTemp[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(temp.c_str(), shortTemp, MAX_PATH), 0u);
    ASSERT_NE(std::wstring(shortTemp), temp);
    ChildProcess child;
    ASSERT_TRUE(startProcess(child, temp + L"\\Rar$EXa1.234\\Installer.exe", L"--lang zh-TW", base.path,
                             {L"TMP=" + std::wstring(shortTemp), L"TEMP=" + std::wstring(shortTemp)}));
    HWND box = waitForWindow(L"#32770", 60000, &child);
    ASSERT_NE(box, nullptr);
    Sleep(200);
    wchar_t message[1024] = {};
    GetDlgItemTextW(box, 0xFFFF, message, 1024);
    EXPECT_STREQ(message, text(TraditionalChinese, ExtractZipMessage));
    EXPECT_EQ(windowText(box), text(TraditionalChinese, ExtractZipTitle));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(child.waitForExit(30000), 0u);
    EXPECT_EQ(findWindow(MainWindowClass, child.info.dwProcessId), nullptr);
}
