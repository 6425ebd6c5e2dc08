// Language selection window. (skeleton: to be filled in)
#include "app/language_window.h"

float languageScale(int, int, UINT) { return 1.0f; }
int32_t languageCardAt(float, float) { return -1; }
LRESULT CALLBACK languageWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(window, message, wParam, lParam);
}
int32_t runLanguageWindow(HINSTANCE) { return English; }
