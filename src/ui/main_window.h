// The window procedure of the main installer window.
#pragma once

#include <windows.h>

constexpr const wchar_t* MainWindowClass = L"GenericPatchInstallerMain";

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
