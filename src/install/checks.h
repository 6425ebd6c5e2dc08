// What is known of the patch source and target, and the checks before a copy starts.
#pragma once

#include <cstdint>
#include <string>

struct InstallerApp;

uint64_t fileSizeOf(const std::wstring& path);
bool isSameFile(const std::wstring& a, const std::wstring& b);
// The selected destination folder joined with "patch.rpa"; empty without a valid selection.
std::wstring targetPathOf(const InstallerApp& app);
void refreshTargetState(InstallerApp& app);
// True when the bytes available at the target (free space plus the target it replaces) can take the patch.
bool hasRoomForPatch(uint64_t freeBytes, uint64_t existingTargetBytes, uint64_t patchSize);
void startInstall(InstallerApp& app);
