// The main window's procedure: binding to the application object, the state machine's inputs
// (clicks, keys, the copy worker's messages) and closing.
#include "ui/main_window.h"

#include <windowsx.h>
#include <shellapi.h>

#include <algorithm>

#include "audio/music.h"
#include "base/win32.h"
#include "install/checks.h"
#include "install/installer_app.h"
#include "install/launch.h"
#include "install/locations.h"
#include "install/worker.h"
#include "ui/layout.h"
#include "ui/paint.h"

namespace {

constexpr UINT ConfirmExitStyle = MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2;  // No is the default
constexpr WPARAM KeyB = 'B';
constexpr WPARAM KeyM = 'M';
constexpr LPARAM KeyRepeat = 1 << 30;  // the key was already down: an auto-repeat

// The control under a mouse message's client position, in the layout of the current size and DPI.
ControlId controlAt(const InstallerApp& app, LPARAM position) {
    const LogicalView view = logicalViewOf(app.mainWindow);
    const float x = static_cast<float>(GET_X_LPARAM(position)) / view.scale;
    const float y = static_cast<float>(GET_Y_LPARAM(position)) / view.scale;
    return hitTest(app, view.width, view.height, x, y);
}

void onMainMouseMove(InstallerApp& app, LPARAM position) {
    const ControlId id = controlAt(app, position);
    if (id != app.hoverControl) {
        app.hoverControl = id;
        requestRepaint(app);
    }
    trackMouseLeave(app.mainWindow, app.mouseTracking);
}

void onMainMouseLeave(InstallerApp& app) {
    if (app.hoverControl != None) {
        app.hoverControl = None;
        requestRepaint(app);
    }
    app.mouseTracking = false;
}

bool onMainSetCursor(const InstallerApp& app, LPARAM hitCode) {
    const auto hovered = static_cast<ControlId>(app.hoverControl);
    if (LOWORD(hitCode) != HTCLIENT || hovered == None || !isControlLive(app, hovered)) return false;
    SetCursor(LoadCursorW(nullptr, IDC_HAND));
    return true;
}

void redetect(InstallerApp& app) {
    detectGameLocations(app);
    requestRepaint(app);
}

// What a click on the control does; also the default action that assistive tools ask for.
void runControl(InstallerApp& app, ControlId id) {
    switch (id) {
    case ChipSimplified: setLanguage(app, SimplifiedChinese); break;
    case ChipTraditional: setLanguage(app, TraditionalChinese); break;
    case ChipEnglish: setLanguage(app, English); break;
    case MusicToggle:
        if (app.musicPlayer) toggleMusicMute(*app.musicPlayer);
        requestRepaint(app);
        break;
    case ChooseFolderButton: chooseGameFolder(app); break;
    case DetectAgainButton: redetect(app); break;
    case PrevLocationButton: stepLocation(app, false); break;
    case NextLocationButton: stepLocation(app, true); break;
    case ActionButton: runMainAction(app); break;
    case CloseButton: SendMessageW(app.mainWindow, WM_CLOSE, 0, 0); break;
    case OpenAppFolderButton:
        // Opening the folder is a convenience; a failure is not worth a message.
        ShellExecuteW(app.mainWindow, L"open", app.installerDir.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
        break;
    case None: break;
    }
}

void onMainClick(InstallerApp& app, LPARAM position) {
    // A click is the release over a control, wherever the press happened; there is no capture.
    runControl(app, controlAt(app, position));
}

InstallerApp* appOf(HWND window) { return reinterpret_cast<InstallerApp*>(GetWindowLongPtrW(window, GWLP_USERDATA)); }

std::vector<AccessibleItem> accessibleItems(HWND window) {
    const InstallerApp* app = appOf(window);
    if (!app) return {};
    const LogicalView view = logicalViewOf(window);
    return mainWindowItems(*app, view.width, view.height, view.scale, app->focusControl);
}

bool isAccessibleControl(int key) { return key >= ChipSimplified && key <= OpenAppFolderButton; }

// A mouse cannot reach the window while a message box or picker it owns is open; neither can a tool.
bool canActFor(HWND window, int key) {
    const InstallerApp* app = appOf(window);
    return app && IsWindowEnabled(window) && isAccessibleControl(key) &&
           isControlLive(*app, static_cast<ControlId>(key));
}

const AccessibleSource MainAccessibleSource{accessibleItems, canActFor};

// Checked again on arrival: the state may have changed since the tool asked.
void onAccessibleAction(InstallerApp& app, WPARAM key) {
    if (canActFor(app.mainWindow, static_cast<int>(key))) runControl(app, static_cast<ControlId>(key));
}

void onMainPaint(InstallerApp& app) {
    // The palette is read at every paint, so that a high-contrast theme switched on or off shows at once.
    FrameLook frame{systemPalette(), None};
    if (!app.focusCuesHidden && GetFocus() == app.mainWindow) frame.focusRing = app.focusControl;
    paintMainWindow(app, frame);
    announceChanges(app.mainWindow, app.announcedItems, accessibleItems(app.mainWindow));
}

// Tab and Shift+Tab: the next or previous live control in reading order, wrapping at both ends.
void moveFocus(InstallerApp& app, bool forward) {
    std::vector<ControlId> order;
    for (const AccessibleItem& item : accessibleItems(app.mainWindow))
        if (item.state & STATE_SYSTEM_FOCUSABLE) order.push_back(static_cast<ControlId>(item.key));
    if (order.empty()) return;
    const size_t n = order.size();
    const size_t at = static_cast<size_t>(std::find(order.begin(), order.end(), app.focusControl) - order.begin());
    if (at == n)
        app.focusControl = forward ? order.front() : order.back();
    else
        app.focusControl = order[forward ? (at + 1) % n : (at + n - 1) % n];
    showFocusCues(app.mainWindow);
    requestRepaint(app);
}

// A focus on a control that went away or turned inert moves to the main button, or to none.
void settleFocus(InstallerApp& app) {
    const auto focus = static_cast<ControlId>(app.focusControl);
    if (focus == None || isControlLive(app, focus)) return;
    app.focusControl = isControlLive(app, ActionButton) ? ActionButton : None;
    requestRepaint(app);
}

void pressFocused(InstallerApp& app) {
    const auto focus = static_cast<ControlId>(app.focusControl);
    if (focus != None && isControlLive(app, focus)) runControl(app, focus);
}

void onMainKeyDown(InstallerApp& app, WPARAM key, LPARAM flags) {
    // A held key presses a focused control once: the repeat must not cancel the install it started.
    const bool repeat = (flags & KeyRepeat) != 0;
    // Unlike the mouse, keys are not limited by the state: F5 and Ctrl+B work during an install too.
    switch (key) {
    case VK_TAB: moveFocus(app, GetKeyState(VK_SHIFT) >= 0); break;
    case VK_SPACE:
        if (!repeat) pressFocused(app);
        break;
    case VK_RETURN:
        if (app.focusControl != None) {
            if (!repeat) pressFocused(app);
        } else if (app.uiState != StateInstalling) {
            runMainAction(app);
        }
        break;
    case KeyM:
        if (!repeat && GetKeyState(VK_CONTROL) >= 0) runControl(app, MusicToggle);
        break;
    case VK_F5: redetect(app); break;
    case KeyB:
        if (GetKeyState(VK_CONTROL) < 0) chooseGameFolder(app);
        break;
    case VK_ESCAPE:
        if (app.uiState == StateInstalling)
            requestCancel(app);
        else
            SendMessageW(app.mainWindow, WM_CLOSE, 0, 0);
        break;
    default: break;
    }
}

void onMainClose(InstallerApp& app) {
    if (app.uiState == StateInstalling) {
        if (showMessage(app, text(app.language, ConfirmCancelExit), ConfirmExitStyle) != IDYES) return;
        // No wait here: the teardown joins the worker once the message loop has ended.
        requestCancel(app);
    }
    DestroyWindow(app.mainWindow);
}

LRESULT handleMainMessage(InstallerApp& app, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_DESTROY: PostQuitMessage(0); return 0;
    case WM_SIZE: InvalidateRect(window, nullptr, FALSE); return 0;
    case WM_PAINT: onMainPaint(app); return 0;
    case WM_SETFOCUS:
        announceFocus(window, accessibleItems(window));
        requestRepaint(app);
        return 0;
    case WM_KILLFOCUS: requestRepaint(app); return 0;
    case WM_UPDATEUISTATE:
        DefWindowProcW(window, message, wParam, lParam);
        app.focusCuesHidden = focusHiddenAfter(window, wParam, app.focusCuesHidden);
        requestRepaint(app);
        return 0;
    // The user switched a high-contrast theme on or off, or changed its colours.
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED: requestRepaint(app); break;
    case WM_CLOSE: onMainClose(app); return 0;
    case WM_ERASEBKGND: return 1;  // the paint pass covers every pixel
    case WM_SETCURSOR:
        if (onMainSetCursor(app, lParam)) return 1;
        break;
    case WM_GETMINMAXINFO: onMainGetMinMaxInfo(window, reinterpret_cast<MINMAXINFO*>(lParam)); return 0;
    case WM_KEYDOWN: onMainKeyDown(app, wParam, lParam); return 0;
    case WM_MOUSEMOVE: onMainMouseMove(app, lParam); return 0;
    case WM_LBUTTONUP: onMainClick(app, lParam); return 0;
    case WM_MOUSELEAVE: onMainMouseLeave(app); return 0;
    case WM_DPICHANGED: onMainDpiChanged(window, reinterpret_cast<const RECT*>(lParam)); return 0;
    case WM_INSTALL_PROGRESS: onInstallProgress(app, wParam); return 0;
    case WM_INSTALL_DONE: onInstallDone(app); return 0;
    case WM_GETOBJECT: return answerGetObject(window, wParam, lParam, &MainAccessibleSource);
    case WM_ACCESSIBLE_ACTION: onAccessibleAction(app, wParam); return 0;
    default: break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void setLanguage(InstallerApp& app, int32_t language) {
    if (language == app.language) return;
    app.language = language;
    app.fontFamily = createFontFamily(language);  // releases the family it replaces
    if (app.mainWindow) {
        SetWindowTextW(app.mainWindow, text(language, WindowTitle));
        requestRepaint(app);
    }
}

void runMainAction(InstallerApp& app) {
    switch (app.uiState) {
    case StateCompleted: launchGame(app); break;
    // The state changes only when the worker's end message arrives.
    case StateInstalling: requestCancel(app); break;
    case StateReady:
    case StateCancelled:
    case StateFailed: startInstall(app); break;
    }
}

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* app = static_cast<InstallerApp*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        app->mainWindow = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(app));
        app->focusControl = None;
        app->focusCuesHidden = (SendMessageW(window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0;
    }
    // Null until WM_NCCREATE: WM_GETMINMAXINFO arrives before it.
    InstallerApp* app = appOf(window);
    if (!app) return DefWindowProcW(window, message, wParam, lParam);
    const LRESULT result = handleMainMessage(*app, window, message, wParam, lParam);
    // Whatever the message changed, the focus stays on a live control.
    if (IsWindow(window)) settleFocus(*app);
    return result;
}
