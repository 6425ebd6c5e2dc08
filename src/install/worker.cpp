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

// Each ReadFile and WriteFile through Wine costs microseconds beyond the kernel's own copy: a chunk
// four times the 64 KiB of Wine's CopyFileW copies a cached patch faster than CopyFileW does. A cancel
// still takes effect within a chunk, milliseconds even on a slow stick.
constexpr DWORD ChunkBytes = 256u << 10;
constexpr const wchar_t* PartialSuffix = L".partial";
// About a screen refresh: the bar moves as smoothly as it can be seen to.
constexpr ULONGLONG ProgressIntervalMs = 15;
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// A scanner or indexer opens a freshly written file for a moment: the swap is tried again for about a
// second before its refusal counts.
constexpr int SwapAttempts = 9;
constexpr DWORD SwapRetryMs = 125;
// How long a close waits for a worker stuck in I/O before the process goes on without it.
constexpr DWORD StopWaitMs = 3000;
constexpr DWORD StopPollMs = 100;
// FileRenameInfoEx and its flags, missing from older SDK headers; the structure is FILE_RENAME_INFO
// with a DWORD of flags where ReplaceIfExists is.
constexpr auto RenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);
constexpr DWORD RenameReplaceIfExists = 0x1;
constexpr DWORD RenamePosixSemantics = 0x2;
constexpr DWORD RenameIgnoreReadOnly = 0x40;

// Whether the file goes when its last handle closes; set from its creation, so that however the
// process ends, even killed, exactly the file this copy wrote goes with it.
bool markForDeletion(HANDLE file, bool remove) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
}

bool isDiskFull(DWORD code) { return code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL; }
bool isRefusal(DWORD code) { return code == ERROR_SHARING_VIOLATION || code == ERROR_ACCESS_DENIED; }
bool cancelled(const InstallJob& job) { return job.cancelRequested.load() != 0; }

