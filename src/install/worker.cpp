// The copy of the patch on a worker thread, its progress messages and the outcome on the UI thread.
#include "install/worker.h"

#include <memory>
#include <new>

#include "app/installer_app.h"
#include "install/checks.h"
#include "install/error_text.h"
#include "install/launch.h"
#include "locate/paths.h"

namespace {

constexpr DWORD ErrorSizeMismatch = ERROR_WRITE_FAULT;
constexpr int32_t FullPermille = 1000;
constexpr DWORD CopyChunkBytes = 1u << 20;

struct OwnedFile {
    HANDLE handle = INVALID_HANDLE_VALUE;
    explicit OwnedFile(HANDLE h) : handle(h) {}
    ~OwnedFile() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
    }
    OwnedFile(const OwnedFile&) = delete;
    OwnedFile& operator=(const OwnedFile&) = delete;
    bool valid() const { return handle != INVALID_HANDLE_VALUE; }
};

// Deletes the file behind the handle when the handle closes: exactly the file this copy wrote, even
// when its folder was renamed meanwhile, and never one that another program put at the same path.
DWORD discardTarget(HANDLE target, DWORD code) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    SetFileInformationByHandle(target, FileDispositionInfo, &disposition, sizeof(disposition));
    return code;
}

void joinWorker(InstallerApp& app) {
    if (!app.workerThread) return;
    WaitForSingleObject(app.workerThread, INFINITE);
    CloseHandle(app.workerThread);
    app.workerThread = nullptr;
}

}  // namespace

