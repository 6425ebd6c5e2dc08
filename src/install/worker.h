// The copy of the patch on a worker thread, its progress and its outcome.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
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
    DWORD errorCode = 0;
    bool succeeded = false;
    bool cancelled = false;
};

// Starts a copy job; false (with GetLastError set) when the thread cannot be created.
bool startWorker(InstallerApp& app, const std::wstring& source, const std::wstring& target);
DWORD WINAPI copyWorkerMain(LPVOID job);
// Copies the job's source over its target in the manner of CopyFileExW with flags 0, calling
// copyProgress before the first chunk and after every one; a copy that is cancelled, fails, or leaves
// a target of another size than the source removes the file it wrote. Returns the Win32 code, 0 on success.
DWORD copyJobFile(InstallJob& job, const std::wstring& longSource, const std::wstring& longTarget);
DWORD CALLBACK copyProgress(LARGE_INTEGER totalFileSize, LARGE_INTEGER totalBytesTransferred,
                            LARGE_INTEGER streamSize, LARGE_INTEGER streamBytesTransferred, DWORD streamNumber,
                            DWORD callbackReason, HANDLE sourceFile, HANDLE destinationFile, LPVOID context);
void requestCancel(InstallerApp& app);
void stopWorker(InstallerApp& app);
void onInstallProgress(InstallerApp& app, WPARAM permille);
void onInstallDone(InstallerApp& app);
