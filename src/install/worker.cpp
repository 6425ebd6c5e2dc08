// The copy of the patch on a worker thread. The previous patch stays untouched until the new one is
// complete on disk beside it; one rename then puts the new one in its place.
#include "install/worker.h"

#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "base/owned.h"
#include "install/installer_app.h"
#include "locate/paths.h"

namespace {

// Under Wine on ext4, 64 to 256 KiB chunks copy as fast as CopyFileW while 512 KiB and more ran up to
// five times slower; reading the next chunk overlapped with the write was slower too.
constexpr DWORD ChunkBytes = 256u << 10;
constexpr const wchar_t* PartialSuffix = L".partial";
// About a screen refresh: the bar moves as smoothly as it can be seen to.
constexpr ULONGLONG ProgressIntervalMs = 15;
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Deletes the partial file when its handle closes: exactly the file this copy wrote.
DWORD discard(HANDLE partial, DWORD code) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    SetFileInformationByHandle(partial, FileDispositionInfo, &disposition, sizeof(disposition));
    return code;
}

bool isDiskFull(DWORD code) { return code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL; }

// Opens an existing target the way the final rename will need it, and closes it again unchanged: the
// game holding it open (sharing violation) or a file or folder the user may not write (access
// denied) is refused here, before a byte is copied. 0 when there is no target or nothing refuses.
DWORD probeTarget(const std::wstring& longTarget) {
    if (GetFileAttributesW(longTarget.c_str()) == INVALID_FILE_ATTRIBUTES) return 0;
    const OwnedFile target(CreateFileW(longTarget.c_str(), FILE_WRITE_DATA | DELETE, ShareAll, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    return target ? 0 : GetLastError();
}

// Renames the open partial file over the target: the file this copy wrote, whatever happened to its
// name meanwhile. One rename, atomic on NTFS: the target is either the previous patch or the new one.
DWORD renameOver(HANDLE partial, const std::wstring& target) {
    const size_t nameBytes = target.size() * sizeof(wchar_t);
    std::vector<unsigned char> block(sizeof(FILE_RENAME_INFO) + nameBytes);  // zeros end the name
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(block.data());
    info->ReplaceIfExists = TRUE;
    info->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(info->FileName, target.c_str(), nameBytes);
    if (!SetFileInformationByHandle(partial, FileRenameInfo, info, static_cast<DWORD>(block.size())))
        return GetLastError();
    return 0;
}

// Writes all of a chunk; a drive that fills up may take part of it, and writing the rest tells why.
DWORD writeAll(HANDLE file, const char* data, DWORD size) {
    for (DWORD offset = 0; offset < size;) {
        DWORD put = 0;
        if (!WriteFile(file, data + offset, size - offset, &put, nullptr)) return GetLastError();
        if (put == 0) return ERROR_WRITE_FAULT;
        offset += put;
    }
    return 0;
}

void joinWorker(InstallerApp& app) {
    if (!app.workerThread) return;
    WaitForSingleObject(app.workerThread, INFINITE);
    CloseHandle(app.workerThread);
    app.workerThread = nullptr;
}

}  // namespace

std::wstring partialPathOf(const std::wstring& target) { return target + PartialSuffix; }

// Not CopyFileExW: Wine's never calls the progress routine, so the window could show no progress and
// could not stop a copy.
DWORD copyJobFile(InstallJob& job) {
    const std::wstring longSource = toLongPath(job.sourcePath);
    const std::wstring longTarget = toLongPath(job.targetPath);
    const std::wstring longPartial = toLongPath(partialPathOf(job.targetPath));

    const OwnedFile in(CreateFileW(longSource.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in) return GetLastError();
    LARGE_INTEGER total{};
    if (!GetFileSizeEx(in.get(), &total)) return GetLastError();
    FILETIME lastWrite{};
    GetFileTime(in.get(), nullptr, nullptr, &lastWrite);

    const bool targetExisted = GetFileAttributesW(longTarget.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (const DWORD refused = probeTarget(longTarget)) return refused;

    // CREATE_ALWAYS replaces a partial file that a killed run left behind. Only a rename or delete may
    // share it while it is written.
    const OwnedFile out(CreateFileW(longPartial.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!out) return GetLastError();

    // The whole size up front, so that a drive that cannot hold it fails now rather than minutes into
    // the copy. A file system that cannot reserve space is no reason to stop (Wine 8 cannot at all;
    // there a full drive shows as the write that fails).
    FILE_ALLOCATION_INFO allocation{};
    allocation.AllocationSize = total;
    if (!SetFileInformationByHandle(out.get(), FileAllocationInfo, &allocation, sizeof(allocation))) {
        const DWORD code = GetLastError();
        if (isDiskFull(code)) return discard(out.get(), code);
    }

    std::unique_ptr<char[]> buffer(new (std::nothrow) char[ChunkBytes]);
    if (!buffer) return discard(out.get(), ERROR_NOT_ENOUGH_MEMORY);

    LARGE_INTEGER done{};
    DWORD reason = CALLBACK_STREAM_SWITCH;
    bool reporting = true;
    for (;;) {
        if (reporting) {
            const DWORD answer = copyProgress(total, done, total, done, 1, reason, in.get(), out.get(), &job);
            if (answer == PROGRESS_CANCEL || answer == PROGRESS_STOP) return discard(out.get(), ERROR_REQUEST_ABORTED);
            reporting = answer != PROGRESS_QUIET;
        }
        reason = CALLBACK_CHUNK_FINISHED;
        DWORD got = 0;
        if (!ReadFile(in.get(), buffer.get(), ChunkBytes, &got, nullptr)) return discard(out.get(), GetLastError());
        if (got == 0) break;
        if (const DWORD code = writeAll(out.get(), buffer.get(), got)) return discard(out.get(), code);
        done.QuadPart += got;
    }

    // On disk before it can replace anything, and as large as the source now is: a copy that is cut
    // short or outgrown is never put in the patch's place.
    if (!FlushFileBuffers(out.get())) return discard(out.get(), GetLastError());
    if (static_cast<uint64_t>(done.QuadPart) != fileSizeOf(longSource)) return discard(out.get(), ERROR_WRITE_FAULT);
    SetFileTime(out.get(), nullptr, nullptr, &lastWrite);

    if (DWORD code = renameOver(out.get(), longTarget)) {
        // The target could be opened for this very rename a moment ago and the folder took the partial
        // file, so a refusal now is a program that opened the target since: the game, not missing rights.
        // (Windows and Wine both refuse to rename over a file that is open.)
        if (code == ERROR_ACCESS_DENIED && targetExisted) code = ERROR_SHARING_VIOLATION;
        return discard(out.get(), code);
    }
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
    const DWORD code = copyJobFile(job);
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
        const uint64_t quotient = static_cast<uint64_t>(totalBytesTransferred.QuadPart) * FullPermille /
                                  static_cast<uint64_t>(totalFileSize.QuadPart);
        permille = static_cast<int32_t>(static_cast<uint32_t>(quotient));
        if (permille < 1) permille = 0;
        if (permille > FullPermille) permille = FullPermille;
    }
    // One message per distinct value, and at most one per frame interval until the bar is full: each
    // message is a round trip through Wine's server, and a thousand of them slowed a fast copy by a tenth.
    if (job.lastProgress.load() == static_cast<uint32_t>(permille)) return PROGRESS_CONTINUE;
    const ULONGLONG now = GetTickCount64();
    if (permille < FullPermille && now - job.lastProgressTick < ProgressIntervalMs) return PROGRESS_CONTINUE;
    job.lastProgress.store(static_cast<uint32_t>(permille));
    job.lastProgressTick = now;
    PostMessageW(job.notifyWindow, WM_INSTALL_PROGRESS, static_cast<WPARAM>(permille), 0);
    return PROGRESS_CONTINUE;
}

void requestCancel(InstallerApp& app) {
    if (app.installJob) app.installJob->cancelRequested.exchange(1);
}

std::unique_ptr<InstallJob> takeFinishedJob(InstallerApp& app) {
    if (!app.installJob) return nullptr;
    joinWorker(app);
    return std::move(app.installJob);
}

void stopWorker(InstallerApp& app) {
    requestCancel(app);
    joinWorker(app);
    app.installJob.reset();
}