// Opens an existing target for the deletion the final rename does, and closes it again unchanged: the
// game holding it open (sharing violation) or a file the user may not replace (access denied) is
// refused here, before a byte is copied. Not for writing: Windows refuses that on a read-only file
// whatever the user's rights, and the swap replaces a read-only patch like any other.
DWORD probeTarget(const std::wstring& longTarget) {
    const OwnedFile target(
        CreateFileW(longTarget.c_str(), DELETE, ShareAll, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return target ? 0 : GetLastError();
}

DWORD renameHandle(HANDLE file, const std::wstring& target, FILE_INFO_BY_HANDLE_CLASS kind, DWORD flags) {
    const size_t nameBytes = target.size() * sizeof(wchar_t);
    std::vector<unsigned char> block(sizeof(FILE_RENAME_INFO) + nameBytes);  // zeros end the name
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(block.data());
    std::memcpy(block.data(), &flags, sizeof(flags));  // ReplaceIfExists is the first byte of the flags
    info->FileNameLength = static_cast<DWORD>(nameBytes);
    std::memcpy(info->FileName, target.c_str(), nameBytes);
    if (!SetFileInformationByHandle(file, kind, info, static_cast<DWORD>(block.size()))) return GetLastError();
    return 0;
}

// Renames the open partial file over the target: the file this copy wrote, whatever happened to its
// name meanwhile. One rename, atomic on NTFS: the target is either the previous patch or the new one.
// POSIX semantics let the swap pass a reader that shares deletion (an indexer), and replace a read-only
// patch; where the file system or Windows has no such rename (FAT, exFAT, network shares, Windows 10
// before 1809, Wine), the read-only attribute is cleared for a plain rename and put back if it fails.
DWORD swapIn(HANDLE partial, const std::wstring& target, DWORD targetAttributes) {
    const DWORD code = renameHandle(partial, target, RenameInfoEx,
                                    RenameReplaceIfExists | RenamePosixSemantics | RenameIgnoreReadOnly);
    if (code == 0 || isRefusal(code)) return code;
    const bool readOnly =
        targetAttributes != INVALID_FILE_ATTRIBUTES && (targetAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly && !SetFileAttributesW(target.c_str(), targetAttributes & ~FILE_ATTRIBUTE_READONLY))
        return GetLastError();
    const DWORD plain = renameHandle(partial, target, FileRenameInfo, RenameReplaceIfExists);
    if (plain != 0 && readOnly) SetFileAttributesW(target.c_str(), targetAttributes);
    return plain;
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

// Writes the whole source into the partial file, on disk and as large as the source now is: a copy
// that is cut short or outgrown is never put in the patch's place. A cancel that comes during the
// flush, seconds on a USB stick with the bar full, still counts.
DWORD fillPartial(InstallJob& job, HANDLE in, HANDLE out, LARGE_INTEGER total, const std::wstring& longSource) {
    // The whole size up front, so that a drive that cannot hold it fails now rather than minutes into
    // the copy. A file system that cannot reserve space is no reason to stop (Wine 8 cannot at all;
    // there a full drive shows as the write that fails).
    FILE_ALLOCATION_INFO allocation{};
    allocation.AllocationSize = total;
    if (!SetFileInformationByHandle(out, FileAllocationInfo, &allocation, sizeof(allocation))) {
        const DWORD code = GetLastError();
        if (isDiskFull(code)) return code;
    }

    std::unique_ptr<char[]> buffer(new (std::nothrow) char[ChunkBytes]);
    if (!buffer) return ERROR_NOT_ENOUGH_MEMORY;
    LARGE_INTEGER done{};
    DWORD reason = CALLBACK_STREAM_SWITCH;
    bool reporting = true;
    for (;;) {
        if (reporting) {
            const DWORD answer = copyProgress(total, done, total, done, 1, reason, in, out, &job);
            if (answer == PROGRESS_CANCEL || answer == PROGRESS_STOP) return ERROR_REQUEST_ABORTED;
            reporting = answer != PROGRESS_QUIET;
        }
        reason = CALLBACK_CHUNK_FINISHED;
        DWORD got = 0;
        if (!ReadFile(in, buffer.get(), ChunkBytes, &got, nullptr)) return GetLastError();
        if (got == 0) break;
        if (const DWORD code = writeAll(out, buffer.get(), got)) return code;
        done.QuadPart += got;
    }
    if (!FlushFileBuffers(out)) return GetLastError();
    if (static_cast<uint64_t>(done.QuadPart) != fileSizeOf(longSource)) return ERROR_WRITE_FAULT;
    return cancelled(job) ? ERROR_REQUEST_ABORTED : 0;
}

DWORD swapWithRetries(InstallJob& job, HANDLE partial, const std::wstring& longTarget, DWORD targetAttributes) {
    DWORD code = 0;
    for (int attempt = 1;; ++attempt) {
        // A file marked for deletion cannot be renamed; it is marked again at once after a refusal, so
        // that a process ended while it waits to try again still leaves nothing behind.
        if (!markForDeletion(partial, false)) return GetLastError();
        code = swapIn(partial, longTarget, targetAttributes);
        if (code == 0) return 0;
        markForDeletion(partial, true);
        if (!isRefusal(code) || attempt == SwapAttempts) break;
        if (cancelled(job)) return ERROR_REQUEST_ABORTED;
        Sleep(SwapRetryMs);
    }
    // The target could be opened for this very rename before the copy and the folder took the partial
    // file, so a refusal that lasts is a program that opened the target since: the game, not missing
    // rights. (Wine refuses to rename over a file that is open, however it is shared.)
    return code == ERROR_ACCESS_DENIED && targetAttributes != INVALID_FILE_ATTRIBUTES ? ERROR_SHARING_VIOLATION : code;
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

    const DWORD targetAttributes = GetFileAttributesW(longTarget.c_str());
    if (targetAttributes != INVALID_FILE_ATTRIBUTES) {
        if (const DWORD refused = probeTarget(longTarget)) return refused;
    }

    // CREATE_ALWAYS replaces a partial file that an earlier run left behind. Only a rename or delete may
    // share it while it is written.
    const OwnedFile out(CreateFileW(longPartial.c_str(), GENERIC_WRITE | DELETE, FILE_SHARE_DELETE, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return GetLastError();
    markForDeletion(out.get(), true);

    DWORD code = fillPartial(job, in.get(), out.get(), total, longSource);
    if (code == 0) {
        SetFileTime(out.get(), nullptr, nullptr, &lastWrite);
        code = swapWithRetries(job, out.get(), longTarget, targetAttributes);
    }
    return code;  // a failed copy's partial file is still marked, and goes as its handle closes
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
    if (app.workerThread) {
        // A worker normally sees the cancel within a chunk. One blocked in I/O (a share that went away, a
        // pulled USB stick) has that I/O cancelled; one that still does not end is left to the end of the
        // process, so that closing the window never hangs. Its partial file goes with the process.
        const ULONGLONG end = GetTickCount64() + StopWaitMs;
        DWORD waited = WaitForSingleObject(app.workerThread, StopPollMs);
        for (; waited == WAIT_TIMEOUT && GetTickCount64() < end;
             waited = WaitForSingleObject(app.workerThread, StopPollMs))
            CancelSynchronousIo(app.workerThread);
        CloseHandle(app.workerThread);
        app.workerThread = nullptr;
        if (waited != WAIT_OBJECT_0) {
            static_cast<void>(app.installJob.release());  // still the running thread's
            return;
        }
    }
    app.installJob.reset();
}
