// Layout and DPI scaling. (skeleton: to be filled in)
#include "ui/layout.h"

#include "app/installer_app.h"

UINT windowDpi(HWND) { return 96; }
float contentScale(int, int, UINT) { return 1.0f; }
MainLayout computeLayout(int32_t, float, float) { return {}; }
ControlId hitTest(const InstallerApp&, float, float) { return None; }
SIZE minimumTrackSize(int, int, UINT) { return {640, 500}; }
void applyLightTitleBar(HWND) {}
