// The language window: scale and hit rule, the frame it paints, the window driven with real
// messages from a second thread, and the installer started without --lang.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "app/language_window.h"
#include "gdiplus_canvas.h"
#include "test_support.h"
#include "ui/layout.h"
#include "ui/main_window.h"

namespace {

// Logical centres of the three cards.
constexpr float CardCentreX[3] = {129, 325, 521};
constexpr float CardCentreY = 166;

LPARAM clientPoint(HWND window, float x, float y) {
    RECT client{};
    GetClientRect(window, &client);
    const float s = languageScale(client.right, client.bottom, windowDpi(window));
    return MAKELPARAM(static_cast<int>(x * s + 0.5f), static_cast<int>(y * s + 0.5f));
}

void click(HWND window, float x, float y) { PostMessageW(window, WM_LBUTTONUP, 0, clientPoint(window, x, y)); }
void key(HWND window, WPARAM virtualKey) { PostMessageW(window, WM_KEYDOWN, virtualKey, 1); }

// Counts the paint messages the thread takes from its queue for the language window.
std::atomic<int> paintCount{0};
LRESULT CALLBACK countPaints(int code, WPARAM removal, LPARAM message) {
    const MSG* m = reinterpret_cast<const MSG*>(message);
    if (code == HC_ACTION && removal == PM_REMOVE && m->message == WM_PAINT) ++paintCount;
    return CallNextHookEx(nullptr, code, removal, message);
}

bool waitUntilPainted(HWND window) {
    for (int i = 0; i < 200; ++i) {
        if (!GetUpdateRect(window, nullptr, FALSE)) return true;
        Sleep(10);
    }
    return false;
}

struct DrivenRun {
    int32_t result = -99;
    bool windowFound = false;
    bool closedByScript = false;
};

// Runs the language window on this thread while a second thread, once the window is shown, drives it
// with the script. A window the script leaves open is closed after a while, and the run says so.
DrivenRun runDriven(const std::function<void(HWND)>& script) {
    DrivenRun run;
    std::thread driver([&] {
        HWND window = nullptr;
        for (int i = 0; i < 1000 && !window; ++i) {
            window = FindWindowW(LanguageWindowClass, nullptr);
            if (!window || !IsWindowVisible(window)) window = nullptr, Sleep(10);
        }
        if (!window) return;
        run.windowFound = true;
        script(window);
        for (int i = 0; i < 500 && IsWindow(window); ++i) Sleep(10);
        run.closedByScript = !IsWindow(window);
        if (!run.closedByScript) PostMessageW(window, WM_CLOSE, 0, 0);
    });
    run.result = runLanguageWindow(GetModuleHandleW(nullptr));
    driver.join();
    return run;
}

int32_t resultOf(const std::function<void(HWND)>& script) {
    const DrivenRun run = runDriven(script);
    EXPECT_TRUE(run.windowFound);
    EXPECT_TRUE(run.closedByScript);
    return run.result;
}

}  // namespace

TEST(LanguageScale, FollowsTheClientUpToTheDpiWithAFloor) {
    EXPECT_FLOAT_EQ(languageScale(650, 280, 96), 1.0f);
    EXPECT_FLOAT_EQ(languageScale(975, 420, 144), 1.5f);
    EXPECT_FLOAT_EQ(languageScale(1300, 560, 96), 1.0f);  // never above the DPI
    EXPECT_FLOAT_EQ(languageScale(520, 280, 96), 0.8f);
    EXPECT_FLOAT_EQ(languageScale(300, 280, 96), 0.65f);
    EXPECT_FLOAT_EQ(languageScale(0, 0, 144), 1.5f);  // no size: the DPI ratio alone
}

TEST(LanguageHit, CardsIncludeTheirEdgesAndNotTheGaps) {
    EXPECT_EQ(languageCardAt(65 / 1.5f, 180 / 1.5f), SimplifiedChinese);
    for (int i = 0; i < 3; ++i) {
        const float left = 42.0f + 196.0f * i;
        EXPECT_EQ(languageCardAt(left, 118), i);
        EXPECT_EQ(languageCardAt(left + 174, 214), i);
        EXPECT_EQ(languageCardAt(left - 0.5f, 150), -1);
        EXPECT_EQ(languageCardAt(left + 174.5f, 150), -1);
    }
    EXPECT_EQ(languageCardAt(220, 150), -1);
    EXPECT_EQ(languageCardAt(100, 117.5f), -1);
    EXPECT_EQ(languageCardAt(100, 214.5f), -1);
}

