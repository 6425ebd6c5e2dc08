// Copy worker. (skeleton: to be filled in)
#include "install/worker.h"

#include "app/installer_app.h"

bool startWorker(InstallerApp&, const std::wstring&, const std::wstring&) { return false; }
DWORD WINAPI copyWorkerMain(LPVOID) { return 0; }
DWORD CALLBACK copyProgress(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, DWORD, DWORD, HANDLE, HANDLE,
                            LPVOID) {
    return PROGRESS_CONTINUE;
}
void requestCancel(InstallerApp&) {}
void stopWorker(InstallerApp&) {}
void onInstallProgress(InstallerApp&, WPARAM) {}
void onInstallDone(InstallerApp&) {}
