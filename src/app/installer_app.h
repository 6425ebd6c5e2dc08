// The one application object that lives for the whole run.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/texts.h"
#include "install/worker.h"
#include "locate/candidates.h"

struct MusicPlayer;

enum InstallState : int32_t {
    StateReady = 0,
    StateInstalling = 1,
    StateCompleted = 2,
    StateCancelled = 3,
    StateFailed = 4,
};

struct InstallerApp {
    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
    int32_t language = SimplifiedChinese;
    MusicPlayer* musicPlayer = nullptr;  // owned by start-up, outlives this object
    OwnedFontFamily fontFamily;
    HGLOBAL backgroundMemory = nullptr;
    IStream* backgroundStream = nullptr;
    Gdiplus::GpImage* backgroundImage = nullptr;
    // The picture already scaled to cover the client of that size: scaling it on every paint costs
    // several times the rest of the frame.
    Gdiplus::GpBitmap* scaledBackground = nullptr;
    int scaledBackgroundWidth = 0;
    int scaledBackgroundHeight = 0;
    std::wstring installerPath;
    std::wstring installerDir;
    std::wstring patchSourcePath;
    std::wstring destOption;

    // Game location.
    std::wstring chosenFolder;
    std::vector<GameCandidate> candidates;
    size_t selectedCandidate = 0;

    // Patch and target.
    bool patchFound = false;
    uint64_t patchSize = 0;
    bool targetExists = false;
    bool targetIsSource = false;

    // Window state.
    InstallState uiState = StateReady;
    int32_t progressPermille = 0;
    std::wstring statusText;
    int32_t hoverControl = 0;
    bool mouseTracking = false;

    // The running copy.
    std::unique_ptr<InstallJob> installJob;
    HANDLE workerThread = nullptr;
};

// Shows a message box owned by the main window, captioned with the current language's window title.
int showMessage(const InstallerApp& app, const wchar_t* message, UINT flags);
void requestRepaint(const InstallerApp& app);
