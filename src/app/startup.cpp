// Start-up of the installer process: DPI, COM, GDI+, options, language, the application object,
// the main window and the message loop, then the teardown in reverse order.
#include "app/startup.h"

#include <shellapi.h>

#include <vector>

#include "app/language_window.h"
#include "audio/music.h"
#include "base/win32.h"
#include "install/locations.h"
#include "install/worker.h"
#include "locate/paths.h"
#include "ui/main_window.h"

namespace gp = Gdiplus::DllExports;
using Gdiplus::Ok;

namespace {

constexpr const wchar_t* NeutralTitle = L"TavinMere · Patch Installer";

void setDpiAwareness() {
    using SetContextFn = BOOL(WINAPI*)(HANDLE);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    auto setContext = procAddress<SetContextFn>(user32, "SetProcessDpiAwarenessContext");
    // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2
    if (!setContext || !setContext(reinterpret_cast<HANDLE>(static_cast<intptr_t>(-4)))) SetProcessDPIAware();
}

}  // namespace

void restrictDllSearch() {
    using SetDefaultDirsFn = BOOL(WINAPI*)(DWORD);
    auto setDefaultDirs = procAddress<SetDefaultDirsFn>(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
    if (setDefaultDirs) setDefaultDirs(LOAD_LIBRARY_SEARCH_SYSTEM32);
    SetDllDirectoryW(L"");
    // Wine resolves what a DLL imports through the program's folder even after the search is
    // restricted: the image codecs that GDI+ imports there, and what COM's in-process servers import.
    // Loaded from the system folder first, such an import finds the module already in place.
    for (const wchar_t* name : {L"propsys.dll", L"windowscodecs.dll"})
        LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

CommandLineOptions parseCommandLine(const wchar_t* commandLine) {
    CommandLineOptions options;
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(commandLine, &count);
    if (!args) return options;
    for (int i = 1; i < count; ++i) {
        const std::wstring arg = args[i];
        if (equalsIgnoreCase(arg, L"--lang") && i + 1 < count) {
            const std::wstring value = args[++i];
            options.languageGiven = true;
            if (equalsIgnoreCase(value, L"zh-TW") || equalsIgnoreCase(value, L"traditional")) {
                options.language = TraditionalChinese;
            } else if (equalsIgnoreCase(value, L"en") || equalsIgnoreCase(value, L"english")) {
                options.language = English;
            } else {
                options.language = SimplifiedChinese;
            }
        } else if (equalsIgnoreCase(arg, L"--dest") && i + 1 < count) {
            // A blank folder names none: resolved, it would be the current directory.
            const std::wstring value = args[++i];
            options.destOption = trimSpaces(value).empty() ? std::wstring() : value;
        }
    }
    LocalFree(args);
    return options;
}

std::wstring installerFilePath() {
    std::vector<wchar_t> buffer(512);
    for (;;) {
        const DWORD got = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (got == 0) return {};
        if (got >= buffer.size() - 1) {
            // The path may have been cut off; ask again with room to spare.
            if (buffer.size() >= 65536) return {};
            buffer.resize(buffer.size() * 2);
            continue;
        }
        return std::wstring(buffer.data(), got);
    }
}

bool isFolderInside(const std::wstring& e, const std::wstring& t) {
    if (e.empty() || t.empty() || e.size() < t.size()) return false;
    if (CompareStringOrdinal(e.data(), static_cast<int>(t.size()), t.data(), static_cast<int>(t.size()), TRUE) !=
        CSTR_EQUAL)
        return false;
    return e.size() == t.size() || e[t.size()] == L'\\';
}

namespace {

std::wstring longFormOf(const std::wstring& path) {
    const DWORD needed = GetLongPathNameW(path.c_str(), nullptr, 0);
    if (needed == 0) return path;
    std::vector<wchar_t> buffer(needed);
    const DWORD got = GetLongPathNameW(path.c_str(), buffer.data(), needed);
    return got > 0 && got < needed ? std::wstring(buffer.data(), got) : path;
}

}  // namespace

bool isInsideTempFolder() {
    const std::wstring e = normalizePath(parentFolder(installerFilePath()));
    std::vector<wchar_t> buffer(32768);
    const DWORD got = GetTempPathW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (got == 0 || got >= buffer.size()) return false;
    const std::wstring t = normalizePath(std::wstring(buffer.data(), got));
    // The temporary folder often comes in its short 8.3 form (C:\Users\JOHNSM~1\...) while the
    // installer's own path is long, or the reverse: compared as given, the two would never match.
    return isFolderInside(longFormOf(e), longFormOf(t));
}

namespace {

void releaseBackground(InstallerApp& app) {
    app.scaledBackground.reset();
    app.backgroundImage.reset();
    app.backgroundStream.reset();
    if (app.backgroundMemory) {
        GlobalFree(app.backgroundMemory);
        app.backgroundMemory = nullptr;
    }
}

}  // namespace

void loadBackgroundImage(InstallerApp& app) {
    releaseBackground(app);
    HRSRC info = FindResourceW(app.instance, MAKEINTRESOURCEW(1000), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (!info) return;
    HGLOBAL loaded = LoadResource(app.instance, info);
    const DWORD size = SizeofResource(app.instance, info);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || size == 0) return;

    app.backgroundMemory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!app.backgroundMemory) return;
    void* target = GlobalLock(app.backgroundMemory);
    if (!target) {
        GlobalFree(app.backgroundMemory);
        app.backgroundMemory = nullptr;
        return;
    }
    memcpy(target, data, size);
    GlobalUnlock(app.backgroundMemory);

    if (FAILED(CreateStreamOnHGlobal(app.backgroundMemory, TRUE, app.backgroundStream.out()))) {
        app.backgroundStream.release();
        GlobalFree(app.backgroundMemory);
        app.backgroundMemory = nullptr;
        return;
    }
    app.backgroundMemory = nullptr;  // the stream frees the block now

    Gdiplus::GpImage* image = nullptr;
    if (gp::GdipLoadImageFromStream(app.backgroundStream.get(), &image) != Ok) {
        releaseBackground(app);
        return;
    }
    app.backgroundImage.reset(image);
}

void registerWindowClass(HINSTANCE instance, const wchar_t* className, WNDPROC procedure) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = procedure;
    wc.hInstance = instance;
    wc.hIcon = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(101), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(101), IMAGE_ICON, 16, 16, 0));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = className;
    RegisterClassExW(&wc);
}

