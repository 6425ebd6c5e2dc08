// Candidate list of install locations, the detection run and the folder picker.
#include "locate/candidates.h"

#include <windows.h>
#include <shobjidl.h>

#include <algorithm>
#include <cwchar>
#include <iterator>

#include "app/installer_app.h"
#include "install/checks.h"
#include "locate/manifest.h"
#include "locate/paths.h"
#include "locate/steam.h"

namespace {

constexpr int32_t ScorePicked = 1200;
constexpr int32_t ScoreDestOption = 1100;
constexpr int32_t ScoreInstallerDir = 1000;
constexpr int32_t ScoreInstallerGame = 950;
constexpr int32_t ScoreUninstallEntry = 900;
constexpr FILEOPENDIALOGOPTIONS PickerOptions = FOS_NOCHANGEDIR | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST;
constexpr size_t CounterChars = 96;

// Releases a COM interface at the end of its scope.
template <typename T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (p_) p_->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T** out() { return &p_; }
    void** outVoid() { return reinterpret_cast<void**>(&p_); }

private:
    T* p_ = nullptr;
};

class CoTaskString {
public:
    CoTaskString() = default;
    ~CoTaskString() { CoTaskMemFree(p_); }
    CoTaskString(const CoTaskString&) = delete;
    CoTaskString& operator=(const CoTaskString&) = delete;
    PWSTR* out() { return &p_; }
    const wchar_t* get() const { return p_; }

private:
    PWSTR p_ = nullptr;
};

std::wstring uninstallKey() {
    return std::wstring(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Steam App ") + SteamAppId;
}

void addUninstallEntries(std::vector<GameCandidate>& list) {
    const std::wstring key = uninstallKey();
    for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
        for (REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_32KEY), REGSAM(KEY_WOW64_64KEY)}) {
            const std::wstring location = readRegistryPath(hive, key, L"InstallLocation", view);
            if (!location.empty()) addCandidate(list, joinPath(location, L"game"), false, ScoreUninstallEntry, 0);
        }
    }
}

bool byScoreThenStamp(const GameCandidate& a, const GameCandidate& b) {
    if (a.score != b.score) return a.score > b.score;
    return a.stamp > b.stamp;
}

bool byManualThenScoreThenStamp(const GameCandidate& a, const GameCandidate& b) {
    if (a.manual != b.manual) return a.manual;
    return byScoreThenStamp(a, b);
}

// The index of the first entry with that path, or the list's length.
size_t indexOfPath(const std::vector<GameCandidate>& list, const std::wstring& path) {
    for (size_t i = 0; i < list.size(); ++i) {
        if (equalsIgnoreCase(list[i].path, path)) return i;
    }
    return list.size();
}

}  // namespace

void addCandidate(std::vector<GameCandidate>& list, const std::wstring& path, bool manual, int32_t score,
                  uint64_t stamp) {
    const std::wstring p = normalizePath(path);
    if (!isGameFolder(p)) return;
    const size_t index = indexOfPath(list, p);
    if (index == list.size()) {
        list.push_back({p, manual, score, stamp});
        return;
    }
    GameCandidate& entry = list[index];
    entry.manual = entry.manual || manual;
    entry.score = std::max(entry.score, score);
    entry.stamp = std::max(entry.stamp, stamp);
}

void detectGameLocations(InstallerApp& app) {
    const GameCandidate* selected = selectedGameCandidate(app);
    const bool remembered = selected != nullptr;
    const std::wstring rememberedPath = remembered ? selected->path : std::wstring();

    std::vector<GameCandidate> found;
    addCandidate(found, app.installerDir, false, ScoreInstallerDir, StampAllOnes);
    addCandidate(found, joinPath(app.installerDir, L"game"), false, ScoreInstallerGame, 0);
    addUninstallEntries(found);
    for (const std::wstring& library : findSteamLibraries()) {
        const ManifestLocations locations = manifestCandidates(library);
        addCandidate(found, locations.first.path, false, locations.first.score, locations.first.stamp);
        addCandidate(found, locations.second.path, false, locations.second.score, locations.second.stamp);
    }
    std::stable_sort(found.begin(), found.end(), byScoreThenStamp);
    app.candidates = std::move(found);

    if (!app.destOption.empty()) {
        const std::wstring resolved = resolveGameFolder(app.destOption);
        if (!resolved.empty()) addCandidate(app.candidates, resolved, true, ScoreDestOption, StampAllOnes);
    }
    if (!app.chosenFolder.empty()) addCandidate(app.candidates, app.chosenFolder, true, ScorePicked, StampAllOnes);
    std::stable_sort(app.candidates.begin(), app.candidates.end(), byManualThenScoreThenStamp);

    app.selectedCandidate = 0;
    if (remembered) {
        const size_t index = indexOfPath(app.candidates, rememberedPath);
        if (index < app.candidates.size()) app.selectedCandidate = index;
    }

    app.patchFound = isExistingFile(app.patchSourcePath);
    app.patchSize = app.patchFound ? fileSizeOf(app.patchSourcePath) : 0;
    if (app.uiState != StateInstalling) app.uiState = StateReady;
    app.statusText.clear();
    app.progressPermille = 0;
    refreshTargetState(app);
}

void chooseGameFolder(InstallerApp& app) {
    ComRef<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                dialog.outVoid())))
        return;
    FILEOPENDIALOGOPTIONS options = 0;
    if (SUCCEEDED(dialog->GetOptions(&options))) dialog->SetOptions(options | PickerOptions);
    dialog->SetTitle(text(app.language, SelectGameFolderTitle));
    if (const GameCandidate* selected = selectedGameCandidate(app)) {
        ComRef<IShellItem> start;
        if (SUCCEEDED(SHCreateItemFromParsingName(selected->path.c_str(), nullptr, IID_IShellItem, start.outVoid())))
            dialog->SetFolder(start.get());
    }
    if (FAILED(dialog->Show(app.mainWindow))) return;

    ComRef<IShellItem> item;
    if (FAILED(dialog->GetResult(item.out()))) return;
    CoTaskString name;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, name.out()))) return;
    const std::wstring resolved = resolveGameFolder(name.get());

    if (resolved.empty()) {
        showMessage(app, text(app.language, FolderPickerHint), MB_ICONWARNING);
        return;
    }
    app.chosenFolder = resolved;
    detectGameLocations(app);
    const size_t index = indexOfPath(app.candidates, app.chosenFolder);
    if (index < app.candidates.size()) app.selectedCandidate = index;
    refreshTargetState(app);
    requestRepaint(app);
}

bool hasValidSelection(const InstallerApp& app) {
    return !app.candidates.empty() && app.selectedCandidate < app.candidates.size();
}

const GameCandidate* selectedGameCandidate(const InstallerApp& app) {
    return hasValidSelection(app) ? &app.candidates[app.selectedCandidate] : nullptr;
}

void selectPreviousCandidate(InstallerApp& app) {
    const size_t n = app.candidates.size();
    if (n == 0) return;
    app.selectedCandidate = (app.selectedCandidate % n + n - 1) % n;
}

void selectNextCandidate(InstallerApp& app) {
    const size_t n = app.candidates.size();
    if (n == 0) return;
    app.selectedCandidate = (app.selectedCandidate + 1) % n;
}

std::wstring candidateCounterText(const InstallerApp& app) {
    if (app.candidates.size() < 2) return {};
    wchar_t buffer[CounterChars] = {};
    swprintf(buffer, std::size(buffer), L"%ls  %zu / %zu", text(app.language, DetectedLocations),
             app.selectedCandidate + 1, app.candidates.size());
    return buffer;
}
