// Layout of the main window on its 920 x 620 design canvas, the DPI scale, hit-testing and size limits.
#include "ui/layout.h"

#include <algorithm>

#include "base/win32.h"
#include "install/installer_app.h"

namespace {

constexpr float PanelMargin = 28.0f;
constexpr float Inset = 22.0f;
constexpr float ButtonGap = 10.0f;
}  // namespace

float contentScale(int clientWidth, int clientHeight, UINT dpi) {
    const float d = static_cast<float>(dpi) / 96.0f;
    const float rw = clientWidth > 0 ? static_cast<float>(clientWidth) / DesignWidth : d;
    const float rh = clientHeight > 0 ? static_cast<float>(clientHeight) / DesignHeight : d;
    return std::max(std::min(std::min(rw, rh), d), MinimumScale);
}

LogicalView logicalViewOf(HWND window) {
    RECT client{};
    if (window) GetClientRect(window, &client);
    const int cw = client.right - client.left;
    const int ch = client.bottom - client.top;
    LogicalView view;
    view.scale = contentScale(cw, ch, windowDpi(window));
    view.width = static_cast<float>(cw) / view.scale;
    view.height = static_cast<float>(ch) / view.scale;
    return view;
}

MainLayout computeLayout(int32_t uiState, float W, float H) {
    const float pw = std::min(0.56f * W, 540.0f);
    const float ph = std::min(590.0f, H - 56.0f);
    const float py = std::max(0.0f, (H - ph) * 0.5f);
    const float px = W - PanelMargin - pw;
    // The middle rows take the spare height (up to 26) in different shares; the bottom rows stay anchored.
    const float e = std::max(0.0f, ph - 564.0f);
    const float R = px + pw - Inset;
    const float iw = pw - 2 * Inset;
    const float bottomRow = py + ph - 117.0f;
    const float trackY = py + ph - 133.0f;

    MainLayout L;
    auto set = [&L](ControlId id, float x, float y, float w, float h) { L.controls[id - 1] = {x, y, w, h}; };
    set(ChipSimplified, 28, 26, 58, 36);
    set(ChipTraditional, 88, 26, 58, 36);
    set(ChipEnglish, 148, 26, 54, 36);
    set(MusicToggle, 214, 24, 42, 40);
    set(ChooseFolderButton, px + Inset, py + 333 + 0.35f * e, 154, 40);
    set(DetectAgainButton, px + 186, py + 333 + 0.35f * e, 142, 40);
    set(PrevLocationButton, R - 80, py + 242 + 0.15f * e, 30, 30);
    set(NextLocationButton, R - 42, py + 242 + 0.15f * e, 30, 30);
    if (uiState == StateCompleted) {
        const float bw = (iw - ButtonGap) * 0.6f;
        set(ActionButton, px + Inset, bottomRow, bw, 52);
        set(CloseButton, px + Inset + bw + ButtonGap, bottomRow, iw - bw - ButtonGap, 52);
    } else {
        set(ActionButton, px + Inset, bottomRow, iw, 52);
    }
    set(OpenAppFolderButton, R - 162, py + 138, 145, 34);
    L.panel = {px, py, pw, ph};
    L.patchCard = {px + Inset, py + 119, iw, 72};
    L.locationLabel = {px + Inset, py + 205 + 0.15f * e, 260, 20};
    L.locationCard = {px + Inset, py + 229 + 0.15f * e, iw, 92};
    const float ys = py + 382 + 0.6f * e;
    L.statusLine = {px + Inset, ys, iw, std::min(std::max(trackY - ys - 8.0f, 20.0f), 32.0f)};
    L.progressTrack = {px + Inset, trackY, iw, 8};
    return L;
}

bool isControlLive(const InstallerApp& app, ControlId id) {
    const bool installing = app.uiState == StateInstalling;
    switch (id) {
    case ChipSimplified:
    case ChipTraditional:
    case ChipEnglish:
    case MusicToggle: return true;
    case ChooseFolderButton:
    case DetectAgainButton: return !installing;
    case PrevLocationButton:
    case NextLocationButton: return !installing && app.candidates.size() >= 2;
    case CloseButton: return app.uiState == StateCompleted;
    case ActionButton: return installing || app.uiState == StateCompleted || (app.patchFound && hasValidSelection(app));
    case OpenAppFolderButton: return !app.patchFound;
    case None: break;
    }
    return false;
}

ControlId hitTest(const InstallerApp& app, float W, float H, float x, float y) {
    const MainLayout L = computeLayout(app.uiState, W, H);
    // The order settles overlaps: the close button before the main button it borders.
    for (ControlId id :
         {ChipSimplified, ChipTraditional, ChipEnglish, MusicToggle, ChooseFolderButton, DetectAgainButton,
          PrevLocationButton, NextLocationButton, CloseButton, ActionButton, OpenAppFolderButton}) {
        if (isControlLive(app, id) && containsPoint(L.control(id), x, y)) return id;
    }
    return None;
}

ControlId hitTest(const InstallerApp& app, float x, float y) {
    const LogicalView view = logicalViewOf(app.mainWindow);
    return hitTest(app, view.width, view.height, x, y);
}

SIZE minimumTrackSize(int workWidth, int workHeight, UINT dpi) {
    // Never below the design size at this DPI unless the work area is smaller, and never below 640 x 500.
    SIZE size;
    size.cx = std::min(std::max(workWidth, 656) - 16, MulDiv(920, static_cast<int>(dpi), 96));
    size.cy = std::min(std::max(workHeight, 516) - 16, MulDiv(620, static_cast<int>(dpi), 96));
    return size;
}

void onMainGetMinMaxInfo(HWND window, MINMAXINFO* info) {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    const SIZE size = minimumTrackSize(work.right - work.left, work.bottom - work.top, windowDpi(window));
    info->ptMinTrackSize.x = size.cx;
    info->ptMinTrackSize.y = size.cy;
}

void onMainDpiChanged(HWND window, const RECT* suggested) {
    // Fonts, layout and scale are derived anew on every paint and mouse message; only the frame moves.
    SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
}
