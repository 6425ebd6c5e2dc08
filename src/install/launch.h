// The elevated restart and the start of the game.
#pragma once

#include <cstdint>
#include <string>

struct InstallerApp;

// "--lang <code> --dest "<folder>"", the folder quoted so that CommandLineToArgvW reads it back whole.
std::wstring restartParameters(int32_t language, const std::wstring& folder);
// Offers to start the installer again as administrator for the folder that refused the copy.
void restartElevated(InstallerApp& app, const std::wstring& folder);
// Starts the game that the last install put the patch into.
void launchGame(InstallerApp& app);
