// Steam worlds in the running Wine prefix for the game location tests and benchmark: registry values
// (all removed again by clearSteamRegistry) and extra drives, each undefined at the end of its scope.
#pragma once

#include <windows.h>
#include <winioctl.h>

#include <cstddef>
#include <string>
#include <vector>

#include "locate/paths.h"
#include "support/support.h"

namespace world {

inline const wchar_t* const SteamUserKey = L"Software\\Valve\\Steam";
inline const wchar_t* const SteamMachineKey = L"SOFTWARE\\Valve\\Steam";
inline const wchar_t* const UninstallKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Steam App 2719305";

// Writes a string with its terminator, as programs normally store it.
inline bool setString(HKEY hive, const wstring& key, const wstring& name, const wstring& text, DWORD type = REG_SZ,
                      REGSAM view = 0) {
    HKEY k = nullptr;
    if (RegCreateKeyExW(hive, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &k, nullptr)) return false;
    const bool ok = RegSetValueExW(k, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                                   DWORD((text.size() + 1) * 2)) == ERROR_SUCCESS;
    RegCloseKey(k);
    return ok;
}

// Removes the Steam and uninstall keys of every view, so that each world starts empty.
inline void clearSteamRegistry() {
    for (REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_32KEY), REGSAM(KEY_WOW64_64KEY)})
        for (HKEY hive : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
            for (const wchar_t* key : {SteamUserKey, SteamMachineKey, UninstallKey})
                RegDeleteKeyExW(hive, key, view, 0);
}

// Wine's mount manager keeps the drive letters: it writes the prefix's dosdevices link and tells every
// process of the prefix at once (a link written by hand is seen only after it rescans). It lowers the
// letter itself and ignores the path when it removes a drive.
inline bool defineDrive(wchar_t letter, const std::string& unixPath, UINT type) {
    struct Request {
        ULONG size, type, fsType;
        DWORD serial;
        ULONGLONG unixDev;
        WCHAR letter;
        USHORT mountPointOffset, deviceOffset, labelOffset;
        char path[1024];
    } drive{sizeof(Request), type, 0, 0, 0, letter, offsetof(Request, path), 0, 0, {}};
    unixPath.copy(drive.path, sizeof(drive.path) - 1);
    HANDLE manager =
        CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE, 3, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE) return false;
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(manager, CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS),
                                    &drive, sizeof(drive), nullptr, 0, &returned, nullptr);
    CloseHandle(manager);
    return ok;
}

// The first free drive letter from `from` on, mapped to a folder for the scope (fixed unless told).
// Wine's path lookups keep their table of drives for up to a second, so the scope starts and ends once they
// see the change: else a path could be named through a drive just gone, or a drive just made not be seen.
struct Drive {
    wchar_t letter;
    bool ok = false;
    // the folder's Linux path
    std::string path;
    Drive(wchar_t from, const wstring& folder, UINT type = DRIVE_FIXED) : path(unixPathOf(folder)) {
        for (letter = from; letter < L'Y' && GetDriveTypeW(root().c_str()) != DRIVE_NO_ROOT_DIR;) ++letter;
        ok = defineDrive(letter, path, type) && waitUntil([&] { return seen(); });
    }
    // removed whether or not Wine saw it, so that a scope that failed leaves no drive behind
    ~Drive() {
        if (defineDrive(letter, {}, DRIVE_NO_ROOT_DIR)) waitUntil([&] { return !seen(); });
    }
    // whether Wine's lookups name the folder by this drive
    bool seen() const { return dosPathOfLinuxPath(widen(path)) == root(); }
    // neither copied nor moved: each copy would remove the drive
    Drive(Drive&&) = delete;
    wstring root() const { return wstring(1, letter) + L":\\"; }
};

// A libraryfolders.vdf in Steam's nested layout naming the folders, backslashes doubled.
inline wstring nestedLibraryFolders(const Strings& folders) {
    wstring text = L"\"libraryfolders\"\n{\n";
    for (size_t i = 0; i < folders.size(); ++i) {
        wstring escaped;
        for (wchar_t c : folders[i]) escaped.append(c == L'\\' ? 2 : 1, c);
        text += L"\t\"" + std::to_wstring(i) + L"\"\n\t{\n\t\t\"path\"\t\t\"" + escaped +
                L"\"\n\t\t\"apps\"\n\t\t{\n\t\t\t\"2719305\"\t\t\"123456\"\n\t\t}\n\t}\n";
    }
    return text + L"}\n";
}

inline bool setLastWriteTime(const wstring& path, uint64_t stamp) {
    HANDLE f = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    const FILETIME t{DWORD(stamp & 0xFFFFFFFFu), DWORD(stamp >> 32)};
    const BOOL ok = SetFileTime(f, nullptr, nullptr, &t);
    CloseHandle(f);
    return ok;
}

}  // namespace world
