// Steam library discovery: registry, default folders, fixed drives, under Wine the Linux side (the home,
// Proton's variables), and each root's libraryfolders.vdf.
#include "locate/steam.h"

#include <algorithm>
#include <cwctype>

#include "base/owned.h"
#include "locate/paths.h"

namespace {

constexpr const wchar_t* SteamKeyUser = L"Software\\Valve\\Steam";
constexpr const wchar_t* SteamKeyMachine = L"SOFTWARE\\Valve\\Steam";
constexpr DWORD EnvironmentBufferChars = 32768;
constexpr DWORD DriveBufferChars = 512;
constexpr LONGLONG MaxTextFileBytes = 16 * 1024 * 1024;

std::wstring upToFirstZero(const wchar_t* text) { return std::wstring(text); }

std::wstring expandEnvironment(const std::wstring& value) {
    const DWORD needed = ExpandEnvironmentStringsW(value.c_str(), nullptr, 0);
    if (needed == 0) return value;
    std::vector<wchar_t> buffer(static_cast<size_t>(needed) + 1, L'\0');
    if (ExpandEnvironmentStringsW(value.c_str(), buffer.data(), static_cast<DWORD>(buffer.size())) == 0) return value;
    return upToFirstZero(buffer.data());
}

// The variable's value, or empty when it is unset or does not fit the buffer.
std::wstring environmentFolder(const wchar_t* name) {
    std::vector<wchar_t> buffer(EnvironmentBufferChars, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, buffer.data(), EnvironmentBufferChars);
    if (length < 1 || length > EnvironmentBufferChars - 1) return {};
    return std::wstring(buffer.data(), length);
}

int decodedLength(UINT codePage, DWORD flags, const std::vector<char>& bytes, DWORD count) {
    return MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(count), nullptr, 0);
}

bool isAllDigits(const std::wstring& s) {
    if (s.empty()) return false;
    for (wchar_t c : s) {
        if (!std::iswdigit(c)) return false;
    }
    return true;
}

// Appends a normalized path unless the list holds its folder.
void addFolder(SteamRootList& list, const std::wstring& path) {
    for (const std::wstring& entry : list.paths) {
        if (equalsIgnoreCase(entry, path)) return;
    }
    const FileIdentity identity = runningUnderWine() ? fileIdentityOf(path) : FileIdentity{};
    for (const FileIdentity& entry : list.identities) {
        if (sameFileIdentity(entry, identity)) return;
    }
    list.paths.push_back(path);
    list.identities.push_back(identity);
}

bool isDriveLetterPath(const std::wstring& path) { return path.size() >= 3 && path[1] == L':'; }

// Wine gives the home as an NT path: \??\Z:\home\deck, or \??\unix\home\deck where no drive reaches it.
std::wstring wineHomeFolder() {
    const std::wstring home = environmentFolder(L"WINEHOMEDIR");
    if (home.compare(0, 4, L"\\??\\") != 0 || !isDriveLetterPath(home.substr(4))) return {};
    return home.substr(4);
}

// Steam on the Linux side: the native client, its usual symlinks, Debian's package, Flatpak and Snap.
constexpr const wchar_t* HomeSteamFolders[] = {
    L".local\\share\\Steam",
    L".steam\\steam",
    L".steam\\root",
    L".steam\\debian-installation",
    L".var\\app\\com.valvesoftware.Steam\\.local\\share\\Steam",
    L".var\\app\\com.valvesoftware.Steam\\data\\Steam",
    L"snap\\steam\\common\\.local\\share\\Steam",
};

void addLinuxSteamRoots(SteamRootList& roots) {
    const std::wstring home = wineHomeFolder();
    if (!home.empty()) {
        for (const wchar_t* folder : HomeSteamFolders) addSteamRoot(roots, joinPath(home, folder));
    }
    // Set when Steam starts the program through Proton: the client's root, and the libraries by Linux
    // path. Wine decodes them in the locale's code page, UTF-8 wherever Steam runs.
    addSteamRoot(roots, dosPathOfLinuxPath(environmentFolder(L"STEAM_COMPAT_CLIENT_INSTALL_PATH")));
    const std::wstring libraries = environmentFolder(L"STEAM_COMPAT_LIBRARY_PATHS");
    for (size_t begin = 0, end = 0; begin < libraries.size(); begin = end + 1) {
        end = std::min(libraries.find(L':', begin), libraries.size());
        std::wstring library = normalizePath(dosPathOfLinuxPath(libraries.substr(begin, end - begin)));
        // Steam names each library by its steamapps folder.
        if (endsWithIgnoreCase(library, L"\\steamapps")) library = parentFolder(library);
        addSteamRoot(roots, library);
    }
}

}  // namespace

std::wstring readRegistryPath(HKEY hive, const std::wstring& subkey, const std::wstring& name, REGSAM view) {
    OwnedKey key;
    if (RegOpenKeyExW(hive, subkey.c_str(), 0, KEY_QUERY_VALUE | view, key.out()) != ERROR_SUCCESS) return {};
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return {};
    if ((type != REG_SZ && type != REG_EXPAND_SZ) || size < 2) return {};

    // Two spare characters: the stored data need not end with a terminator.
    std::vector<wchar_t> buffer(static_cast<size_t>(size) / 2 + 2, L'\0');
    DWORD bytes = size;
    if (RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes) !=
        ERROR_SUCCESS)
        return {};
    std::wstring value = upToFirstZero(buffer.data());
    if (type == REG_EXPAND_SZ) value = expandEnvironment(value);
    return normalizePath(value);
}

