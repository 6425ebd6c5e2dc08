// The one application object that lives for the whole run, and the installer's states.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/accessible.h"
#include "base/owned.h"
#include "base/texts.h"
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

// The progress scale: per mille of the patch copied.
constexpr int32_t FullPermille = 1000;

struct InstallerApp {
    HINSTANCE instance = nullptr;
    HWND mainWindow = nullptr;
    int32_t language = SimplifiedChinese;
    MusicPlayer* musicPlayer = nullptr;  // owned by start-up, outlives this object
    OwnedFontFamily fontFamily;
    HGLOBAL backgroundMemory = nullptr;
    ComPtr<IStream> backgroundStream;
    OwnedImage backgroundImage;
    // The picture already scaled to cover the client of that size: scaling it on every paint costs
    // several times the rest of the frame.
    OwnedImage scaledBackground;
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
    // The location of the last install, copied or found in place: what "Launch game" starts and what a
    // restart as administrator is for, whatever has been selected since.
    GameCandidate jobLocation;

    // Window state.
    InstallState uiState = StateReady;
    int32_t progressPermille = 0;
    std::wstring statusText;
    int32_t hoverControl = 0;
    bool mouseTracking = false;
    // The control that Space and Enter press: none until Tab moves onto one; clicks leave it.
    int32_t focusControl = 0;
    // No focus ring until the keyboard is used (UISF_HIDEFOCUS), as Windows' own controls do.
    bool focusCuesHidden = false;
    // What assistive tools were last told the window shows; the next frame announces what changed.
    std::vector<AccessibleItem> announcedItems;

    // The running copy.
    std::unique_ptr<InstallJob> installJob;
    HANDLE workerThread = nullptr;
};

// A message box owned by the main window, captioned with the current language's window title.
inline int showMessage(const InstallerApp& app, const wchar_t* message, UINT flags) {
    return showMessage(app.mainWindow, app.language, message, flags);
}

// Asks for the whole main window to be painted anew once the message queue is empty.
inline void requestRepaint(const InstallerApp& app) {
    if (app.mainWindow) InvalidateRect(app.mainWindow, nullptr, FALSE);
}

bool hasValidSelection(const InstallerApp& app);
const GameCandidate* selectedGameCandidate(const InstallerApp& app);
