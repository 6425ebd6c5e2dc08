// The frame of the main window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "ui/draw.h"
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
