// The main window draws its texts itself, so nothing outside the process can read them. Two hidden
// static children carry the status line and the shown install location as window text, where
// accessibility and automation tools (and the end-to-end tests) read them with WM_GETTEXT.
#pragma once

#include <windows.h>

#include <string>

constexpr int StatusMirrorId = 100;
constexpr int LocationMirrorId = 101;

void createStatusMirrors(HWND mainWindow);
// Updates a mirror only when its text changed; safe to call from every paint.
void updateStatusMirror(HWND mainWindow, int mirrorId, const std::wstring& text);
