// The main window: its layout and hit-testing at any size and DPI, the frame drawn off-screen, and the
// real window driven with messages, read and pressed through its accessibility tree (MSAA) in every
// state and language, with its resources given back over a long run.
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

bool same(const RectF& r, RectF e) {
    return std::abs(r.X - e.X) + std::abs(r.Y - e.Y) + std::abs(r.Width - e.Width) + std::abs(r.Height - e.Height) <
           0.04f;
}

bool similar(uint32_t a, uint32_t b, int tolerance) {
    for (int shift : {24, 16, 8, 0})
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) return false;
    return true;
}

// An application with a found patch and the given number of locations, as the frame reads it.
struct Frame {
    InstallerApp app;
    MusicPlayer player;
    explicit Frame(int locations = 1) {
        app.language = English;
        app.fontFamily = createFontFamily(English);
        app.musicPlayer = &player;
        app.patchFound = true;
        app.patchSize = 5ull << 20;
        for (int i = 0; i < locations; ++i)
            app.candidates.push_back({L"C:\\Games\\T" + std::to_wstring(i) + L"\\game", false, 100, 0});
    }
    RectF control(ControlId id) const { return computeLayout(app.uiState, 920, 620).control(id); }
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
    bool repaintPending() const { return GetUpdateRect(window, nullptr, FALSE) != FALSE; }
    void settle() const { ValidateRect(window, nullptr); }
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
    // Rounds of repainting, reading the tree, changing language and detecting again, as a long session has.
    void run(int from, int to) {
        if (!app.backgroundImage) {
            app.instance = GetModuleHandleW(nullptr);
            loadBackgroundImage(app);
        }
        for (int i = from; i < to; ++i) {
            if (i % 10 == 0) setLanguage(app, (app.language + 1) % 3);
            if (i % 30 == 0) key(VK_F5);
            RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
            accessibleChildren(window);
        }
    }
};

}  // namespace

TEST(Layout, ScaleRectanglesAndSizeLimits) {
    const struct {
        int w, h;
        UINT dpi;
        float scale;
    } scales[] = {{920, 620, 96, 1.0f},    {1160, 700, 96, 1.0f}, {1840, 1240, 192, 2.0f}, {500, 400, 96, 0.65f},
                  {1380, 2000, 144, 1.5f}, {0, 0, 144, 1.5f},     {0, 310, 96, 0.65f},     {460, 0, 192, 0.65f}};
    for (const auto& s : scales) EXPECT_FLOAT_EQ(contentScale(s.w, s.h, s.dpi), s.scale) << s.w << "x" << s.h;
    const MainLayout L = computeLayout(StateReady, 920, 620), C = computeLayout(StateCompleted, 920, 620);
    const MainLayout X = computeLayout(StateReady, 1160, 700);  // 26 extra: the middle rows move, the bottom stays
    const std::pair<RectF, RectF> rects[] = {
        {L.panel, {376.8f, 28, 515.2f, 564}},
        {L.control(CloseButton), {0, 0, 0, 0}},
        {L.control(ChipEnglish), {148, 26, 54, 36}},
        {L.control(MusicToggle), {214, 24, 42, 40}},
        {L.control(DetectAgainButton), {562.8f, 361, 142, 40}},
        {L.control(NextLocationButton), {828, 270, 30, 30}},
        {L.control(OpenAppFolderButton), {708, 166, 145, 34}},
        {L.patchCard, {398.8f, 147, 471.2f, 72}},
        {L.locationLabel, {398.8f, 233, 260, 20}},
        {L.locationCard, {398.8f, 257, 471.2f, 92}},
        {L.progressTrack, {398.8f, 459, 471.2f, 8}},
        {C.control(ActionButton), {398.8f, 475, 276.72f, 52}},
        {C.control(CloseButton), {685.52f, 475, 184.48f, 52}},
        {X.panel, {592, 55, 540, 590}},
        {X.locationCard, {614, 287.9f, 496, 92}},
        {X.statusLine, {614, 452.6f, 496, 32}},
        {X.control(ActionButton), {614, 528, 496, 52}},
        {computeLayout(StateReady, 920, 500).statusLine, {398.8f, 410, 471.2f, 20}}};
    for (size_t i = 0; i < std::size(rects); ++i) EXPECT_TRUE(same(rects[i].first, rects[i].second)) << i;
    const std::pair<SIZE, SIZE> limits[] = {
        {{1366, 728}, {1350, 712}}, {{1920, 1040}, {920, 620}}, {{600, 400}, {640, 500}}};
    for (const auto& [work, limit] : limits) {
        const SIZE got = minimumTrackSize(work.cx, work.cy, work.cx == 1366 ? 144 : 96);
        EXPECT_EQ(got.cx * 10000 + got.cy, limit.cx * 10000 + limit.cy) << work.cx;
    }
}

