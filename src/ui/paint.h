// The frame of the main window.
#pragma once

#include <cstdint>
#include <string>

#include "ui/draw.h"

struct InstallerApp;

std::wstring patchSizeText(uint64_t size);
// Draws one frame of w x h device pixels into the context; used by WM_PAINT, tests and benchmarks.
void drawMainFrame(const InstallerApp& app, DrawContext& dc, int w, int h, UINT dpi);
void paintMainWindow(InstallerApp& app);
