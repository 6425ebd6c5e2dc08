// The main window: its layout and hit-testing at any size and DPI, the drawing kit and the frame drawn
// off-screen, and the real window driven with messages, read and pressed through its accessibility
// tree (MSAA) in every state and language, with its resources given back over a long run.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>
#include <psapi.h>

#include "app/startup.h"
#include "audio/music.h"
#include "base/win32.h"
#include "install/checks.h"
#include "install/installer_app.h"
#include "support/support.h"
#include "ui/layout.h"
#include "ui/main_window.h"
#include "ui/paint.h"

namespace {

void expectRect(const RectF& r, float x, float y, float w, float h) {
    EXPECT_NEAR(r.X, x, 0.01f);
    EXPECT_NEAR(r.Y, y, 0.01f);
    EXPECT_NEAR(r.Width, w, 0.01f);
    EXPECT_NEAR(r.Height, h, 0.01f);
}

// src drawn over an opaque dst.
uint32_t over(uint32_t src, uint32_t dst) {
    const uint32_t a = src >> 24;
    uint32_t out = 0xFF000000;
    for (int shift : {16, 8, 0}) {
        const uint32_t c = (((src >> shift) & 0xFF) * a + ((dst >> shift) & 0xFF) * (255 - a) + 127) / 255;
        out |= c << shift;
    }
    return out;
}

bool similar(uint32_t a, uint32_t b, int tolerance) {
    for (int shift : {24, 16, 8, 0}) {
        if (std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF)) > tolerance) return false;
    }
    return true;
}

// An application with a found patch and the given number of locations, as the frame reads it.
struct Frame {
    InstallerApp app;
    MusicPlayer player;
    explicit Frame(int locations = 1, int32_t language = English) {
        app.language = language;
        app.fontFamily = createFontFamily(language);
        app.musicPlayer = &player;
        app.patchFound = true;
        app.patchSize = 5ull << 20;
        for (int i = 0; i < locations; ++i)
            app.candidates.push_back({L"C:\\Games\\T" + std::to_wstring(i) + L"\\game", false, 100, 0});
    }
    MainLayout layout() const { return computeLayout(app.uiState, 920, 620); }
    void draw(Canvas& c, Gdiplus::GpImage* picture = nullptr) const {
        drawMainFrame(app, c.dc, c.width, c.height, 96, picture);
    }
    // The pixel at a logical point of a 920 x 620 frame.
    uint32_t at(float x, float y, Gdiplus::GpImage* picture = nullptr) const {
        Canvas c(920, 620);
        draw(c, picture);
        return c.pixel(static_cast<int>(x), static_cast<int>(y));
    }
};

// The real main window, a popup of a chosen client size bound to its own application object.
struct Window : ::testing::Test, Frame {
    HWND window = nullptr;
    void SetUp() override { open(640, 500); }
    void open(int w, int h) {
        registerWindowClass(GetModuleHandleW(nullptr), MainWindowClass, mainWindowProc);
        window = CreateWindowExW(0, MainWindowClass, text(app.language, WindowTitle), WS_POPUP | WS_VISIBLE, 0, 0, w, h,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), &app);
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
        return MAKELPARAM(static_cast<int>((r.X + r.Width / 2) * view.scale),
                          static_cast<int>((r.Y + r.Height / 2) * view.scale));
    }
    void click(ControlId id) {
        SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, positionOf(id));
        SendMessageW(window, WM_LBUTTONUP, 0, positionOf(id));
    }
    LRESULT key(WPARAM k) { return SendMessageW(window, WM_KEYDOWN, k, 0); }
    LRESULT cursorMessage(WORD hit) {
        return SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(hit, WM_MOUSEMOVE));
    }
    bool repaintPending() const { return GetUpdateRect(window, nullptr, FALSE) != FALSE; }
    void settle() const { ValidateRect(window, nullptr); }
    void installing() {
        app.uiState = StateInstalling;
        app.installJob = std::make_unique<InstallJob>();
    }
    long cancelRequested() const { return app.installJob->cancelRequested.load(); }
};

// Holds the Control key down in this thread's keyboard state for a scope.
struct ControlKeyDown {
    BYTE saved[256] = {};
    ControlKeyDown() {
        GetKeyboardState(saved);
        BYTE keys[256];
        std::copy(std::begin(saved), std::end(saved), keys);
        keys[VK_CONTROL] = 0x80;
        SetKeyboardState(keys);
    }
    ~ControlKeyDown() { SetKeyboardState(saved); }
};

}  // namespace

