// Candidate list of install locations, the detection run and the folder picker.
#include "locate/candidates.h"

#include <windows.h>
#include <shobjidl.h>

#include <algorithm>
#include <cwchar>
#include <iterator>

#include "base/owned.h"
#include "base/texts.h"
#include "locate/manifest.h"
#include "locate/paths.h"
#include "locate/steam.h"

namespace {

constexpr int32_t ScorePicked = 1200;
constexpr int32_t ScoreDestOption = 1100;
constexpr int32_t ScoreInstallerDir = 1000;
constexpr int32_t ScoreInstallerGame = 950;
constexpr int32_t ScoreUninstallEntry = 900;
constexpr FILEOPENDIALOGOPTIONS PickerOptions =
    FOS_NOCHANGEDIR | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST;
constexpr size_t CounterChars = 96;

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

size_t indexOfPath(const std::vector<GameCandidate>& list, const std::wstring& path) {
    for (size_t i = 0; i < list.size(); ++i) {
        if (equalsIgnoreCase(list[i].path, path)) return i;
    }
    return list.size();
}

std::vector<GameCandidate> findGameLocations(const std::wstring& installerDir, const std::wstring& destOption,
                                             const std::wstring& chosenFolder) {
    std::vector<GameCandidate> found;
    // Without its own path the installer has no folder: "game" alone would name one in the current directory.
    if (!installerDir.empty()) {
        addCandidate(found, installerDir, false, ScoreInstallerDir, StampAllOnes);
        addCandidate(found, joinPath(installerDir, L"game"), false, ScoreInstallerGame, 0);
    }
    addUninstallEntries(found);
    for (const std::wstring& library : findSteamLibraries()) {
        const ManifestLocations locations = manifestCandidates(library);
        addCandidate(found, locations.first.path, false, locations.first.score, locations.first.stamp);
        addCandidate(found, locations.second.path, false, locations.second.score, locations.second.stamp);
    }

    if (!destOption.empty()) {
        const std::wstring resolved = resolveGameFolder(destOption);
        if (!resolved.empty()) addCandidate(found, resolved, true, ScoreDestOption, StampAllOnes);
    }
    if (!chosenFolder.empty()) addCandidate(found, chosenFolder, true, ScorePicked, StampAllOnes);
    std::stable_sort(found.begin(), found.end(), byManualThenScoreThenStamp);
    return found;
}

std::wstring pickGameFolder(HWND owner, int32_t language, const std::wstring& startFolder) {
    ComPtr<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                dialog.outVoid())))
        return {};
    FILEOPENDIALOGOPTIONS options = 0;
    if (SUCCEEDED(dialog->GetOptions(&options))) dialog->SetOptions(options | PickerOptions);
    dialog->SetTitle(text(language, SelectGameFolderTitle));
    if (!startFolder.empty()) {
        ComPtr<IShellItem> start;
        if (SUCCEEDED(SHCreateItemFromParsingName(startFolder.c_str(), nullptr, IID_IShellItem, start.outVoid())))
            dialog->SetFolder(start.get());
    }
    if (FAILED(dialog->Show(owner))) return {};

    ComPtr<IShellItem> item;
    if (FAILED(dialog->GetResult(item.out()))) return {};
    CoTaskString name;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, name.out()))) return {};
    const std::wstring resolved = resolveGameFolder(name.get());
    if (resolved.empty()) showMessage(owner, language, text(language, FolderPickerHint), MB_ICONWARNING);
    return resolved;
}

std::wstring candidateCounterText(int32_t language, size_t selected, size_t count) {
    if (count < 2) return {};
    wchar_t buffer[CounterChars] = {};
    swprintf(buffer, std::size(buffer), L"%ls  %zu / %zu", text(language, DetectedLocations), selected + 1, count);
    return buffer;
}
