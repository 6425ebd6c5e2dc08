// The frame of the main window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ui/draw.h"
#include "base/accessible.h"
#include "base/owned.h"

struct InstallerApp;

// How a frame looks beside what the application object says: its colours and the focus ring.
struct FrameLook {
    Palette palette = standardPalette();
    int32_t focusRing = 0;  // the ControlId drawn with the keyboard focus ring, 0 for none
};

// "1023 B", "1.50 KB", ... up to "TB".
std::wstring patchSizeText(uint64_t size);
// Draws one frame of w x h device pixels into the context, with the picture (may be null) scaled to
// cover it, unless the palette leaves the picture out; used by WM_PAINT, the screenshot tool and benchmarks.
void drawMainFrame(const InstallerApp& app, DrawContext& dc, int w, int h, UINT dpi, Gdiplus::GpImage* picture,
                   const FrameLook& look = {});
void paintMainWindow(InstallerApp& app, const FrameLook& look);
// The picture scaled once to cover a w x h device client, in the pixel format GDI+ blends fastest.
OwnedImage coverScaledCopy(Gdiplus::GpImage* picture, int w, int h);

// Keys of the texts that assistive tools read; the controls use their ControlId.
enum FrameText : int {
    SubtitleText = 100,
    GameTitleText,
    PatchHeadlineText,
    PatchDetailText,
    LocationLabelText,
    LocationOriginText,
    LocationPathText,
    LocationCounterText,
    StatusLineText,
    ProgressTrack,
    FooterText,
};

// What assistive tools are told of a frame drawn at this logical size and scale: every text and
// control it shows, in reading order (rows from the top, each from the left), with the rectangle it is
// drawn in; the live controls are focusable, the one with the keyboard focus (a ControlId) focused.
std::vector<AccessibleItem> mainWindowItems(const InstallerApp& app, float W, float H, float scale, int32_t focus = 0);
