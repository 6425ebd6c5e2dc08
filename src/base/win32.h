// Small Win32 helpers that both windows and the music use: run-time lookups, system-folder loading,
// a window's DPI, the light title bar and mouse-leave tracking.
#pragma once

#include <windows.h>

// Typed lookup of an exported function, for entry points that may be missing on older systems.
template <typename Fn>
Fn procAddress(HMODULE module, const char* name) {
    if (!module) return nullptr;
    // Through void* so that the cast between function types draws no warning.
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Loads a DLL by its full path in the system folder, never from the installer's own folder.
HMODULE loadSystemLibrary(const wchar_t* name);
UINT windowDpi(HWND window);
void applyLightTitleBar(HWND window);
// Asks once for WM_MOUSELEAVE; the flag is set whatever the call returns, so that a failed request
// is not repeated on every move. The leave handler clears it.
void trackMouseLeave(HWND window, bool& tracking);
// Windows' rule for focus cues on a window that draws its own focus: whether they stay hidden after a
// WM_UPDATEUISTATE with these parameters, given whether they were. Cues are hidden until the keyboard is
// used (UISF_HIDEFOCUS), unless the user asked to see them always.
bool focusHiddenAfter(HWND window, WPARAM update, bool hidden);
// Asks for the focus cues to show, as keyboard navigation in a dialog does.
void showFocusCues(HWND window);
