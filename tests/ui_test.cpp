// The main window: the frame drawn off-screen, and the real window driven with messages and keys, read
// and pressed through its accessibility tree (MSAA) in every state and language.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include <algorithm>
#include <cmath>
#include <map>

#include "app/startup.h"
#include "audio/music.h"
#include "base/owned.h"
#include "install/installer_app.h"
#include "support/support.h"
#include "ui/layout.h"
#include "ui/main_window.h"
#include "ui/paint.h"

namespace {

using Events = std::vector<std::pair<DWORD, LONG>>;
const GameCandidate Other{L"D:\\Other\\game", true};

// An application with a found patch and one location, as the frame reads it.
struct Frame {
    InstallerApp app;
    MusicPlayer player;
    Frame() {
        setLanguage(app, English);
        app.musicPlayer = &player;
        app.patchFound = true;
        app.candidates = {{L"C:\\T0\\game"}};
    }
    void draw(Canvas& c) const { drawMainFrame(app, c.dc, 920, 620, 96, nullptr); }
    // The pixel at a logical point of a 920 x 620 frame.
    uint32_t at(float x, float y) const {
        Canvas c;
        draw(c);
        return c.pixel(x, y);
    }
};

// The real main window, a popup bound to its own application object, away from the screen's corner (so that
// screen and client points differ).
struct Window : ::testing::Test, Frame {
    HWND window = nullptr;
    void SetUp() override { open(); }
    void open() {
        registerWindowClass(GetModuleHandleW(nullptr), MainWindowClass, mainWindowProc);
        window = CreateWindowExW(0, MainWindowClass, L"", WS_POPUP | WS_VISIBLE, 40, 30, 640, 500, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), &app);
        ASSERT_TRUE(window);
    }
    void TearDown() override {
        if (IsWindow(window)) DestroyWindow(window);
        pumpMessages(0);
        app.installJob.reset();
    }
    // A control's centre in client pixels, or the point of its middle row that many logical pixels in.
    LPARAM positionOf(ControlId id, float in = 0) const {
        const LogicalView v = logicalViewOf(window);
        const RectF r = computeLayout(app.uiState, v.width, v.height).control(id);
        return MAKELPARAM(int((r.X + (in ? in : r.Width / 2)) * v.scale), int((r.Y + r.Height / 2) * v.scale));
    }
    LRESULT send(UINT message, WPARAM w = 0, LPARAM l = 0) { return SendMessageW(window, message, w, l); }
    void click(ControlId id) {
        send(WM_LBUTTONDOWN, MK_LBUTTON, positionOf(id));
        send(WM_LBUTTONUP, 0, positionOf(id));
    }
    // A key pressed; whether the window asked to be drawn again.
    bool key(WPARAM k) {
        send(WM_KEYDOWN, k);
        return repainted();
    }
    LRESULT cursor() { return send(WM_SETCURSOR, WPARAM(window), MAKELPARAM(HTCLIENT, 0)); }
    // Whether the window asked to be drawn again since the last call.
    bool repainted() { return repaintPending(window) && ValidateRect(window, nullptr); }
    void installing() {
        app.uiState = StateInstalling;
        app.installJob = std::make_unique<InstallJob>();
    }
    AccessibleChild named(const wstring& name) const { return childNamed(window, name); }
    // The events tools hear while the step runs and the window is drawn again.
    Events heard(const std::function<void()>& step) {
        static Events events;
        const WINEVENTPROC record = [](HWINEVENTHOOK, DWORD event, HWND, LONG object, LONG child, DWORD, DWORD) {
            if (object == OBJID_CLIENT) events.push_back({event, child});
        };
        pumpMessages(50);
        HWINEVENTHOOK hook = SetWinEventHook(EVENT_MIN, EVENT_MAX, nullptr, record, 0, GetCurrentThreadId(), 0);
        events.clear();
        step();
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        pumpMessages(50);
        UnhookWinEvent(hook);
        return events;
    }
};

bool contains(const Events& events, DWORD event, LONG child) {
    return std::count(events.begin(), events.end(), std::pair(event, child));
}

// Whether GDI finds the family and a glyph in it for every character of the text.
bool hasGlyphs(const FontFamily& family, const wstring& text) {
    LOGFONTW font{};
    font.lfCharSet = DEFAULT_CHARSET;
    Gdiplus::DllExports::GdipGetFamilyName(family.family, font.lfFaceName, 0);
    OwnedDc dc(CreateCompatibleDC(nullptr));
    OwnedGdiObject handle(CreateFontIndirectW(&font));
    ScopedSelect selected(dc.get(), handle.get());
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc.get(), LF_FACESIZE, face);
    std::vector<WORD> glyphs(text.size());
    GetGlyphIndicesW(dc.get(), text.c_str(), int(text.size()), glyphs.data(), GGI_MARK_NONEXISTING_GLYPHS);
    return !wcscmp(face, font.lfFaceName) && !std::count(glyphs.begin(), glyphs.end(), 0xFFFF);
}

