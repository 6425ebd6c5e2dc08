// The main window: the frame drawn off-screen, and the real window driven with messages, read and pressed through its
// accessibility tree (MSAA) in every state and language.
#include <gtest/gtest.h>

#include <windows.h>
#include <oleacc.h>

#include <cmath>
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
    // The name of the child with the keyboard focus, empty for none.
    std::wstring focusName() const {
        const long id = focusedChild(window);
        const std::vector<AccessibleChild> children = accessibleChildren(window);
        return id > 0 && id <= long(children.size()) ? children[size_t(id - 1)].name : L"";
    }
    long stateOf(const std::wstring& name) const {
        for (const AccessibleChild& c : accessibleChildren(window))
            if (c.name == name) return c.state;
        return -1;
    }
};

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

// What a screen reader reads in each state and language: exactly what is drawn, in reading order (no
// item above the one before it, nor left of it on the same row), inside the window, found at its centre,
// walked in order; the live controls, and only they, usable and focusable.
TEST_F(Window, AccessibleTreeOfEveryStateAndLanguage) {
    EXPECT_EQ(GetWindow(window, GW_CHILD), nullptr);  // no child windows: everything is drawn
    app.candidates.push_back({L"D:\\Games\\Other\\game", true, 1200, 0});
    const std::vector<GameCandidate> all = app.candidates;
    app.statusText = L"Copy failed: disk full";
    RECT client{};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    const LogicalView view = logicalViewOf(window);
    const struct {
        InstallState state;
        int locations;
        std::vector<TextId> texts;  // drawn, so read, in this state besides those of every state
    } views[] = {{StateReady, 2, {PatchFound, InstallPatch, ReadyToInstall, DetectedLocations}},
                 {StateReady, 0, {PatchNotFound, PlacePatchHint, OpenAppFolder, NoValidFolder, InstallPatch}},
                 {StateInstalling, 2, {CancelInstallation, ReadyToInstall}},
                 {StateCompleted, 1, {InstallComplete, LaunchGame, CloseInstaller, GameDetected}},
                 {StateCancelled, 1, {InstallCancelled, InstallPatch}},
                 {StateFailed, 1, {InstallPatch}}};
    for (int32_t language : {SimplifiedChinese, TraditionalChinese, English}) {
        setLanguage(app, language);
        for (const auto& v : views) {
            SCOPED_TRACE(narrow(std::wstring(languageCode(language))) + " state " + std::to_string(v.state) + ", " +
                         std::to_string(v.locations) + " locations");
            app.uiState = v.state;
            app.patchFound = v.locations > 0;
            app.candidates.assign(all.begin(), all.begin() + v.locations);
            const std::vector<AccessibleChild> children = accessibleChildren(window);
            ASSERT_FALSE(children.empty());
            EXPECT_EQ(navigate(window, CHILDID_SELF, NAVDIR_FIRSTCHILD), 1);
            EXPECT_EQ(navigate(window, CHILDID_SELF, NAVDIR_LASTCHILD), long(children.size()));
            std::vector<std::wstring> names, checked;
            for (size_t i = 0; i < children.size(); ++i) {
                const AccessibleChild& c = children[i];
                SCOPED_TRACE(narrow(c.name));
                names.push_back(c.name);
                const RECT r{c.screen.left, c.screen.top, c.screen.left + c.screen.right,
                             c.screen.top + c.screen.bottom};
                EXPECT_TRUE(r.left >= client.left && r.top >= client.top && r.right <= client.right &&
                            r.bottom <= client.bottom);
                const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
                EXPECT_EQ(hitTestAt(window, centre), c.id);
                EXPECT_EQ(navigate(window, c.id, NAVDIR_NEXT), i + 1 < children.size() ? c.id + 1 : -1);
                EXPECT_EQ(navigate(window, c.id, NAVDIR_PREVIOUS), i > 0 ? c.id - 1 : -1);
                if (i > 0) {
                    const AccessibleChild& p = children[i - 1];
                    EXPECT_GT(r.bottom, p.screen.top);
                    if (r.top < p.screen.top + p.screen.bottom) {
                        EXPECT_GT(r.right, p.screen.left);
                    }
                }
                if (c.state & STATE_SYSTEM_CHECKED) checked.push_back(c.name);
                const bool control = c.role == ROLE_SYSTEM_PUSHBUTTON || c.role == ROLE_SYSTEM_CHECKBUTTON;
                const bool usable = control && !(c.state & STATE_SYSTEM_UNAVAILABLE);
                EXPECT_EQ((c.state & STATE_SYSTEM_FOCUSABLE) != 0, usable);
                // A click at the centre of a control acts exactly when the control is not unavailable.
                const float x = float(centre.x - client.left) / view.scale,
                            y = float(centre.y - client.top) / view.scale;
                if (control) {
                    EXPECT_EQ(hitTest(app, x, y) != None, usable);
                }
            }
            EXPECT_EQ(checked, std::vector<std::wstring>{languageShortLabel(language)});
            std::vector<TextId> texts = v.texts;
            texts.insert(texts.end(), {Subtitle, GameTitle, InstallLocation, ChooseFolder, DetectAgain});
            for (TextId id : texts) {
                const std::wstring expected = text(language, id);
                const auto found = std::find_if(names.begin(), names.end(), [&](const std::wstring& name) {
                    return name.compare(0, expected.size(), expected) == 0;
                });
                EXPECT_NE(found, names.end()) << narrow(expected);
            }
        }
    }
}

