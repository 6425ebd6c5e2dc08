// Start-up, command line and teardown of the installer process.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "install/installer_app.h"

struct CommandLineOptions {
    bool languageGiven = false;
    int32_t language = SimplifiedChinese;
    std::wstring destOption;
};

struct WindowRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// Limits every later DLL load to the system folder and drops the current directory from the search,
// so that DLLs planted next to the installer (a Downloads folder) are never picked up.
void restrictDllSearch();
CommandLineOptions parseCommandLine(const wchar_t* commandLine);
std::wstring installerFilePath();
// Whether the folder lies at or below the temporary folder (both normalized).
bool isFolderInside(const std::wstring& folder, const std::wstring& tempFolder);
bool isInsideTempFolder();
void loadBackgroundImage(InstallerApp& app);
void registerWindowClass(HINSTANCE instance, const wchar_t* className, WNDPROC procedure);
// The first rectangle for a client of cw x ch on the given work area and system DPI.
WindowRect windowRectFor(int cw, int ch, int minW, int minH, DWORD style, const RECT& workArea, int dpi);
WindowRect initialWindowRect(int cw, int ch, int minW, int minH, DWORD style);
void releaseInstallerApp(InstallerApp& app);
// Starts the music, muted while a screen reader runs so that it never plays over the reader's speech.
void startBackgroundMusic(MusicPlayer& player, HINSTANCE instance);
// The whole run from DPI awareness to teardown; returns the process exit code.
int runInstaller(HINSTANCE instance, int showCommand);
