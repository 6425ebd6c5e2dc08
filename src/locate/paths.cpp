// Path text rules shared by game location, the patch checks and the copy.
#include "locate/paths.h"

#include <windows.h>

#include <cwctype>
#include <vector>

#include "base/owned.h"
#include "base/win32.h"

namespace {

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

}  // namespace

bool equalsIgnoreCase(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    if (a.empty()) return true;
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
           CSTR_EQUAL;
}

bool endsWithIgnoreCase(const std::wstring& text, const std::wstring& suffix) {
    if (text.size() < suffix.size()) return false;
    return equalsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

std::wstring trimSpaces(const std::wstring& s) {
    size_t begin = 0;
    size_t end = s.size();
    while (begin < end && std::iswspace(s[begin])) ++begin;
    while (end > begin && std::iswspace(s[end - 1])) --end;
    return s.substr(begin, end - begin);
}

std::wstring normalizePath(const std::wstring& text) {
    std::wstring p = trimSpaces(text);
    if (p.size() >= 2 && p.front() == L'"' && p.back() == L'"') p = p.substr(1, p.size() - 2);
    for (wchar_t& c : p) {
        if (c == L'/') c = L'\\';
    }
    if (p.empty()) return p;

    const DWORD needed = GetFullPathNameW(p.c_str(), 0, nullptr, nullptr);
    if (needed != 0) {
        std::vector<wchar_t> buffer(static_cast<size_t>(needed) + 1, L'\0');
        const DWORD got = GetFullPathNameW(p.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (got > 0 && got < buffer.size()) p.assign(buffer.data(), got);
    }

    while (p.size() >= 4 && isSeparator(p.back())) p.pop_back();
    return p;
}

std::wstring joinPath(const std::wstring& base, const std::wstring& tail) {
    if (base.empty()) return tail;
    if (tail.empty()) return base;
    if (isSeparator(base.back())) return base + tail;
    return base + L'\\' + tail;
}

std::wstring parentFolder(const std::wstring& path) {
    if (path.empty()) return {};
    const size_t sep = path.find_last_of(L"\\/");
    if (sep == std::wstring::npos) return {};
    if (sep == 2 && path[1] == L':') return path.substr(0, 3);
    return path.substr(0, sep);
}

std::wstring toLongPath(const std::wstring& path) {
    if (path.compare(0, 4, L"\\\\?\\") == 0) return path;
    if (path.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + path.substr(2);
    if (path.size() >= 3 && path[1] == L':') return L"\\\\?\\" + path;
    return path;
}

bool isExistingDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

uint64_t fileSizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool isExistingFile(const std::wstring& path) {
    // INVALID_FILE_ATTRIBUTES has the directory bit set, so a failed query counts as absent.
    return (GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

FileIdentity fileIdentityOf(const std::wstring& path) {
    // Read attributes only and share everything, so that asking never disturbs a program holding the
    // file; a folder opens only with backup semantics.
    const OwnedFile file(CreateFileW(toLongPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!file || !GetFileInformationByHandle(file.get(), &info)) return {};
    return {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow, true};
}

bool sameFileIdentity(const FileIdentity& a, const FileIdentity& b) {
    return a.known && b.known && a.volume == b.volume && a.indexHigh == b.indexHigh && a.indexLow == b.indexLow;
}

bool runningUnderWine() {
    using Version = const char*(CDECL*)();
    return procAddress<Version>(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

std::wstring dosPathOfLinuxPath(const std::wstring& linuxPath) {
    using DosFileName = WCHAR*(CDECL*)(const char*);
    const auto toDos = procAddress<DosFileName>(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name");
    if (!toDos || linuxPath.empty() || linuxPath[0] != L'/') return {};
    // Wine reads the name in the locale's code page, which is UTF-8 on any current Linux.
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, linuxPath.data(), static_cast<int>(linuxPath.size()), nullptr, 0,
                                          nullptr, nullptr);
    if (bytes < 1) return {};
    std::vector<char> name(static_cast<size_t>(bytes) + 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, linuxPath.data(), static_cast<int>(linuxPath.size()), name.data(), bytes, nullptr,
                        nullptr);
    WCHAR* dos = toDos(name.data());
    if (!dos) return {};
    const std::wstring result = dos;
    HeapFree(GetProcessHeap(), 0, dos);
    // Outside every drive Wine answers with a \\?\unix\ path, a name that only Wine itself understands.
    if (result.size() < 3 || result[1] != L':' || result[2] != L'\\') return {};
    return result;
}