TEST(Layout, ScaleRule) {
    const struct {
        int w, h;
        UINT dpi;
        float scale;
    } cases[] = {{920, 620, 96, 1.0f},    {1160, 700, 96, 1.0f}, {1840, 1240, 192, 2.0f}, {500, 400, 96, 0.65f},
                 {1380, 2000, 144, 1.5f}, {0, 0, 144, 1.5f},     {0, 310, 96, 0.65f},     {460, 0, 192, 0.65f}};
    for (const auto& c : cases) EXPECT_FLOAT_EQ(contentScale(c.w, c.h, c.dpi), c.scale) << c.w << "x" << c.h;
    const SIZE limits[][2] = {{{1366, 728}, {1350, 712}}, {{1920, 1040}, {920, 620}}, {{600, 400}, {640, 500}}};
    const UINT dpis[] = {144, 96, 96};
    for (int i = 0; i < 3; ++i) {
        const SIZE got = minimumTrackSize(limits[i][0].cx, limits[i][0].cy, dpis[i]);
        EXPECT_EQ(got.cx, limits[i][1].cx);
        EXPECT_EQ(got.cy, limits[i][1].cy);
    }
}

TEST(Layout, RectanglesAtTheReferenceSizes) {
    MainLayout L = computeLayout(StateReady, 920, 620);
    expectRect(L.panel, 376.8f, 28, 515.2f, 564);
    expectRect(L.control(ActionButton), 398.8f, 475, 471.2f, 52);
    expectRect(L.control(CloseButton), 0, 0, 0, 0);
    expectRect(L.control(ChipSimplified), 28, 26, 58, 36);
    expectRect(L.control(ChipTraditional), 88, 26, 58, 36);
    expectRect(L.control(ChipEnglish), 148, 26, 54, 36);
    expectRect(L.control(MusicToggle), 214, 24, 42, 40);
    expectRect(L.control(ChooseFolderButton), 398.8f, 361, 154, 40);
    expectRect(L.control(DetectAgainButton), 562.8f, 361, 142, 40);
    expectRect(L.control(PrevLocationButton), 790, 270, 30, 30);
    expectRect(L.control(NextLocationButton), 828, 270, 30, 30);
    expectRect(L.control(OpenAppFolderButton), 708, 166, 145, 34);
    expectRect(L.patchCard, 398.8f, 147, 471.2f, 72);
    expectRect(L.locationLabel, 398.8f, 233, 260, 20);
    expectRect(L.locationCard, 398.8f, 257, 471.2f, 92);
    expectRect(L.statusLine, 398.8f, 410, 471.2f, 32);
    expectRect(L.progressTrack, 398.8f, 459, 471.2f, 8);
    L = computeLayout(StateCompleted, 920, 620);
    expectRect(L.control(ActionButton), 398.8f, 475, 276.72f, 52);
    expectRect(L.control(CloseButton), 685.52f, 475, 184.48f, 52);
    // The extra height moves the middle rows; the bottom rows stay anchored to the panel's bottom.
    L = computeLayout(StateReady, 1160, 700);
    expectRect(L.panel, 592, 55, 540, 590);
    EXPECT_NEAR(L.locationCard.Y, 287.9f, 0.01f);
    EXPECT_NEAR(L.locationLabel.Y, 263.9f, 0.01f);
    EXPECT_NEAR(L.control(ChooseFolderButton).Y, 397.1f, 0.01f);
    EXPECT_NEAR(L.control(NextLocationButton).Y, 300.9f, 0.01f);
    expectRect(L.statusLine, 614, 452.6f, 496, 32);
    expectRect(L.progressTrack, 614, 512, 496, 8);
    EXPECT_NEAR(L.control(ActionButton).Y, 528, 0.01f);
    L = computeLayout(StateReady, 769.2f, 615.4f);
    EXPECT_NEAR(L.panel.Width, 0.56f * 769.2f, 0.01f);
    EXPECT_NEAR(L.panel.X + L.panel.Width, 769.2f - 28, 0.01f);
    EXPECT_FLOAT_EQ(computeLayout(StateReady, 920, 500).statusLine.Height, 20.0f);
}

