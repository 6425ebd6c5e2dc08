// The window procedure of the main installer window and the actions behind its clicks and keys.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr const wchar_t* MainWindowClass = L"GenericPatchInstallerMain";

struct InstallerApp;

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Switches the running window to another language: texts, font family and title.
void setLanguage(InstallerApp& app, int32_t language);
// Install, cancel or launch, by the current state: the main button and the Enter key.
void runMainAction(InstallerApp& app);
