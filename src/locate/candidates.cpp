// Candidate list and folder picker. (skeleton: to be filled in)
#include "locate/candidates.h"

#include "app/installer_app.h"

void addCandidate(std::vector<GameCandidate>&, const std::wstring&, bool, int32_t, uint64_t) {}
void detectGameLocations(InstallerApp&) {}
void chooseGameFolder(InstallerApp&) {}
bool hasValidSelection(const InstallerApp& app) {
    return !app.candidates.empty() && app.selectedCandidate < app.candidates.size();
}
const GameCandidate* selectedGameCandidate(const InstallerApp& app) {
    return hasValidSelection(app) ? &app.candidates[app.selectedCandidate] : nullptr;
}
void selectPreviousCandidate(InstallerApp&) {}
void selectNextCandidate(InstallerApp&) {}
std::wstring candidateCounterText(const InstallerApp&) { return {}; }
