// Time of one full main window repaint (drawMainFrame into a fresh memory DC bitmap, as WM_PAINT does)
// with the background picture scaled on every pass, against the same pass with a copy of the picture
// scaled once to the device size (drawn 1:1) and against no picture at all; plus the cost of the font
// families that the language chips create on every pass.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "install/installer_app.h"
#include "app/startup.h"
#include "audio/music.h"
#include "base/owned.h"
#include "ui/paint.h"

namespace gp = Gdiplus::DllExports;

namespace {

using Clock = std::chrono::steady_clock;
constexpr double MinimumSeconds = 1.5;
constexpr int MinimumFrames = 5;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// One repaint the way the window does it, minus the final copy to the screen.
void paintOnce(const InstallerApp& app, HDC screen, int w, int h, UINT dpi, Gdiplus::GpImage* picture) {
    OwnedDc memoryDc(CreateCompatibleDC(screen));
    OwnedGdiObject bitmap(CreateCompatibleBitmap(screen, w, h));
    ScopedSelect selected(memoryDc.get(), bitmap.get());
    Gdiplus::GpGraphics* raw = nullptr;
    if (gp::GdipCreateFromHDC(memoryDc.get(), &raw) != Gdiplus::Ok) return;
    OwnedGraphics graphics(raw);
    DrawContext dc;
    dc.graphics = graphics.get();
    drawMainFrame(app, dc, w, h, dpi, picture);
}

double msPerFrame(const InstallerApp& app, HDC screen, int w, int h, UINT dpi, Gdiplus::GpImage* picture) {
    paintOnce(app, screen, w, h, dpi, picture);  // warm-up: decoding, font caches
    int frames = 0;
    const Clock::time_point start = Clock::now();
    while (frames < MinimumFrames || secondsSince(start) < MinimumSeconds) {
        paintOnce(app, screen, w, h, dpi, picture);
        ++frames;
    }
    return secondsSince(start) * 1000.0 / frames;
}

void benchSize(InstallerApp& app, HDC screen, int w, int h, UINT dpi) {
    Gdiplus::GpImage* const picture = app.backgroundImage.get();
    const double scaled = msPerFrame(app, screen, w, h, dpi, picture);
    const OwnedImage copy = coverScaledCopy(picture, w, h);
    const double oneToOne = copy ? msPerFrame(app, screen, w, h, dpi, copy.get()) : 0.0;
    const double gradient = msPerFrame(app, screen, w, h, dpi, nullptr);

    std::printf(
        "%4dx%-4d @%3u DPI: picture scaled each pass %7.2f ms/frame | pre-scaled 1:1 %7.2f ms/frame"
        " | no picture %7.2f ms/frame | scaled / pre-scaled %.2fx\n",
        w, h, dpi, scaled, oneToOne, gradient, oneToOne > 0 ? scaled / oneToOne : 0.0);
}

void benchChipFonts(double frameMs) {
    constexpr int Rounds = 200;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < Rounds; ++i) {
        OwnedFontFamily a = createFontFamily(SimplifiedChinese);
        OwnedFontFamily b = createFontFamily(TraditionalChinese);
    }
    const double ms = secondsSince(start) * 1000.0 / Rounds;
    std::printf("chip font families (2 per pass): %.3f ms per pass, %.3f%% of a 1160x700 frame\n", ms,
                100.0 * ms / frameMs);
}

int run() {
    InstallerApp app;
    MusicPlayer player;
    app.instance = GetModuleHandleW(nullptr);
    app.musicPlayer = &player;
    app.language = English;
    app.fontFamily = createFontFamily(English);
    app.patchFound = true;
    app.patchSize = 734003200;
    app.candidates.push_back({L"D:\\SteamLibrary\\steamapps\\common\\TavinMere\\game", false, 100, 0});
    loadBackgroundImage(app);
    if (!app.backgroundImage) {
        std::printf("no background picture in the resources\n");
        return 1;
    }
    HDC screen = GetDC(nullptr);
    benchSize(app, screen, 1160, 700, 96);
    benchSize(app, screen, 1840, 1240, 192);
    benchChipFonts(msPerFrame(app, screen, 1160, 700, 96, app.backgroundImage.get()));
    ReleaseDC(nullptr, screen);
    releaseInstallerApp(app);
    return 0;
}

}  // namespace

int main() {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return 1;
    const int code = run();
    Gdiplus::GdiplusShutdown(token);
    if (SUCCEEDED(com)) CoUninitialize();
    return code;
}