TEST(Layout, HitTestingByStateWithEdgesInside) {
    Frame f(3);
    auto centre = [&](ControlId id) {
        const RectF r = computeLayout(f.app.uiState, 920, 620).control(id);
        return hitTest(f.app, 920, 620, r.X + r.Width / 2, r.Y + r.Height / 2);
    };
    const RectF b = computeLayout(StateReady, 920, 620).control(DetectAgainButton);
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
        {StateReady, true, 3, 0, NextLocationButton, NextLocationButton},
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
        EXPECT_EQ(centre(c.control), c.hit) << c.state << " " << c.control;
    }
    // Where the close button lies once the copy is complete, the full-width main button answers before.
    f.app.uiState = StateInstalling;
    EXPECT_EQ(hitTest(f.app, 920, 620, closeSpot.X + 5, closeSpot.Y + 5), ActionButton);
}

TEST(Draw, ShapesTextAndTheContextsFailureRecord) {
    Canvas c(120, 80);
    fillRoundedRect(c.dc, {10, 10, 100, 60}, 14, 0xFF3DB784);
    EXPECT_EQ(c.pixel(60, 40), 0xFF3DB784u);
    EXPECT_EQ(c.pixel(60, 11), 0xFF3DB784u);  // the straight top edge
    EXPECT_EQ(c.pixel(11, 11), 0u);           // rounded away
    EXPECT_EQ(c.pixel(5, 40), 0u);
    Canvas outline(120, 80);
    strokeRoundedRect(outline.dc, {10.5f, 10.5f, 100, 60}, 10, 0xFFE04A6F);
    EXPECT_GT(outline.ink(59, 9, 61, 12), 0xF0u);
    EXPECT_EQ(outline.ink(22, 12, 100, 69), 0u);
    EXPECT_EQ(c.dc.lastStatus, Gdiplus::Ok);
    Canvas gradient(100, 10);
    const Brush brush = makeGradientBrush({0, 0}, {100, 0}, 0xFF000000, 0xFFFFFFFF);
    Gdiplus::DllExports::GdipFillRectangle(gradient.dc.graphics, brush.get(), 0, 0, 100, 10);
    EXPECT_LT(gradient.pixel(2, 5) & 0xFF, 0x10u);
    EXPECT_NEAR(static_cast<int>(gradient.pixel(50, 5) & 0xFF), 0x80, 8);
    DrawContext broken;  // no graphics: every call fails, the first failure is not overwritten by Ok
    fillRoundedRect(broken, {0, 0, 10, 10}, 2, 0xFFFFFFFF);
    EXPECT_EQ(broken.lastStatus, Gdiplus::InvalidParameter);
    broken.record(Gdiplus::Ok);
    EXPECT_EQ(broken.lastStatus, Gdiplus::InvalidParameter);

    // Text: nothing without text or family; one centred line cut at its box; the bold offset draws twice.
    const OwnedFontFamily family = createFontFamily(English);
    Canvas none(200, 40);
    none.dc.lastStatus = Gdiplus::Aborted;
    drawText(none.dc, family.get(), L"", -1, 12, StyleRegular, 0xFF000000, {0, 0, 200, 40}, AlignNear, TrimCharacter,
             0);
    drawText(none.dc, nullptr, L"Text", 4, 12, StyleRegular, 0xFF000000, {0, 0, 200, 40}, AlignNear, TrimCharacter, 0);
    EXPECT_EQ(none.ink(0, 0, 200, 40), 0u);
    EXPECT_EQ(none.dc.lastStatus, Gdiplus::Aborted);
    Canvas line(320, 200);
    const std::wstring longText(200, L'W');
    drawText(line.dc, family.get(), longText.c_str(), -1, 16, StyleRegular, 0xFF000000, {10, 0, 200, 200}, AlignNear,
             TrimCharacter, 0);
    EXPECT_GT(line.ink(0, 90, 320, 110), 0u);
    EXPECT_EQ(line.ink(0, 0, 320, 80) + line.ink(0, 120, 320, 200) + line.ink(212, 0, 320, 200), 0u);
    Canvas once(200, 40), twice(200, 40);
    drawText(once.dc, family.get(), L"Install", -1, 16, StyleBold, 0xFF000000, {0, 0, 200, 40}, 0, TrimCharacter, 0);
    drawText(twice.dc, family.get(), L"Install", -1, 16, StyleBold, 0xFF000000, {0, 0, 200, 40}, 0, TrimCharacter,
             boldOffsetFor(TraditionalChinese, true));
    EXPECT_GT(twice.ink(0, 0, 200, 40), once.ink(0, 0, 200, 40));
    EXPECT_FLOAT_EQ(boldOffsetFor(TraditionalChinese, false), 0.28f);
    EXPECT_FLOAT_EQ(boldOffsetFor(English, true) + boldOffsetFor(SimplifiedChinese, false), 0.0f);
}