// The mean column of the dark pixels of a row across a box.
double darkColumn(const Canvas& c, float y, const RectF& box) {
    double sum = 0, n = 0;
    for (int x = int(box.X); x < box.X + box.Width; ++x) {
        const uint32_t p = c.pixel(x, y);
        if (((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF) < 3 * 128) sum += x, ++n;
    }
    return n ? sum / n : -1;
}

// Luminance contrast of two colours as WCAG defines it, 1 to 21.
double contrast(uint32_t a, uint32_t b) {
    const auto luminance = [](uint32_t c) {
        double l = 0;
        for (auto [shift, weight] : {std::pair{16, 0.2126}, {8, 0.7152}, {0, 0.0722}}) {
            const double v = ((c >> shift) & 0xFF) / 255.0;
            l += weight * (v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4));
        }
        return l;
    };
    const double x = luminance(a) + 0.05, y = luminance(b) + 0.05;
    return std::max(x, y) / std::min(x, y);
}

// The pixels of a box that hardly differ from a colour in luminance.
int inkOf(const Canvas& c, const RECT& box, uint32_t colour) {
    int n = 0;
    for (LONG y = box.top; y < box.bottom; ++y)
        for (LONG x = box.left; x < box.right; ++x) n += contrast(c.pixel(x, y), colour) < 1.5;
    return n;
}

}  // namespace

// The progress fill ends where its value says; a button an install makes inert never looks hot, though the mouse rests
// on it; the main button looks as what it does, the folder button in the main colours; buttons have an outline, the
// focused one a ring; "Open app folder" is in the main colours; the patch's dot is round; each location arrow's
// chevron points its way.
TEST(Frame, LooksTheStateDecides) {
    Frame f;
    f.app.candidates.push_back(Other);
    const MainLayout L = computeLayout(StateReady, 920, 620);
    const RectF T = L.progressTrack, C = L.control(ChooseFolderButton), B = L.control(ActionButton), Q = L.patchCard,
                D = L.control(DetectAgainButton), O = L.control(OpenAppFolderButton);
    f.app.uiState = StateInstalling;
    f.app.progressPermille = 500;
    const uint32_t fill = f.at(T.X + T.Width / 4, T.Y + 4);
    for (int32_t permille : {5, 500}) {
        f.app.progressPermille = permille;
        Canvas c;
        f.draw(c);
        const float w = T.Width * permille / 1000, x = T.X, y = T.Y + 4;
        EXPECT_NE(c.pixel(x + w + 2, y), fill);
    }
    const auto folderButtonWith = [&](ControlId hover) { return f.app.hoverControl = hover, f.at(C.X + 6, C.Y + 20); };
    EXPECT_EQ(folderButtonWith(ChooseFolderButton), folderButtonWith(None));
    const uint32_t cancelLook = f.at(B.X + 12, B.Y + 26);
    f.app.uiState = StateReady;
    EXPECT_NE(folderButtonWith(ChooseFolderButton), folderButtonWith(None));
    Canvas c;
    f.draw(c);
    // no GDI+ failure, though there is no picture to draw
    EXPECT_EQ(c.dc.lastStatus, Gdiplus::Ok);
    EXPECT_NE(c.pixel(B.X + 12, B.Y + 26), cancelLook);
    EXPECT_NE(c.pixel(D.X + D.Width / 2, D.Y), c.pixel(D.X + D.Width / 2, D.Y + 4));
    // the folder button in the main colours, no dark text on its strong face; beside it dark text on a pale one,
    // centred
    EXPECT_LT(darkColumn(c, C.Y + C.Height / 2, C), 0);
    EXPECT_NEAR(darkColumn(c, D.Y + D.Height / 2, D), D.X + D.Width / 2, 15);
    // the focus ring where a control has the focus; beside a missing patch "Open app folder" in the main colours
    f.app.patchFound = false;
    Canvas ring;
    drawMainFrame(f.app, ring.dc, 920, 620, 96, nullptr, {standardPalette(), DetectAgainButton});
    EXPECT_NE(ring.pixel(D.X + 1, D.Y + 15), c.pixel(D.X + 1, D.Y + 15));
    EXPECT_LT(darkColumn(ring, O.Y + O.Height / 2, O), 0);
    // the dot's centre, not its box's corner
    EXPECT_NE(c.pixel(Q.X + 21, Q.Y + 24), c.pixel(Q.X + 17, Q.Y + 20));
    for (ControlId arrow : {PrevLocationButton, NextLocationButton}) {
        SCOPED_TRACE(arrow);
        const RectF R = L.control(arrow);
        const double cx = R.X + R.Width / 2, side = arrow == NextLocationButton ? 1 : -1;
        const auto dark = [&](int dy) { return side * (darkColumn(c, R.Y + R.Height / 2 + dy, R) - cx); };
        // the tip on the middle row, the ends above and below on the other side
        EXPECT_GT(dark(0), 1);
        EXPECT_LT(dark(-5), -1);
        EXPECT_LT(dark(5), -1);
    }
}

