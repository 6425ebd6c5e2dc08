// The main window: the frame drawn off-screen, and the real window driven with messages, read and pressed through its
// accessibility tree (MSAA) in every state and language.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include "app/startup.h"
#include "audio/music.h"
#include "base/win32.h"
#include "install/installer_app.h"
#include "support/support.h"
#include "ui/layout.h"
#include "ui/main_window.h"
#include "ui/paint.h"

namespace {

constexpr int AccessibleTreeResource = 306;  // tests/data/accessible_tree.txt

bool similar(uint32_t a, uint32_t b, int tolerance) {
    for (int shift : {24, 16, 8, 0})
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) return false;
    return true;
}

// An application with a found patch and the given number of locations, as the frame reads it.
struct Frame {
    InstallerApp app;
    MusicPlayer player;
    Frame() {
        app.language = English;
        app.fontFamily = createFontFamily(English);
        app.musicPlayer = &player;
        app.patchFound = true;
        app.patchSize = 5ull << 20;
        app.candidates.push_back({L"C:\\Games\\T0\\game", false, 100, 0});
    }
    // The pixel at a logical point of a 920 x 620 frame.
    uint32_t at(float x, float y) const {
        Canvas c(920, 620);
        drawMainFrame(app, c.dc, 920, 620, 96, nullptr);
        return c.pixel(static_cast<int>(x), static_cast<int>(y));
    }
};

// The real main window, a popup of a chosen client size bound to its own application object.
struct Window : ::testing::Test, Frame {
    HWND window = nullptr;
    void SetUp() override { open(640, 500); }
    void open(int w, int h) {
        registerWindowClass(GetModuleHandleW(nullptr), MainWindowClass, mainWindowProc);
        window = CreateWindowExW(0, MainWindowClass, L"", WS_POPUP | WS_VISIBLE, 0, 0, w, h, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), &app);
        ASSERT_TRUE(window);
    }
    void TearDown() override {
        if (IsWindow(window)) DestroyWindow(window);
        pumpMessages(0);
        app.installJob.reset();
    }
    LPARAM positionOf(ControlId id) const {
        const LogicalView view = logicalViewOf(window);
        const RectF r = computeLayout(app.uiState, view.width, view.height).control(id);
        return MAKELPARAM(int((r.X + r.Width / 2) * view.scale), int((r.Y + r.Height / 2) * view.scale));
    }
    void click(ControlId id) {
        SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, positionOf(id));
        SendMessageW(window, WM_LBUTTONUP, 0, positionOf(id));
    }
    void key(WPARAM k) { SendMessageW(window, WM_KEYDOWN, k, 0); }
    LRESULT cursor(WORD hit) { return SendMessageW(window, WM_SETCURSOR, WPARAM(window), MAKELPARAM(hit, 0)); }
    void installing() {
        app.uiState = StateInstalling;
        app.installJob = std::make_unique<InstallJob>();
    }
    long cancelRequested() const { return app.installJob->cancelRequested.load(); }
    long childNamed(const std::wstring& name) const {
        for (const AccessibleChild& c : accessibleChildren(window))
            if (c.name == name) return c.id;
        return 0;
    }
};

}  // namespace