TEST(Draw, WidgetLooks) {
    Frame f;
    for (bool primary : {true, false}) {
        for (bool hot : {false, true}) {
            Canvas c(200, 60);
            drawPillButton(f.app, c.dc, {10, 10, 150, 40}, L"Choose folder", hot, primary);
            EXPECT_EQ(c.pixel(18, 30), primary ? (hot ? 0xFFF579A5 : 0xFFE86094) : (hot ? 0xF5FFF2F7 : 0xD7FFFFFF));
            EXPECT_GT(c.ink(40, 15, 130, 45), 0u);
        }
    }
    for (bool right : {true, false}) {
        Canvas c(40, 40);
        drawArrowButton(c.dc, {5, 5, 30, 30}, right, right);
        EXPECT_EQ(c.pixel(8, 20), right ? 0xFFF9DAE7u : 0xDCFFFFFFu);
        EXPECT_NE(c.pixel(right ? 23 : 16, 20), c.pixel(8, 20));  // the stroke at the tip, 4 from the centre
        EXPECT_EQ(c.pixel(right ? 13 : 26, 20), c.pixel(8, 20));  // nothing behind it
    }
    // A chip is filled when selected or hot, and its label comes out as its own language's font draws
    // it whatever the current language: the Latin font would draw the CJK labels as boxes.
    const struct {
        int32_t language, hover;
        uint32_t fill;
    } chips[] = {{English, 0, 0xFFEB6397}, {SimplifiedChinese, 1, 0xD2FFECF4}, {TraditionalChinese, 0, 0}};
    for (const auto& chip : chips) {
        f.app.hoverControl = chip.hover;
        Canvas drawn(60, 40), own(60, 40);
        drawLanguageChip(f.app, drawn.dc, {0, 0, 58, 36}, languageShortLabel(chip.language), chip.language,
                         chip.language + 1);
        EXPECT_EQ(drawn.pixel(4, 18), chip.fill);
        if (chip.language == English) continue;
        const OwnedFontFamily ownFamily = createFontFamily(chip.language);
        drawText(own.dc, ownFamily.get(), languageShortLabel(chip.language), -1, 11, StyleRegular, 0xFF46374E,
                 {0, 0, 58, 36}, AlignCentre, TrimCharacter, 0);
        EXPECT_TRUE(chip.fill != 0 || drawn.sameAs(own));
        EXPECT_GT(drawn.ink(10, 5, 50, 31), 0u);
    }
}

TEST(Frame, ColoursTheStateDecides) {
    Frame f;
    const MainLayout L = f.layout();
    const RectF& Q = L.patchCard;
    const RectF& B = L.control(ActionButton);
    const RectF& T = L.progressTrack;
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
        f.draw(c);
        const float fill = T.Width * static_cast<float>(permille) / 1000.0f;
        EXPECT_EQ(c.pixel(static_cast<int>(T.X) - 1, static_cast<int>(T.Y + 4)), c.pixel(int(T.X) - 1, int(T.Y) - 2));
        EXPECT_NE(c.pixel(static_cast<int>(T.X + fill + 2), static_cast<int>(T.Y + 4)), 0xFFF1719Eu);
        EXPECT_TRUE(fill < 4 || c.pixel(static_cast<int>(T.X + fill / 2), static_cast<int>(T.Y + 4)) == 0xFFF1719Eu);
    }
    // A button that cannot be hit during an install never looks hot, though the mouse rests on it.
    f.app.hoverControl = ChooseFolderButton;
    const RectF& C = L.control(ChooseFolderButton);
    EXPECT_EQ(f.at(C.X + 6, C.Y + 20), 0xFFE86094u);
    f.app.uiState = StateReady;
    EXPECT_EQ(f.at(C.X + 6, C.Y + 20), 0xFFF579A5u);
    // The speaker crosses out when muted or without a device, and greys without one.
    const RectF& M = L.control(MusicToggle);
    const HWAVEOUT open = reinterpret_cast<HWAVEOUT>(static_cast<intptr_t>(1));  // painting only asks "open?"
    const struct {
        HWAVEOUT device;
        bool muted, cross;
    } speakers[] = {{nullptr, false, true}, {open, true, true}, {open, false, false}};
    for (const auto& s : speakers) {
        f.player.waveDevice = s.device;
        f.player.musicMuted = s.muted;
        EXPECT_EQ(f.at(M.X + 28, M.Y + M.Height / 2) == 0xFFE04A6Fu, s.cross);
        EXPECT_EQ(f.at(M.X + 15, M.Y + M.Height / 2) == 0xFF4C3A53u, s.device != nullptr);
    }
    f.player.waveDevice = nullptr;
}

