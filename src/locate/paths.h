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
