#include "ui/status_mirror.h"

#include <vector>

void createStatusMirrors(HWND mainWindow) {
    const HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(mainWindow, GWLP_HINSTANCE));
    for (int id : {StatusMirrorId, LocationMirrorId}) {
        // Not WS_VISIBLE: the window's own painting shows these texts.
        CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 0, 0, mainWindow,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    }
}

void updateStatusMirror(HWND mainWindow, int mirrorId, const std::wstring& text) {
    HWND mirror = GetDlgItem(mainWindow, mirrorId);
    if (!mirror) return;
    const int length = GetWindowTextLengthW(mirror);
    std::vector<wchar_t> current(static_cast<size_t>(length) + 1);
    GetWindowTextW(mirror, current.data(), length + 1);
    if (text != current.data()) SetWindowTextW(mirror, text.c_str());
}
