// Steam library discovery. (skeleton: to be filled in)
#include "locate/steam.h"

std::wstring readRegistryPath(HKEY, const std::wstring&, const std::wstring&, REGSAM) { return {}; }
void addSteamRoot(SteamRootList&, const std::wstring&) {}
std::wstring readTextFile(const std::wstring&) { return {}; }
std::vector<std::wstring> extractQuotedStrings(const std::wstring&) { return {}; }
SteamRootList buildSteamRootList() { return {}; }
std::vector<std::wstring> findSteamLibraries() { return {}; }