// A text too wide for its box ends in an ellipsis after the longest start that fits, a path keeping its
// last folder name; one that fits stays whole.
TEST(Frame, TooWideTexts) {
    Canvas c;
    const OwnedFontFamily family = createFontFamily(English);
    const TextStyle s = makeTextStyle(c.dc, family.get(), 12, StyleRegular, AlignNear, TrimCharacter);
    const wstring path = L"D:\\Steam\\steamapps\\common\\TavinMere\\game";
    EXPECT_EQ(fitText(c.dc, s, path, 999, TrimPath), path);
    for (auto [trimming, tail] : {std::pair{TrimCharacter, L"\u2026"}, {TrimPath, L"\u2026\\game"}}) {
        const wstring fit = fitText(c.dc, s, path, 150, trimming), start = fit.substr(0, fit.size() - wcslen(tail));
        EXPECT_EQ(fit, start + tail);
        EXPECT_EQ(path.find(start), 0u);
        EXPECT_LE(textWidth(c.dc, s, fit), 150);
        EXPECT_GT(textWidth(c.dc, s, path.substr(0, start.size() + 1) + tail), 150);
    }
}

// Each language's family has a glyph for every character of its texts: in the test prefix the first
// family of its list, and in a prefix without the Windows families (the run in tests/CMakeLists.txt that
// sets BARE_PREFIX, as many players' Wine prefixes are) an open family, never none.
TEST(Fonts, FamilyWithGlyphs) {
    const bool bare = GetEnvironmentVariableW(L"BARE_PREFIX", nullptr, 0);
    for (int32_t language : {SimplifiedChinese, TraditionalChinese, English}) {
        SCOPED_TRACE(language);
        wstring all;
        for (int id = 0; id < TextCount; ++id)
            for (wchar_t ch : wstring(text(language, TextId(id))))
                if (ch >= L' ') all += ch;
        const OwnedFontFamily family = createFontFamily(language);
        ASSERT_TRUE(family->family);
        EXPECT_TRUE(hasGlyphs(*family, all));
        wchar_t name[LF_FACESIZE] = {};
        Gdiplus::DllExports::GdipGetFamilyName(family->family, name, 0);
        EXPECT_TRUE(bare || name == wstring(fontFamilyList(language).names[0])) << narrow(name);
    }
}

// The title, the patch's headline, the location's origin and the main button's caption are bold: each covers more than
// half-way from its text drawn regular to it drawn bold, below the frame with the frame's own settings.
TEST(Frame, BoldTexts) {
    Frame f;
    Canvas c(920, 720);
    f.draw(c);
    const Palette p = standardPalette();
    const auto items = mainWindowItems(f.app, 920, 620, 1);
    for (auto [key, size, colour] : {std::tuple{int(GameTitleText), 25.f, p.title},
                                     {PatchHeadlineText, 15, p.headline},
                                     {LocationOriginText, 12, p.good},
                                     {ActionButton, 16, p.mainText}}) {
        const auto& item = *std::find_if(items.begin(), items.end(), [&](auto& i) { return i.key == key; });
        // clear of the button's rounded corners
        RECT b = item.bounds;
        InflateRect(&b, key == ActionButton ? -20 : 0, 0);
        int ink[2];
        for (int style : {StyleRegular, StyleBold}) {
            const RectF strip{0, 620.f + 50 * style, 920, 50};
            fillRoundedRect(c.dc, strip, 0, c.pixel(b.left, b.top + 2));
            drawText(c.dc, f.app.fontFamily.get(), item.name.c_str(), -1, size, style, colour, strip, AlignNear,
                     TrimCharacter, 0);
            ink[style] = inkOf(c, {0, 620 + 50 * style, 920, 670 + 50 * style}, colour);
        }
        EXPECT_GT(2 * inkOf(c, b, colour), ink[0] + ink[1]) << key;
    }
}

// A size in the largest unit it reaches under 1024, to two places; TB the largest.
TEST(Frame, PatchSizeInItsUnit) {
    const std::pair<uint64_t, const wchar_t*> sizes[] = {
        {1023, L"1023 B"}, {1024, L"1.00 KB"}, {1ull << 20, L"1.00 MB"}, {1ull << 50, L"1024.00 TB"}};
    for (auto [size, shown] : sizes) EXPECT_EQ(patchSizeText(size), shown);
}

