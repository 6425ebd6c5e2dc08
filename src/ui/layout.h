// Where every control of the main window lies, at any size and DPI, and which control a point hits.
#pragma once

#include <windows.h>

#include <cstdint>

#include "ui/geometry.h"

struct InstallerApp;

enum ControlId : int32_t {
    None = 0,
    ChipSimplified = 1,
    ChipTraditional = 2,
    ChipEnglish = 3,
    MusicToggle = 4,
    ChooseFolderButton = 5,
    DetectAgainButton = 6,
    PrevLocationButton = 7,
    NextLocationButton = 8,
    ActionButton = 9,
    CloseButton = 10,
    OpenAppFolderButton = 11,
};

struct MainLayout {
    RectF controls[11];  // control id n at index n - 1
    RectF panel;
    RectF patchCard;
    RectF locationLabel;
    RectF locationCard;
    RectF statusLine;
    RectF progressTrack;

    const RectF& control(ControlId id) const { return controls[id - 1]; }
};

constexpr float DesignWidth = 920.0f;
constexpr float DesignHeight = 620.0f;
constexpr float MinimumScale = 0.65f;

// The scale of a window's content and its client size in logical pixels.
struct LogicalView {
    float scale = 1.0f;
    float width = 0.0f;
    float height = 0.0f;
};

float contentScale(int clientWidth, int clientHeight, UINT dpi);
LogicalView logicalViewOf(HWND window);
MainLayout computeLayout(int32_t uiState, float W, float H);
// Whether the control answers the mouse in the current state; one that does not is never drawn hot.
bool isControlLive(const InstallerApp& app, ControlId id);
// The control under a logical point of a W x H logical client.
ControlId hitTest(const InstallerApp& app, float W, float H, float x, float y);
// The same for the main window's current client size.
ControlId hitTest(const InstallerApp& app, float x, float y);
// Minimum tracking size for a work area of ww x wh at the given DPI.
SIZE minimumTrackSize(int workWidth, int workHeight, UINT dpi);
void onMainGetMinMaxInfo(HWND window, MINMAXINFO* info);
void onMainDpiChanged(HWND window, const RECT* suggested);
