// The small window that asks for the interface language before anything else.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/texts.h"

constexpr const wchar_t* LanguageWindowClass = L"GenericPatchInstallerLanguage";

struct LanguageWindowState {
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    OwnedFontFamily choiceFamilies[3];
    int32_t chosenLanguage = -1;
    int32_t hotChoice = -1;
    bool leaveTracking = false;
};

float languageScale(int clientWidth, int clientHeight, UINT dpi);
// The card under a logical point, -1 for none.
int32_t languageCardAt(float x, float y);
LRESULT CALLBACK languageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
int32_t runLanguageWindow(HINSTANCE instance);
