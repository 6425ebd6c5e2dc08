// Main window painting. (skeleton: to be filled in)
#include "ui/paint.h"

#include "app/installer_app.h"

std::wstring patchSizeText(uint64_t) { return {}; }
void drawMainFrame(const InstallerApp&, DrawContext&, int, int, UINT) {}
void paintMainWindow(InstallerApp& app) {
    PAINTSTRUCT ps;
    BeginPaint(app.mainWindow, &ps);
    EndPaint(app.mainWindow, &ps);
}