// Not CopyFileExW itself: Wine's ignores the progress routine and the cancel request and leaves a
// partial target behind on failure, so the window would show no progress and could not stop a copy.
DWORD copyJobFile(InstallJob& job, const std::wstring& longSource, const std::wstring& longTarget) {
    OwnedFile in(CreateFileW(longSource.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in.valid()) return GetLastError();
    LARGE_INTEGER total{};
    if (!GetFileSizeEx(in.handle, &total)) return GetLastError();
    FILETIME lastWrite{};
    GetFileTime(in.handle, nullptr, nullptr, &lastWrite);

    // Opening the target is where a game holding the file (32) or a folder without rights (5) shows
    // up; until it succeeds the previous patch is untouched. Nobody else may open it while it is written.
    OwnedFile out(CreateFileW(longTarget.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!out.valid()) return GetLastError();

    std::unique_ptr<char[]> buffer(new (std::nothrow) char[CopyChunkBytes]);
    if (!buffer) return discardTarget(out.handle, ERROR_NOT_ENOUGH_MEMORY);

    LARGE_INTEGER done{};
    DWORD reason = CALLBACK_STREAM_SWITCH;
    bool reporting = true;
    for (;;) {
        if (reporting) {
            const DWORD answer = copyProgress(total, done, total, done, 1, reason, in.handle, out.handle, &job);
            if (answer == PROGRESS_CANCEL || answer == PROGRESS_STOP)
                return discardTarget(out.handle, ERROR_REQUEST_ABORTED);
            reporting = answer != PROGRESS_QUIET;
        }
        reason = CALLBACK_CHUNK_FINISHED;
        DWORD got = 0;
        if (!ReadFile(in.handle, buffer.get(), CopyChunkBytes, &got, nullptr))
            return discardTarget(out.handle, GetLastError());
        if (got == 0) break;
        // A drive that fills up may take part of a chunk; writing the rest then tells why it stopped.
        for (DWORD offset = 0; offset < got;) {
            DWORD put = 0;
            if (!WriteFile(out.handle, buffer.get() + offset, got - offset, &put, nullptr))
                return discardTarget(out.handle, GetLastError());
            if (put == 0) return discardTarget(out.handle, ERROR_WRITE_FAULT);
            offset += put;
        }
        done.QuadPart += got;
    }
    SetFileTime(out.handle, nullptr, nullptr, &lastWrite);
    // Checked while the copy still holds its target, so that a copy of the wrong size is no patch
    // left behind. The previous patch was replaced by then; there is nothing else to keep.
    if (fileSizeOf(job.sourcePath) != fileSizeOf(job.targetPath)) return discardTarget(out.handle, ErrorSizeMismatch);
    return 0;
}

bool startWorker(InstallerApp& app, const std::wstring& source, const std::wstring& target) {
    stopWorker(app);
    auto job = std::make_unique<InstallJob>();
    job->notifyWindow = app.mainWindow;
    job->sourcePath = source;
    job->targetPath = target;
    app.installJob = std::move(job);
    app.workerThread = CreateThread(nullptr, 0, copyWorkerMain, app.installJob.get(), 0, nullptr);
    if (!app.workerThread) {
        const DWORD code = GetLastError();
        app.installJob.reset();
        SetLastError(code);
        return false;
    }
    return true;
}

DWORD WINAPI copyWorkerMain(LPVOID context) {
    auto& job = *static_cast<InstallJob*>(context);
    const std::wstring longSource = toLongPath(job.sourcePath);
    const std::wstring longTarget = toLongPath(job.targetPath);
    const DWORD code = copyJobFile(job, longSource, longTarget);
    if (code == 0) {
        job.succeeded = true;
    } else {
        job.errorCode = code;
        job.cancelled = code == ERROR_REQUEST_ABORTED || job.cancelRequested.load() != 0;
    }
    PostMessageW(job.notifyWindow, WM_INSTALL_DONE, 0, 0);
    return 0;
}

DWORD CALLBACK copyProgress(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalBytesTransferred, LARGE_INTEGER,
                            LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE, LPVOID context) {
    auto& job = *static_cast<InstallJob*>(context);
    LONG expected = 0;
    if (!job.cancelRequested.compare_exchange_strong(expected, 0)) return PROGRESS_CANCEL;

    int32_t permille = 0;
    if (totalFileSize.QuadPart > 0) {
        const uint64_t quotient = static_cast<uint64_t>(totalBytesTransferred.QuadPart) * 1000u /
                                  static_cast<uint64_t>(totalFileSize.QuadPart);
        permille = static_cast<int32_t>(static_cast<uint32_t>(quotient));
        if (permille < 1) permille = 0;
        if (permille > FullPermille) permille = FullPermille;
    }
    // One message per distinct value, however often the copy reports.
    if (job.lastProgress.exchange(static_cast<uint32_t>(permille)) == static_cast<uint32_t>(permille))
        return PROGRESS_CONTINUE;
    PostMessageW(job.notifyWindow, WM_INSTALL_PROGRESS, static_cast<WPARAM>(permille), 0);
    return PROGRESS_CONTINUE;
}

void requestCancel(InstallerApp& app) {
    if (app.installJob) app.installJob->cancelRequested.exchange(1);
}

void stopWorker(InstallerApp& app) {
    requestCancel(app);
    joinWorker(app);
    app.installJob.reset();
}

void onInstallProgress(InstallerApp& app, WPARAM permille) {
    app.progressPermille = static_cast<int32_t>(static_cast<uint32_t>(permille));
    requestRepaint(app);
}

void onInstallDone(InstallerApp& app) {
    // A late or repeated end message finds no job: its outcome was taken already.
    if (!app.installJob) return;
    joinWorker(app);
    const bool succeeded = app.installJob->succeeded;
    const bool cancelled = app.installJob->cancelled;
    const DWORD code = app.installJob->errorCode;
    app.installJob.reset();

    if (succeeded) {
        app.uiState = StateCompleted;
        app.progressPermille = FullPermille;
        // The selection may have moved to another folder while the copy ran (F5, Ctrl+B): ask the
        // file system about the folder selected now instead of assuming the patch landed there.
        refreshTargetState(app);
    } else if (cancelled) {
        app.uiState = StateCancelled;
    } else {
        app.uiState = StateFailed;
        app.statusText = std::wstring(text(app.language, CopyFailed)) + L": " + systemErrorText(code);
        if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) {
            app.statusText = std::wstring(text(app.language, PatchInUse)) + L" " + systemErrorText(code);
            showMessage(app, app.statusText.c_str(), MB_ICONWARNING);
        } else if (code == ERROR_ACCESS_DENIED || code == ERROR_PRIVILEGE_NOT_HELD) {
            restartElevated(app);
        } else {
            showMessage(app, app.statusText.c_str(), MB_ICONERROR);
        }
    }
    requestRepaint(app);
}
