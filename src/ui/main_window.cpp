// Main window controller. (skeleton: to be filled in)
#include "ui/main_window.h"

#include "app/installer_app.h"

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* app = static_cast<InstallerApp*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        app->mainWindow = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(app));
    }
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
