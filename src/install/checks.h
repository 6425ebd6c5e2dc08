// What is known of the patch source and target, and the checks before a copy starts.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct InstallerApp;

bool isSameFile(const std::wstring& a, const std::wstring& b);
// The selected destination folder joined with "patch.rpa"; empty without a valid selection.
std::wstring targetPathOf(const InstallerApp& app);
void refreshTargetState(InstallerApp& app);
// The new patch is written beside the old one before it replaces it, so both need room at once:
// the patch plus a margin of its own size, at most 8 MiB, must be free.
bool hasRoomForPatch(uint64_t freeBytes, uint64_t patchSize);
// Whether a file system of that name ("FAT32", "NTFS", ...) can hold a file of that size: FAT and FAT32
// end at 4 GiB less one byte.
bool fileSystemHolds(const std::wstring& fileSystem, uint64_t fileSize);
void startInstall(InstallerApp& app);
// The copy's progress and its end, on the UI thread: the next state and the message or the restart
// offer that the outcome calls for.
void onInstallProgress(InstallerApp& app, WPARAM permille);
void onInstallDone(InstallerApp& app);
