// The application shell: texts and fonts, the command line, the temporary-folder rule, window
// rectangles, the language window driven with real messages and read through
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

TEST(Texts, CompleteTablesCodesAndFonts) {
    for (int32_t language : {0, 1, 2}) {
        for (int id = 0; id < TextCount; ++id) EXPECT_NE(text(language, TextId(id))[0], L'\0') << language << id;
        for (int id = 0; id < AccessibleTextCount; ++id)
            EXPECT_NE(accessibleText(language, AccessibleTextId(id))[0], L'\0') << language << id;
        // The stand-in families of this prefix are found under the Windows names, the first of each list.
        const OwnedFontFamily family = createFontFamily(language);
        EXPECT_EQ(family->status, Gdiplus::Ok);
        EXPECT_EQ(familyName(*family), fontFamilyList(language).names[0]);
    }
    // A language out of range reads as Simplified Chinese.
    const std::tuple<int32_t, const wchar_t*, const wchar_t*, const wchar_t*, size_t> languages[] = {
        {3, L"zh-CN", L"简体中文", L"简中", 5},
        {-1, L"zh-CN", L"简体中文", L"简中", 5},
        {1, L"zh-TW", L"繁體中文", L"繁中", 5},
        {2, L"en", L"English", L"EN", 4}};
    for (const auto& [language, code, longLabel, shortLabel, fonts] : languages) {
        EXPECT_EQ(std::wstring(languageCode(language)) + languageLongLabel(language) + languageShortLabel(language),
                  std::wstring(code) + longLabel + shortLabel);
        EXPECT_EQ(fontFamilyList(language).count, fonts);
    }
    EXPECT_STREQ(text(3, PatchFound), L"已找到 patch.rpa");
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

TEST(Startup, TemporaryFolderRuleAndWindowRectangles) {
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
    // Centred at its design size when it fits (the frame added), else within a margin of 12 (scaled by
    // the DPI), never below the minimum size.
    RECT design{0, 0, 1160, 700};
    AdjustWindowRectEx(&design, WS_OVERLAPPEDWINDOW, FALSE, 0);
    const int frameW = design.right - design.left - 1160, frameH = design.bottom - design.top - 700;
    const struct {
        RECT work;
        int dpi, x, y, width, height;
    } rects[] = {
        {{0, 0, 1920, 1040}, 96, (1920 - 1160 - frameW) / 2, (1040 - 700 - frameH) / 2, 1160 + frameW, 700 + frameH},
        {{0, 0, 800, 560}, 96, 12, 12, 776, 536},
        {{0, 0, 600, 400}, 96, -20, -50, 640, 500},
        {{100, 50, 1100, 850}, 144, 118, 68, 964, 764}};
    for (const auto& r : rects) {
        const WindowRect got = windowRectFor(1160, 700, 640, 500, WS_OVERLAPPEDWINDOW, r.work, r.dpi);
        EXPECT_EQ(std::vector<int>({got.x, got.y, got.width, got.height}),
                  std::vector<int>({r.x, r.y, r.width, r.height}))
            << r.work.right;
    }
}

TEST(LanguageWindow, ScaleCardsAndFrame) {
    const struct {
        int w, h;
        UINT dpi;
        float scale;
    } scales[] = {{650, 280, 96, 1.0f}, {975, 420, 144, 1.5f}, {1300, 560, 96, 1.0f},
                  {520, 280, 96, 0.8f}, {300, 280, 96, 0.65f}, {0, 0, 144, 1.5f}};
    for (const auto& s : scales) EXPECT_FLOAT_EQ(languageScale(s.w, s.h, s.dpi), s.scale) << s.w;
    for (int i = 0; i < 3; ++i) {
        const float left = 42.0f + 196.0f * i;
        EXPECT_EQ(languageCardAt(left, 118) * 10 + languageCardAt(left + 174, 214), i * 11);
        EXPECT_EQ(languageCardAt(left - 0.5f, 150) + languageCardAt(left + 174.5f, 150), -2);
    }
    EXPECT_EQ(languageCardAt(100, 117.5f) + languageCardAt(100, 214.5f), -2);
    Canvas canvas(650, 280);
    LanguageWindowState state;
    for (int i = 0; i < 3; ++i) state.choiceFamilies[i] = createFontFamily(i);
    state.hotChoice = 1;
    paintLanguageContent(canvas.dc, state, 650, 280);
    EXPECT_EQ(canvas.pixel(250, 128), 0xFFFFE5F0u);  // the hot face
    EXPECT_NE(canvas.pixel(54, 128), 0xFFFFE5F0u);
    for (int i = 0; i < 3; ++i) EXPECT_GT(canvas.ink(50 + 196 * i, 140, 208 + 196 * i, 195), 0u) << i;
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

TEST(Installer, LanguageWindowOpensTheMainWindowOrEndsTheRun) {
    PlainFolder folder;
    for (bool choose : {true, false}) {
        ChildProcess child;
        ASSERT_TRUE(startProcess(child, installerExe(), L"", folder.path));
        HWND language = waitForWindow(LanguageWindowClass, 60000, &child);
        ASSERT_NE(language, nullptr);
        EXPECT_EQ(findWindow(MainWindowClass, child.info.dwProcessId), nullptr);
        post(language, choose ? WM_LBUTTONUP : WM_KEYDOWN, choose ? 0 : VK_ESCAPE, CardCentreX[0], CardCentreY);
        HWND main = waitForWindow(MainWindowClass, choose ? 60000 : 3000, &child);
        EXPECT_EQ(main ? windowText(main) : L"", choose ? text(SimplifiedChinese, WindowTitle) : L"");
        PostMessageW(main, WM_CLOSE, 0, 0);
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
    wchar_t savedTemp[MAX_PATH] = {};
    GetEnvironmentVariableW(L"TEMP", savedTemp, MAX_PATH);
    ChildProcess child;
    SetEnvironmentVariableW(L"TMP", shortTemp);
    SetEnvironmentVariableW(L"TEMP", shortTemp);
    const bool started = startProcess(child, temp + L"\\Rar$EXa1.234\\Installer.exe", L"--lang zh-TW", base.path);
    SetEnvironmentVariableW(L"TMP", savedTemp);
    SetEnvironmentVariableW(L"TEMP", savedTemp);
    ASSERT_TRUE(started);
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