void addSteamRoot(SteamRootList& roots, const std::wstring& text) {
    const std::wstring path = normalizePath(text);
    if (!path.empty() && isExistingDirectory(path)) addFolder(roots, path);
}

std::wstring readTextFile(const std::wstring& path) {
    OwnedFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size) || size.QuadPart < 1 || size.QuadPart > MaxTextFileBytes) return {};

    std::vector<char> bytes(static_cast<size_t>(size.QuadPart), 0);
    DWORD read = 0;
    if (!ReadFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) return {};

    UINT codePage = CP_UTF8;
    DWORD flags = MB_ERR_INVALID_CHARS;
    int length = decodedLength(codePage, flags, bytes, read);
    if (length == 0) {
        codePage = CP_ACP;
        flags = 0;
        length = decodedLength(codePage, flags, bytes, read);
    }
    if (length < 1) return {};
    std::wstring text(static_cast<size_t>(length), L'\0');
    if (MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(read), &text[0], length) != length)
        return {};
    if (!text.empty() && text[0] == L'\xFEFF') text.erase(0, 1);
    return text;
}

std::vector<std::wstring> extractQuotedStrings(const std::wstring& text) {
    std::vector<std::wstring> tokens;
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        if (text[i] != L'"') {
            ++i;
            continue;
        }
        ++i;
        std::wstring token;
        while (i < n && text[i] != L'"') {
            if (text[i] == L'\\' && i + 1 < n && (text[i + 1] == L'\\' || text[i + 1] == L'"')) {
                token += text[i + 1];
                i += 2;
                continue;
            }
            token += text[i];
            ++i;
        }
        if (i < n) ++i;  // the closing quote
        tokens.push_back(std::move(token));
    }
    return tokens;
}

std::vector<std::wstring> buildSteamRootList() {
    SteamRootList roots;
    addSteamRoot(roots, readRegistryPath(HKEY_CURRENT_USER, SteamKeyUser, L"SteamPath", 0));
    addSteamRoot(roots, readRegistryPath(HKEY_CURRENT_USER, SteamKeyUser, L"InstallPath", 0));
    for (REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_32KEY), REGSAM(KEY_WOW64_64KEY)})
        addSteamRoot(roots, readRegistryPath(HKEY_LOCAL_MACHINE, SteamKeyMachine, L"InstallPath", view));
    for (const wchar_t* variable : {L"ProgramFiles(x86)", L"ProgramFiles"}) {
        const std::wstring folder = environmentFolder(variable);
        if (!folder.empty()) addSteamRoot(roots, joinPath(folder, L"Steam"));
    }
    addSteamRoot(roots, L"C:\\Program Files (x86)\\Steam");
    addSteamRoot(roots, L"C:\\Program Files\\Steam");

    std::vector<wchar_t> drives(DriveBufferChars, L'\0');
    const DWORD length = GetLogicalDriveStringsW(DriveBufferChars, drives.data());
    const bool listed = length >= 1 && length <= DriveBufferChars - 1 && drives[0] != L'\0';
    for (const wchar_t* drive = drives.data(); listed && *drive; drive += wcslen(drive) + 1) {
        if (GetDriveTypeW(drive) != DRIVE_FIXED) continue;
        const std::wstring root = drive;
        const std::wstring games = joinPath(root, L"Games");
        addSteamRoot(roots, root);
        addSteamRoot(roots, joinPath(root, L"Steam"));
        addSteamRoot(roots, joinPath(root, L"SteamLibrary"));
        addSteamRoot(roots, joinPath(games, L"Steam"));
        addSteamRoot(roots, joinPath(games, L"SteamLibrary"));
    }
    if (runningUnderWine()) addLinuxSteamRoots(roots);
    return roots.paths;
}

std::vector<std::wstring> findSteamLibraries() {
    // Each root, then the further libraries its file names: each folder at its first place.
    SteamRootList libraries;
    for (const std::wstring& root : buildSteamRootList()) {
        addFolder(libraries, normalizePath(root));
        const std::wstring vdf = joinPath(joinPath(root, L"steamapps"), L"libraryfolders.vdf");
        const std::vector<std::wstring> tokens = extractQuotedStrings(readTextFile(vdf));
        for (size_t i = 1; i < tokens.size(); ++i) {
            const std::wstring& key = tokens[i - 1];
            if (!equalsIgnoreCase(key, L"path") && !isAllDigits(key)) continue;
            // The Linux client writes Linux paths: an SD card, a second disk, the home.
            const bool fromLinux = !tokens[i].empty() && tokens[i][0] == L'/' && runningUnderWine();
            const std::wstring value = normalizePath(fromLinux ? dosPathOfLinuxPath(tokens[i]) : tokens[i]);
            // Only drive-letter paths: a library on a share would stall every detection run when it is offline.
            if (isDriveLetterPath(value) && isExistingDirectory(value)) addFolder(libraries, value);
        }
    }
    return libraries.paths;
}
