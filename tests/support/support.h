// What the test programs, the end-to-end probe and the benchmarks share on the Wine side: temporary
// folders and files, processes and their windows, message boxes answered and recorded, a window that
// hands the copy worker's messages to the real handlers, and an off-screen canvas.
#pragma once

#include <windows.h>
#include <gdiplus.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ui/draw.h"

using std::wstring;
using Strings = std::vector<wstring>;

struct InstallerApp;

// A fresh folder under the temporary folder, removed with everything in it at the end of the scope.
struct TempDir {
    wstring root;
    TempDir();
    ~TempDir();
    // neither copied nor moved: each copy would remove the folder
    TempDir(TempDir&&) = delete;
    wstring operator/(const wstring& name) const { return root + L"\\" + name; }
};

void makeDirs(const wstring& path);
// With a size, the file is then grown to it at once and reads back as zeros after the bytes: large copies
// without writing them.
void writeBytes(const wstring& path, const std::string& bytes, uint64_t size = 0);
std::string readBytes(const wstring& path);
void removeTree(const wstring& path);
// The names in a folder, sorted, without "." and "..".
Strings folderEntries(const wstring& folder);
std::string narrow(const wstring& text);
wstring widen(const std::string& utf8);
// The build folder: the parent of the folder holding the running program.
wstring buildFolder();
// Lays out <root>\Tavinmere.exe and <root>\game\data.rpa; returns root\game.
wstring makeGame(const wstring& root);
// The Linux name of a Windows path, through Wine's own mapping; empty outside Wine.
std::string unixPathOf(const wstring& path);

// A started process, ended at the end of the scope if still running.
struct ChildProcess {
    // (no process: a null handle)
    PROCESS_INFORMATION info{};
    ~ChildProcess();
    // The exit code once the process has ended within the time, else STILL_ACTIVE.
    DWORD waitForExit(DWORD timeoutMs) const;
};

// Starts exe with the arguments in the folder, in this process's environment.
bool startProcess(ChildProcess& child, const wstring& exe, const wstring& arguments, const wstring& folder);
// A visible top-level window of the class, of the process when processId is not 0.
HWND findWindow(const wchar_t* className, DWORD processId = 0);
// Polls for such a window until the time is out (or the child has ended).
HWND waitForWindow(const wchar_t* className, DWORD timeoutMs, const ChildProcess* child = nullptr);
wstring windowText(HWND window);

// A drawn element of a window as assistive tools read it through MSAA, across processes too.
struct AccessibleChild {
    long id = 0, role = 0, state = 0;
    // the name, the keyboard shortcut, the default action's name and the value
    wstring name, shortcut, action, value;
    // in screen coordinates
    RECT screen{};
};
// The element with that child id; CHILDID_SELF is the window's client object itself.
AccessibleChild accessibleElement(HWND window, long id);
std::vector<AccessibleChild> accessibleChildren(HWND window);
// The first child of that name; one of id 0 when there is none.
AccessibleChild childNamed(HWND window, const wstring& name);
// The child that accHitTest finds at a screen point (0: the window itself), and the one accNavigate
// reaches from a child in a direction; -1 for none, -2 for an answer that breaks the interface's rules.
long hitTestAt(HWND window, POINT screen);
long navigate(HWND window, long from, long direction);
// The child's default action; S_OK when the window took it.
HRESULT doDefaultAction(HWND window, long childId);
// The child that get_accFocus names (0: the window itself), -1 when the window has no focus, -2 for an
// answer that breaks the interface's rules.
long focusedChild(HWND window);

// Answers every dialog of this process and keeps what each one showed: message boxes get the answer
// (OK when they have no Yes); the folder picker gets the folder typed in once `pickWhen` (if any) is
// signalled, or is cancelled when there is no folder to give.
struct DialogAnswerer {
    struct Seen {
        // a message box's text, a picker's title
        wstring text;
        // MB_ICONWARNING, MB_ICONERROR or 0 (any other icon or none)
        UINT icon = 0;
    };
    explicit DialogAnswerer(int answer, wstring pickedFolder = {}, HANDLE pickWhen = nullptr);
    // (not copyable: it holds a thread and a mutex)
    ~DialogAnswerer();
    std::vector<Seen> seen();
    void run();
    int answer_;
    wstring pickedFolder_;
    HANDLE pickWhen_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Seen> seen_;
    std::thread thread_;
};

// A window standing in for the main window: it hands the worker's messages to the real handlers and
// records them and close requests.
struct NotifyWindow {
    InstallerApp& app;
    HWND window = nullptr;
    // every progress value in the order of arrival
    std::vector<int32_t> progress;
    // set once an end message was handled (pumpUntilDone clears it when it starts)
    HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool closeRequested = false;
    // runs after the real handler, on this thread
    std::function<void(int32_t)> onProgress;

    explicit NotifyWindow(InstallerApp& app);
    ~NotifyWindow();
    // neither copied nor moved: each copy would destroy the window
    NotifyWindow(NotifyWindow&&) = delete;
    // Pumps messages until the worker's end message has been handled or the time is out.
    bool pumpUntilDone(DWORD timeoutMs = 120000);
};

// Polls the condition until it holds (true) or the time is out (false).
bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs = 30000);
// Pumps this thread's messages for a while.
void pumpMessages(DWORD ms);
// Whether the window has asked to be drawn again; settle() marks it drawn.
inline bool repaintPending(HWND window) { return GetUpdateRect(window, nullptr, FALSE); }
inline void settle(HWND window) { ValidateRect(window, nullptr); }

// An off-screen 32-bit ARGB bitmap to draw on, by default of the main window's logical size.
struct Canvas {
    Canvas(int w = 920, int h = 620);
    ~Canvas();
    // at a point, its fractions dropped
    uint32_t pixel(float x, float y) const;
    Gdiplus::GpBitmap* bitmap = nullptr;
    DrawContext dc;
};
