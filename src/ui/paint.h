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

// "1023 B", "1.50 KB", ... up to "TB".
std::wstring patchSizeText(uint64_t size);
// Draws one frame of w x h device pixels into the context, with the picture (may be null) scaled to
// cover it; used by WM_PAINT, the screenshot tool and benchmarks.
void drawMainFrame(const InstallerApp& app, DrawContext& dc, int w, int h, UINT dpi, Gdiplus::GpImage* picture);
void paintMainWindow(InstallerApp& app);
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
// control it shows, in reading order, with the rectangle it is drawn in.
std::vector<AccessibleItem> mainWindowItems(const InstallerApp& app, float W, float H, float scale);
