// Small Win32 helpers shared by both windows and the music.
#include "base/win32.h"

#include <string>
#include <vector>

namespace {

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);

constexpr UINT DefaultDpi = 96;
constexpr UINT SystemFolderBuffer = 512;
// Older Windows 10 releases knew the dark-mode attribute under 19 before it became 20.
constexpr DWORD DarkModeAttribute = 20;
constexpr DWORD DarkModeAttributeOld = 19;

GetDpiForWindowFn dpiForWindowFunction() {
    // A function-local static is initialised exactly once, even when threads race to the first call.
    static const GetDpiForWindowFn function =
        procAddress<GetDpiForWindowFn>(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
    return function;
}

}  // namespace

HMODULE loadSystemLibrary(const wchar_t* name) {
    std::vector<wchar_t> buffer(SystemFolderBuffer);
    UINT got = GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (got == 0) return nullptr;
    if (got >= buffer.size()) {
        buffer.resize(got + 1);
        got = GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
        if (got == 0 || got >= buffer.size()) return nullptr;
    }
    std::wstring path(buffer.data(), got);
    if (path.back() != L'\\') path += L'\\';
    return LoadLibraryW((path + name).c_str());
}

UINT windowDpi(HWND window) {
    const GetDpiForWindowFn dpiForWindow = dpiForWindowFunction();
    if (window && dpiForWindow) return dpiForWindow(window);
    HDC dc = GetDC(window);
    if (!dc) return DefaultDpi;
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(window, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : DefaultDpi;
}

void applyLightTitleBar(HWND window) {
    using SetAttributeFn = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
    HMODULE dwmapi = loadSystemLibrary(L"dwmapi.dll");
    if (!dwmapi) return;
    if (auto setAttribute = procAddress<SetAttributeFn>(dwmapi, "DwmSetWindowAttribute")) {
        const BOOL dark = FALSE;
        if (FAILED(setAttribute(window, DarkModeAttribute, &dark, sizeof(dark))))
            setAttribute(window, DarkModeAttributeOld, &dark, sizeof(dark));
    }
    FreeLibrary(dwmapi);
}

void trackMouseLeave(HWND window, bool& tracking) {
    if (tracking) return;
    TRACKMOUSEEVENT track{};
    track.cbSize = sizeof(track);
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = window;
    TrackMouseEvent(&track);
    tracking = true;
}

bool focusHiddenAfter(HWND window, WPARAM update, bool hidden) {
    if (!(HIWORD(update) & UISF_HIDEFOCUS)) return hidden;
    switch (LOWORD(update)) {
    case UIS_SET: return true;
    case UIS_CLEAR: return false;
    // UIS_INITIALIZE: the system chose by the last input, mouse or keyboard.
    default: return (SendMessageW(window, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) != 0;
    }
}

void showFocusCues(HWND window) {
    // A top-level window's default procedure answers with WM_UPDATEUISTATE when the change is allowed.
    // (Wine 8 neither forwards this nor keeps a state: there the cues are never hidden.)
    SendMessageW(window, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
}