// In Windows' black and white high-contrast themes every text and icon of the frame stands out from what
// is behind it by 7:1 at least, measured on the pixels (at twice the size, so that strokes are solid);
// every frame, with a hot button and a focus ring, drawn without a GDI+ failure.
TEST(Frame, HighContrast) {
    const COLORREF B = RGB(0, 0, 0), W = RGB(255, 255, 255);
    const SystemColours themes[] = {{B, W, RGB(26, 235, 255), B, B, W, RGB(63, 242, 63), RGB(255, 255, 0)},
                                    {W, B, RGB(55, 0, 110), W, W, B, RGB(96, 0, 0), RGB(0, 0, 159)}};
    const std::pair<InstallState, bool> views[] = {
        {StateReady, true}, {StateReady, false}, {StateInstalling, true}, {StateCompleted, true}};
    for (const SystemColours& theme : themes) {
        const Palette hc = highContrastPalette(theme);
        for (int32_t language : {SimplifiedChinese, TraditionalChinese, English}) {
            for (auto [state, patch] : views) {
                Frame f;
                setLanguage(f.app, language);
                f.app.uiState = state;
                f.app.patchFound = patch;
                f.app.candidates.push_back(Other);
                f.app.hoverControl = DetectAgainButton;
                Canvas c(1840, 1240);
                drawMainFrame(f.app, c.dc, 1840, 1240, 192, nullptr, {hc, ChipEnglish});
                EXPECT_EQ(c.dc.lastStatus, Gdiplus::Ok);
                for (const AccessibleItem& item : mainWindowItems(f.app, 920, 620, 2.0f)) {
                    if (item.role == ROLE_SYSTEM_PROGRESSBAR) continue;
                    // The middle band of the box, clear of rounded corners and outlines.
                    const RECT& b = item.bounds;
                    const LONG h = b.bottom - b.top, inset = std::min(h / 2, (b.right - b.left) / 4);
                    std::map<uint32_t, int> counts;
                    for (LONG y = b.top + h * 3 / 10; y < b.bottom - h * 3 / 10; ++y)
                        for (LONG x = b.left + inset; x < b.right - inset; ++x) ++counts[c.pixel(x, y)];
                    const auto most = [](auto& a, auto& b) { return a.second < b.second; };
                    const uint32_t back = std::max_element(counts.begin(), counts.end(), most)->first;
                    double strongest = 1;
                    for (auto [colour, n] : counts) strongest = std::max(strongest, contrast(colour, back));
                    EXPECT_GE(strongest, 7.0) << narrow(item.name) << " " << state;
                    // no live control in the colour of inert ones but the speaker, which is while the music is off
                    // (here: no device)
                    EXPECT_TRUE(item.state & STATE_SYSTEM_UNAVAILABLE ||
                                (item.key == MusicToggle) == counts.count(hc.inert));
                }
            }
        }
    }
}

// The window's own paint path across a resize: what reaches the screen is the frame drawn with the
// picture scaled for the new size, and that copy looks as the picture scaled on each pass would.
TEST_F(Window, PaintsAcrossAResize) {
    app.instance = GetModuleHandleW(nullptr);
    loadBackgroundImage(app);
    for (SIZE size : {SIZE{1400, 300}, SIZE{1400, 620}}) {
        SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        Canvas expected(size.cx, size.cy);
        drawMainFrame(app, expected.dc, size.cx, size.cy, 96, app.backgroundImage.get());
        // kept scaled, and drawn: a corner unlike the frame's without it
        EXPECT_TRUE(app.scaledBackground);
        EXPECT_NE(expected.pixel(2, 2), at(2, 2));
        HDC screen = GetDC(window);
        int differing = 0, samples = 0;
        for (int y = 3; y < size.cy; y += 23) {
            for (int x = 3; x < size.cx; x += 23, ++samples) {
                // COLORREF is 0x00BBGGRR, the canvas 0xAARRGGBB: a channel 8 levels off differs
                const COLORREF p = GetPixel(screen, x, y);
                const uint32_t e = expected.pixel(x, y);
                for (int shift : {0, 8, 16})
                    differing += std::abs(int((p >> shift) & 0xFF) - int((e >> (16 - shift)) & 0xFF)) > 8;
            }
        }
        ReleaseDC(window, screen);
        EXPECT_LT(differing, samples / 50);
    }
}

