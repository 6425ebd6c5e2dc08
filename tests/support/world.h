// Steam worlds for the game location tests and benchmark: registry values, extra fixed drives and
// Unix symbolic links made in the running Wine prefix, each undone at the end of its scope.
#pragma once

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/support.h"

namespace world {

inline const wchar_t* const SteamUserKey = L"Software\\Valve\\Steam";
inline const wchar_t* const SteamMachineKey = L"SOFTWARE\\Valve\\Steam";
inline const wchar_t* const UninstallKey =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Steam App 2719305";

// Writes one value with its raw bytes; the key is removed again at the end of the scope.
class RegistryValue {
public:
    RegistryValue(HKEY hive, const std::wstring& key, const std::wstring& name, DWORD type, const void* data,
                  DWORD bytes, REGSAM view = 0)
        : hive_(hive), key_(key), view_(view) {
        HKEY k = nullptr;
        ok_ = RegCreateKeyExW(hive, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &k, nullptr) ==
              ERROR_SUCCESS;
        if (ok_) {
            ok_ = RegSetValueExW(k, name.c_str(), 0, type, static_cast<const BYTE*>(data), bytes) == ERROR_SUCCESS;
            RegCloseKey(k);
        }
    }
    // A string value with its terminator, the way programs normally store it.
    RegistryValue(HKEY hive, const std::wstring& key, const std::wstring& name, const std::wstring& text,
                  DWORD type = REG_SZ, REGSAM view = 0)
        : RegistryValue(hive, key, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2), view) {}
    ~RegistryValue() { RegDeleteKeyExW(hive_, key_.c_str(), view_, 0); }
    RegistryValue(const RegistryValue&) = delete;
    RegistryValue& operator=(const RegistryValue&) = delete;
    bool ok() const { return ok_; }

private:
    HKEY hive_;
    std::wstring key_;
    REGSAM view_;
    bool ok_ = false;
};

// Removes whatever Steam and uninstall keys an earlier run may have left, so each world starts empty.
inline void clearSteamRegistry() {
    for (REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_32KEY), REGSAM(KEY_WOW64_64KEY)}) {
        RegDeleteKeyExW(HKEY_CURRENT_USER, SteamUserKey, view, 0);
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, SteamMachineKey, view, 0);
        RegDeleteKeyExW(HKEY_CURRENT_USER, UninstallKey, view, 0);
        RegDeleteKeyExW(HKEY_LOCAL_MACHINE, UninstallKey, view, 0);
    }
}

// Wine's mount manager keeps the drive letters: it writes the prefix's dosdevices link and tells every
// process of the prefix at once. A link written by hand is only seen by processes started after the
// mount manager rescans, and CreateSymbolicLinkW is a no-op in this Wine.
struct MountManagerDrive {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDev;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};
constexpr DWORD DefineUnixDrive = CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);

inline bool defineDrive(wchar_t letter, const std::string& unixPath, UINT type) {
    HANDLE manager = CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (manager == INVALID_HANDLE_VALUE) return false;
    const size_t pathBytes = unixPath.empty() ? 0 : unixPath.size() + 1;
    std::vector<char> buffer(sizeof(MountManagerDrive) + pathBytes, 0);
    auto* drive = reinterpret_cast<MountManagerDrive*>(buffer.data());
    drive->size = static_cast<ULONG>(buffer.size());
    drive->type = type;
    drive->letter = static_cast<WCHAR>(towlower(letter));
    drive->mountPointOffset = pathBytes ? static_cast<USHORT>(sizeof(MountManagerDrive)) : 0;
    if (pathBytes) std::memcpy(buffer.data() + sizeof(MountManagerDrive), unixPath.c_str(), pathBytes);
    DWORD returned = 0;
    const BOOL ok = DeviceIoControl(manager, DefineUnixDrive, buffer.data(), static_cast<DWORD>(buffer.size()), nullptr,
                                    0, &returned, nullptr);
    CloseHandle(manager);
    return ok != FALSE;
}

// A drive letter mapped to a folder for the scope, of the given type (fixed unless told otherwise).
class Drive {
public:
    Drive(wchar_t letter, const std::wstring& folder, UINT type = DRIVE_FIXED) : letter_(letter) {
        ok_ = defineDrive(letter, unixPathOf(folder), type);
    }
    ~Drive() {
        if (ok_) defineDrive(letter_, {}, DRIVE_NO_ROOT_DIR);
    }
    Drive(const Drive&) = delete;
    Drive& operator=(const Drive&) = delete;
    bool ok() const { return ok_; }
    std::wstring root() const { return std::wstring(1, letter_) + L":\\"; }

private:
    wchar_t letter_;
    bool ok_ = false;
};

// A libraryfolders.vdf in Steam's nested layout naming the folders, backslashes doubled.
inline std::wstring nestedLibraryFolders(const std::vector<std::wstring>& folders) {
    std::wstring text = L"\"libraryfolders\"\n{\n";
    for (size_t i = 0; i < folders.size(); ++i) {
        std::wstring escaped;
        for (wchar_t c : folders[i]) {
            if (c == L'\\')
                escaped += L"\\\\";
            else
                escaped += c;
        }
        text += L"\t\"" + std::to_wstring(i) + L"\"\n\t{\n\t\t\"path\"\t\t\"" + escaped +
                L"\"\n\t\t\"label\"\t\t\"\"\n\t\t\"apps\"\n\t\t{\n\t\t\t\"2719305\"\t\t\"123456\"\n\t\t}\n\t}\n";
    }
    return text + L"}\n";
}

inline bool setLastWriteTime(const std::wstring& path, uint64_t stamp) {
    HANDLE f = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    FILETIME t{static_cast<DWORD>(stamp & 0xFFFFFFFFu), static_cast<DWORD>(stamp >> 32)};
    const BOOL ok = SetFileTime(f, nullptr, nullptr, &t);
    CloseHandle(f);
    return ok != FALSE;
}

}  // namespace world