// Tab and Shift+Tab walk the live controls in reading order and wrap; Space and Enter press the focused
// one once; with nothing focused Enter keeps its meaning; M, Escape and clicks do what they do wherever
// the focus is, and a control that turns inert hands the focus to the main button.
TEST_F(Window, KeysMoveTheFocusAndPressWhatItIsOn) {
    // Keys as typed: Tab, Space, Enter, Escape and M themselves; '<' Shift+Tab, '+' a held Enter's repeat,
    // 'c' a click on the 繁中 chip, 'i' an install starting.
    const struct {
        const char* what;
        InstallState state;
        const wchar_t* keys;
        const wchar_t* focus;
        int32_t language;
        bool muted;
        size_t selected;
        long cancel;
    } cases[] = {
        {"Tab starts at the first chip", StateReady, L"\t", L"简中", English, false, 0, 0},
        {"Shift+Tab starts at the main button", StateReady, L"<", L"Install patch", English, false, 0, 0},
        {"nine stops, then round again", StateReady, L"\t\t\t\t\t\t\t\t\t\t", L"简中", English, false, 0, 0},
        {"back past the first wraps", StateReady, L"\t<", L"Install patch", English, false, 0, 0},
        {"Space presses a chip", StateReady, L"\t\t ", L"繁中", TraditionalChinese, false, 0, 0},
        {"Enter presses the toggle", StateReady, L"\t\t\t\t\r", L"Music: off", English, true, 0, 0},
        {"Space presses the right arrow", StateReady, L"\t\t\t\t\t\t ", L"Next location", English, false, 1, 0},
        {"M toggles the music anywhere", StateReady, L"\tM", L"简中", English, true, 0, 0},
        {"a click moves no focus", StateReady, L"\tc", L"简中", TraditionalChinese, false, 0, 0},
        {"no focus: Space and Enter press nothing", StateInstalling, L" \r", L"", English, false, 0, 0},
        {"Enter presses the focused cancel", StateInstalling, L"<\r", L"Cancel installation", English, false, 0, 1},
        {"a held Enter presses once", StateInstalling, L"<+", L"Cancel installation", English, false, 0, 0},
        {"Escape cancels anywhere", StateInstalling, L"\t\x1b", L"简中", English, false, 0, 1},
        {"inert folder buttons lose the focus", StateReady, L"\t<<<i", L"Cancel installation", English, false, 0, 0},
    };
    app.candidates.push_back({L"D:\\Games\\Other\\game", true, 1200, 0});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        setLanguage(app, English);
        app.uiState = c.state;
        app.installJob = c.state == StateInstalling ? std::make_unique<InstallJob>() : nullptr;
        player.musicMuted = false;
        app.selectedCandidate = 0;
        open(640, 500);
        SetFocus(window);
        BYTE keys[256];
        GetKeyboardState(keys);
        for (const wchar_t* k = c.keys; *k; ++k) {
            keys[VK_SHIFT] = *k == L'<' ? 0x80 : 0;
            SetKeyboardState(keys);
            if (*k == L'c') click(ChipTraditional);
            if (*k == L'i') installing();
            // 'c' and 'i' then reach the window as keys it ignores; it settles its focus after any message.
            const WPARAM code = *k == L'<' ? VK_TAB : *k == L'+' ? VK_RETURN : *k;
            SendMessageW(window, WM_KEYDOWN, code, *k == L'+' ? 1 << 30 : 0);
        }
        keys[VK_SHIFT] = 0;
        SetKeyboardState(keys);
        EXPECT_EQ(focusName(), c.focus);
        EXPECT_EQ(app.language, c.language);
        EXPECT_EQ(player.musicMuted, c.muted);
        EXPECT_EQ(app.selectedCandidate, c.selected);
        EXPECT_EQ(app.installJob ? cancelRequested() : 0, c.cancel);
    }
}

