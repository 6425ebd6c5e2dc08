// The main window: its layout and hit-testing at any size and DPI, the drawing kit and the frame drawn
// off-screen, and the real window driven with messages, read and pressed through its accessibility
// tree (MSAA) in every state and language, with its resources given back over a long run.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>
#include <psapi.h>

#include <map>

#include "app/startup.h"
#include "audio/music.h"
#include "base/win32.h"
#include "install/installer_app.h"
#include "support/support.h"
#include "ui/layout.h"
#include "ui/main_window.h"
#include "ui/paint.h"

namespace {

bool same(const RectF& r, RectF e) {
    return std::abs(r.X - e.X) + std::abs(r.Y - e.Y) + std::abs(r.Width - e.Width) + std::abs(r.Height - e.Height) <
           0.04f;
}

// src drawn over an opaque dst.
uint32_t over(uint32_t src, uint32_t dst) {
    uint32_t out = 0xFF000000;
    for (int shift : {16, 8, 0})
        out |= ((((src >> shift) & 0xFF) * (src >> 24) + ((dst >> shift) & 0xFF) * (255 - (src >> 24)) + 127) / 255)
               << shift;
    return out;
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
        {L.control(ActionButton), {398.8f, 475, 471.2f, 52}},
        {L.control(CloseButton), {0, 0, 0, 0}},
        {L.control(ChipSimplified), {28, 26, 58, 36}},
        {L.control(ChipTraditional), {88, 26, 58, 36}},
        {L.control(ChipEnglish), {148, 26, 54, 36}},
        {L.control(MusicToggle), {214, 24, 42, 40}},
        {L.control(ChooseFolderButton), {398.8f, 361, 154, 40}},
        {L.control(DetectAgainButton), {562.8f, 361, 142, 40}},
        {L.control(PrevLocationButton), {790, 270, 30, 30}},
        {L.control(NextLocationButton), {828, 270, 30, 30}},
        {L.control(OpenAppFolderButton), {708, 166, 145, 34}},
        {L.patchCard, {398.8f, 147, 471.2f, 72}},
        {L.locationLabel, {398.8f, 233, 260, 20}},
        {L.locationCard, {398.8f, 257, 471.2f, 92}},
        {L.statusLine, {398.8f, 410, 471.2f, 32}},
        {L.progressTrack, {398.8f, 459, 471.2f, 8}},
        {C.control(ActionButton), {398.8f, 475, 276.72f, 52}},
        {C.control(CloseButton), {685.52f, 475, 184.48f, 52}},
        {X.panel, {592, 55, 540, 590}},
        {X.locationCard, {614, 287.9f, 496, 92}},
        {X.control(ChooseFolderButton), {614, 397.1f, 154, 40}},
        {X.control(NextLocationButton), {1068, 300.9f, 30, 30}},
        {X.statusLine, {614, 452.6f, 496, 32}},
        {X.progressTrack, {614, 512, 496, 8}},
        {X.control(ActionButton), {614, 528, 496, 52}},
        {computeLayout(StateReady, 920, 500).statusLine, {398.8f, 410, 471.2f, 20}},
    };
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
    } cases[] = {
        {StateReady, true, 3, 0, PrevLocationButton, PrevLocationButton},
        {StateReady, true, 2, 1, NextLocationButton, NextLocationButton},
        {StateReady, true, 1, 0, NextLocationButton, None},
        {StateReady, true, 3, 0, ActionButton, ActionButton},
        {StateReady, true, 3, 3, ActionButton, None},  // no valid selection
        {StateReady, false, 3, 0, ActionButton, None},
        {StateReady, false, 3, 0, OpenAppFolderButton, OpenAppFolderButton},
        {StateReady, true, 3, 0, OpenAppFolderButton, None},
        {StateInstalling, true, 3, 0, ChooseFolderButton, None},
        {StateInstalling, true, 3, 0, DetectAgainButton, None},
        {StateInstalling, true, 3, 0, PrevLocationButton, None},
        {StateInstalling, false, 3, 0, ActionButton, ActionButton},
        {StateInstalling, true, 3, 0, ChipTraditional, ChipTraditional},
        {StateInstalling, true, 3, 0, MusicToggle, MusicToggle},
        {StateCompleted, false, 0, 0, ActionButton, ActionButton},
        {StateCompleted, true, 3, 0, CloseButton, CloseButton},
        {StateFailed, true, 3, 0, ChooseFolderButton, ChooseFolderButton},
    };
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

