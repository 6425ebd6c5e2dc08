// App manifest and game folder validation.
#include "locate/manifest.h"

#include <windows.h>

#include "base/owned.h"
#include "locate/paths.h"
#include "locate/steam.h"

namespace {

constexpr const wchar_t* DefaultInstallDir = L"TavinMere";
constexpr const wchar_t* GameExecutable = L"Tavinmere.exe";
constexpr int32_t ScoreManifestFirst = 800;
constexpr int32_t ScoreManifestSecond = 700;
constexpr int32_t ScoreNoManifest = 500;

bool isGameArchive(const WIN32_FIND_DATAW& entry) {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    const std::wstring name = entry.cFileName;
    return endsWithIgnoreCase(name, L".rpa") && !equalsIgnoreCase(name, L"patch.rpa");
}

// Only the folder's own entries count; the game keeps its archives directly in it.
bool holdsGameArchive(const std::wstring& folder) {
    WIN32_FIND_DATAW entry{};
    OwnedFind find(FindFirstFileW(toLongPath(joinPath(folder, L"*")).c_str(), &entry));
    if (!find) return false;
    do {
        if (isGameArchive(entry)) return true;
    } while (FindNextFileW(find.get(), &entry));
    return false;
}

std::wstring manifestName() { return std::wstring(L"appmanifest_") + SteamAppId + L".acf"; }

// One folder inside common: a damaged or planted manifest must not lead the patch out of the library
// with a separator, a drive or a dot folder.
bool namesOneFolder(const std::wstring& dir) {
    return !dir.empty() && dir.find_first_of(L"\\/:") == std::wstring::npos && dir != L"." && dir != L"..";
}

}  // namespace

std::wstring gameRootOf(const std::wstring& path) {
    std::wstring p = normalizePath(path);
    if (!endsWithIgnoreCase(p, L"\\game")) return {};
    p.resize(p.size() - 5);
    if (p.size() == 2 && p[1] == L':') p += L'\\';
    return p;
}

bool isGameFolder(const std::wstring& path) {
    const std::wstring p = normalizePath(path);
    if (!isExistingDirectory(p)) return false;
    const std::wstring root = gameRootOf(p);
    if (root.empty() || !isExistingDirectory(root)) return false;
    if (!holdsGameArchive(p)) return false;
    return isExistingFile(joinPath(root, GameExecutable));
}

std::wstring resolveGameFolder(const std::wstring& text) {
    const std::wstring p = normalizePath(text);
    const std::wstring tries[] = {
        p,
        joinPath(p, L"game"),
        joinPath(joinPath(p, DefaultInstallDir), L"game"),
        joinPath(joinPath(joinPath(p, L"common"), DefaultInstallDir), L"game"),
        joinPath(joinPath(joinPath(joinPath(p, L"steamapps"), L"common"), DefaultInstallDir), L"game"),
    };
    for (const std::wstring& candidate : tries) {
        if (isGameFolder(candidate)) return normalizePath(candidate);
    }
    return {};
}

ManifestLocations manifestCandidates(const std::wstring& library) {
    const std::wstring steamapps = joinPath(library, L"steamapps");
    const std::wstring manifest = joinPath(steamapps, manifestName());
    std::wstring dir = DefaultInstallDir;
    const bool present = isExistingFile(manifest);
    uint64_t stamp = 0;
    if (present) {
        const std::vector<std::wstring> tokens = extractQuotedStrings(readTextFile(manifest));
        for (size_t i = 1; i < tokens.size(); ++i) {
            if (!equalsIgnoreCase(tokens[i - 1], L"installdir")) continue;
            if (namesOneFolder(tokens[i])) dir = tokens[i];
            break;
        }
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (GetFileAttributesExW(manifest.c_str(), GetFileExInfoStandard, &data))
            stamp =
                (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
    }
    const std::wstring common = joinPath(steamapps, L"common");
    ManifestLocations locations;
    locations.first = {joinPath(joinPath(common, dir), L"game"), present ? ScoreManifestFirst : ScoreNoManifest, stamp};
    locations.second = {joinPath(joinPath(common, DefaultInstallDir), L"game"),
                        present ? ScoreManifestSecond : ScoreNoManifest, stamp};
    return locations;
}