TEST(Layout, HitTestingByStateWithEdgesInside) {
    Frame f(3);
    const RectF b = f.control(DetectAgainButton);
    EXPECT_EQ(hitTest(f.app, 920, 620, b.X, b.Y), DetectAgainButton);
    EXPECT_EQ(hitTest(f.app, 920, 620, b.X + b.Width, b.Y + b.Height), DetectAgainButton);
    EXPECT_EQ(hitTest(f.app, 920, 620, b.X + b.Width + 0.01f, b.Y + b.Height), None);
    const RectF closeSpot = computeLayout(StateCompleted, 920, 620).control(CloseButton);
    const struct {
        InstallState state;
        bool patch;
        size_t locations, selected;
        ControlId control, hit;
    } cases[] = {{StateReady, true, 3, 0, PrevLocationButton, PrevLocationButton},
                 {StateReady, true, 1, 0, NextLocationButton, None},
                 {StateReady, true, 3, 3, ActionButton, None},  // no valid selection
                 {StateReady, false, 3, 0, ActionButton, None},
                 {StateReady, true, 3, 0, OpenAppFolderButton, None},
                 {StateInstalling, true, 3, 0, ChooseFolderButton, None},
                 {StateInstalling, false, 3, 0, ActionButton, ActionButton},
                 {StateInstalling, true, 3, 0, ChipTraditional, ChipTraditional},
                 {StateCompleted, false, 0, 0, ActionButton, ActionButton},
                 {StateFailed, true, 3, 0, ChooseFolderButton, ChooseFolderButton}};
    for (const auto& c : cases) {
        f.app.uiState = c.state;
        f.app.patchFound = c.patch;
        f.app.candidates.resize(c.locations);
        f.app.selectedCandidate = c.selected;
        const RectF r = f.control(c.control);
        EXPECT_EQ(hitTest(f.app, 920, 620, r.X + r.Width / 2, r.Y + r.Height / 2), c.hit) << c.state << c.control;
    }
    // Where the close button lies once the copy is complete, the full-width main button answers before.
    f.app.uiState = StateInstalling;
    EXPECT_EQ(hitTest(f.app, 920, 620, closeSpot.X + 5, closeSpot.Y + 5), ActionButton);
}