TEST(LanguagePaint, HotCardFaceAndEveryLabel) {
    Canvas canvas(650, 280);
    LanguageWindowState state;
    for (int i = 0; i < 3; ++i) state.choiceFamilies[i] = createFontFamily(i);
    state.hotChoice = 1;
    paintLanguageContent(canvas.dc, state, 650, 280);
    EXPECT_EQ(canvas.dc.lastStatus, Gdiplus::Ok);
    EXPECT_EQ(canvas.pixel(250, 128), 0xFFFFE5F0u);  // the hot face is opaque
    const uint32_t plain = canvas.pixel(54, 128);
    EXPECT_NE(plain, 0xFFFFE5F0u);
    EXPECT_GE((plain >> 8) & 0xFF, 0xF0u);  // a near-white face over the wash
    auto darkPixels = [&](int x0, int y0, int x1, int y1) {
        int dark = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) dark += ((canvas.pixel(x, y) >> 16) & 0xFF) < 0x90;
        return dark;
    };
    EXPECT_GT(darkPixels(150, 40, 500, 86), 50);  // the title
    for (int i = 0; i < 3; ++i) EXPECT_GT(darkPixels(50 + 196 * i, 140, 208 + 196 * i, 195), 30) << i;
    EXPECT_EQ(darkPixels(0, 230, 650, 280), 0);  // below the cards only the wash
}

TEST(LanguageWindow, ShowsAsAFixedSmallWindowWithItsTitle) {
    const DrivenRun run = runDriven([](HWND window) {
        wchar_t title[64] = {};
        GetWindowTextW(window, title, 64);
        EXPECT_STREQ(title, L"TavinMere · Patch Installer");
        const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
        EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
        EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
        EXPECT_TRUE(GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_APPWINDOW);
        RECT client{};
        GetClientRect(window, &client);
        EXPECT_EQ(client.right, 650);  // 96 DPI on Xvfb
        EXPECT_EQ(client.bottom, 280);
        PostMessageW(window, WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(run.windowFound);
    EXPECT_EQ(run.result, -1);
}

TEST(LanguageWindow, ClickOnEachCardChoosesItsLanguage) {
    for (int i = 0; i < 3; ++i) EXPECT_EQ(resultOf([i](HWND w) { click(w, CardCentreX[i], CardCentreY); }), i);
}

TEST(LanguageWindow, EdgesChooseAndGapsDoNot) {
    EXPECT_EQ(resultOf([](HWND w) { click(w, 216, 150); }), SimplifiedChinese);
    EXPECT_EQ(resultOf([](HWND w) { click(w, 100, 214); }), SimplifiedChinese);
    EXPECT_EQ(resultOf([](HWND w) { click(w, 608, 118); }), English);
    // Clicks between and around the cards leave the window open for the key that follows.
    EXPECT_EQ(resultOf([](HWND w) {
                  click(w, 220, 150);
                  click(w, 420, 150);
                  click(w, 100, 100);
                  click(w, 100, 230);
                  click(w, 630, 150);
                  key(w, 'T');
              }),
              TraditionalChinese);
}

TEST(LanguageWindow, ReleaseDecidesNotPress) {
    EXPECT_EQ(resultOf([](HWND w) {
                  PostMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, clientPoint(w, CardCentreX[0], CardCentreY));
                  click(w, CardCentreX[2], CardCentreY);
              }),
              English);
}

TEST(LanguageWindow, ChoiceKeysAndEscape) {
    const std::pair<WPARAM, int32_t> keys[] = {{'1', 0}, {'C', 0}, {'2', 1},       {'T', 1},
                                               {'3', 2}, {'E', 2}, {VK_ESCAPE, -1}};
    for (const auto& [virtualKey, expected] : keys)
        EXPECT_EQ(resultOf([k = virtualKey](HWND w) { key(w, k); }), expected) << virtualKey;
}

TEST(LanguageWindow, OtherKeysAreSwallowed) {
    EXPECT_EQ(resultOf([](HWND w) {
                  for (WPARAM k : {WPARAM('4'), WPARAM(VK_F1), WPARAM(VK_RETURN), WPARAM(VK_NUMPAD1), WPARAM('X'),
                                   WPARAM(VK_SPACE)})
                      key(w, k);
                  key(w, 'C');
              }),
              SimplifiedChinese);
}

TEST(LanguageWindow, CloseBoxAndAltF4Cancel) {
    EXPECT_EQ(resultOf([](HWND w) { PostMessageW(w, WM_CLOSE, 0, 0); }), -1);
    // Alt+F4 as the keyboard delivers it: the default handling turns it into a close.
    EXPECT_EQ(resultOf([](HWND w) { PostMessageW(w, WM_SYSKEYDOWN, VK_F4, 1 | (1 << 29)); }), -1);
}

TEST(LanguageWindow, MovingAcrossCardsRepaintsOncePerChange) {
    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, countPaints, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    int paints = -1;
    const DrivenRun run = runDriven([&paints](HWND w) {
        // The real pointer rests inside the client away from the cards, so leave tracking stays quiet.
        POINT rest = {325, 250};
        ClientToScreen(w, &rest);
        SetCursorPos(rest.x, rest.y);
        Sleep(200);
        waitUntilPainted(w);
        paintCount = 0;
        const float path[][2] = {{100, 150}, {120, 150}, {216, 150}, {220, 150}, {225, 150}, {300, 150}, {310, 160}};
        for (const auto& p : path) {
            SendMessageW(w, WM_MOUSEMOVE, 0, clientPoint(w, p[0], p[1]));
            waitUntilPainted(w);
        }
        Sleep(100);
        paints = paintCount;
        PostMessageW(w, WM_CLOSE, 0, 0);
    });
    UnhookWindowsHookEx(hook);
    EXPECT_TRUE(run.windowFound);
    // Onto the first card, into the gap, onto the second card.
    EXPECT_EQ(paints, 3);
}

TEST(LanguageWindow, MouseLeaveClearsTheHotCard) {
    HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, countPaints, nullptr, GetCurrentThreadId());
    int paints = -1;
    runDriven([&paints](HWND w) {
        POINT rest = {325, 250};
        ClientToScreen(w, &rest);
        SetCursorPos(rest.x, rest.y);
        Sleep(200);
        waitUntilPainted(w);
        SendMessageW(w, WM_MOUSEMOVE, 0, clientPoint(w, CardCentreX[1], CardCentreY));
        waitUntilPainted(w);
        // Over a card the window sets the hand itself.
        EXPECT_EQ(SendMessageW(w, WM_SETCURSOR, WPARAM(w), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)), TRUE);
        paintCount = 0;
        SendMessageW(w, WM_MOUSELEAVE, 0, 0);
        waitUntilPainted(w);
        paints = paintCount;
        PostMessageW(w, WM_CLOSE, 0, 0);
    });
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(paints, 1);
}

