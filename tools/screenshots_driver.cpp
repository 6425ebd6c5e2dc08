// Renders one main window frame off-screen, as the window would paint it, and saves it as a PNG.
// Usage: screenshots_driver <state> <language> <client width> <client height> <dpi> <output.png>
//                           [<palette> [<focused control id>]]
// state: ready, notfound, nolocation, installing, completed, cancelled, failed
// language: zh-CN, zh-TW, en
// palette: standard, or a Windows 10 high-contrast theme: hc-black, hc-white (Wine cannot switch one on)
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "install/installer_app.h"
#include "app/startup.h"
#include "audio/music.h"
#include "install/error_text.h"
#include "base/owned.h"
#include "ui/paint.h"

namespace gp = Gdiplus::DllExports;

namespace {

// The stock PNG encoder of GDI+.
const CLSID PngEncoder = {0x557CF406, 0x1A04, 0x11D3, {0x9A, 0x73, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

bool setState(InstallerApp& app, const std::wstring& state) {
    app.patchFound = true;
    app.patchSize = 734003200;  // 700 MiB
    app.candidates.push_back({L"D:\\SteamLibrary\\steamapps\\common\\TavinMere\\game", false, 100, 0});
    app.candidates.push_back({L"C:\\Program Files (x86)\\Steam\\steamapps\\common\\TavinMere\\game", false, 90, 0});
    if (state == L"ready") return true;
    if (state == L"notfound") {
        app.patchFound = false;
        app.patchSize = 0;
        return true;
    }
    if (state == L"nolocation") {
        app.candidates.clear();
        return true;
    }
    if (state == L"installing") {
        app.uiState = StateInstalling;
        app.progressPermille = 500;
        return true;
    }
    if (state == L"completed") {
        app.uiState = StateCompleted;
        app.progressPermille = 1000;
        app.targetExists = true;
        return true;
    }
    if (state == L"cancelled") {
        app.uiState = StateCancelled;
        return true;
    }
    if (state == L"failed") {
        app.uiState = StateFailed;
        app.statusText = std::wstring(text(app.language, PatchInUse)) + L" " + systemErrorText(ERROR_SHARING_VIOLATION);
        return true;
    }
    return false;
}

bool parseLook(int argc, wchar_t** argv, FrameLook& look) {
    const std::wstring palette = argc > 7 ? argv[7] : L"standard";
    // Window, text, highlight, highlighted text, button face, button text, grey text, hot-tracked link.
    if (palette == L"hc-black")
        look.palette = highContrastPalette({RGB(0, 0, 0), RGB(255, 255, 255), RGB(0x1A, 0xEB, 0xFF), RGB(0, 0, 0),
                                            RGB(0, 0, 0), RGB(255, 255, 255), RGB(0x3F, 0xF2, 0x3F), RGB(255, 255, 0)});
    else if (palette == L"hc-white")
        look.palette = highContrastPalette({RGB(255, 255, 255), RGB(0, 0, 0), RGB(0x37, 0, 0x6E), RGB(255, 255, 255),
                                            RGB(255, 255, 255), RGB(0, 0, 0), RGB(0x60, 0, 0), RGB(0, 0, 0x9F)});
    else if (palette != L"standard")
        return false;
    look.focusRing = argc > 8 ? _wtoi(argv[8]) : 0;
    return true;
}

bool parseLanguage(const std::wstring& code, int32_t& language) {
    for (int32_t l : {SimplifiedChinese, TraditionalChinese, English}) {
        if (code == languageCode(l)) {
            language = l;
            return true;
        }
    }
    return false;
}

int render(int argc, wchar_t** argv) {
    FrameLook look;
    if (argc < 7 || argc > 9 || !parseLook(argc, argv, look)) {
        fwprintf(stderr,
                 L"usage: screenshots_driver <state> <language> <width> <height> <dpi> <output.png> "
                 L"[standard|hc-black|hc-white [focused control id]]\n");
        return 2;
    }
    InstallerApp app;
    MusicPlayer player;  // no device: the speaker shows its cross, as on a machine without audio output
    app.instance = GetModuleHandleW(nullptr);
    app.musicPlayer = &player;
    if (!parseLanguage(argv[2], app.language)) {
        fwprintf(stderr, L"unknown language %ls\n", argv[2]);
        return 2;
    }
    if (!setState(app, argv[1])) {
        fwprintf(stderr, L"unknown state %ls\n", argv[1]);
        return 2;
    }
    const int w = _wtoi(argv[3]);
    const int h = _wtoi(argv[4]);
    const UINT dpi = static_cast<UINT>(_wtoi(argv[5]));
    if (w <= 0 || h <= 0 || dpi == 0) return 2;
    app.fontFamily = createFontFamily(app.language);
    loadBackgroundImage(app);
    if (!app.backgroundImage) fwprintf(stderr, L"warning: no background picture\n");

    Gdiplus::GpBitmap* raw = nullptr;
    if (gp::GdipCreateBitmapFromScan0(w, h, 0, PixelFormat32bppARGB, nullptr, &raw) != Gdiplus::Ok) return 1;
    OwnedImage bitmap(raw);
    Gdiplus::GpStatus status = Gdiplus::Ok;
    {
        Gdiplus::GpGraphics* rawGraphics = nullptr;
        if (gp::GdipGetImageGraphicsContext(bitmap.get(), &rawGraphics) != Gdiplus::Ok) return 1;
        OwnedGraphics graphics(rawGraphics);
        DrawContext dc;
        dc.graphics = graphics.get();
        drawMainFrame(app, dc, w, h, dpi, app.backgroundImage.get(), look);
        status = dc.lastStatus;
    }
    if (status != Gdiplus::Ok) fwprintf(stderr, L"warning: a drawing call failed with status %d\n", status);
    const bool saved = gp::GdipSaveImageToFile(bitmap.get(), argv[6], &PngEncoder, nullptr) == Gdiplus::Ok;
    bitmap.reset();
    releaseInstallerApp(app);
    if (!saved) fwprintf(stderr, L"could not write %ls\n", argv[6]);
    return saved ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return 1;
    const int code = render(argc, argv);
    Gdiplus::GdiplusShutdown(token);
    if (SUCCEEDED(com)) CoUninitialize();
    return code;
}