// The mouse: a click is the release over a control; hover, hand cursor and their end when the mouse
// leaves; a language switch retitles the window and keeps a status written before it; inert buttons
// answer nothing.
TEST_F(Window, ClicksAndHover) {
    // one location: no arrows, drawn or read
    EXPECT_FALSE(named(L"Next location").id);
    // Windows' focus-cue rule: UIS_SET hides the ring, news of other cues leaves it as it is, UIS_CLEAR shows it
    send(WM_UPDATEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS));
    EXPECT_TRUE(app.focusCuesHidden);
    send(WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEACCEL));
    EXPECT_TRUE(app.focusCuesHidden);
    settle(window);
    send(WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS));
    EXPECT_FALSE(app.focusCuesHidden);
    // the ring drawn at once
    EXPECT_TRUE(repainted());
    // and UIS_INITIALIZE leaves it as the system then answers
    send(WM_UPDATEUISTATE, MAKEWPARAM(UIS_INITIALIZE, UISF_HIDEFOCUS));
    EXPECT_EQ(app.focusCuesHidden, (send(WM_QUERYUISTATE) & UISF_HIDEFOCUS) != 0);
    send(WM_LBUTTONDOWN, MK_LBUTTON, positionOf(ChipSimplified));
    send(WM_LBUTTONUP, 0, positionOf(ChipTraditional));
    EXPECT_NE(windowText(window).find(L"（繁體中文）"), wstring::npos);
    app.uiState = StateFailed;
    app.statusText = L"Failed";
    click(ChipSimplified);
    EXPECT_EQ(app.statusText, L"Failed");
    settle(window);
    click(MusicToggle);
    EXPECT_TRUE(player.musicMuted);
    EXPECT_TRUE(repainted());
    send(WM_MOUSEMOVE, 0, positionOf(ChipEnglish));
    // its leave asked for once, not at every move
    EXPECT_TRUE(app.mouseTracking);
    // tools are told which control is under the mouse
    EXPECT_TRUE(named(L"EN").state & STATE_SYSTEM_HOTTRACKED);
    EXPECT_TRUE(repainted());
    EXPECT_EQ(cursor(), 1);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
    send(WM_MOUSELEAVE);
    EXPECT_EQ(app.hoverControl, None);
    EXPECT_FALSE(app.mouseTracking);
    EXPECT_TRUE(repainted());
    EXPECT_EQ(cursor(), 0);
    send(WM_MOUSEMOVE, 0, positionOf(DetectAgainButton));
    installing();
    EXPECT_EQ(cursor(), 0);
    settle(window);
    click(DetectAgainButton);
    EXPECT_FALSE(repainted());
    app.candidates.push_back(Other);
    click(NextLocationButton);
    EXPECT_EQ(app.selectedCandidate, 0u);
    app.installJob.reset();
    app.uiState = StateCompleted;
    click(CloseButton);
    EXPECT_FALSE(IsWindow(window));
}

// Closing during a copy asks first; F5 detects in every state, during a copy too, which
// then goes on with its bar started again; Escape closes when no copy runs, and the loop ends with 0.
TEST_F(Window, ClosingAndDetectingAgain) {
    installing();
    for (int answer : {IDNO, IDYES}) {
        app.installJob->cancelRequested = 0;
        DialogAnswerer answerer(answer);
        send(WM_CLOSE);
        const auto seen = answerer.seen();
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(seen[0].text, text(English, ConfirmCancelExit));
        EXPECT_EQ(seen[0].icon, UINT(MB_ICONWARNING));
        EXPECT_EQ(IsWindow(window), answer == IDNO);
        EXPECT_EQ(app.installJob->cancelRequested, answer == IDYES);
    }
    pumpMessages(0);
    open();
    TempDir dir;
    app.chosenFolder = makeGame(dir / L"TavinMere");
    app.uiState = StateCompleted;
    settle(window);
    EXPECT_TRUE(key(VK_F5));
    // found again, the picked folder first (the prefix may hold other games: its count is not ours)
    EXPECT_TRUE(app.candidates.at(0).manual);
    EXPECT_EQ(app.uiState, StateReady);
    installing();
    app.progressPermille = 500;
    key(VK_F5);
    EXPECT_EQ(app.uiState, StateInstalling);
    EXPECT_EQ(app.progressPermille, 0);
    app.uiState = StateCancelled;
    key(VK_ESCAPE);
    EXPECT_FALSE(IsWindow(window));
    MSG quit;
    ASSERT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 0u);
}

