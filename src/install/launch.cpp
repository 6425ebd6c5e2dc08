// Elevated restart and game launch. (skeleton: to be filled in)
#include "install/launch.h"

#include "app/installer_app.h"

std::wstring restartParameters(const InstallerApp&) { return {}; }
void restartElevated(InstallerApp&) {}
void launchGame(InstallerApp&) {}