// The progress fill at its narrowest stays inside the track's rounded left end; a button that cannot
// be hit during an install never looks hot, though the mouse rests on it; the main button looks as
// what it does; the patch's dot is round.
TEST(Frame, LooksTheStateDecides) {
    Frame f;
    const MainLayout L = computeLayout(StateReady, 920, 620);
    const RectF T = L.progressTrack, C = L.control(ChooseFolderButton), B = L.control(ActionButton), Q = L.patchCard;
    f.app.uiState = StateInstalling;
    for (int32_t permille : {1, 5, 16, 500}) {
        f.app.progressPermille = permille;
        Canvas c(920, 620);
        drawMainFrame(f.app, c.dc, 920, 620, 96, nullptr);
        const float fill = T.Width * static_cast<float>(permille) / 1000.0f;
        EXPECT_EQ(c.pixel(int(T.X) - 1, int(T.Y + 4)), c.pixel(int(T.X) - 1, int(T.Y) - 2)) << permille;
        EXPECT_NE(c.pixel(int(T.X + fill + 2), int(T.Y + 4)), 0xFFF1719Eu) << permille;
        EXPECT_TRUE(fill < 4 || c.pixel(int(T.X + fill / 2), int(T.Y + 4)) == 0xFFF1719Eu) << permille;
    }
    f.app.hoverControl = ChooseFolderButton;
    EXPECT_EQ(f.at(C.X + 6, C.Y + 20), 0xFFE86094u);
    const uint32_t cancelLook = f.at(B.X + 12, B.Y + 26);
    f.app.uiState = StateReady;
    EXPECT_EQ(f.at(C.X + 6, C.Y + 20), 0xFFF579A5u);
    EXPECT_TRUE(f.at(B.X + 12, B.Y + 26) == 0xFFEC699Au && cancelLook != 0xFFEC699Au);
    EXPECT_TRUE(f.at(Q.X + 21, Q.Y + 24) == 0xFF3DB784u && f.at(Q.X + 17, Q.Y + 20) != 0xFF3DB784u);
}

// Each language's text takes the first family of its list; in a prefix without the Windows families,
// as many players' Wine prefixes are (the run in tests/CMakeLists.txt that sets BARE_PREFIX), an open
// family with the language's glyphs, never none.
TEST(Fonts, EachLanguageTakesTheFirstFamilyThereIs) {
    const bool bare = GetEnvironmentVariableW(L"BARE_PREFIX", nullptr, 0) > 0;
    for (int32_t language : {0, 1, 2}) {
        wchar_t name[LF_FACESIZE] = {};
        const OwnedFontFamily family = createFontFamily(language);
        Gdiplus::DllExports::GdipGetFamilyName(family->family, name, 0);
        const std::wstring options =
            bare ? (language == English ? L"|DejaVu Sans|Liberation Sans|Noto Sans|" : L"|WenQuanYi Micro Hei|")
                 : L"|" + std::wstring(fontFamilyList(language).names[0]) + L"|";
        EXPECT_NE(options.find(L"|" + std::wstring(name) + L"|"), std::wstring::npos) << narrow(name);
    }
}

// The window's own paint path across a resize: what reaches the screen is the frame drawn with the
// picture scaled for the new size, and that copy looks as the picture scaled on each pass would.
TEST_F(Window, PaintsTheFrameWithItsPictureAcrossAResize) {
    app.instance = GetModuleHandleW(nullptr);
    loadBackgroundImage(app);
    for (SIZE size : {SIZE{920, 620}, SIZE{700, 560}, SIZE{1400, 300}}) {
        SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_EQ(app.scaledBackgroundWidth * 10000 + app.scaledBackgroundHeight, size.cx * 10000 + size.cy);
        Canvas expected(size.cx, size.cy);
        drawMainFrame(app, expected.dc, size.cx, size.cy, 96, app.backgroundImage.get());
        HDC screen = GetDC(window);
        int differing = 0;
        for (int y = 3; y < size.cy; y += 23)
            for (int x = 3; x < size.cx; x += 23) {
                const COLORREF p = GetPixel(screen, x, y);
                differing += !similar(RGB(GetBValue(p), GetGValue(p), GetRValue(p)) | 0xFF000000u,
                                      expected.pixel(x, y) | 0xFF000000u, 8);
            }
        ReleaseDC(window, screen);
        EXPECT_LT(differing, (size.cx / 23) * (size.cy / 23) / 50) << size.cx;
        EXPECT_EQ(expected.pixel(size.cx - 1, size.cy - 1) >> 24, 0xFFu);  // the picture covers every corner
    }
}