// What a reader is told as the player moves and an install ends: focus events for each move and when
// the window gains the focus, the focused state, the keys of the controls that have one, and the outcome
// as an alert, heard without a focus change.
TEST_F(Window, ReadersFollowTheFocusAndHearTheOutcome) {
    static std::vector<std::pair<DWORD, LONG>> events;
    const WINEVENTPROC record = [](HWINEVENTHOOK, DWORD event, HWND, LONG object, LONG child, DWORD, DWORD) {
        if (object == OBJID_CLIENT) events.push_back({event, child});
    };
    HWINEVENTHOOK hooks[] = {
        SetWinEventHook(EVENT_SYSTEM_ALERT, EVENT_SYSTEM_ALERT, nullptr, record, 0, GetCurrentThreadId(), 0),
        SetWinEventHook(EVENT_OBJECT_FOCUS, EVENT_OBJECT_FOCUS, nullptr, record, 0, GetCurrentThreadId(), 0)};
    SetFocus(window);
    UpdateWindow(window);
    const auto after = [&](const std::function<void()>& step) {
        pumpMessages(50);
        events.clear();
        step();
        UpdateWindow(window);
        pumpMessages(50);
        return events;
    };
    using Events = std::vector<std::pair<DWORD, LONG>>;
    EXPECT_EQ(after([&] { key(VK_TAB); }), (Events{{EVENT_OBJECT_FOCUS, childNamed(L"简中")}}));
    EXPECT_EQ(focusedChild(window), childNamed(L"简中"));
    EXPECT_EQ(stateOf(L"简中") & (STATE_SYSTEM_FOCUSED | STATE_SYSTEM_FOCUSABLE),
              STATE_SYSTEM_FOCUSED | STATE_SYSTEM_FOCUSABLE);
    EXPECT_EQ(after([&] { SetFocus(nullptr); }), Events{});
    EXPECT_EQ(focusedChild(window), -1);
    EXPECT_EQ(stateOf(L"简中") & STATE_SYSTEM_FOCUSED, 0);
    EXPECT_EQ(after([&] { SetFocus(window); }).back(), std::make_pair(DWORD(EVENT_OBJECT_FOCUS), childNamed(L"简中")));
    const std::pair<const wchar_t*, const wchar_t*> shortcuts[] = {{L"Music: off", L"M"},
                                                                   {L"Choose folder", L"Ctrl+B"},
                                                                   {L"Detect again", L"F5"},
                                                                   {L"Install patch", L"Enter"},
                                                                   {L"简中", L""}};
    for (auto [name, shortcut] : shortcuts)
        EXPECT_EQ(accessibleChildren(window).at(size_t(childNamed(name) - 1)).shortcut, shortcut) << narrow(name);
    app.statusText = L"Copy failed: disk full";
    const std::pair<InstallState, std::wstring> outcomes[] = {
        {StateCompleted, std::wstring(L"Installation complete \u00B7 You can start the game now")},
        {StateCancelled, L"Installation cancelled"},
        {StateFailed, app.statusText}};
    for (const auto& [state, outcome] : outcomes) {
        installing();
        UpdateWindow(window);
        const Events heard = after([&, s = state] {
            app.uiState = s;
            InvalidateRect(window, nullptr, FALSE);
        });
        const long alert = childNamed(outcome);
        EXPECT_EQ(accessibleChildren(window).at(size_t(alert - 1)).role, ROLE_SYSTEM_ALERT) << narrow(outcome);
        EXPECT_EQ(heard, (Events{{EVENT_SYSTEM_ALERT, alert}})) << narrow(outcome);
    }
    for (HWINEVENTHOOK hook : hooks) UnhookWinEvent(hook);
}

