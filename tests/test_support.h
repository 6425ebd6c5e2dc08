// Shared helpers for the test programs: temporary folders, files and text conversion.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// A fresh folder under the temporary folder, removed with everything in it at the end of the scope.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::wstring& path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

void makeDirs(const std::wstring& path);
void writeBytes(const std::wstring& path, const std::string& bytes);
void writeFileOfSize(const std::wstring& path, uint64_t size);
std::string readBytes(const std::wstring& path);
void removeTree(const std::wstring& path);
std::string narrow(const std::wstring& text);
std::wstring widen(const std::string& utf8);

// The build folder: the parent of the folder holding the running test program.
std::wstring buildFolder();

// Lays out <root>\Tavinmere.exe and <root>\game\data.rpa; returns root\game.
std::wstring makeGame(const std::wstring& root);