TEST(Frame, PictureCoversEverySizeAndItsScaledCopyDrawsTheSameFrame) {
    Frame f;
    f.app.instance = GetModuleHandleW(nullptr);
    loadBackgroundImage(f.app);
    ASSERT_TRUE(f.app.backgroundImage);
    for (SIZE size : {SIZE{1160, 700}, SIZE{1400, 300}, SIZE{300, 900}}) {
        Canvas direct(size.cx, size.cy), cached(size.cx, size.cy);
        f.draw(direct, f.app.backgroundImage.get());
        const OwnedImage copy = coverScaledCopy(f.app.backgroundImage.get(), size.cx, size.cy);
        f.draw(cached, copy.get());
        for (POINT p : {POINT{0, 0}, POINT{size.cx - 1, size.cy - 1}}) EXPECT_EQ(direct.pixel(p.x, p.y) >> 24, 0xFFu);
        int differing = 0;
        for (int y = 0; y < size.cy; y += 7)
            for (int x = 0; x < size.cx; x += 7) differing += !similar(direct.pixel(x, y), cached.pixel(x, y), 6);
        EXPECT_LT(differing, (size.cx / 7) * (size.cy / 7) / 100) << size.cx << " x " << size.cy;
    }
    releaseInstallerApp(f.app);
}

TEST(Frame, SizeText) {
    const std::pair<uint64_t, const wchar_t*> cases[] = {
        {0, L"0 B"},           {1023, L"1023 B"},        {1536, L"1.50 KB"},
        {1048576, L"1.00 MB"}, {5ull << 30, L"5.00 GB"}, {2048ull << 40, L"2048.00 TB"}};
    for (const auto& [size, expected] : cases) EXPECT_EQ(patchSizeText(size), expected);
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
    EXPECT_EQ(app.language, TraditionalChinese);
    EXPECT_EQ(windowText(window), text(TraditionalChinese, WindowTitle));
    EXPECT_TRUE(repaintPending());
    app.uiState = StateFailed;
    app.statusText = L"Copy failed: an English text";
    click(ChipSimplified);
    EXPECT_EQ(app.statusText, L"Copy failed: an English text");  // kept in the language it was written in
    settle();
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));  // over nothing
    click(MusicToggle);
    EXPECT_TRUE(player.musicMuted);
    EXPECT_TRUE(repaintPending());
    settle();
    SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(200, 44));  // on the chip only if taken as logical
    EXPECT_EQ(app.hoverControl, None);
    SendMessageW(window, WM_MOUSEMOVE, 0, positionOf(ChipEnglish));
    EXPECT_EQ(app.hoverControl, ChipEnglish);
    EXPECT_TRUE(app.mouseTracking && repaintPending());
    EXPECT_EQ(cursorMessage(HTCLIENT), 1);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
    EXPECT_EQ(cursorMessage(HTCAPTION), 0);
    settle();
    SendMessageW(window, WM_MOUSEMOVE, 0, positionOf(ChipEnglish));
    EXPECT_FALSE(repaintPending());
    SendMessageW(window, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(app.hoverControl, None);
    EXPECT_FALSE(app.mouseTracking);
    EXPECT_EQ(cursorMessage(HTCLIENT), 0);
    // An install makes the folder buttons inert: no hand, no click, though the mouse rests on them.
    SendMessageW(window, WM_MOUSEMOVE, 0, positionOf(DetectAgainButton));
    installing();
    EXPECT_EQ(cursorMessage(HTCLIENT), 0);
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
    EXPECT_TRUE(IsWindow(window));
    for (int answer : {IDNO, IDYES}) {
        app.installJob->cancelRequested = 0;
        DialogAnswerer answerer(answer);
        SendMessageW(window, WM_CLOSE, 0, 0);
        ASSERT_EQ(answerer.seen().size(), 1u);
        EXPECT_EQ(answerer.seen()[0].text, text(English, ConfirmCancelExit));
        EXPECT_EQ(answerer.seen()[0].defaultButton, IDNO);
        EXPECT_EQ(answerer.seen()[0].icon, static_cast<UINT>(MB_ICONWARNING));
        EXPECT_EQ(IsWindow(window), answer == IDNO);
        EXPECT_EQ(cancelRequested(), answer == IDYES ? 1 : 0);
    }
    open(640, 500);
    MINMAXINFO info{};
    EXPECT_EQ(SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info)), 0);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    const SIZE expected = minimumTrackSize(monitor.rcWork.right - monitor.rcWork.left,
                                           monitor.rcWork.bottom - monitor.rcWork.top, windowDpi(window));
    EXPECT_EQ(info.ptMinTrackSize.x, expected.cx);
    EXPECT_EQ(info.ptMinTrackSize.y, expected.cy);
    RECT suggested{10, 20, 1010, 720};
    EXPECT_EQ(SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested)), 0);
    RECT now{};
    GetWindowRect(window, &now);
    EXPECT_EQ(now.left, 10);
    EXPECT_EQ(now.bottom - now.top, 700);
    app.uiState = StateCancelled;
    key(VK_ESCAPE);
    EXPECT_FALSE(IsWindow(window));
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 0u);
}