// While a message box the window owns is open (as while the folder picker is), a tool finds every
// control unavailable and cannot press one, nor can an action it asked for just before.
TEST_F(Window, NothingIsPressedWhileABoxIsOpen) {
    app.candidates.push_back(app.candidates[0]);
    static Window* self;
    self = this;
    SetTimer(nullptr, 0, 100, [](HWND, UINT, UINT_PTR timer, DWORD) {
        KillTimer(nullptr, timer);
        PostMessageW(self->window, WM_ACCESSIBLE_ACTION, NextLocationButton, 0);
        pumpMessages(50);
        EXPECT_EQ(doDefaultAction(self->window, self->childNamed(L"Next location")), DISP_E_MEMBERNOTFOUND);
        for (const AccessibleChild& c : accessibleChildren(self->window)) {
            if (c.role != ROLE_SYSTEM_PUSHBUTTON && c.role != ROLE_SYSTEM_CHECKBUTTON) continue;
            EXPECT_EQ(c.state & (STATE_SYSTEM_UNAVAILABLE | STATE_SYSTEM_FOCUSABLE), STATE_SYSTEM_UNAVAILABLE)
                << narrow(c.name);
        }
        PostMessageW(findWindow(L"#32770", GetCurrentProcessId()), WM_COMMAND, IDOK, 0);
    });
    MessageBoxW(window, L"A box", L"", MB_OK);
    EXPECT_EQ(app.selectedCandidate, 0u);
    EXPECT_EQ(doDefaultAction(window, childNamed(L"Next location")), S_OK);
}

// In Windows' black and white high-contrast themes every text and icon of the frame stands out from what
// is behind it by 7:1 at least, measured on the pixels (at twice the size, so that strokes are solid).
TEST(Frame, HighContrastTextsStandOutSevenToOne) {
    const SystemColours themes[] = {{RGB(0, 0, 0), RGB(255, 255, 255), RGB(0x1A, 0xEB, 0xFF), RGB(0, 0, 0),
                                     RGB(0, 0, 0), RGB(255, 255, 255), RGB(0x3F, 0xF2, 0x3F), RGB(255, 255, 0)},
                                    {RGB(255, 255, 255), RGB(0, 0, 0), RGB(0x37, 0, 0x6E), RGB(255, 255, 255),
                                     RGB(255, 255, 255), RGB(0, 0, 0), RGB(0x60, 0, 0), RGB(0, 0, 0x9F)}};
    const std::pair<InstallState, bool> views[] = {
        {StateReady, true}, {StateReady, false}, {StateInstalling, true}, {StateCompleted, true}};
    for (const SystemColours& theme : themes) {
        for (int32_t language : {SimplifiedChinese, TraditionalChinese, English}) {
            for (auto [state, patch] : views) {
                Frame f;
                f.app.language = language;
                f.app.fontFamily = createFontFamily(language);
                f.app.uiState = state;
                f.app.patchFound = patch;
                f.app.candidates.push_back({L"D:\\Games\\Other\\game", true, 1200, 0});
                f.app.hoverControl = DetectAgainButton;
                Canvas c(1840, 1240);
                drawMainFrame(f.app, c.dc, 1840, 1240, 192, nullptr, {highContrastPalette(theme), ChipEnglish});
                for (const AccessibleItem& item : mainWindowItems(f.app, 920, 620, 2.0f)) {
                    if (item.role == ROLE_SYSTEM_PROGRESSBAR) continue;
                    // The middle band of the box, clear of rounded corners and outlines.
                    const RECT& b = item.bounds;
                    const LONG h = b.bottom - b.top, inset = std::min(h / 2, (b.right - b.left) / 4);
                    std::map<uint32_t, int> counts;
                    for (LONG y = b.top + h * 3 / 10; y < b.bottom - h * 3 / 10; ++y)
                        for (LONG x = b.left + inset; x < b.right - inset; ++x) ++counts[c.pixel(x, y)];
                    const uint32_t back = std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                                              return a.second < b.second;
                                          })->first;
                    double strongest = 1;
                    for (auto [colour, n] : counts) strongest = std::max(strongest, contrast(colour, back));
                    EXPECT_GE(strongest, 7.0) << narrow(item.name) << " in state " << state;
                }
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
