// Steam worlds for the game location tests and benchmark: registry values, extra fixed drives and
// Unix symbolic links made in the running Wine prefix, each undone at the end of its scope.
#pragma once

#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <string>
#include <vector>

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

// The Unix path of a Windows path, through Wine's own export; empty outside Wine.
inline std::string unixPathOf(const std::wstring& path) {
    using Fn = char*(CDECL*)(const wchar_t*);
    const auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!fn) return {};
    char* unix = fn(path.c_str());
    if (!unix) return {};
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
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

// Starts a Unix program through Wine's start of non-PE executables. Wine hands back no usable process
// handle for it, so callers wait for the program's effect instead.
inline bool runUnix(const std::wstring& commandLine) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    std::wstring line = commandLine;
    // Named apart, or CreateProcessW would look for the program with ".exe" added.
    const std::wstring program = commandLine.substr(0, commandLine.find(L' '));
    if (!CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return false;
    if (info.hThread) CloseHandle(info.hThread);
    if (info.hProcess) CloseHandle(info.hProcess);
    return true;
}

// A Unix path as an argument of a Unix program: Wine hands the wide text over as UTF-8.
inline std::wstring unixArgument(const std::wstring& windowsPath) {
    const std::string u = unixPathOf(windowsPath);
    std::wstring out(u.size(), L'\0');
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, u.data(), static_cast<int>(u.size()), &out[0], static_cast<int>(out.size()));
    out.resize(static_cast<size_t>(n > 0 ? n : 0));
    return L"\"" + out + L"\"";
}

// Waits for a Unix program's effect: Wine may report a started Unix process as ended at once.
inline bool becomes(const std::wstring& path, bool present) {
    for (int i = 0; i < 200; ++i) {
        if ((GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) == present) return true;
        Sleep(25);
    }
    return false;
}

// A Unix symbolic link at link pointing at target (both Windows paths); CreateSymbolicLinkW is a no-op
// in this Wine, so ln makes it.
inline bool makeUnixSymlink(const std::wstring& link, const std::wstring& target) {
    return runUnix(L"Z:\\bin\\ln -sfn " + unixArgument(target) + L" " + unixArgument(link)) && becomes(link, true);
}

// Removes the link itself, never what it points at.
inline bool removeUnixSymlink(const std::wstring& link) {
    return runUnix(L"Z:\\bin\\rm -f " + unixArgument(link)) && becomes(link, false);
}

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

inline std::string utf8Of(const std::wstring& text) {
    if (text.empty()) return {};
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
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