TEST_F(Window, F5DetectsInEveryStateAndControlBOpensThePicker) {
    TempDir dir;
    const std::wstring game = makeGame(dir / L"TavinMere");
    app.installerDir = dir / L"installer";
    app.patchSourcePath = dir / L"installer\\patch.rpa";
    makeDirs(app.installerDir);
    writeBytes(app.patchSourcePath, "12345");
    app.chosenFolder = game;
    app.uiState = StateCompleted;
    app.progressPermille = 1000;
    settle();
    key(VK_F5);
    ASSERT_EQ(app.candidates.size(), 1u);
    EXPECT_TRUE(app.candidates[0].manual && app.patchFound);
    EXPECT_EQ(app.uiState, StateReady);
    EXPECT_TRUE(repaintPending());
    installing();
    app.progressPermille = 500;
    key(VK_F5);  // during a copy: the install goes on, its bar starts again
    EXPECT_EQ(app.uiState, StateInstalling);
    EXPECT_EQ(app.progressPermille, 0);
    EXPECT_EQ(cancelRequested(), 0);
    ControlKeyDown control;
    DialogAnswerer answerer(IDOK);
    key('B');  // returns once the picker is cancelled
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_EQ(answerer.seen()[0].caption, text(English, SelectGameFolderTitle));
    EXPECT_EQ(answerer.seen()[0].owner, window);
    EXPECT_EQ(app.candidates.size(), 1u);
    EXPECT_EQ(app.chosenFolder, game);
}