TEST_F(Window, ClicksHoverCursorAndLanguage) {
    settle(window);
    click(ChipEnglish);  // the current language: no repaint
    EXPECT_FALSE(repaintPending(window));
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, positionOf(ChipSimplified));
    SendMessageW(window, WM_LBUTTONUP, 0, positionOf(ChipTraditional));  // the release decides
    EXPECT_EQ(windowText(window), text(TraditionalChinese, WindowTitle));
    EXPECT_TRUE(repaintPending(window));
    app.uiState = StateFailed;
    app.statusText = L"Copy failed: an English text";
    click(ChipSimplified);
    // The status stays in the language it was written in.
    EXPECT_EQ(std::to_wstring(app.language) + app.statusText, L"0Copy failed: an English text");
    click(MusicToggle);
    EXPECT_TRUE(player.musicMuted && repaintPending(window));
    settle(window);
    SendMessageW(window, WM_MOUSEMOVE, 0, positionOf(ChipEnglish));
    EXPECT_TRUE(app.hoverControl == ChipEnglish && app.mouseTracking && repaintPending(window));
    EXPECT_EQ(cursor(HTCLIENT), 1);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
    SendMessageW(window, WM_MOUSELEAVE, 0, 0);
    EXPECT_TRUE(app.hoverControl == None && !app.mouseTracking && cursor(HTCLIENT) == 0);
    // An install makes the folder buttons inert: no hand, no click, though the mouse rests on them.
    SendMessageW(window, WM_MOUSEMOVE, 0, positionOf(DetectAgainButton));
    installing();
    EXPECT_EQ(cursor(HTCLIENT), 0);
    settle(window);
    click(DetectAgainButton);
    EXPECT_FALSE(repaintPending(window));
    app.installJob.reset();
    app.uiState = StateCompleted;
    click(CloseButton);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(Window, KeysAndClosing) {
    installing();
    key(VK_RETURN);
    key('B');  // without Control
    EXPECT_EQ(cancelRequested(), 0);
    key(VK_ESCAPE);
    EXPECT_EQ(cancelRequested(), 1);
    for (int answer : {IDNO, IDYES}) {
        app.installJob->cancelRequested = 0;
        DialogAnswerer answerer(answer);
        SendMessageW(window, WM_CLOSE, 0, 0);
        ASSERT_EQ(answerer.seen().size(), 1u);
        EXPECT_EQ(answerer.seen()[0].text, text(English, ConfirmCancelExit));
        EXPECT_EQ(answerer.seen()[0].defaultButton * 100 + answerer.seen()[0].icon, IDNO * 100 + MB_ICONWARNING);
        EXPECT_EQ(IsWindow(window) * 10 + cancelRequested(), answer == IDNO ? 10 : 1);
    }
    pumpMessages(0);
    open(640, 500);
    // F5 detects in every state, during a copy too, which then goes on with its bar started again.
    TempDir dir;
    app.chosenFolder = makeGame(dir / L"TavinMere");
    app.uiState = StateCompleted;
    settle(window);
    key(VK_F5);
    EXPECT_EQ(app.candidates.size() * 100 + app.uiState, 100u + StateReady);
    EXPECT_TRUE(repaintPending(window));
    installing();
    app.progressPermille = 500;
    key(VK_F5);
    EXPECT_EQ(app.uiState * 10000 + app.progressPermille * 10 + cancelRequested(), StateInstalling * 10000);
    app.uiState = StateCancelled;
    key(VK_ESCAPE);
    EXPECT_FALSE(IsWindow(window));
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && quit.wParam == 0);
}

