// The application's install locations: detection with its patch-state refresh, the picker, the arrows.
#include "install/locations.h"

#include "install/checks.h"
#include "install/installer_app.h"
#include "locate/candidates.h"
#include "locate/paths.h"

bool hasValidSelection(const InstallerApp& app) {
    return !app.candidates.empty() && app.selectedCandidate < app.candidates.size();
}

const GameCandidate* selectedGameCandidate(const InstallerApp& app) {
    return hasValidSelection(app) ? &app.candidates[app.selectedCandidate] : nullptr;
}

namespace {

// The locations found anew with the selection kept where it is still found, and the patch looked at
// again; the window's state is left as it is.
void refreshLocations(InstallerApp& app) {
    const GameCandidate* selected = selectedGameCandidate(app);
    const std::wstring rememberedPath = selected ? selected->path : std::wstring();

    app.candidates = findGameLocations(app.installerDir, app.destOption, app.chosenFolder);
    app.selectedCandidate = 0;
    if (selected) {
        const size_t index = indexOfPath(app.candidates, rememberedPath);
        if (index < app.candidates.size()) app.selectedCandidate = index;
    }

    app.patchFound = isExistingFile(app.patchSourcePath);
    app.patchSize = app.patchFound ? fileSizeOf(app.patchSourcePath) : 0;
    refreshTargetState(app);
}

}  // namespace

void detectGameLocations(InstallerApp& app) {
    refreshLocations(app);
    if (app.uiState != StateInstalling) app.uiState = StateReady;
    app.statusText.clear();
    app.progressPermille = 0;
}

void selectLocation(InstallerApp& app, const GameCandidate& location) {
    size_t index = indexOfPath(app.candidates, location.path);
    if (index == app.candidates.size()) {
        addCandidate(app.candidates, location.path, location.manual, location.score, location.stamp);
        index = indexOfPath(app.candidates, location.path);
    }
    if (index < app.candidates.size()) app.selectedCandidate = index;
    refreshTargetState(app);
}

void chooseGameFolder(InstallerApp& app) {
    const bool duringCopy = app.uiState == StateInstalling;
    const GameCandidate* selected = selectedGameCandidate(app);
    const std::wstring resolved = pickGameFolder(app.mainWindow, app.language, selected ? selected->path : L"");
    if (resolved.empty()) return;
    app.chosenFolder = resolved;
    if (duringCopy && app.uiState != StateInstalling) {
        // The copy ended while the picker was open: its outcome stays on show with the folder it is
        // about, and the picked folder joins the locations, as when the pick comes back first.
        refreshLocations(app);
        selectLocation(app, app.jobLocation);
    } else {
        detectGameLocations(app);
        const size_t index = indexOfPath(app.candidates, app.chosenFolder);
        if (index < app.candidates.size()) app.selectedCandidate = index;
        refreshTargetState(app);
    }
    requestRepaint(app);
}

void stepLocation(InstallerApp& app, bool forward) {
    const size_t n = app.candidates.size();
    if (n == 0) return;
    app.selectedCandidate = forward ? (app.selectedCandidate + 1) % n : (app.selectedCandidate % n + n - 1) % n;
    refreshTargetState(app);
    if (app.uiState == StateCompleted &&
        !equalsIgnoreCase(app.candidates[app.selectedCandidate].path, app.jobLocation.path)) {
        app.uiState = StateReady;
        app.progressPermille = 0;
    }
    requestRepaint(app);
}
