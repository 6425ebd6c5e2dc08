// Patch source and target checks. (skeleton: to be filled in)
#include "install/checks.h"

#include "app/installer_app.h"

uint64_t fileSizeOf(const std::wstring&) { return 0; }
bool isSameFile(const std::wstring&, const std::wstring&) { return false; }
std::wstring targetPathOf(const InstallerApp&) { return {}; }
void refreshTargetState(InstallerApp&) {}
bool hasRoomForPatch(uint64_t, uint64_t, uint64_t) { return true; }
void startInstall(InstallerApp&) {}