// What a screen reader reads in each state and language: exactly what is drawn, in reading order, where
// it is drawn, as tests/data/accessible_tree.txt lists it.
TEST_F(Window, AccessibleTreeOfEveryStateAndLanguage) {
    EXPECT_EQ(GetWindow(window, GW_CHILD), nullptr);  // no child windows: everything is drawn
    app.candidates.push_back({L"D:\\Games\\Other\\game", true, 1200, 0});
    const std::vector<GameCandidate> all = app.candidates;
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const std::pair<InstallState, int> views[] = {
        {StateReady, 2}, {StateReady, 0}, {StateInstalling, 2}, {StateCompleted, 1}, {StateCancelled, 1}};
    std::wstring tree;
    for (int32_t language : {SimplifiedChinese, TraditionalChinese, English}) {
        setLanguage(app, language);
        for (auto [state, locations] : views) {
            app.uiState = state;
            app.patchFound = locations > 0;
            app.candidates.assign(all.begin(), all.begin() + locations);
            app.progressPermille = 505;
            tree += L"[" + std::wstring(languageCode(language)) + L" state " + std::to_wstring(state) + L", " +
                    std::to_wstring(locations) + L" locations; first " +
                    std::to_wstring(navigate(window, CHILDID_SELF, NAVDIR_FIRSTCHILD)) + L", last " +
                    std::to_wstring(navigate(window, CHILDID_SELF, NAVDIR_LASTCHILD)) + L"]\n";
            // Each child, where it is in the window, what a point at its centre and one just past its right
            // edge hit, and its neighbours.
            for (const AccessibleChild& c : accessibleChildren(window)) {
                const LONG y = c.screen.top + c.screen.bottom / 2, x = c.screen.left + c.screen.right / 2;
                tree += describeChild(c, {client.left, client.top}) + L"\thit " +
                        std::to_wstring(hitTestAt(window, {x, y})) + L", " +
                        std::to_wstring(hitTestAt(window, {c.screen.left + c.screen.right, y})) + L"\tprevious " +
                        std::to_wstring(navigate(window, c.id, NAVDIR_PREVIOUS)) + L", next " +
                        std::to_wstring(navigate(window, c.id, NAVDIR_NEXT)) + L"\n";
            }
        }
    }
    EXPECT_EQ(narrow(tree), resourceText(AccessibleTreeResource));
}

TEST_F(Window, DefaultActionsGoThroughTheClickAndAnnounceWhatChanged) {
    app.patchFound = false;
    app.candidates.push_back(app.candidates[0]);
    static std::vector<std::pair<DWORD, LONG>> events;
    HWINEVENTHOOK hook = SetWinEventHook(
        EVENT_OBJECT_REORDER, EVENT_OBJECT_VALUECHANGE, nullptr,
        [](HWINEVENTHOOK, DWORD event, HWND, LONG object, LONG child, DWORD, DWORD) {
            if (object == OBJID_CLIENT) events.push_back({event, child});
        },
        0, GetCurrentThreadId(), WINEVENT_OUTOFCONTEXT);
    UpdateWindow(window);
    // Refused where a click would be ignored: no patch, no install; a text has no action at all.
    EXPECT_EQ(doDefaultAction(window, childNamed(L"Install patch")), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(doDefaultAction(window, childNamed(L"TavinMere")), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(doDefaultAction(window, childNamed(L"Next location")), S_OK);
    EXPECT_EQ(app.selectedCandidate, 0u);  // the action arrives as a message, after the tool's call returned
    pumpMessages(50);
    EXPECT_EQ(app.selectedCandidate, 1u);
    setLanguage(app, TraditionalChinese);
    events.clear();
    app.uiState = StateInstalling;
    for (int32_t permille : {100, 200}) {
        app.progressPermille = permille;
        InvalidateRect(window, nullptr, FALSE);
        pumpMessages(100);
    }
    UnhookWinEvent(hook);
    // The new items with the first frame, then only the bar's value with the second.
    const long progress = childNamed(accessibleText(TraditionalChinese, ProgressName));
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), std::make_pair(DWORD(EVENT_OBJECT_VALUECHANGE), progress));
    const std::pair<DWORD, LONG> expected[] = {
        {EVENT_OBJECT_REORDER, 0},
        {EVENT_OBJECT_STATECHANGE, childNamed(text(TraditionalChinese, ChooseFolder))},
        {EVENT_OBJECT_NAMECHANGE, childNamed(text(TraditionalChinese, CancelInstallation))}};
    for (const auto& e : expected) EXPECT_NE(std::find(events.begin(), events.end(), e), events.end()) << e.first;
}

// GDI and USER objects are counted by Windows alone (Wine answers 0), so the ctest run under Wine
// leaves this test out; it is for a run on Windows.
TEST_F(Window, WindowsOnlyRepaintsGiveBackGdiAndUserObjects) {
    const auto count = [](DWORD kind) { return GetGuiResources(GetCurrentProcess(), kind); };
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const DWORD gdi = count(GR_GDIOBJECTS), user = count(GR_USEROBJECTS);
    ASSERT_GT(gdi, 0u);
    for (int i = 0; i < 200; ++i) RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_LE(count(GR_GDIOBJECTS), gdi + 2);
    EXPECT_LE(count(GR_USEROBJECTS), user + 2);
}
