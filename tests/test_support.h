// Shared helpers for the test programs: temporary folders, files and text conversion.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

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

// A started process, terminated at the end of the scope if still running.
struct ChildProcess {
    PROCESS_INFORMATION info{};
    bool started = false;
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();
    // The exit code once the process has ended within the time, else STILL_ACTIVE.
    DWORD waitForExit(DWORD timeoutMs) const;
};

// Starts exe with the arguments in the folder, with the current environment plus extra "NAME=value" entries.
bool startProcess(ChildProcess& child, const std::wstring& exe, const std::wstring& arguments,
                  const std::wstring& folder, const std::vector<std::wstring>& extraEnvironment = {});
// A top-level window of the process with the class name, or null.
HWND findWindowOfProcess(DWORD processId, const wchar_t* className);
// Polls for such a window until the time is out or the process has ended.
HWND waitForWindowOfProcess(const ChildProcess& child, const wchar_t* className, DWORD timeoutMs);
