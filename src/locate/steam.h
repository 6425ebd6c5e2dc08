// Steam installations and library folders: registry, default folders, fixed drives, libraryfolders.vdf.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

using SteamRootList = std::vector<std::wstring>;

std::wstring readRegistryPath(HKEY hive, const std::wstring& subkey, const std::wstring& name, REGSAM view);
void addSteamRoot(SteamRootList& list, const std::wstring& text);
std::wstring readTextFile(const std::wstring& path);
std::vector<std::wstring> extractQuotedStrings(const std::wstring& text);
SteamRootList buildSteamRootList();
std::vector<std::wstring> findSteamLibraries();