TEST(Frame, LooksTheStateDecides) {
    Frame f;
    const RectF Q = computeLayout(StateReady, 920, 620).patchCard, B = f.control(ActionButton);
    const RectF T = computeLayout(StateReady, 920, 620).progressTrack, C = f.control(ChooseFolderButton);
    EXPECT_EQ(f.at(Q.X + 21, Q.Y + 24), 0xFF3DB784u);
    EXPECT_EQ(f.at(B.X + 12, B.Y + 26), 0xFFEC699Au);
    EXPECT_TRUE(similar(f.at(0, 0), 0xFFFFFAFC, 2));  // the wash without a picture
    f.app.patchFound = false;
    EXPECT_EQ(f.at(Q.X + 21, Q.Y + 24), 0xFFE85B76u);
    EXPECT_NE(f.at(B.X + 12, B.Y + 26), 0xFFEC699Au);  // the disabled look
    f.app.uiState = StateInstalling;
    // The fill follows the progress, and at its narrowest stays inside the track's rounded left end.
    for (int32_t permille : {1, 5, 16, 500}) {
        f.app.progressPermille = permille;
        Canvas c(920, 620);
        drawMainFrame(f.app, c.dc, 920, 620, 96, nullptr);
        const float fill = T.Width * static_cast<float>(permille) / 1000.0f;
        EXPECT_EQ(c.pixel(int(T.X) - 1, int(T.Y + 4)), c.pixel(int(T.X) - 1, int(T.Y) - 2)) << permille;
        EXPECT_NE(c.pixel(int(T.X + fill + 2), int(T.Y + 4)), 0xFFF1719Eu) << permille;
        EXPECT_TRUE(fill < 4 || c.pixel(int(T.X + fill / 2), int(T.Y + 4)) == 0xFFF1719Eu) << permille;
    }
    // A button that cannot be hit during an install never looks hot, though the mouse rests on it.
    f.app.hoverControl = ChooseFolderButton;
    EXPECT_EQ(f.at(C.X + 6, C.Y + 20), 0xFFE86094u);
    f.app.uiState = StateReady;
    EXPECT_EQ(f.at(C.X + 6, C.Y + 20), 0xFFF579A5u);
    // A chip is filled when selected or hot; its label is drawn in its own language's font, as the Latin
    // font would draw the CJK labels as boxes.
    const std::tuple<int32_t, int32_t, uint32_t> chips[] = {
        {English, 0, 0xFFEB6397}, {SimplifiedChinese, 1, 0xD2FFECF4}, {TraditionalChinese, 0, 0}};
    for (const auto& [language, hover, fill] : chips) {
        f.app.hoverControl = hover;
        Canvas drawn(60, 40), own(60, 40);
        drawLanguageChip(f.app, drawn.dc, {0, 0, 58, 36}, languageShortLabel(language), language, language + 1);
        const OwnedFontFamily ownFamily = createFontFamily(language);
        drawText(own.dc, ownFamily.get(), languageShortLabel(language), -1, 11, StyleRegular, 0xFF46374E,
                 {0, 0, 58, 36}, AlignCentre, TrimCharacter, 0);
        EXPECT_EQ(drawn.pixel(4, 18), fill);
        EXPECT_TRUE(fill != 0 || drawn.sameAs(own));
        EXPECT_GT(drawn.ink(10, 5, 50, 31), 0u);
    }
    const std::pair<uint64_t, const wchar_t*> sizes[] = {
        {0, L"0 B"}, {1023, L"1023 B"}, {1536, L"1.50 KB"}, {1048576, L"1.00 MB"}, {2048ull << 40, L"2048.00 TB"}};
    for (const auto& [size, expected] : sizes) EXPECT_EQ(patchSizeText(size), expected);
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
    settle();
    click(ChipEnglish);  // the current language: no repaint
    EXPECT_FALSE(repaintPending());
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, positionOf(ChipSimplified));
    SendMessageW(window, WM_LBUTTONUP, 0, positionOf(ChipTraditional));  // the release decides
    EXPECT_EQ(windowText(window), text(TraditionalChinese, WindowTitle));
    EXPECT_TRUE(repaintPending());
    app.uiState = StateFailed;
    app.statusText = L"Copy failed: an English text";
    click(ChipSimplified);
    EXPECT_EQ(app.language, SimplifiedChinese);
    EXPECT_EQ(app.statusText, L"Copy failed: an English text");  // kept in the language it was written in
    settle();
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));  // over nothing
    EXPECT_FALSE(repaintPending());
    click(MusicToggle);
    EXPECT_TRUE(player.musicMuted && repaintPending());
    SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(200, 44));  // on the chip only if taken as logical
    EXPECT_EQ(app.hoverControl, None);
    SendMessageW(window, WM_MOUSEMOVE, 0, positionOf(ChipEnglish));
    EXPECT_TRUE(app.hoverControl == ChipEnglish && app.mouseTracking);
    EXPECT_EQ(cursor(HTCLIENT), 1);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
    EXPECT_EQ(cursor(HTCAPTION), 0);
    settle();
    SendMessageW(window, WM_MOUSEMOVE, 0, positionOf(ChipEnglish));
    EXPECT_FALSE(repaintPending());
    SendMessageW(window, WM_MOUSELEAVE, 0, 0);
    EXPECT_TRUE(app.hoverControl == None && !app.mouseTracking && cursor(HTCLIENT) == 0);
    // An install makes the folder buttons inert: no hand, no click, though the mouse rests on them.
    SendMessageW(window, WM_MOUSEMOVE, 0, positionOf(DetectAgainButton));
    installing();
    EXPECT_EQ(cursor(HTCLIENT), 0);
    settle();
    click(DetectAgainButton);
    EXPECT_FALSE(repaintPending());
    app.installJob.reset();
    app.uiState = StateCompleted;
    click(CloseButton);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(Window, KeysClosingAndSizeLimits) {
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
    MINMAXINFO info{};
    SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    const SIZE limit = minimumTrackSize(monitor.rcWork.right - monitor.rcWork.left,
                                        monitor.rcWork.bottom - monitor.rcWork.top, windowDpi(window));
    EXPECT_EQ(info.ptMinTrackSize.x * 10000 + info.ptMinTrackSize.y, limit.cx * 10000 + limit.cy);
    // F5 detects in every state, during a copy too, which then goes on with its bar started again.
    TempDir dir;
    app.chosenFolder = makeGame(dir / L"TavinMere");
    app.uiState = StateCompleted;
    settle();
    key(VK_F5);
    EXPECT_EQ(app.candidates.size() * 100 + app.uiState, 100u + StateReady);
    EXPECT_TRUE(repaintPending());
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

// What a screen reader reads in each state and language: exactly what is drawn, in reading order, each
// inside the window, as tests/data/accessible_tree.txt lists it.
TEST_F(Window, AccessibleTreeOfEveryStateAndLanguage) {
    int children = 0;
    EnumChildWindows(
        window, [](HWND, LPARAM count) { return ++*reinterpret_cast<int*>(count), TRUE; }, LPARAM(&children));
    EXPECT_EQ(children, 0);  // no child windows: everything is drawn
    app.candidates.push_back({L"D:\\Games\\Other\\game", true, 1200, 0});
    const std::vector<GameCandidate> all = app.candidates;
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    std::wstring tree;
    for (int32_t language : {SimplifiedChinese, TraditionalChinese, English}) {
        setLanguage(app, language);
        for (auto [state, locations] : {std::pair{StateReady, 2},
                                        {StateReady, 0},
                                        {StateInstalling, 2},
                                        {StateCompleted, 1},
                                        {StateCancelled, 1}}) {
            app.uiState = state;
            app.patchFound = locations > 0;
            app.candidates.assign(all.begin(), all.begin() + locations);
            app.progressPermille = 505;
            tree += L"[" + std::wstring(languageCode(language)) + L" state " + std::to_wstring(state) + L", " +
                    std::to_wstring(locations) + L" locations]\n";
            for (const AccessibleChild& c : accessibleChildren(window)) {
                tree += describeChild(c) + L"\n";
                EXPECT_TRUE(c.screen.left >= client.left && c.screen.top >= client.top && c.screen.right > 0 &&
                            c.screen.left + c.screen.right <= client.right + 1 &&
                            c.screen.top + c.screen.bottom <= client.bottom + 1)
                    << narrow(c.name);
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
    EXPECT_EQ(doDefaultAction(window, 99), E_INVALIDARG);
    EXPECT_EQ(doDefaultAction(window, childNamed(L"Next location")), S_OK);
    EXPECT_EQ(app.selectedCandidate, 0u);  // the action arrives as a message, after the tool's call returned
    pumpMessages(50);
    EXPECT_EQ(app.selectedCandidate, 1u);
    EXPECT_EQ(doDefaultAction(window, childNamed(L"繁中")), S_OK);
    pumpMessages(50);
    EXPECT_EQ(app.language, TraditionalChinese);
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

// A long run gives back the handles and memory it takes.
TEST_F(Window, LongRunGivesBackWhatItTakes) {
    auto handles = [] {
        DWORD count = 0, flags = 0;
        for (ULONG_PTR value = 4; value < 0x20000; value += 4) count += GetHandleInformation(HANDLE(value), &flags);
        return count;
    };
    run(0, 1);
    const DWORD before = handles();
    const SIZE_T memory = privateBytes();
    run(1, 300);
    EXPECT_LE(handles(), before + 4) << before;
    EXPECT_LT(privateBytes(), memory + (16u << 20));
}
