// The language selection window: three cards on a pale wash, chosen by a click or a key, run
// modally by start-up before anything else exists.
#include "app/language_window.h"

#include <windowsx.h>
#include <oleacc.h>

#include <algorithm>

#include "app/startup.h"
#include "base/win32.h"
#include "ui/draw.h"

namespace gp = Gdiplus::DllExports;
using Gdiplus::Ok;

namespace {

constexpr float MinimumLanguageScale = 0.65f;
constexpr int MinimumWidth = 520;
constexpr int MinimumHeight = 280;
constexpr DWORD WindowStyle = WS_CAPTION | WS_SYSMENU;

constexpr float CardLeft = 42.0f;
constexpr float CardStep = 196.0f;
constexpr float CardTop = 118.0f;
constexpr float CardWidth = 174.0f;
constexpr float CardHeight = 96.0f;
constexpr float CardRadius = 16.0f;
constexpr float ShadowDx = 2.0f;
constexpr float ShadowDy = 5.0f;
constexpr float LabelInset = 8.0f;
constexpr float LabelWidth = 158.0f;
constexpr float TitleLeft = 42.0f;
constexpr float TitleTop = 38.0f;
constexpr float TitleHeight = 48.0f;
constexpr float TitleSize = 28.0f;
constexpr float LabelSize = 19.0f;
constexpr float TraditionalBoldOffset = 0.65f;

constexpr int ChoiceCount = 3;

LanguageWindowState* stateOf(HWND window) {
    return reinterpret_cast<LanguageWindowState*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

float scaleOf(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return languageScale(client.right - client.left, client.bottom - client.top, windowDpi(window));
}

int32_t cardAtPosition(HWND window, LPARAM position) {
    const float s = scaleOf(window);
    return languageCardAt(static_cast<float>(GET_X_LPARAM(position)) / s,
                          static_cast<float>(GET_Y_LPARAM(position)) / s);
}

void choose(LanguageWindowState& state, int32_t language) {
    state.chosenLanguage = language;
    DestroyWindow(state.window);
}

std::vector<AccessibleItem> accessibleCards(HWND window) {
    const LanguageWindowState* state = stateOf(window);
    return state ? languageWindowItems(*state, scaleOf(window)) : std::vector<AccessibleItem>();
}

bool canChoose(HWND window, int key) { return stateOf(window) && key >= 0 && key < ChoiceCount; }

const AccessibleSource LanguageAccessibleSource{accessibleCards, canChoose};

void onLanguagePaint(LanguageWindowState& state) {
    paintBuffered(state.window, [&](DrawContext& dc, int cw, int ch) {
        const float s = languageScale(cw, ch, windowDpi(state.window));
        dc.record(gp::GdipSetSmoothingMode(dc.graphics, Gdiplus::SmoothingModeAntiAlias));
        dc.record(gp::GdipSetTextRenderingHint(dc.graphics, Gdiplus::TextRenderingHintClearTypeGridFit));
        dc.record(gp::GdipScaleWorldTransform(dc.graphics, s, s, Gdiplus::MatrixOrderPrepend));
        paintLanguageContent(dc, state, static_cast<float>(cw) / s, static_cast<float>(ch) / s,
                             !state.focusHidden && GetFocus() == state.window);
    });
    announceChanges(state.window, state.announced, accessibleCards(state.window));
}

void onLanguageMouseMove(LanguageWindowState& state, LPARAM position) {
    const int32_t card = cardAtPosition(state.window, position);
    // Only a change of the hot card repaints, not every move.
    if (card != state.hotChoice) {
        state.hotChoice = card;
        InvalidateRect(state.window, nullptr, FALSE);
    }
    trackMouseLeave(state.window, state.leaveTracking);
}

void onLanguageMouseLeave(LanguageWindowState& state) {
    state.hotChoice = -1;
    state.leaveTracking = false;
    InvalidateRect(state.window, nullptr, FALSE);
}

void onLanguageClick(LanguageWindowState& state, LPARAM position) {
    const int32_t card = cardAtPosition(state.window, position);
    if (card >= 0) choose(state, card);
}

// The language of a choice key, -1 for Escape, -2 for a key that does nothing. Digits of the main
// row only; letters arrive as their capital virtual key with or without Shift.
int32_t languageOfKey(WPARAM key) {
    switch (key) {
    case '1':
    case 'C': return SimplifiedChinese;
    case '2':
    case 'T': return TraditionalChinese;
    case '3':
    case 'E': return English;
    case VK_ESCAPE: return -1;
    default: return -2;
    }
}

// Tab and Shift+Tab move over the cards, wrapping; Space and Enter choose the focused one.
void onLanguageKey(LanguageWindowState& state, WPARAM key) {
    if (key == VK_TAB) {
        const bool back = GetKeyState(VK_SHIFT) < 0;
        if (state.focusedChoice < 0)
            state.focusedChoice = back ? ChoiceCount - 1 : 0;
        else
            state.focusedChoice = (state.focusedChoice + (back ? ChoiceCount - 1 : 1)) % ChoiceCount;
        showFocusCues(state.window);
        InvalidateRect(state.window, nullptr, FALSE);
        return;
    }
    if ((key == VK_RETURN || key == VK_SPACE) && state.focusedChoice >= 0) return choose(state, state.focusedChoice);
    const int32_t language = languageOfKey(key);
    if (language >= -1) choose(state, language);
}

bool onLanguageSetCursor(const LanguageWindowState& state, LPARAM hitCode) {
    if (LOWORD(hitCode) != HTCLIENT || state.hotChoice < 0) return false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
}

}  // namespace

float languageScale(int clientWidth, int clientHeight, UINT dpi) {
    const float d = static_cast<float>(dpi) / 96.0f;
    const float rw = clientWidth > 0 ? static_cast<float>(clientWidth) / LanguageDesignWidth : d;
    const float rh = clientHeight > 0 ? static_cast<float>(clientHeight) / LanguageDesignHeight : d;
    return std::max(std::min(std::min(rw, rh), d), MinimumLanguageScale);
}

int32_t languageCardAt(float x, float y) {
    if (y < CardTop || y > CardTop + CardHeight) return -1;
    for (int32_t i = 0; i < ChoiceCount; ++i) {
        const float left = CardLeft + CardStep * static_cast<float>(i);
        if (x >= left && x <= left + CardWidth) return i;
    }
    return -1;
}

std::vector<AccessibleItem> languageWindowItems(const LanguageWindowState& state, float scale) {
    std::vector<AccessibleItem> cards;
    for (int32_t i = 0; i < ChoiceCount; ++i) {
        const float x = CardLeft + CardStep * static_cast<float>(i);
        const RECT bounds{static_cast<LONG>(x * scale), static_cast<LONG>(CardTop * scale),
                          static_cast<LONG>((x + CardWidth) * scale),
                          static_cast<LONG>((CardTop + CardHeight) * scale)};
        // Each card speaks its own language, the press action included.
        long flags = STATE_SYSTEM_FOCUSABLE;
        if (i == state.hotChoice) flags |= STATE_SYSTEM_HOTTRACKED;
        if (i == state.focusedChoice) flags |= STATE_SYSTEM_FOCUSED;
        const wchar_t digit[2] = {static_cast<wchar_t>(L'1' + i), 0};
        cards.push_back({i,
                         ROLE_SYSTEM_PUSHBUTTON,
                         flags,
                         languageLongLabel(i),
                         {},
                         accessibleText(i, PressAction),
                         bounds,
                         digit});
    }
    return cards;
}

void paintLanguageContent(DrawContext& dc, const LanguageWindowState& state, float W, float H, bool focusRing) {
    const Palette& c = state.palette;
    const Brush wash = makeGradientBrush({0, 0}, {W, H}, c.languageWashStart, c.languageWashEnd);
    dc.record(wash.status);
    if (wash.get()) dc.record(gp::GdipFillRectangle(dc.graphics, wash.get(), 0, 0, W, H));

    // The title is English whatever the user is about to choose.
    const RectF titleBox{TitleLeft, TitleTop, W - 2 * TitleLeft, TitleHeight};
    drawText(dc, state.choiceFamilies[English].get(), L"Language Select", -1, TitleSize, StyleBold, c.languageTitle,
             titleBox, AlignCentre, TrimCharacter, 0.0f);

    for (int32_t i = 0; i < ChoiceCount; ++i) {
        const float x = CardLeft + CardStep * static_cast<float>(i);
        const bool hot = i == state.hotChoice;
        const RectF card{x, CardTop, CardWidth, CardHeight};
        fillRoundedRect(dc, {x + ShadowDx, CardTop + ShadowDy, CardWidth, CardHeight}, CardRadius, c.cardShadow);
        fillRoundedRect(dc, card, CardRadius, hot ? c.cardFaceHot : c.cardFace);
        strokeRoundedRect(dc, card, CardRadius, hot ? c.cardBorderHot : c.cardBorder);
        if (hot) drawHotOutline(dc, c, card, CardRadius);
        // Each label in its own script's family, so a reader finds their language whatever is installed.
        drawText(dc, state.choiceFamilies[i].get(), languageLongLabel(i), -1, LabelSize, StyleBold, c.cardLabel,
                 {x + LabelInset, CardTop, LabelWidth, CardHeight}, AlignCentre, TrimCharacter,
                 i == TraditionalChinese ? TraditionalBoldOffset : 0.0f);
        if (focusRing && i == state.focusedChoice) drawFocusRing(dc, c, card, CardRadius);
    }
}

LRESULT CALLBACK languageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* state = static_cast<LanguageWindowState*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        state->window = window;
        state->focusHidden = (SendMessageW(window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
        return DefWindowProcW(window, message, wParam, lParam);
    }
    LanguageWindowState* state = stateOf(window);
    if (!state) return DefWindowProcW(window, message, wParam, lParam);

    switch (message) {
    case WM_PAINT: onLanguagePaint(*state); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SETCURSOR:
        if (onLanguageSetCursor(*state, lParam)) return 1;
        break;
    case WM_MOUSEMOVE: onLanguageMouseMove(*state, lParam); return 0;
    case WM_MOUSELEAVE: onLanguageMouseLeave(*state); return 0;
    case WM_LBUTTONUP: onLanguageClick(*state, lParam); return 0;
    case WM_KEYDOWN: onLanguageKey(*state, wParam); return 0;
    case WM_SETFOCUS:
        announceFocus(window, accessibleCards(window));
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    case WM_KILLFOCUS: InvalidateRect(window, nullptr, FALSE); return 0;
    case WM_UPDATEUISTATE:
        DefWindowProcW(window, message, wParam, lParam);
        state->focusHidden = focusHiddenAfter(window, wParam, state->focusHidden);
        InvalidateRect(window, nullptr, FALSE);
        return 0;
    // The user switched a high-contrast theme on or off, or changed its colours.
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED:
        state->palette = systemPalette();
        InvalidateRect(window, nullptr, FALSE);
        break;
    case WM_CLOSE: choose(*state, -1); return 0;
    case WM_GETOBJECT: return answerGetObject(window, wParam, lParam, &LanguageAccessibleSource);
    case WM_ACCESSIBLE_ACTION:
        if (canChoose(window, static_cast<int>(wParam))) choose(*state, static_cast<int32_t>(wParam));
        return 0;
    case WM_NCDESTROY: {
        // The modal loop watches window, so it is cleared only after the default handling.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        DefWindowProcW(window, message, wParam, lParam);
        state->window = nullptr;
        return 0;
    }
    default: break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int32_t runLanguageWindow(HINSTANCE instance) {
    LanguageWindowState state;
    state.instance = instance;
    for (int32_t i = 0; i < ChoiceCount; ++i) state.choiceFamilies[i] = createFontFamily(i);

    registerWindowClass(instance, LanguageWindowClass, languageWindowProc);
    const WindowRect rect =
        initialWindowRect(static_cast<int>(LanguageDesignWidth), static_cast<int>(LanguageDesignHeight), MinimumWidth,
                          MinimumHeight, WindowStyle);
    HWND window = CreateWindowExW(WS_EX_APPWINDOW, LanguageWindowClass, LanguageWindowTitle, WindowStyle, rect.x,
                                  rect.y, rect.width, rect.height, nullptr, nullptr, instance, &state);
    if (window) {
        applyLightTitleBar(window);
        ShowWindow(window, SW_SHOWNORMAL);
        UpdateWindow(window);
        // Every message of the thread, since the window may be the only one; the window procedure
        // ends the loop by clearing state.window when the window is gone.
        MSG message{};
        while (state.window && IsWindow(state.window)) {
            if (GetMessageW(&message, nullptr, 0, 0) <= 0) break;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        // A quit message ended the loop early: the window must not outlive the state it points to.
        if (state.window) DestroyWindow(state.window);
    }
    for (int32_t i = ChoiceCount - 1; i >= 0; --i) state.choiceFamilies[i].reset();
    return state.chosenLanguage;
}
