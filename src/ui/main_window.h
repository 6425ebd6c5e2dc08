// The window procedure of the main installer window and the actions behind its clicks and keys.
#pragma once

#include <windows.h>

constexpr const wchar_t* MainWindowClass = L"GenericPatchInstallerMain";

struct InstallerApp;

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Install, cancel or launch, by the current state: the main button and the Enter key.
void runMainAction(InstallerApp& app);
