// Path text rules shared by game location, the patch checks and the copy.
#include "locate/paths.h"

#include <windows.h>

#include <cwctype>
#include <vector>

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
