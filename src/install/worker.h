// The copy of the patch on a worker thread: written beside the target under a fixed temporary name
// and swapped in at the end, with progress, cancel and an outcome read by the UI thread after a join.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

struct InstallerApp;

constexpr UINT WM_INSTALL_PROGRESS = WM_APP + 10;
constexpr UINT WM_INSTALL_DONE = WM_APP + 11;

struct InstallJob {
    HWND notifyWindow = nullptr;
    std::wstring sourcePath;
    std::wstring targetPath;
    std::atomic<LONG> cancelRequested{0};
    std::atomic<uint32_t> lastProgress{0xFFFFFFFFu};
    ULONGLONG lastProgressTick = 0;  // when the last progress message was posted; the worker's alone
    DWORD errorCode = 0;
    bool succeeded = false;
    bool cancelled = false;
};

// Where the copy writes before it replaces the target: one fixed name in the target's folder, so that
// the next install into that folder finds and replaces what a killed run left behind.
std::wstring partialPathOf(const std::wstring& target);
// Starts a copy job; false (with GetLastError set) when the thread cannot be created.
bool startWorker(InstallerApp& app, const std::wstring& source, const std::wstring& target);
DWORD WINAPI copyWorkerMain(LPVOID job);
// Copies the job's source to its target: refuses first what would make the final swap fail, writes
// the partial file, flushes it, checks its size and only then replaces the target with it in one
// step. Until then the target is untouched, attributes included; the partial file is removed on every
// failure, and by the system if the process dies. Calls copyProgress before the first chunk and after
// every one. Returns the Win32 code, 0 on success.
DWORD copyJobFile(InstallJob& job);
DWORD CALLBACK copyProgress(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalBytesTransferred, LARGE_INTEGER streamSize,
                            LARGE_INTEGER streamBytesTransferred, DWORD streamNumber, DWORD callbackReason,
                            HANDLE sourceFile, HANDLE destinationFile, LPVOID context);
void requestCancel(InstallerApp& app);
// Waits for the worker to end and hands over its job; null when there is none.
std::unique_ptr<InstallJob> takeFinishedJob(InstallerApp& app);
// Cancels and ends the worker; one that a few seconds of cancelled I/O do not end is left running.
void stopWorker(InstallerApp& app);
