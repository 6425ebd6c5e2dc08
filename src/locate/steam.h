// Steam installations and library folders: registry, default folders, fixed drives, libraryfolders.vdf.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "locate/paths.h"

// Folders in the order found, each once: two spellings of one path are one folder, and under Wine, where
// one Steam is often reached through symlinks, so are two paths that reach one folder.
struct SteamRootList {
    std::vector<std::wstring> paths;
    std::vector<FileIdentity> identities;  // beside each path; asked under Wine only
};

std::wstring readRegistryPath(HKEY hive, const std::wstring& subkey, const std::wstring& name, REGSAM view);
// Appends the folder the text names unless it does not exist or is listed.
void addSteamRoot(SteamRootList& roots, const std::wstring& text);
std::wstring readTextFile(const std::wstring& path);
std::vector<std::wstring> extractQuotedStrings(const std::wstring& text);
// The roots Windows knows of; under Wine then those of the Linux side: the home's Steam folders, then
// the client and the libraries Proton names.
std::vector<std::wstring> buildSteamRootList();
std::vector<std::wstring> findSteamLibraries();
