// The application shell: the command line, the temporary-folder rule, the language window driven with
// real messages and read through MSAA, and the real installer started from a temporary folder.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include "app/language_window.h"
#include "app/startup.h"
#include "audio/music.h"
#include "base/win32.h"
#include "install/installer_app.h"
#include "support/support.h"
#include "ui/main_window.h"

namespace {

// logical centres of the three cards; their middle row is at 166
constexpr float CardX[3] = {129, 325, 521};

// A logical point of the language window in client pixels.
POINT at(HWND w, float x, float y) {
    RECT c{};
    GetClientRect(w, &c);
    const float s = languageScale(c.right, c.bottom, windowDpi(w));
    return {LONG(x * s + .5f), LONG(y * s + .5f)};
}

// Posts a run as typed: a key by its virtual key ('\t' Tab, '\r' Enter, ' ' Space, '\x1b' Escape), or 'dN'
// a press and 'uN' a release on card N, 'g' a release between cards, 'f' Alt+F4, 'aN' an assistive tool's
// default action on item N (it arrives as a message; the calls themselves are read across processes by
// the end-to-end probe, as Wine's marshalling hangs between two threads of one process).
void play(HWND w, const wchar_t* s) {
    while (const wchar_t c = *s++) {
        if (c == L'a') {
            PostMessageW(w, WM_ACCESSIBLE_ACTION, *s++ - L'0', 0);
        } else if (c == L'f') {
            PostMessageW(w, WM_SYSKEYDOWN, VK_F4, 1 | 1 << 29);
        } else if (c == L'd' || c == L'u' || c == L'g') {
            const POINT p = c == L'g' ? at(w, 220, 150) : at(w, CardX[*s++ - L'0'], 166);
            PostMessageW(w, c == L'd' ? WM_LBUTTONDOWN : WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
        } else {
            PostMessageW(w, WM_KEYDOWN, c, 1);
        }
    }
}

// Runs the language window on this thread while a second one drives it once it shows. A window the
// script leaves open is closed after a while, and the result says so with -2; -3 when it never showed.
template <class F>
int32_t runDriven(F script) {
    int32_t failed = -3;
    std::thread driver([&] {
        if (HWND w = waitForWindow(LanguageWindowClass, 10000)) {
            script(w);
            failed = waitUntil([&] { return !IsWindow(w); }, 3000) ? 0 : -2;
            PostMessageW(w, WM_CLOSE, 0, 0);
        }
    });
    const auto result = runLanguageWindow(GetModuleHandleW(nullptr));
    driver.join();
    return failed ? failed : result;
}

}  // namespace

// The options, language codes and blank folders; language -1: none given, and Simplified Chinese stays.
TEST(CommandLine, Options) {
    const struct {
        const wchar_t* line;
        int32_t language;
        wstring dest{};
    } cases[] = {{L"--lang en", English},
                 {L"--lang ZH-tw", TraditionalChinese},
                 {L"--LANG Traditional", TraditionalChinese},
                 {L"--lang fr", SimplifiedChinese},
                 {L"--lang", -1},
                 {L"--dest \"D:\\My Games\\游戏\" --lang en", English, L"D:\\My Games\\游戏"},
                 {L"--DEST a --dest b /s --other c:\\x --dest", -1, L"b"},
                 {L"--dest \"   \"", -1},
                 {L"--dest a --dest \"\"", -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const auto o = parseCommandLine((L"x.exe " + wstring(c.line)).c_str());
        EXPECT_EQ(o.destOption, c.dest);
        EXPECT_EQ(o.language, c.language < 0 ? SimplifiedChinese : c.language);
        EXPECT_EQ(o.languageGiven, c.language >= 0);
    }
}

TEST(Startup, TemporaryFolderRule) {
    const std::tuple<const wchar_t*, const wchar_t*, bool> folders[] = {
        {L"C:\\Tmp", L"C:\\Tmp", 1}, {L"C:\\TMP\\Rar$EX01", L"c:\\tmp", 1}, {L"C:\\Tmp2", L"C:\\Tmp", 0},
        {L"C:\\", L"C:\\Tmp", 0},    {L"C:\\Tmq", L"C:\\Tmp", 0},           {L"C:\\Tmp", L"", 0}};
    for (auto [folder, temp, inside] : folders) EXPECT_EQ(isFolderInside(folder, temp), inside) << folder;
}

// The window's scale, and what assistive tools read: the three cards left to right in their own languages,
// each where a click chooses it, with its key, the hot and the focused one marked.
TEST(LanguageWindow, CardsForAssistiveTools) {
    LanguageWindowState state;
    state.hotChoice = 1;
    state.focusedChoice = 2;
    // The scale follows the smaller side, at most the screen's and at least 0.65; before the client has a size, the
    // screen's (here 1.5).
    EXPECT_FLOAT_EQ(languageScale(1300, 420, 192), 1.5f);
    EXPECT_FLOAT_EQ(languageScale(1300, 560, 96), 1.f);
    EXPECT_FLOAT_EQ(languageScale(100, 280, 96), .65f);
    // without a window, the display's DPI
    EXPECT_EQ(windowDpi(nullptr), 96u);
    const auto cards = languageWindowItems(state, languageScale(0, 0, 144));
    ASSERT_EQ(cards.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const auto& c = cards[i];
        const RECT& r = c.bounds;
        // logical pixels: the middle of the bounds at the scale 1.5
        const float y = (r.top + r.bottom) / 3.f;
        EXPECT_EQ(c.name, languageLongLabel(i));
        EXPECT_EQ(c.defaultAction, accessibleText(i, PressAction));
        EXPECT_EQ(c.role, ROLE_SYSTEM_PUSHBUTTON);
        EXPECT_EQ(!!(c.state & STATE_SYSTEM_HOTTRACKED), i == 1);
        EXPECT_EQ(!!(c.state & STATE_SYSTEM_FOCUSED), i == 2);
        EXPECT_EQ(c.keyboardShortcut, std::to_wstring(i + 1));
        EXPECT_EQ(languageCardAt((r.left + r.right) / 3.f, y), i);
        // its edges too
        EXPECT_EQ(languageCardAt(r.left / 1.5f, r.top / 1.5f), i);
        EXPECT_EQ(languageCardAt(r.right / 1.5f, r.bottom / 1.5f), i);
        // the gap before it
        EXPECT_EQ(languageCardAt((r.left - 2) / 1.5f, y), -1);
    }
}

// A language chosen by a release on its card, its key, Tab and Enter or Space, or a tool's action; Escape and Alt+F4
// cancel.
TEST(LanguageWindow, ChoosesAndCancels) {
    const std::pair<int32_t, std::vector<const wchar_t*>> runs[] = {
        {SimplifiedChinese, {L"1", L"C", L"\t\t\t\t "}},
        {TraditionalChinese, {L"2", L"d0u1", L"g4\r T", L"\t\t\r", L"a3a1"}},
        {English, {L"3", L"E"}},
        {-1, {L"\x1b", L"f"}}};
    for (auto& [result, scripts] : runs)
        for (auto s : scripts) EXPECT_EQ(runDriven([&](HWND w) { play(w, s); }), result) << s;
}

// The cards as drawn at the design size: faces over the wash with shadows below and to the right, the one under the
// pointer pinker than the others and under a hand.
TEST(LanguageWindow, CardsAsDrawn) {
    EXPECT_EQ(runDriven([](HWND w) {
                  // the class carries the program's icon
                  EXPECT_TRUE(GetClassLongPtrW(w, GCLP_HICON));
                  HDC dc = GetDC(w);
                  const auto green = [&](float x, float y) {
                      const POINT p = at(w, x, y);
                      return GetGValue(GetPixel(dc, p.x, p.y));
                  };
                  // The system's own moves and cursor query, as a mouse makes them; it keeps moving by a
                  // pixel, as a move made before the window is on the display is not seen again.
                  const auto cursorIs = [&](float x, float y, LPCWSTR id) {
                      POINT p = at(w, x, y);
                      ClientToScreen(w, &p);
                      CURSORINFO cursor{sizeof cursor, 0, nullptr, {}};
                      // after a pause, so that a cursor set and then replaced within one move shows as the latter
                      return waitUntil([&, n = 0]() mutable {
                          SetCursorPos(p.x + n++ % 2, p.y);
                          Sleep(20);
                          return GetCursorInfo(&cursor) && cursor.hCursor == LoadCursorW(nullptr, id);
                      });
                  };
                  // off the cards the arrow, then from one card onto the next the hand (from the arrow, so that
                  // a hand the card before left cannot pass for the first)
                  EXPECT_TRUE(cursorIs(20, 100, IDC_ARROW));
                  EXPECT_TRUE(cursorIs(CardX[0], 130, IDC_HAND));
                  EXPECT_TRUE(cursorIs(CardX[1], 130, IDC_HAND));
                  // the hot face, pink, once the window has drawn the move
                  EXPECT_TRUE(waitUntil([&] { return green(CardX[1], 136) + 16 < green(CardX[0], 136); }));
                  EXPECT_GT(green(CardX[0], 136), green(CardX[0], 100) + 2);
                  // the shadow below the card and right of it, not left of it
                  EXPECT_LT(green(CardX[2], 216) + 8, green(CardX[2], 221));
                  EXPECT_LT(green(CardX[2] + 88, 166) + 8, green(CardX[2] - 88, 166));
                  // out of the window (centred on the screen), no card stays hot
                  SetCursorPos(0, 0);
                  EXPECT_TRUE(waitUntil([&] { return green(CardX[1], 136) + 8 > green(CardX[0], 136); }));
                  // the focus ring on the focused card only, and only while the window has the focus
                  play(w, L"\t\t");
                  EXPECT_TRUE(waitUntil([&] { return green(CardX[1], 119) < 99; }));
                  EXPECT_GT(green(CardX[0], 119), 200);
                  AttachThreadInput(GetCurrentThreadId(), GetWindowThreadProcessId(w, nullptr), TRUE);
                  SetFocus(nullptr);
                  EXPECT_TRUE(waitUntil([&] { return green(CardX[1], 119) > 200; }));
                  ReleaseDC(w, dc);
                  play(w, L"\x1b");
              }),
              -1);
}

// The picture found and decoded. While a screen reader runs, the music starts muted so that it never plays over
// its speech. The loop ends with the reader off, as the prefix has it.
TEST(Startup, PictureAndMusic) {
    InstallerApp app;
    app.instance = GetModuleHandleW(nullptr);
    loadBackgroundImage(app);
    EXPECT_TRUE(app.backgroundImage);
    for (BOOL reader : {1, 0}) {
        MusicPlayer player;
        SystemParametersInfoW(SPI_SETSCREENREADER, reader, nullptr, 0);
        startBackgroundMusic(player, nullptr);
        EXPECT_EQ(player.musicMuted, reader);
        stopMusic(player);
    }
}

// The temporary folder given in its short 8.3 form while the installer's path is long: the refusal
// must still come, in the language chosen, and end the run with 0.
TEST(Installer, RefusesTheTemporaryFolder) {
    TempDir base;
    const wstring temp = base / L"Temporary Files", dir = temp + L"\\Rar$EXa1.234", exe = dir + L"\\Setup.exe";
    makeDirs(dir);
    ASSERT_TRUE(CopyFileW((buildFolder() + L"\\bin\\TavinMere-Patch-Installer.exe").c_str(), exe.c_str(), 0));
    wchar_t shortTemp[MAX_PATH]{};
    GetShortPathNameW(temp.c_str(), shortTemp, MAX_PATH);
    ASSERT_TRUE(wcschr(shortTemp, L'~'));
    // The test's own temporary folder is not given back: the run ends with it.
    SetEnvironmentVariableW(L"TMP", shortTemp);
    ChildProcess child;
    // no language given: the language window asks, and Simplified Chinese is chosen there
    ASSERT_TRUE(startProcess(child, exe, L"", base.root));
    PostMessageW(waitForWindow(LanguageWindowClass, 60000, &child), WM_KEYDOWN, '1', 1);
    HWND box = waitForWindow(L"#32770", 60000, &child);
    ASSERT_TRUE(box);
    wchar_t message[999]{};
    EXPECT_TRUE(waitUntil([&] { return GetDlgItemTextW(box, 0xFFFF, message, 999); }));
    EXPECT_STREQ(message, text(SimplifiedChinese, ExtractZipMessage));
    EXPECT_EQ(windowText(box), text(SimplifiedChinese, ExtractZipTitle));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(child.waitForExit(30000), 0u);
    // Moved out of it, it runs whole: its window in the language given, the patch beside it found and the music
    // playing, ended with 0.
    const wstring other = base / L"Elsewhere";
    ASSERT_TRUE(MoveFileW(dir.c_str(), other.c_str()));
    writeBytes(other + L"\\patch.rpa", "p");
    ChildProcess run;
    ASSERT_TRUE(startProcess(run, other + L"\\Setup.exe", L"--lang en", other));
    HWND w = waitForWindow(MainWindowClass, 60000, &run);
    ASSERT_TRUE(w);
    EXPECT_EQ(windowText(w), text(English, WindowTitle));
    // at its design size, centred in the work area
    RECT client, r, work;
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, 1160);
    EXPECT_EQ(client.bottom, 700);
    GetWindowRect(w, &r);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_NEAR(r.left + r.right, work.left + work.right, 1);
    EXPECT_NEAR(r.top + r.bottom, work.top + work.bottom, 1);
    // what it tells tools, once its loop runs: the patch found, the music playing
    for (const wstring name : {text(English, PatchFound), accessibleText(English, MusicOnName)})
        EXPECT_TRUE(waitUntil([&] { return childNamed(w, name).id; })) << narrow(name);
    PostMessageW(w, WM_CLOSE, 0, 0);
    EXPECT_EQ(run.waitForExit(30000), 0u);
}