// What a screen reader reads: exactly what is drawn, in reading order and in the current language.
TEST_F(Window, AccessibleTreeOfEveryStateAndLanguage) {
    int children = 0;
    EnumChildWindows(
        window, [](HWND, LPARAM count) { return ++*reinterpret_cast<int*>(count), TRUE; },
        reinterpret_cast<LPARAM>(&children));
    EXPECT_EQ(children, 0);  // no child windows: everything is drawn
    app.candidates.push_back({L"D:\\Games\\Other\\game", true, 1200, 0});
    const std::vector<GameCandidate> all = app.candidates;
    const std::wstring path = all[0].path;
    enum Item { Chips = -1, Music = -2, Path = -3, Counter = -4, Arrows = -5, Size = -6, Progress = -7, Footer = -8 };
    const struct {
        InstallState state;
        bool patch;
        size_t locations;
        std::vector<int> items;  // TextIds, or the items above
        std::vector<int> unavailable;
    } states[] = {
        {StateReady,
         true,
         2,
         {Chips, Music, Subtitle, GameTitle, PatchFound, Size, InstallLocation, GameDetected, Path, Counter, Arrows,
          ChooseFolder, DetectAgain, ReadyToInstall, InstallPatch, Footer},
         {}},
        {StateReady,
         false,
         0,
         {Chips, Music, Subtitle, GameTitle, PatchNotFound, PlacePatchHint, InstallLocation, NoValidFolder,
          ChooseFolder, DetectAgain, InstallPatch, OpenAppFolder, Footer},
         {InstallPatch}},
        {StateInstalling,
         true,
         2,
         {Chips, Music, Subtitle, GameTitle, PatchFound, Size, InstallLocation, GameDetected, Path, Counter, Arrows,
          ChooseFolder, DetectAgain, ReadyToInstall, Progress, CancelInstallation, Footer},
         {Arrows, ChooseFolder, DetectAgain}},
        {StateCompleted,
         true,
         1,
         {Chips, Music, Subtitle, GameTitle, PatchFound, Size, InstallLocation, GameDetected, Path, ChooseFolder,
          DetectAgain, InstallComplete, Progress, LaunchGame, CloseInstaller, Footer},
         {}},
        {StateCancelled,
         true,
         1,
         {Chips, Music, Subtitle, GameTitle, PatchFound, Size, InstallLocation, GameDetected, Path, ChooseFolder,
          DetectAgain, InstallCancelled, InstallPatch, Footer},
         {}},
    };
    for (int32_t language : {SimplifiedChinese, TraditionalChinese, English}) {
        setLanguage(app, language);
        for (const auto& s : states) {
            app.uiState = s.state;
            app.patchFound = s.patch;
            app.candidates.assign(all.begin(), all.begin() + static_cast<long>(s.locations));
            app.progressPermille = 505;
            std::vector<std::wstring> names;
            std::vector<long> unavailable;
            for (int item : s.items) {
                const bool off = std::find(s.unavailable.begin(), s.unavailable.end(), item) != s.unavailable.end();
                std::vector<std::wstring> added;
                switch (item) {
                case Chips: added = {L"简中", L"繁中", L"EN"}; break;
                case Music: added = {accessibleText(language, MusicOffName)}; break;
                case Path: added = {path}; break;
                case Counter: added = {candidateCounterText(language, 0, 2)}; break;
                case Arrows:
                    added = {accessibleText(language, PreviousLocationName),
                             accessibleText(language, NextLocationName)};
                    break;
                case Size: added = {L"5.00 MB"}; break;
                case Progress: added = {accessibleText(language, ProgressName)}; break;
                case Footer: added = {std::wstring(text(language, SteamAppIdLabel)) + L"  2719305"}; break;
                case InstallComplete:
                    added = {std::wstring(text(language, InstallComplete)) + L" \u00B7 " +
                             text(language, CanStartGame)};
                    break;
                default: added = {text(language, static_cast<TextId>(item))};
                }
                for (const std::wstring& name : added) {
                    if (off) unavailable.push_back(static_cast<long>(names.size()));
                    names.push_back(name);
                }
            }
            const std::vector<AccessibleChild> tree = accessibleChildren(window);
            ASSERT_EQ(tree.size(), names.size()) << language << " state " << s.state;
            RECT client{};
            GetClientRect(window, &client);
            MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
            for (size_t i = 0; i < tree.size(); ++i) {
                const AccessibleChild& c = tree[i];
                SCOPED_TRACE(narrow(names[i]));
                EXPECT_EQ(c.name, names[i]);
                const bool unavailableNow = c.state & STATE_SYSTEM_UNAVAILABLE;
                EXPECT_EQ(unavailableNow, std::count(unavailable.begin(), unavailable.end(), long(i)) > 0);
                EXPECT_EQ(c.role == ROLE_SYSTEM_CHECKBUTTON, i < 3);
                EXPECT_EQ((c.state & STATE_SYSTEM_CHECKED) != 0, i < 3 && long(i) == language);
                EXPECT_EQ(c.role == ROLE_SYSTEM_PROGRESSBAR, c.value == (s.state == StateCompleted ? L"100%" : L"50%"));
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
    events.clear();
    HWINEVENTHOOK hook = SetWinEventHook(
        EVENT_OBJECT_REORDER, EVENT_OBJECT_VALUECHANGE, nullptr,
        [](HWINEVENTHOOK, DWORD event, HWND, LONG object, LONG child, DWORD, DWORD) {
            if (object == OBJID_CLIENT) events.push_back({event, child});
        },
        0, GetCurrentThreadId(), WINEVENT_OUTOFCONTEXT);
    UpdateWindow(window);
    auto idOf = [&](const std::wstring& name) {
        for (const AccessibleChild& c : accessibleChildren(window))
            if (c.name == name) return c.id;
        return 0l;
    };
    // Refused where a click would be ignored: no patch, no install; a text has no action at all.
    EXPECT_EQ(doDefaultAction(window, idOf(L"Install patch")), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(doDefaultAction(window, idOf(L"TavinMere")), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(doDefaultAction(window, 99), E_INVALIDARG);
    EXPECT_EQ(doDefaultAction(window, idOf(L"Next location")), S_OK);
    EXPECT_EQ(app.selectedCandidate, 0u);  // the action arrives as a message, after the tool's call returned
    pumpMessages(50);
    EXPECT_EQ(app.selectedCandidate, 1u);
    EXPECT_EQ(doDefaultAction(window, idOf(L"繁中")), S_OK);
    pumpMessages(50);
    EXPECT_EQ(app.language, TraditionalChinese);
    events.clear();
    app.uiState = StateInstalling;
    app.progressPermille = 100;
    InvalidateRect(window, nullptr, FALSE);
    pumpMessages(100);
    app.progressPermille = 200;
    InvalidateRect(window, nullptr, FALSE);
    pumpMessages(100);
    UnhookWinEvent(hook);
    // The new items in the first frame, then only the bar's value in the second.
    const long progress = idOf(accessibleText(TraditionalChinese, ProgressName));
    ASSERT_GT(progress, 0);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back(), std::make_pair(DWORD(EVENT_OBJECT_VALUECHANGE), progress));
    EXPECT_NE(std::find(events.begin(), events.end(), std::make_pair(DWORD(EVENT_OBJECT_REORDER), 0l)), events.end());
    EXPECT_NE(std::find(events.begin(), events.end(),
                        std::make_pair(DWORD(EVENT_OBJECT_STATECHANGE), idOf(text(TraditionalChinese, ChooseFolder)))),
              events.end());
}

// The window's own paint path, with its scaled picture, across a resize: what reaches the screen is
// the frame drawn with the picture scaled for the new size.
TEST_F(Window, PaintsTheFrameWithItsPictureAcrossAResize) {
    app.instance = GetModuleHandleW(nullptr);
    loadBackgroundImage(app);
    for (SIZE size : {SIZE{920, 620}, SIZE{700, 560}}) {
        SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        Canvas expected(size.cx, size.cy);
        drawMainFrame(app, expected.dc, size.cx, size.cy, 96, app.backgroundImage.get());
        HDC screen = GetDC(window);
        int differing = 0;
        for (int y = 3; y < size.cy; y += 23)
            for (int x = 3; x < size.cx; x += 23) {
                const COLORREF c = GetPixel(screen, x, y);
                const uint32_t argb = 0xFF000000 | (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
                differing += !similar(argb, expected.pixel(x, y) | 0xFF000000, 8);
            }
        ReleaseDC(window, screen);
        EXPECT_LT(differing, (size.cx / 23) * (size.cy / 23) / 50) << size.cx;
        EXPECT_EQ(app.scaledBackgroundWidth, size.cx);
    }
}

// A long run gives back the handles and memory it takes. GDI and USER object counts are only kept by
// Windows (Wine answers 0): that check runs there alone, as WindowsOnly, left out of the Wine run.
TEST_F(Window, LongRunGivesBackWhatItTakes) {
    auto handles = [] {
        DWORD count = 0, flags = 0;
        for (ULONG_PTR value = 4; value < 0x20000; value += 4)
            count += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
        return count;
    };
    auto privateBytes = [] {
        PROCESS_MEMORY_COUNTERS_EX memory{};
        GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory));
        return memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;  // Wine fills the latter
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

TEST_F(Window, WindowsOnlyGuiObjectCountsStayConstant) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    ASSERT_GT(gdi, 0u) << "this system keeps no GDI object count";
    for (int i = 0; i < 100; ++i) {
        setLanguage(app, i % 3);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    }
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdi);
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), user);
}