// What a screen reader reads in each state and language: exactly what is drawn (the window's title for
// the window itself), in reading order (no item above the one before it, nor left of it on its row),
// inside the window, found at its centre and its top left corner, walked in order; the live controls,
// and only they, usable, focusable and pressed with the language's verb; one language checked, the
// current one.
TEST_F(Window, AccessibleTree) {
    app.candidates.push_back(Other);
    const auto all = app.candidates;
    app.statusText = L"Full";
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const LogicalView view = logicalViewOf(window);
    // the state, the number of locations, and the texts drawn, so read, in it besides those of every state
    const std::tuple<InstallState, int, std::vector<TextId>> views[] = {
        {StateReady, 2, {PatchFound, InstallPatch, ReadyToInstall, DetectedLocations}},
        {StateReady, 0, {PatchNotFound, PlacePatchHint, OpenAppFolder, NoValidFolder, InstallPatch}},
        {StateInstalling, 2, {CancelInstallation, ReadyToInstall}},
        {StateCompleted, 1, {InstallComplete, LaunchGame, CloseInstaller, GameDetected}},
        {StateFailed, 1, {InstallPatch}}};
    for (int32_t language : {SimplifiedChinese, TraditionalChinese, English}) {
        setLanguage(app, language);
        for (const auto& [state, locations, shown] : views) {
            SCOPED_TRACE(testing::Message() << language << "/" << state << "/" << locations);
            app.uiState = state;
            app.patchFound = locations > 0;
            app.candidates.assign(all.begin(), all.begin() + locations);
            const auto children = accessibleChildren(window);
            EXPECT_EQ(accessibleElement(window, CHILDID_SELF).name, text(language, WindowTitle));
            EXPECT_EQ(navigate(window, CHILDID_SELF, NAVDIR_FIRSTCHILD), 1);
            EXPECT_EQ(navigate(window, CHILDID_SELF, NAVDIR_LASTCHILD), long(children.size()));
            wstring names;
            Strings checked;
            for (size_t i = 0; i < children.size(); ++i) {
                const AccessibleChild& c = children[i];
                const RECT& r = c.screen;
                SCOPED_TRACE(narrow(c.name));
                names += c.name + L"\n";
                // inside the client area: what it shares with it is all of it
                RECT in;
                IntersectRect(&in, &r, &client);
                EXPECT_TRUE(EqualRect(&in, &r));
                const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
                EXPECT_EQ(hitTestAt(window, centre), c.id);
                EXPECT_EQ(hitTestAt(window, {r.left, r.top}), c.id);
                EXPECT_EQ(navigate(window, c.id, NAVDIR_NEXT), i + 1 < children.size() ? c.id + 1 : -1);
                EXPECT_EQ(navigate(window, c.id, NAVDIR_PREVIOUS), i > 0 ? c.id - 1 : -1);
                // an item has no children
                EXPECT_EQ(navigate(window, c.id, NAVDIR_FIRSTCHILD), -1);
                if (i > 0) {
                    const RECT& p = children[i - 1].screen;
                    EXPECT_GT(r.bottom, p.top);
                    // not left of it on its row
                    EXPECT_TRUE(r.top >= p.bottom || r.right > p.left);
                }
                if (c.state & STATE_SYSTEM_CHECKED) checked.push_back(c.name);
                const bool control = c.role == ROLE_SYSTEM_PUSHBUTTON || c.role == ROLE_SYSTEM_CHECKBUTTON;
                const bool usable = control && !(c.state & STATE_SYSTEM_UNAVAILABLE);
                EXPECT_EQ((c.state & STATE_SYSTEM_FOCUSABLE) != 0, usable);
                const AccessibleTextId verb = c.role == ROLE_SYSTEM_CHECKBUTTON ? SelectAction : PressAction;
                EXPECT_EQ(c.action, control ? accessibleText(language, verb) : L"");
                const float x = (centre.x - client.left) / view.scale, y = (centre.y - client.top) / view.scale;
                // a click acts where a tool may
                EXPECT_TRUE(!control || (hitTest(app, x, y) != None) == usable);
                // the folder button beside a missing patch
                EXPECT_TRUE(c.name != text(language, OpenAppFolder) || usable);
            }
            EXPECT_EQ(checked, Strings{languageShortLabel(language)});
            std::vector<TextId> texts = shown;
            texts.insert(texts.end(),
                         {Subtitle, GameTitle, InstallLocation, ChooseFolder, DetectAgain, SteamAppIdLabel});
            for (TextId id : texts) EXPECT_NE(names.find(text(language, id)), wstring::npos) << id;
        }
    }
}