TEST(Draw, ShapesTextAndWidgets) {
    Canvas c(120, 80);
    fillRoundedRect(c.dc, {10, 10, 100, 60}, 14, 0xFF3DB784);
    strokeRoundedRect(c.dc, {10.5f, 10.5f, 100, 60}, 14, 0xFFE04A6F);
    EXPECT_EQ(c.pixel(60, 40), 0xFF3DB784u);
    EXPECT_TRUE(c.pixel(60, 10) == 0xFFE04A6Fu || c.pixel(60, 11) == 0xFFE04A6Fu);  // the outline's top edge
    EXPECT_EQ(c.pixel(11, 11), 0u);                                                 // rounded away
    EXPECT_EQ(c.dc.lastStatus, Gdiplus::Ok);
    DrawContext broken;  // no graphics: every call fails, and a later Ok does not hide the failure
    fillRoundedRect(broken, {0, 0, 10, 10}, 2, 0xFFFFFFFF);
    broken.record(Gdiplus::Ok);
    EXPECT_EQ(broken.lastStatus, Gdiplus::InvalidParameter);
    // Text: nothing without text or family; one line, centred, cut at its box; the bold offset draws twice.
    const OwnedFontFamily family = createFontFamily(English);
    Canvas none(200, 40), line(320, 200), once(200, 40), twice(200, 40);
    none.dc.lastStatus = Gdiplus::Aborted;
    drawText(none.dc, family.get(), L"", -1, 12, StyleRegular, 0xFF000000, {0, 0, 200, 40}, 0, TrimCharacter, 0);
    drawText(none.dc, nullptr, L"Text", 4, 12, StyleRegular, 0xFF000000, {0, 0, 200, 40}, 0, TrimCharacter, 0);
    EXPECT_EQ(none.ink(0, 0, 200, 40), 0u);
    EXPECT_EQ(none.dc.lastStatus, Gdiplus::Aborted);
    drawText(line.dc, family.get(), std::wstring(200, L'W').c_str(), -1, 16, StyleRegular, 0xFF000000,
             {10, 0, 200, 200}, AlignNear, TrimCharacter, 0);
    EXPECT_GT(line.ink(0, 90, 320, 110), 0u);
    EXPECT_EQ(line.ink(0, 0, 320, 80) + line.ink(0, 120, 320, 200) + line.ink(212, 0, 320, 200), 0u);
    drawText(once.dc, family.get(), L"Install", -1, 16, StyleBold, 0xFF000000, {0, 0, 200, 40}, 0, TrimCharacter, 0);
    drawText(twice.dc, family.get(), L"Install", -1, 16, StyleBold, 0xFF000000, {0, 0, 200, 40}, 0, TrimCharacter,
             boldOffsetFor(TraditionalChinese, true));
    EXPECT_GT(twice.ink(0, 0, 200, 40), once.ink(0, 0, 200, 40));
    EXPECT_FLOAT_EQ(boldOffsetFor(TraditionalChinese, false), 0.28f);
    EXPECT_FLOAT_EQ(boldOffsetFor(English, true) + boldOffsetFor(SimplifiedChinese, false), 0.0f);
    Frame f;
    for (int look = 0; look < 4; ++look) {
        Canvas pill(200, 60);
        drawPillButton(f.app, pill.dc, {10, 10, 150, 40}, L"Choose folder", look & 1, look & 2);
        const uint32_t fills[] = {0xD7FFFFFF, 0xF5FFF2F7, 0xFFE86094, 0xFFF579A5};
        EXPECT_EQ(pill.pixel(18, 30), fills[look]);
        EXPECT_GT(pill.ink(40, 15, 130, 45), 0u);
    }
    for (bool right : {true, false}) {
        Canvas arrow(40, 40);
        drawArrowButton(arrow.dc, {5, 5, 30, 30}, right, right);
        EXPECT_EQ(arrow.pixel(8, 20), right ? 0xFFF9DAE7u : 0xDCFFFFFFu);
        EXPECT_NE(arrow.pixel(right ? 23 : 16, 20), arrow.pixel(8, 20));  // the tip, 4 from the centre
        EXPECT_EQ(arrow.pixel(right ? 13 : 26, 20), arrow.pixel(8, 20));  // nothing behind it
    }
    // A chip is filled when selected or hot; its label comes out as its own language's font draws it, as
    // the Latin font would draw the CJK labels as boxes.
    const struct {
        int32_t language, hover;
        uint32_t fill;
    } chips[] = {{English, 0, 0xFFEB6397}, {SimplifiedChinese, 1, 0xD2FFECF4}, {TraditionalChinese, 0, 0}};
    for (const auto& chip : chips) {
        f.app.hoverControl = chip.hover;
        Canvas drawn(60, 40), own(60, 40);
        drawLanguageChip(f.app, drawn.dc, {0, 0, 58, 36}, languageShortLabel(chip.language), chip.language,
                         chip.language + 1);
        const OwnedFontFamily ownFamily = createFontFamily(chip.language);
        drawText(own.dc, ownFamily.get(), languageShortLabel(chip.language), -1, 11, StyleRegular, 0xFF46374E,
                 {0, 0, 58, 36}, AlignCentre, TrimCharacter, 0);
        EXPECT_EQ(drawn.pixel(4, 18), chip.fill);
        EXPECT_TRUE(chip.fill != 0 || drawn.sameAs(own));
        EXPECT_GT(drawn.ink(10, 5, 50, 31), 0u);
    }
}

