// The application shell: the command line, the temporary-folder rule, the language window driven with
// real messages and read through MSAA, and the real installer started from a temporary folder.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include <thread>

#include "app/language_window.h"
#include "app/startup.h"
#include "base/win32.h"
#include "support/support.h"
#include "ui/main_window.h"

namespace {

// logical centres of the three cards
constexpr float CardCentreX[3] = {129, 325, 521};
constexpr float CardCentreY = 166;

POINT clientPoint(HWND window, float x, float y) {
    RECT client{};
    GetClientRect(window, &client);
    const float s = languageScale(client.right, client.bottom, windowDpi(window));
    return {LONG(x * s + 0.5f), LONG(y * s + 0.5f)};
}

void post(HWND window, UINT message, WPARAM wParam, float x = 0, float y = 0) {
    const POINT p = clientPoint(window, x, y);
    PostMessageW(window, message, wParam, message == WM_KEYDOWN ? 1 : MAKELPARAM(p.x, p.y));
}

// Runs the language window on this thread while a second one drives it once it shows. A window the
// script leaves open is closed after a while, and the result says so with -2; -3 when it never showed.
int32_t runDriven(const std::function<void(HWND)>& script) {
    bool shown = false, closedByScript = true;
    std::thread driver([&] {
        if (HWND window = waitForWindow(LanguageWindowClass, 10000)) {
            shown = true;
            script(window);
            closedByScript = waitUntil([&] { return !IsWindow(window); }, 3000);
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
    });
    const int32_t result = runLanguageWindow(GetModuleHandleW(nullptr));
    driver.join();
    return !shown ? -3 : closedByScript ? result : -2;
}

// A folder outside the temporary folder, where the installer agrees to run.
struct PlainFolder {
    std::wstring path = L"C:\\tavin-app-" + std::to_wstring(GetCurrentProcessId());
    PlainFolder() { makeDirs(path); }
    ~PlainFolder() { removeTree(path); }
};

}  // namespace

TEST(CommandLine, OptionsLanguageCodesAndBlankFolders) {
    const struct {
        const wchar_t* line;
        bool languageGiven;
        int32_t language;
        const wchar_t* dest;
    } cases[] = {{L"x.exe --lang en", true, English, L""},
                 {L"x.exe --lang ZH-tw", true, TraditionalChinese, L""},
                 {L"x.exe --LANG Traditional", true, TraditionalChinese, L""},
                 {L"x.exe --lang fr", true, SimplifiedChinese, L""},
                 {L"x.exe --lang", false, SimplifiedChinese, L""},
                 {L"x.exe --dest \"D:\\My Games\\游戏\" --lang en", true, English, L"D:\\My Games\\游戏"},
                 {L"x.exe --DEST a --dest b /s --other c:\\x --dest", false, SimplifiedChinese, L"b"},
                 {L"x.exe --dest \"   \"", false, SimplifiedChinese, L""},
                 {L"x.exe --dest a --dest \"\"", false, SimplifiedChinese, L""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(narrow(c.line));
        const CommandLineOptions o = parseCommandLine(c.line);
        EXPECT_EQ(o.destOption, c.dest);
        EXPECT_EQ(o.language, c.language);
        EXPECT_EQ(o.languageGiven, c.languageGiven);
    }
}

TEST(Startup, TemporaryFolderRule) {
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
}

// What assistive tools read: the three cards left to right in their own languages, each where a click
// chooses it, with its key, the hot and the focused one marked.
TEST(LanguageWindow, CardsForAssistiveTools) {
    LanguageWindowState state;
    state.hotChoice = 1;
    state.focusedChoice = 2;
    const float scale = 1.5f;
    const std::vector<AccessibleItem> cards = languageWindowItems(state, scale);
    ASSERT_EQ(cards.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const RECT& r = cards[i].bounds;
        EXPECT_EQ(cards[i].name, languageLongLabel(i));
        EXPECT_EQ(cards[i].defaultAction, accessibleText(i, PressAction));
        EXPECT_EQ(cards[i].role, ROLE_SYSTEM_PUSHBUTTON);
        EXPECT_EQ(cards[i].state & STATE_SYSTEM_HOTTRACKED, i == 1 ? STATE_SYSTEM_HOTTRACKED : 0);
        EXPECT_EQ(cards[i].state & STATE_SYSTEM_FOCUSED, i == 2 ? STATE_SYSTEM_FOCUSED : 0);
        EXPECT_EQ(cards[i].keyboardShortcut, std::to_wstring(i + 1));
        EXPECT_EQ(languageCardAt((r.left + r.right) / 2 / scale, (r.top + r.bottom) / 2 / scale), i);
        // the gap before it
        EXPECT_EQ(languageCardAt((r.left - 2) / scale, (r.top + r.bottom) / 2 / scale), -1);
        EXPECT_EQ(r.top, cards[0].bounds.top);
    }
}

// Each run as typed: a key by its virtual key ('\t' Tab, '\r' Enter, ' ' Space, '\x1b' Escape), or 'dN' a
// press and 'uN' a release on card N, 'g' a release between cards, 'f' Alt+F4, 'aN' an assistive tool's
// default action on item N (it arrives as a message; the calls themselves are read across processes by
// the end-to-end probe, as Wine's marshalling hangs between two threads of one process).
TEST(LanguageWindow, ChoosesByReleaseKeyOrAssistiveToolAndCancels) {
    const std::pair<const wchar_t*, int32_t> runs[] = {{L"1", SimplifiedChinese},
                                                       {L"C", SimplifiedChinese},
                                                       {L"2", TraditionalChinese},
                                                       {L"3", English},
                                                       {L"E", English},
                                                       {L"\x1b", -1},
                                                       {L"d0u1", TraditionalChinese},
                                                       {L"g4\r T", TraditionalChinese},
                                                       {L"\t\t\r", TraditionalChinese},
                                                       {L"\t\t\t\t ", SimplifiedChinese},
                                                       {L"f", -1},
                                                       {L"a3a1", TraditionalChinese}};
    for (auto [script, result] : runs) {
        EXPECT_EQ(runDriven([s = std::wstring(script)](HWND w) {
                      for (size_t i = 0; i < s.size(); ++i) {
                          const wchar_t c = s[i];
                          const int n = i + 1 < s.size() ? s[i + 1] - L'0' : 0;
                          if (c == L'd' || c == L'u') {
                              post(w, c == L'd' ? WM_LBUTTONDOWN : WM_LBUTTONUP, 0, CardCentreX[n], CardCentreY);
                              ++i;
                          } else if (c == L'a') {
                              PostMessageW(w, WM_ACCESSIBLE_ACTION, n, 0);
                              ++i;
                          } else if (c == L'g') {
                              post(w, WM_LBUTTONUP, 0, 220, 150);
                          } else if (c == L'f') {
                              PostMessageW(w, WM_SYSKEYDOWN, VK_F4, 1 | (1 << 29));
                          } else {
                              post(w, WM_KEYDOWN, c);
                          }
                      }
                  }),
                  result)
            << narrow(script);
    }
}

// The cards as drawn at the design size: faces over the pale wash with shadows below, the one under the
// pointer pinker than the others and under a hand, and nothing right of the third.
TEST(LanguageWindow, CardsAsDrawnWithAHandOverTheHotOne) {
    EXPECT_EQ(
        runDriven([](HWND w) {
            HDC dc = GetDC(w);
            const auto green = [&](float x, float y) {
                const POINT p = clientPoint(w, x, y);
                return GetGValue(GetPixel(dc, p.x, p.y));
            };
            POINT pointer = clientPoint(w, CardCentreX[1], 130);
            ClientToScreen(w, &pointer);
            // the system's own move and cursor query, as a mouse makes them
            SetCursorPos(pointer.x, pointer.y);
            CURSORINFO cursor{sizeof(cursor), 0, nullptr, {}};
            EXPECT_TRUE(
                waitUntil([&] { return GetCursorInfo(&cursor) && cursor.hCursor == LoadCursorW(nullptr, IDC_HAND); }));
            // the hot face, pink
            EXPECT_LT(green(CardCentreX[1], 136) + 16, green(CardCentreX[0], 136));
            // the pale wash
            EXPECT_GT(green(20, 100), 0xF0);
            EXPECT_GT(green(CardCentreX[0], 136), green(CardCentreX[0], 100) + 2);
            // the shadow
            EXPECT_LT(green(CardCentreX[2], 216) + 8, green(CardCentreX[2], 221));
            EXPECT_EQ(green(636, 136), green(636, 100));
            ReleaseDC(w, dc);
            post(w, WM_KEYDOWN, VK_ESCAPE);
        }),
        -1);
}

// The temporary folder given in its short 8.3 form while the installer's path is long: the refusal
// must still come, in the chosen language, and end the run with 0.
TEST(Installer, RefusesToRunFromTheTemporaryFolderWhateverItsSpelling) {
    PlainFolder base;
    const std::wstring temp = base.path + L"\\Temporary Files Folder";
    makeDirs(temp + L"\\Rar$EXa1.234");
    const std::wstring installer = buildFolder() + L"\\bin\\TavinMere-Patch-Installer.exe";
    ASSERT_TRUE(CopyFileW(installer.c_str(), (temp + L"\\Rar$EXa1.234\\Installer.exe").c_str(), FALSE));
    wchar_t shortTemp[MAX_PATH] = {};
    ASSERT_GT(GetShortPathNameW(temp.c_str(), shortTemp, MAX_PATH), 0u);
    ASSERT_NE(std::wstring(shortTemp), temp);
    // The test's own temporary folder is not given back: the run ends with it.
    SetEnvironmentVariableW(L"TMP", shortTemp);
    SetEnvironmentVariableW(L"TEMP", shortTemp);
    ChildProcess child;
    ASSERT_TRUE(startProcess(child, temp + L"\\Rar$EXa1.234\\Installer.exe", L"--lang zh-TW", base.path));
    HWND box = waitForWindow(L"#32770", 60000, &child);
    ASSERT_NE(box, nullptr);
    wchar_t message[1024] = {};
    EXPECT_TRUE(waitUntil([&] { return GetDlgItemTextW(box, 0xFFFF, message, 1024) > 0; }));
    EXPECT_STREQ(message, text(TraditionalChinese, ExtractZipMessage));
    EXPECT_EQ(windowText(box), text(TraditionalChinese, ExtractZipTitle));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(child.waitForExit(30000), 0u);
}
