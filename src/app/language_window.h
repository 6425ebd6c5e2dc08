// The small window that asks for the interface language before anything else.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "base/accessible.h"
#include "base/texts.h"
#include "ui/draw.h"

constexpr const wchar_t* LanguageWindowClass = L"GenericPatchInstallerLanguage";
constexpr const wchar_t* LanguageWindowTitle = L"TavinMere · Patch Installer";
constexpr float LanguageDesignWidth = 650.0f;
constexpr float LanguageDesignHeight = 280.0f;

struct LanguageWindowState {
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    OwnedFontFamily choiceFamilies[3];
    int32_t chosenLanguage = -1;
    int32_t hotChoice = -1;
    bool leaveTracking = false;
    Palette palette = systemPalette();
    int32_t focusedChoice = -1;             // the card Space and Enter choose; none until Tab moves onto one
    bool focusHidden = false;               // UISF_HIDEFOCUS: no ring until the keyboard is used
    std::vector<AccessibleItem> announced;  // what assistive tools were last told
};

// Content scale for a client of the given device size; a dimension of 0 or less leaves the DPI ratio.
float languageScale(int clientWidth, int clientHeight, UINT dpi);
// The card under a logical point, -1 for none; edges belong to the card.
int32_t languageCardAt(float x, float y);
// The three cards as assistive tools see them, in client pixels of a window at that scale.
std::vector<AccessibleItem> languageWindowItems(const LanguageWindowState& state, float scale);
// Draws the whole frame in logical pixels on a canvas W logical pixels wide and H high, with the focus
// ring on the focused card when asked.
void paintLanguageContent(DrawContext& dc, const LanguageWindowState& state, float W, float H, bool focusRing = false);
LRESULT CALLBACK languageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// 0, 1 or 2 for the chosen Language; -1 when the window was closed or could not be made.
int32_t runLanguageWindow(HINSTANCE instance);