TEST(Frame, ColoursTheStateDecides) {
    Frame f;
    const RectF Q = computeLayout(StateReady, 920, 620).patchCard, B = f.control(ActionButton);
    const RectF T = computeLayout(StateReady, 920, 620).progressTrack, C = f.control(ChooseFolderButton);
    EXPECT_EQ(f.at(Q.X + 21, Q.Y + 24), 0xFF3DB784u);
    EXPECT_EQ(f.at(B.X + 12, B.Y + 26), 0xFFEC699Au);
    EXPECT_TRUE(similar(f.at(0, 0), 0xFFFFFAFC, 2));  // the wash without a picture
    f.app.patchFound = false;
    EXPECT_EQ(f.at(Q.X + 21, Q.Y + 24), 0xFFE85B76u);
    const uint32_t under = over(0x225B364E, f.at(B.X + 12, B.Y - 3));
    EXPECT_TRUE(similar(f.at(B.X + 12, B.Y + 26), over(0xB4D2CAD2, under), 3));  // the disabled look
    f.app.uiState = StateInstalling;
    EXPECT_TRUE(similar(f.at(B.X + 12, B.Y + 26), over(0xE6C64865, under), 3));
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
    // The speaker crosses out when muted or without a device, and greys without one.
    const RectF M = f.control(MusicToggle);
    const HWAVEOUT open = reinterpret_cast<HWAVEOUT>(intptr_t(1));  // painting only asks whether one is open
    for (auto [device, muted] : {std::pair<HWAVEOUT, bool>{nullptr, false}, {open, true}, {open, false}}) {
        f.player.waveDevice = device;
        f.player.musicMuted = muted;
        EXPECT_EQ(f.at(M.X + 28, M.Y + M.Height / 2) == 0xFFE04A6Fu, !device || muted);
        EXPECT_EQ(f.at(M.X + 15, M.Y + M.Height / 2) == 0xFF4C3A53u, device != nullptr);
    }
    f.player.waveDevice = nullptr;
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
    EXPECT_EQ(app.mainWindow, window);
    EXPECT_EQ(SendMessageW(window, WM_ERASEBKGND, 0, 0), 1);
    EXPECT_NEAR(logicalViewOf(window).scale, 640.0f / 920.0f, 0.001f);  // clicks follow the scaled layout
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
    EXPECT_EQ(app.hoverControl, ChipEnglish);
    EXPECT_TRUE(app.mouseTracking);
    EXPECT_EQ(cursor(HTCLIENT), 1);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
    EXPECT_EQ(cursor(HTCAPTION), 0);
    settle();
    SendMessageW(window, WM_MOUSEMOVE, 0, positionOf(ChipEnglish));
    EXPECT_FALSE(repaintPending());
    SendMessageW(window, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(app.hoverControl, None);
    EXPECT_FALSE(app.mouseTracking);
    EXPECT_EQ(cursor(HTCLIENT), 0);
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

TEST_F(Window, KeysClosingSizeLimitsAndThePicker) {
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
        EXPECT_EQ(IsWindow(window), answer == IDNO);
        EXPECT_EQ(cancelRequested(), answer == IDYES ? 1 : 0);
    }
    pumpMessages(0);  // the closed window's quit message would end the picker's loop at once
    open(640, 500);
    MINMAXINFO info{};
    SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    const SIZE limit = minimumTrackSize(monitor.rcWork.right - monitor.rcWork.left,
                                        monitor.rcWork.bottom - monitor.rcWork.top, windowDpi(window));
    EXPECT_EQ(info.ptMinTrackSize.x * 10000 + info.ptMinTrackSize.y, limit.cx * 10000 + limit.cy);
    RECT suggested{10, 20, 1010, 720}, now{};
    SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
    GetWindowRect(window, &now);
    EXPECT_EQ(now.left * 10000 + now.bottom - now.top, 10 * 10000 + 700);
    // F5 detects in every state, during a copy too, which then goes on with its bar started again.
    TempDir dir;
    app.chosenFolder = makeGame(dir / L"TavinMere");
    app.uiState = StateCompleted;
    settle();
    key(VK_F5);
    ASSERT_EQ(app.candidates.size(), 1u);
    EXPECT_EQ(app.uiState, StateReady);
    EXPECT_TRUE(repaintPending());
    installing();
    app.progressPermille = 500;
    key(VK_F5);
    EXPECT_EQ(app.uiState * 1000 + app.progressPermille, StateInstalling * 1000);
    EXPECT_EQ(cancelRequested(), 0);
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    DialogAnswerer answerer(IDOK);
    key('B');  // returns once the picker is cancelled
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_EQ(answerer.seen()[0].caption, text(English, SelectGameFolderTitle));
    EXPECT_EQ(answerer.seen()[0].owner, window);
    EXPECT_EQ(app.candidates.size(), 1u);
    app.uiState = StateCancelled;
    key(VK_ESCAPE);
    EXPECT_FALSE(IsWindow(window));
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && quit.wParam == 0);
}

