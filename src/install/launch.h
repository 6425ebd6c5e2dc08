// The elevated restart and the start of the game.
#pragma once

#include <string>

struct InstallerApp;

// "--lang <code> --dest "<path>"" for the selected location.
std::wstring restartParameters(const InstallerApp& app);
void restartElevated(InstallerApp& app);
void launchGame(InstallerApp& app);
