// Patch source and target checks: what lies at both ends of the copy, and the checks before it starts.
#include "install/checks.h"

#include <windows.h>

#include <iterator>

#include "install/error_text.h"
#include "install/installer_app.h"
#include "install/launch.h"
#include "install/locations.h"
#include "install/worker.h"
#include "locate/candidates.h"
#include "locate/paths.h"

namespace {

constexpr const wchar_t* PatchFileName = L"patch.rpa";
constexpr uint64_t MaxSpaceMargin = 8ull * 1024 * 1024;
constexpr uint64_t MaxFatFileBytes = 0xFFFFFFFFull;  // 4 GiB less one byte
bool enoughSpaceAt(const std::wstring& target, uint64_t patchSize) {
    ULARGE_INTEGER freeBytes{};
    // A volume that cannot be asked is not refused: the copy reports a real shortage itself.
    if (!GetDiskFreeSpaceExW(parentFolder(target).c_str(), &freeBytes, nullptr, nullptr)) return true;
    // A partial file that an earlier run left behind is replaced by this copy: its room counts as free.
    const uint64_t stale = fileSizeOf(toLongPath(partialPathOf(target)));
    const uint64_t available = freeBytes.QuadPart + stale < stale ? ~0ull : freeBytes.QuadPart + stale;
    return hasRoomForPatch(available, patchSize);
}

// The file system of the volume that holds the folder ("NTFS", "FAT32", ...); empty when unknown.
std::wstring fileSystemOf(const std::wstring& folder) {
    wchar_t root[MAX_PATH + 1] = {};
    wchar_t name[MAX_PATH + 1] = {};
    if (!GetVolumePathNameW(folder.c_str(), root, static_cast<DWORD>(std::size(root))) ||
        !GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, nullptr, name, static_cast<DWORD>(std::size(name))))
        return {};
    return name;
}

void refuseInstall(InstallerApp& app, TextId reason, UINT icon) {
    app.uiState = StateFailed;
    app.statusText = text(app.language, reason);
    showMessage(app, app.statusText.c_str(), icon);
    requestRepaint(app);
}

}  // namespace

bool isSameFile(const std::wstring& a, const std::wstring& b) {
    if (equalsIgnoreCase(normalizePath(a), normalizePath(b))) return true;
    return sameFileIdentity(fileIdentityOf(a), fileIdentityOf(b));
}

std::wstring targetPathOf(const InstallerApp& app) {
    const GameCandidate* selected = selectedGameCandidate(app);
    return selected ? joinPath(selected->path, PatchFileName) : std::wstring();
}

void refreshTargetState(InstallerApp& app) {
    app.targetExists = false;
    app.targetIsSource = false;
    const std::wstring target = targetPathOf(app);
    if (target.empty()) return;
    app.targetExists = isExistingFile(target);
    if (app.targetExists && app.patchFound) app.targetIsSource = isSameFile(app.patchSourcePath, target);
}

bool fileSystemHolds(const std::wstring& fileSystem, uint64_t fileSize) {
    const bool fat = equalsIgnoreCase(fileSystem, L"FAT") || equalsIgnoreCase(fileSystem, L"FAT32");
    return !fat || fileSize <= MaxFatFileBytes;
}

bool hasRoomForPatch(uint64_t freeBytes, uint64_t patchSize) {
    const uint64_t margin = patchSize < MaxSpaceMargin ? patchSize : MaxSpaceMargin;
    const uint64_t needed = patchSize + margin;
    // A need that does not fit in 64 bits is more than any drive holds.
    if (needed < patchSize) return false;
    return freeBytes >= needed;
}

void startInstall(InstallerApp& app) {
    if (app.uiState == StateInstalling) return;
    if (app.uiState == StateCompleted) {
        launchGame(app);
        return;
    }

    app.patchFound = isExistingFile(app.patchSourcePath);
    app.patchSize = app.patchFound ? fileSizeOf(app.patchSourcePath) : 0;
    if (!hasValidSelection(app) || !app.patchFound) {
        requestRepaint(app);
        return;
    }
    if (app.patchSize == 0) {
        showMessage(app, text(app.language, PatchEmpty), MB_ICONWARNING);
        return;
    }

    const std::wstring target = targetPathOf(app);
    app.jobLocation = *selectedGameCandidate(app);
    if (isExistingFile(target) && isSameFile(app.patchSourcePath, target)) {
        app.uiState = StateCompleted;
        app.progressPermille = FullPermille;
        app.targetIsSource = true;
        requestRepaint(app);
        return;
    }

    // A USB stick or SD card formatted FAT32 has room but cannot hold a file this large: said before
    // the space, which would not help.
    if (!fileSystemHolds(fileSystemOf(parentFolder(target)), app.patchSize)) {
        refuseInstall(app, PatchTooLargeForFat, MB_ICONWARNING);
        return;
    }
    if (!enoughSpaceAt(target, app.patchSize)) {
        refuseInstall(app, NotEnoughSpace, MB_ICONERROR);
        return;
    }

    if (!startWorker(app, app.patchSourcePath, target)) {
        const DWORD code = GetLastError();
        app.uiState = StateFailed;
        app.statusText = std::wstring(text(app.language, CopyFailed)) + L": " + systemErrorText(code);
        requestRepaint(app);
        return;
    }
    app.uiState = StateInstalling;
    app.progressPermille = 0;
    app.statusText.clear();
    requestRepaint(app);
}

void onInstallProgress(InstallerApp& app, WPARAM permille) {
    app.progressPermille = static_cast<int32_t>(static_cast<uint32_t>(permille));
    requestRepaint(app);
}

void onInstallDone(InstallerApp& app) {
    // A late or repeated end message finds no job: its outcome was taken already.
    const std::unique_ptr<InstallJob> job = takeFinishedJob(app);
    if (!job) return;
    const GameCandidate& location = app.jobLocation;
    // The selection may have moved while the copy ran (F5, Ctrl+B): the outcome is shown with the folder
    // it is about.
    selectLocation(app, location);

    if (job->succeeded) {
        app.uiState = StateCompleted;
        app.progressPermille = FullPermille;
    } else if (job->cancelled) {
        app.uiState = StateCancelled;
    } else {
        const DWORD code = job->errorCode;
        app.uiState = StateFailed;
        app.statusText = std::wstring(text(app.language, CopyFailed)) + L": " + systemErrorText(code);
        if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) {
            app.statusText = std::wstring(text(app.language, PatchInUse)) + L" " + systemErrorText(code);
            showMessage(app, app.statusText.c_str(), MB_ICONWARNING);
        } else if (code == ERROR_ACCESS_DENIED || code == ERROR_PRIVILEGE_NOT_HELD) {
            restartElevated(app, location.path);
        } else {
            showMessage(app, app.statusText.c_str(), MB_ICONERROR);
        }
    }
    requestRepaint(app);
}