namespace {

// A folder outside the temporary folder, where the installer agrees to run.
struct PlainFolder {
    std::wstring path = L"C:\\tavin-lang-" + std::to_wstring(GetCurrentProcessId());
    PlainFolder() { makeDirs(path); }
    ~PlainFolder() { removeTree(path); }
};

std::wstring installerExe() { return buildFolder() + L"\\bin\\TavinMere-Patch-Installer.exe"; }

}  // namespace

TEST(LanguageWindowProcess, ClickOnEnglishOpensTheMainWindowInEnglish) {
    PlainFolder folder;
    ChildProcess child;
    ASSERT_TRUE(startProcess(child, installerExe(), L"", folder.path));
    HWND language = waitForWindowOfProcess(child, LanguageWindowClass, 60000);
    ASSERT_NE(language, nullptr);
    EXPECT_EQ(findWindowOfProcess(child.info.dwProcessId, MainWindowClass), nullptr);
    click(language, CardCentreX[English], CardCentreY);
    HWND main = waitForWindowOfProcess(child, MainWindowClass, 60000);
    ASSERT_NE(main, nullptr);
    wchar_t title[128] = {};
    GetWindowTextW(main, title, 128);
    EXPECT_STREQ(title, text(English, WindowTitle));
    EXPECT_FALSE(IsWindow(language));
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(child.waitForExit(30000), 0u);
}

TEST(LanguageWindowProcess, EscapeEndsTheInstallerWithoutAMainWindow) {
    PlainFolder folder;
    ChildProcess child;
    ASSERT_TRUE(startProcess(child, installerExe(), L"", folder.path));
    HWND language = waitForWindowOfProcess(child, LanguageWindowClass, 60000);
    ASSERT_NE(language, nullptr);
    key(language, VK_ESCAPE);
    bool mainSeen = false;
    DWORD code = STILL_ACTIVE;
    for (int i = 0; i < 600 && code == STILL_ACTIVE; ++i) {
        mainSeen = mainSeen || findWindowOfProcess(child.info.dwProcessId, MainWindowClass);
        code = child.waitForExit(50);
    }
    EXPECT_EQ(code, 0u);
    EXPECT_FALSE(mainSeen);
}
