// The main window's procedure: binding to the application object, the state machine's inputs
// (clicks, keys, the copy worker's messages) and closing.
#include "ui/main_window.h"

#include <windowsx.h>
#include <shellapi.h>

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
    return mainWindowItems(*app, view.width, view.height, view.scale);
}

bool isAccessibleControl(int key) { return key >= ChipSimplified && key <= OpenAppFolderButton; }

bool canActFor(HWND window, int key) {
    const InstallerApp* app = appOf(window);
    return app && isAccessibleControl(key) && isControlLive(*app, static_cast<ControlId>(key));
}

const AccessibleSource MainAccessibleSource{accessibleItems, canActFor};

// Checked again on arrival: the state may have changed since the tool asked.
void onAccessibleAction(InstallerApp& app, WPARAM key) {
    if (canActFor(app.mainWindow, static_cast<int>(key))) runControl(app, static_cast<ControlId>(key));
}

void onMainPaint(InstallerApp& app) {
    paintMainWindow(app);
    announceChanges(app.mainWindow, app.announcedItems, accessibleItems(app.mainWindow));
}

void onMainKeyDown(InstallerApp& app, WPARAM key) {
    // Unlike the mouse, keys are not limited by the state: F5 and Ctrl+B work during an install too.
    switch (key) {
    case VK_RETURN:
        if (app.uiState != StateInstalling) runMainAction(app);
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
    case WM_CLOSE: onMainClose(app); return 0;
    case WM_ERASEBKGND: return 1;  // the paint pass covers every pixel
    case WM_SETCURSOR:
        if (onMainSetCursor(app, lParam)) return 1;
        break;
    case WM_GETMINMAXINFO: onMainGetMinMaxInfo(window, reinterpret_cast<MINMAXINFO*>(lParam)); return 0;
    case WM_KEYDOWN: onMainKeyDown(app, wParam); return 0;
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
    }
    // Null until WM_NCCREATE: WM_GETMINMAXINFO arrives before it.
    InstallerApp* app = appOf(window);
    if (!app) return DefWindowProcW(window, message, wParam, lParam);
    return handleMainMessage(*app, window, message, wParam, lParam);
}
