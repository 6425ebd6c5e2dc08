// Path text rules: canonical form, joining, splitting, comparison and the long-path prefix.
#pragma once

#include <cstdint>
#include <string>

bool equalsIgnoreCase(const std::wstring& a, const std::wstring& b);
bool endsWithIgnoreCase(const std::wstring& text, const std::wstring& suffix);
std::wstring trimSpaces(const std::wstring& s);
std::wstring normalizePath(const std::wstring& text);
std::wstring joinPath(const std::wstring& base, const std::wstring& tail);
std::wstring parentFolder(const std::wstring& path);
std::wstring toLongPath(const std::wstring& path);
bool isExistingDirectory(const std::wstring& path);
bool isExistingFile(const std::wstring& path);
// 0 when the file cannot be asked.
uint64_t fileSizeOf(const std::wstring& path);

// What the file system knows a file or folder by: its volume and its index there. Paths that reach one
// file through a symlink, a junction or another drive letter give the same identity.
struct FileIdentity {
    uint32_t volume = 0;
    uint32_t indexHigh = 0;
    uint32_t indexLow = 0;
    bool known = false;
};
// Of a normalized path; not known when it cannot be opened.
FileIdentity fileIdentityOf(const std::wstring& path);
bool sameFileIdentity(const FileIdentity& a, const FileIdentity& b);

// Whether the program runs under Wine, whose ntdll exports wine_get_version.
bool runningUnderWine();
// The drive-letter path through which Wine reaches an absolute Linux path; empty outside Wine and
// where no drive reaches the path.
std::wstring dosPathOfLinuxPath(const std::wstring& linuxPath);
