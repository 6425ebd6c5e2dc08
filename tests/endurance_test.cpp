// A long run in one process: many repaints, language switches, detections and installs on a real
// main window must give back every handle, GDI object and USER object they take.
#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>

#include <string>

#include "install/installer_app.h"
#include "app/startup.h"
#include "audio/music.h"
#include "install/checks.h"
#include "locate/candidates.h"
#include "locate/paths.h"
#include "test_support.h"
#include "ui/layout.h"
#include "ui/main_window.h"

namespace {

struct Resources {
    DWORD handles = 0;
    DWORD gdiObjects = 0;
    DWORD userObjects = 0;
    DWORD windows = 0;
    SIZE_T privateBytes = 0;
};

// Wine answers GetProcessHandleCount and GetGuiResources with 0, so the handles are also counted
// by asking the system about every possible handle value, and this thread's windows one by one.
DWORD liveHandles() {
    DWORD count = 0;
    DWORD flags = 0;
    for (ULONG_PTR value = 4; value < 0x20000; value += 4)
        count += GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags) ? 1 : 0;
    return count;
}

BOOL CALLBACK countWindow(HWND window, LPARAM count) {
    ++*reinterpret_cast<DWORD*>(count);
    EnumChildWindows(window, countWindow, count);
    return TRUE;
}

Resources resourcesNow() {
    Resources r;
    GetProcessHandleCount(GetCurrentProcess(), &r.handles);
    if (r.handles == 0) r.handles = liveHandles();
    EnumThreadWindows(GetCurrentThreadId(), countWindow, reinterpret_cast<LPARAM>(&r.windows));
    // A leaked bitmap or GDI+ object per paint would show here even where nothing counts GDI objects.
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof(memory);
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory)))
        r.privateBytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;  // Wine fills the latter
    r.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    r.userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    return r;
}

void pumpUntil(InstallerApp& app, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    MSG m;
    while (GetTickCount64() < end) {
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        if (app.uiState != StateInstalling) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

LPARAM chipPosition(HWND window, const InstallerApp& app, ControlId chip) {
    const LogicalView view = logicalViewOf(window);
    const MainLayout layout = computeLayout(app.uiState, view.width, view.height);
    const RectF& r = layout.control(chip);
    return MAKELPARAM(static_cast<int>((r.X + r.Width / 2) * view.scale),
                      static_cast<int>((r.Y + r.Height / 2) * view.scale));
}

}  // namespace

TEST(Endurance, LongRunGivesBackEverythingItTakes) {
    TempDir dir;
    const std::wstring gameFolder = makeGame(dir / L"TavinMere");
    const std::wstring installerDir = dir / L"Installer";
    makeDirs(installerDir);
    writeFileOfSize(installerDir + L"\\patch.rpa", 256 * 1024);

    InstallerApp app;
    MusicPlayer player;
    app.instance = GetModuleHandleW(nullptr);
    app.language = English;
    app.musicPlayer = &player;
    app.fontFamily = createFontFamily(English);
    app.installerDir = installerDir;
    app.installerPath = installerDir + L"\\TavinMere-Patch-Installer.exe";
    app.patchSourcePath = installerDir + L"\\patch.rpa";
    app.destOption = gameFolder;
    loadBackgroundImage(app);
    registerWindowClass(app.instance, MainWindowClass, mainWindowProc);
    app.mainWindow = CreateWindowExW(0, MainWindowClass, text(English, WindowTitle), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                     0, 0, 1176, 739, nullptr, nullptr, app.instance, &app);
    ASSERT_TRUE(app.mainWindow);
    HWND window = app.mainWindow;
    detectGameLocations(app);
    ASSERT_TRUE(hasValidSelection(app)) << "the --dest folder was not accepted";

    // One round of everything first: caches, fonts and lazily loaded modules settle.
    auto installOnce = [&] {
        app.uiState = StateReady;
        startInstall(app);
        pumpUntil(app, 30000);
    };
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    installOnce();
    ASSERT_EQ(app.uiState, StateCompleted) << narrow(app.statusText);
    const Resources before = resourcesNow();

    for (int i = 0; i < 1000; ++i) RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    const ControlId chips[] = {ChipSimplified, ChipTraditional, ChipEnglish};
    for (int i = 0; i < 100; ++i) {
        const LPARAM at = chipPosition(window, app, chips[i % 3]);
        SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(window, WM_LBUTTONUP, 0, at);
        RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW);
    }
    EXPECT_EQ(app.language, chips[99 % 3] - 1);
    app.uiState = StateReady;
    for (int i = 0; i < 100; ++i) SendMessageW(window, WM_KEYDOWN, VK_F5, 0);
    EXPECT_TRUE(hasValidSelection(app));
    for (int i = 0; i < 20; ++i) {
        installOnce();
        ASSERT_EQ(app.uiState, StateCompleted) << "install " << i << ": " << narrow(app.statusText);
    }
    EXPECT_EQ(readBytes(gameFolder + L"\\patch.rpa").size(), 256u * 1024u);

    const Resources after = resourcesNow();
    // The worker thread's handle is closed when it is joined; a few handles of slack cover Wine's own
    // lazily opened ones (registry keys, the font cache), never one per round.
    EXPECT_LE(after.handles, before.handles + 4) << before.handles << " -> " << after.handles;
    ASSERT_GT(before.handles, 0u) << "no way to count handles here";
    EXPECT_EQ(after.gdiObjects, before.gdiObjects);
    EXPECT_EQ(after.userObjects, before.userObjects);
    EXPECT_EQ(after.windows, before.windows);
    // 1,000 frames of 1160 x 700 would be 3 GB; the slack is the heap's own growth.
    EXPECT_LT(after.privateBytes, before.privateBytes + (32u << 20));
    RecordProperty("handles", std::to_string(before.handles) + " -> " + std::to_string(after.handles));
    std::printf(
        "handles %lu -> %lu, GDI objects %lu -> %lu, USER objects %lu -> %lu, windows %lu -> %lu, "
        "private bytes %.1f -> %.1f MiB\n",
        before.handles, after.handles, before.gdiObjects, after.gdiObjects, before.userObjects, after.userObjects,
        before.windows, after.windows, before.privateBytes / 1048576.0, after.privateBytes / 1048576.0);
    DestroyWindow(window);
    app.mainWindow = nullptr;
    releaseInstallerApp(app);
}