// Tab and Shift+Tab walk the live controls in reading order and wrap; Space and Enter press the focused
// one once; with nothing focused Enter keeps its meaning; M, Escape and clicks do what they do wherever
// the focus is, and a control that turns inert hands the focus to the main button.
TEST_F(Window, KeysMoveTheFocus) {
    // Keys as typed: Tab, Space, Enter, Escape and M themselves; '<' Shift+Tab, '+' and 'm' a held Enter's and M's
    // repeat, 'c' a click on the 繁中 chip, 'i' an install starting.
    const struct {
        const wchar_t *keys, *focus;
        bool copying = false;
        int32_t language = English;
        bool muted = false;
        size_t selected = 0;
        bool cancel = false;
    } cases[] = {
        // Tab starts at the first chip, Shift+Tab at the main button
        {L"\t", L"简中"},
        {L"<", L"Install patch"},
        // nine stops, then round again; back past the first wraps
        {L"\t\t\t\t\t\t\t\t\t\t", L"简中"},
        {L"\t<", L"Install patch"},
        // Space presses a chip, Enter the toggle, Space the right arrow
        {L"\t\t ", L"繁中", false, TraditionalChinese},
        {L"\t\t\t\t\r", L"Music: off", false, English, true},
        {L"\t\t\t\t\t\t ", L"Next location", false, English, false, 1},
        // M toggles the music anywhere, once while held; a click moves no focus
        {L"\tMm", L"简中", false, English, true},
        {L"\tc", L"简中", false, TraditionalChinese},
        // no focus: Space and Enter press nothing, nor does B without Ctrl pick a folder
        {L" \r", L"", true},
        {L"B", L"", true},
        // Enter presses the focused cancel, a held Enter once; Escape cancels anywhere
        {L"<\r", L"Cancel installation", true, English, false, 0, true},
        {L"<+", L"Cancel installation", true},
        {L"\t\x1b", L"简中", true, English, false, 0, true},
        // inert folder buttons lose the focus
        {L"\t<<<i", L"Cancel installation"},
    };
    app.candidates.push_back(Other);
    // a picker or question a wrong key opens is cancelled
    DialogAnswerer answerer(IDNO);
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        TearDown();
        setLanguage(app, English);
        app.uiState = StateReady;
        if (c.copying) installing();
        player.musicMuted = false;
        app.selectedCandidate = 0;
        open();
        SetFocus(window);
        BYTE keys[256];
        GetKeyboardState(keys);
        for (const wchar_t* k = c.keys; *k; ++k) {
            keys[VK_SHIFT] = *k == L'<' ? 0x80 : 0;
            SetKeyboardState(keys);
            if (*k == L'c') click(ChipTraditional);
            if (*k == L'i') installing();
            // 'c' and 'i' then reach the window as keys it ignores; it settles its focus after any message.
            const WPARAM code = *k == L'<' ? VK_TAB : *k == L'+' ? VK_RETURN : *k == L'm' ? 'M' : *k;
            send(WM_KEYDOWN, code, *k == L'+' || *k == L'm' ? 1 << 30 : 0);
        }
        keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
        const long focus = focusedChild(window);
        // the window has it: on an item, or on the window itself
        EXPECT_GE(focus, 0);
        EXPECT_EQ(focus > 0 ? accessibleElement(window, focus).name : L"", c.focus);
        EXPECT_EQ(app.language, c.language);
        EXPECT_EQ(player.musicMuted, c.muted);
        EXPECT_EQ(app.selectedCandidate, c.selected);
        EXPECT_EQ(app.installJob && app.installJob->cancelRequested, c.cancel);
    }
}

