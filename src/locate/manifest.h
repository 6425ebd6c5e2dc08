// The game's app manifest and the test of what counts as the game's destination folder.
#pragma once

#include <cstdint>
#include <string>

constexpr const wchar_t* SteamAppId = L"2719305";

struct ManifestLocation {
    std::wstring path;
    int32_t score = 0;
    uint64_t stamp = 0;
};

struct ManifestLocations {
    ManifestLocation first;
    ManifestLocation second;
};

std::wstring gameRootOf(const std::wstring& path);
bool isGameFolder(const std::wstring& path);
std::wstring resolveGameFolder(const std::wstring& text);
ManifestLocations manifestCandidates(const std::wstring& library);