// What a screen reader reads: exactly what is drawn, in reading order and in the current language.
TEST_F(Window, AccessibleTreeOfEveryStateAndLanguage) {
    int children = 0;
    EnumChildWindows(
        window, [](HWND, LPARAM count) { return ++*reinterpret_cast<int*>(count), TRUE; }, LPARAM(&children));
    EXPECT_EQ(children, 0);  // no child windows: everything is drawn
    app.candidates.push_back({L"D:\\Games\\Other\\game", true, 1200, 0});
    const std::vector<GameCandidate> all = app.candidates;
    enum { Chips = -1, Music = -2, Path = -3, Counter = -4, Arrows = -5, Size = -6, Progress = -7, Footer = -8 };
    const std::vector<int> top = {Chips, Music,           Subtitle,     GameTitle, PatchFound,
                                  Size,  InstallLocation, GameDetected, Path};
    const struct {
        InstallState state;
        bool patch;
        size_t locations;
        std::vector<int> items, unavailable;
    } states[] = {
        {StateReady, true, 2, {Counter, Arrows, ChooseFolder, DetectAgain, ReadyToInstall, InstallPatch}, {}},
        {StateReady, false, 0, {ChooseFolder, DetectAgain, InstallPatch, OpenAppFolder}, {InstallPatch}},
        {StateInstalling,
         true,
         2,
         {Counter, Arrows, ChooseFolder, DetectAgain, ReadyToInstall, Progress, CancelInstallation},
         {Arrows, ChooseFolder, DetectAgain}},
        {StateCompleted,
         true,
         1,
         {ChooseFolder, DetectAgain, InstallComplete, Progress, LaunchGame, CloseInstaller},
         {}},
        {StateCancelled, true, 1, {ChooseFolder, DetectAgain, InstallCancelled, InstallPatch}, {}},
    };
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    for (int32_t language : {SimplifiedChinese, TraditionalChinese, English}) {
        setLanguage(app, language);
        const std::map<int, std::vector<std::wstring>> special = {
            {Chips, {L"简中", L"繁中", L"EN"}},
            {Music, {accessibleText(language, MusicOffName)}},
            {Path, {all[0].path}},
            {Counter, {candidateCounterText(language, 0, 2)}},
            {Arrows, {accessibleText(language, PreviousLocationName), accessibleText(language, NextLocationName)}},
            {Size, {L"5.00 MB"}},
            {Progress, {accessibleText(language, ProgressName)}},
            {Footer, {std::wstring(text(language, SteamAppIdLabel)) + L"  2719305"}},
            {InstallComplete,
             {std::wstring(text(language, InstallComplete)) + L" \u00B7 " + text(language, CanStartGame)}},
        };
        for (const auto& s : states) {
            app.uiState = s.state;
            app.patchFound = s.patch;
            app.candidates.assign(all.begin(), all.begin() + long(s.locations));
            app.progressPermille = 505;
            std::vector<int> items =
                s.patch ? top : std::vector<int>{Chips,         Music,          Subtitle,        GameTitle,
                                                 PatchNotFound, PlacePatchHint, InstallLocation, NoValidFolder};
            items.insert(items.end(), s.items.begin(), s.items.end());
            items.push_back(Footer);
            std::vector<std::wstring> names;
            std::vector<bool> unavailable;
            for (int item : items) {
                const bool off = std::count(s.unavailable.begin(), s.unavailable.end(), item) > 0;
                for (const std::wstring& name :
                     special.count(item) ? special.at(item) : std::vector<std::wstring>{text(language, TextId(item))}) {
                    names.push_back(name);
                    unavailable.push_back(off);
                }
            }
            const std::vector<AccessibleChild> tree = accessibleChildren(window);
            ASSERT_EQ(tree.size(), names.size()) << language << " state " << s.state;
            for (size_t i = 0; i < tree.size(); ++i) {
                const AccessibleChild& c = tree[i];
                SCOPED_TRACE(narrow(names[i]));
                EXPECT_EQ(c.name, names[i]);
                EXPECT_EQ((c.state & STATE_SYSTEM_UNAVAILABLE) != 0, unavailable[i]);
                EXPECT_EQ(c.role == ROLE_SYSTEM_CHECKBUTTON, i < 3);
                EXPECT_EQ((c.state & STATE_SYSTEM_CHECKED) != 0, i < 3 && long(i) == language);
                EXPECT_EQ(c.role == ROLE_SYSTEM_PROGRESSBAR, c.value == (s.state == StateCompleted ? L"100%" : L"50%"));
                EXPECT_EQ(c.role == ROLE_SYSTEM_STATICTEXT, c.value.empty() && !(c.state & STATE_SYSTEM_UNAVAILABLE) &&
                                                                (c.state & STATE_SYSTEM_READONLY));
                EXPECT_TRUE(c.screen.left >= client.left && c.screen.top >= client.top && c.screen.right > 0 &&
                            c.screen.left + c.screen.right <= client.right + 1 &&
                            c.screen.top + c.screen.bottom <= client.bottom + 1);
            }
        }
    }
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

// A long run gives back the handles and memory it takes. (GDI and USER object counts are kept by
// Windows alone; Wine answers 0, so they are not checked here.)
TEST_F(Window, LongRunGivesBackWhatItTakes) {
    auto handles = [] {
        DWORD count = 0, flags = 0;
        for (ULONG_PTR value = 4; value < 0x20000; value += 4) count += GetHandleInformation(HANDLE(value), &flags);
        return count;
    };
    auto privateBytes = [] {
        PROCESS_MEMORY_COUNTERS_EX m{};
        GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&m), sizeof(m));
        return m.PrivateUsage ? m.PrivateUsage : m.PagefileUsage;  // Wine fills the latter
    };
    app.instance = GetModuleHandleW(nullptr);
    loadBackgroundImage(app);
    auto round = [&](int i) {
        if (i % 10 == 0) setLanguage(app, (app.language + 1) % 3);
        if (i % 30 == 0) key(VK_F5);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        accessibleChildren(window);
    };
    round(0);
    const DWORD before = handles();
    const SIZE_T memory = privateBytes();
    for (int i = 1; i <= 300; ++i) round(i);
    EXPECT_LE(handles(), before + 4) << before;
    EXPECT_LT(privateBytes(), memory + (16u << 20));
}