// What tools are told as things change: the focus with each move and when the window gains it, and only
// while it has it; the keys of the controls that have one; an install's outcome as an alert, heard
// without a focus change; new items, names, states and the bar's value as they change. A tool's press
// acts as a click would, after its call returned, and is refused where a click does nothing or while a
// box the window owns is open.
TEST_F(Window, WhatToolsHearAndPress) {
    app.candidates.resize(3, app.candidates[0]);
    SetFocus(window);
    const long first = named(L"简中").id;
    // a repaint tells tools nothing
    EXPECT_EQ(heard([] {}), Events{});
    // the chip's edge on the screen: the ring there only while the window has the focus
    const auto edge = [&] {
        const auto p = positionOf(ChipSimplified, 1);
        HDC dc = GetDC(window);
        const COLORREF c = GetPixel(dc, LOWORD(p), HIWORD(p));
        ReleaseDC(window, dc);
        return c;
    };
    const COLORREF plain = edge();
    const Events tab = heard([&] { EXPECT_TRUE(key(VK_TAB)); });
    EXPECT_NE(edge(), plain);
    EXPECT_EQ(std::count_if(tab.begin(), tab.end(), [](auto& e) { return e.first == EVENT_OBJECT_FOCUS; }), 1);
    EXPECT_TRUE(contains(tab, EVENT_OBJECT_FOCUS, first));
    EXPECT_TRUE(named(L"简中").state & STATE_SYSTEM_FOCUSED);
    EXPECT_FALSE(contains(heard([&] {
                              SetFocus(nullptr);
                              EXPECT_TRUE(repainted());
                          }),
                          EVENT_OBJECT_FOCUS, first));
    EXPECT_EQ(edge(), plain);
    EXPECT_EQ(focusedChild(window), -1);
    EXPECT_FALSE(named(L"简中").state & STATE_SYSTEM_FOCUSED);
    EXPECT_TRUE(contains(heard([&] {
                             SetFocus(window);
                             EXPECT_TRUE(repainted());
                         }),
                         EVENT_OBJECT_FOCUS, first));
    for (auto [name, shortcut] : {std::pair{L"Music: off", L"M"},
                                  {L"Choose folder", L"Ctrl+B"},
                                  {L"Detect again", L"F5"},
                                  {L"Install patch", L"Enter"}})
        EXPECT_EQ(named(name).shortcut, shortcut);
    // While a message box the window owns is open (as while the folder picker is), a tool finds every
    // control unavailable and cannot press one, nor can an action it asked for just before.
    static Window* self;
    self = this;
    SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR timer, DWORD) {
        KillTimer(nullptr, timer);
        PostMessageW(self->window, WM_ACCESSIBLE_ACTION, NextLocationButton, 0);
        pumpMessages(50);
        EXPECT_EQ(doDefaultAction(self->window, self->named(L"Next location").id), DISP_E_MEMBERNOTFOUND);
        for (auto& c : accessibleChildren(self->window)) {
            if (c.role != ROLE_SYSTEM_PUSHBUTTON && c.role != ROLE_SYSTEM_CHECKBUTTON) continue;
            EXPECT_EQ(c.state & (STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_FOCUSABLE), STATE_SYSTEM_UNAVAILABLE)
                << narrow(c.name);
        }
        PostMessageW(findWindow(L"#32770", GetCurrentProcessId()), WM_COMMAND, IDOK, 0);
    });
    MessageBoxW(window, L"A box", L"", MB_OK);
    EXPECT_EQ(app.selectedCandidate, 0u);
    // a text has no action
    EXPECT_EQ(doDefaultAction(window, named(L"TavinMere").id), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(doDefaultAction(window, named(L"Next location").id), S_OK);
    EXPECT_EQ(doDefaultAction(window, first), S_OK);
    // the actions arrive as messages, after the tool's calls returned
    EXPECT_EQ(app.selectedCandidate, 0u);
    pumpMessages(50);
    EXPECT_EQ(app.selectedCandidate, 1u);
    EXPECT_EQ(app.language, SimplifiedChinese);
    EXPECT_TRUE(contains(heard([&] { setLanguage(app, English); }), EVENT_OBJECT_STATECHANGE, first));
    app.patchFound = false;
    EXPECT_EQ(doDefaultAction(window, named(L"Install patch").id), DISP_E_MEMBERNOTFOUND);
    // beside a missing patch its folder opens for a tool as for a click
    EXPECT_EQ(doDefaultAction(window, named(L"Open app folder").id), S_OK);
    EXPECT_FALSE(named(text(English, ReadyToInstall)).id);
    app.patchFound = true;
    const Events started = heard([&] {
        installing();
        app.progressPermille = 100;
    });
    EXPECT_TRUE(contains(started, EVENT_OBJECT_REORDER, 0));
    // as when other items take the place of as many
    std::vector<AccessibleItem> before(1), after(1);
    after[0].key = 1;
    EXPECT_TRUE(contains(heard([&] { announceChanges(window, before, after); }), EVENT_OBJECT_REORDER, 0));
    EXPECT_TRUE(contains(started, EVENT_OBJECT_STATECHANGE, named(L"Choose folder").id));
    EXPECT_TRUE(contains(started, EVENT_OBJECT_NAMECHANGE, named(L"Cancel installation").id));
    const auto bar = [&] { return named(accessibleText(English, ProgressName)); };
    EXPECT_EQ(heard([&] { app.progressPermille = 200; }), (Events{{EVENT_OBJECT_VALUECHANGE, bar().id}}));
    // read as the percentage drawn
    EXPECT_EQ(bar().value, L"20%");
    app.statusText = L"Full";
    const std::pair<InstallState, wstring> outcomes[] = {
        {StateCompleted, L"Installation complete \u00B7 You can start the game now"},
        {StateCancelled, L"Installation cancelled"},
        {StateFailed, app.statusText}};
    for (const auto& [state, outcome] : outcomes) {
        heard([&] { installing(); });
        const Events events = heard([&, s = state] { app.uiState = s; });
        const AccessibleChild alert = named(outcome);
        SCOPED_TRACE(narrow(outcome));
        EXPECT_EQ(alert.role, ROLE_SYSTEM_ALERT);
        EXPECT_TRUE(contains(events, EVENT_SYSTEM_ALERT, alert.id));
        EXPECT_FALSE(contains(events, EVENT_OBJECT_FOCUS, alert.id));
        // once
        EXPECT_EQ(heard([] {}), Events{});
    }
}