WindowRect windowRectFor(int cw, int ch, int minW, int minH, DWORD style, const RECT& work, int dpi) {
    RECT client{0, 0, MulDiv(cw, dpi, 96), MulDiv(ch, dpi, 96)};
    AdjustWindowRectEx(&client, style, FALSE, 0);
    const int W = client.right - client.left;
    const int H = client.bottom - client.top;
    const int workW = work.right - work.left;
    const int workH = work.bottom - work.top;
    const int margin = MulDiv(24, dpi, 96);
    const int availW = workW - margin;
    const int availH = workH - margin;
    WindowRect r;
    r.width = std::min(W, std::max(minW, availW));
    r.height = std::min(H, std::max(minH, availH));
    r.x = work.left + (workW - r.width) / 2;
    r.y = work.top + (workH - r.height) / 2;
    return r;
}

WindowRect initialWindowRect(int cw, int ch, int minW, int minH, DWORD style) {
    int dpi = 96;
    if (HDC screen = GetDC(nullptr)) {
        dpi = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
    }
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return windowRectFor(cw, ch, minW, minH, style, work, dpi);
}

void releaseInstallerApp(InstallerApp& app) {
    stopWorker(app);
    app.statusText.clear();
    app.candidates.clear();
    app.chosenFolder.clear();
    app.destOption.clear();
    app.patchSourcePath.clear();
    app.installerDir.clear();
    app.installerPath.clear();
    releaseBackground(app);
    app.fontFamily.reset();
}

void startBackgroundMusic(MusicPlayer& player, HINSTANCE instance) {
    BOOL reader = FALSE;
    if (SystemParametersInfoW(SPI_GETSCREENREADER, 0, &reader, 0) && reader) player.musicMuted = true;
    startMusic(player, instance);
}

int runInstaller(HINSTANCE instance, int showCommand) {
    setDpiAwareness();
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const bool comReady = SUCCEEDED(com);

    Gdiplus::GdiplusStartupInput input;  // version 1, no callback, background thread and codecs allowed
    ULONG_PTR gdiplusToken = 0;
    if (Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr) != Ok) {
        if (comReady) CoUninitialize();
        return 1;
    }
    auto endRun = [&](int code) {
        Gdiplus::GdiplusShutdown(gdiplusToken);
        if (comReady) CoUninitialize();
        return code;
    };

    CommandLineOptions options = parseCommandLine(GetCommandLineW());
    int32_t language = options.language;
    if (!options.languageGiven) {
        language = runLanguageWindow(instance);
        if (language < 0) return endRun(0);
    }

    if (isInsideTempFolder()) {
        MessageBoxW(nullptr, text(language, ExtractZipMessage), text(language, ExtractZipTitle),
                    MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
        return endRun(0);
    }

    int exitCode = 0;
    MusicPlayer player;
    {
        InstallerApp app;
        app.instance = instance;
        app.language = language;
        app.musicPlayer = &player;
        app.installerPath = installerFilePath();
        app.installerDir = parentFolder(app.installerPath);
        app.patchSourcePath = joinPath(app.installerDir, L"patch.rpa");
        app.destOption = std::move(options.destOption);
        app.fontFamily = createFontFamily(language);
        detectGameLocations(app);
        loadBackgroundImage(app);

        registerWindowClass(instance, MainWindowClass, mainWindowProc);
        const DWORD style = WS_OVERLAPPEDWINDOW;
        const WindowRect rect = initialWindowRect(1160, 700, 640, 500, style);
        app.mainWindow = CreateWindowExW(WS_EX_APPWINDOW, MainWindowClass, text(language, WindowTitle),
                                         WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, rect.x, rect.y, rect.width, rect.height,
                                         nullptr, nullptr, instance, &app);
        if (!app.mainWindow) {
            MessageBoxW(nullptr, L"Unable to create the installer window.", NeutralTitle, MB_ICONERROR);
            exitCode = 1;
        } else {
            applyLightTitleBar(app.mainWindow);
            ShowWindow(app.mainWindow, showCommand);
            UpdateWindow(app.mainWindow);
            startBackgroundMusic(player, instance);
            InvalidateRect(app.mainWindow, nullptr, FALSE);

            MSG message{};
            BOOL got;
            while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
            exitCode = static_cast<int>(static_cast<uint32_t>(message.wParam));
        }

        stopMusic(player);
        releaseInstallerApp(app);
    }
    stopMusic(player);
    return endRun(exitCode);
}
