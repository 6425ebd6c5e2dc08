// Decode speed of the embedded music track as a multiple of real time, and the time from starting the
// real installer with --lang en to the first painted frame of its main window (a visible window with
// nothing left to paint has drawn its first frame).
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/music.h"
#include "ui/main_window.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int DecodeRuns = 3;
constexpr int StartRuns = 5;
constexpr DWORD StartTimeoutMs = 60000;

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

std::wstring folderOfThisProgram(int levelsUp) {
    wchar_t path[MAX_PATH * 4];
    std::wstring folder(path, GetModuleFileNameW(nullptr, path, MAX_PATH * 4));
    for (int up = 0; up < levelsUp; ++up) folder.erase(folder.find_last_of(L'\\'));
    return folder;
}

struct Search {
    DWORD processId;
    HWND found;
};

// The main window of the process once it is visible and painted.
HWND paintedMainWindow(DWORD processId) {
    Search search{processId, nullptr};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            if ((s->processId != 0 && owner != s->processId) || wcscmp(name, MainWindowClass) != 0 ||
                !IsWindowVisible(window))
                return TRUE;
            if (!GetUpdateRect(window, nullptr, FALSE)) s->found = window;
            return s->found ? FALSE : TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Seconds from CreateProcess to the first frame, or a negative value when it never came.
double startToFirstFrame(const std::wstring& exe, const std::wstring& folder) {
    std::wstring commandLine = L"\"" + exe + L"\" --lang en";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    const Clock::time_point start = Clock::now();
    if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &info))
        return -1;
    double seconds = -1;
    while (secondsSince(start) * 1000 < StartTimeoutMs) {
        if (HWND main = paintedMainWindow(info.dwProcessId)) {
            seconds = secondsSince(start);
            PostMessageW(main, WM_CLOSE, 0, 0);
            break;
        }
        if (WaitForSingleObject(info.hProcess, 2) == WAIT_OBJECT_0) break;
    }
    if (WaitForSingleObject(info.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return seconds;
}

std::string unixPath(const std::wstring& path) {
    using Fn = char*(CDECL*)(const wchar_t*);
    const auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unix = fn ? fn(path.c_str()) : nullptr;
    if (!unix) return {};
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

std::wstring widened(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// The same measurement with the installer started by the Unix shell, whose environment picks ALSA's
// configuration: a null output gives the installer a working sound device, so the music plays.
// Without a configuration the process has no device and the music stays off. A Unix process has no
// Windows handle, so its window is found by class.
double shellStartToFirstFrame(const std::wstring& exe, const std::wstring& folder, const std::string& alsaConfig) {
    std::string script = "cd \"" + unixPath(folder) + "\" && ";
    if (!alsaConfig.empty()) script += "ALSA_CONFIG_PATH=\"" + alsaConfig + "\" ";
    script += "PULSE_SERVER=unix:/nonexistent exec /usr/lib/wine/wine64 \"" + unixPath(exe) + "\" --lang en";
    std::wstring commandLine = L"Z:\\usr\\bin\\sh -c \"";
    for (wchar_t c : widened(script)) commandLine += c == L'"' ? std::wstring(L"\\\"") : std::wstring(1, c);
    commandLine += L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    const Clock::time_point start = Clock::now();
    if (!CreateProcessW(L"Z:\\usr\\bin\\sh", commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        return -1;
    if (info.hProcess) CloseHandle(info.hProcess);
    if (info.hThread) CloseHandle(info.hThread);
    double seconds = -1;
    HWND main = nullptr;
    while (secondsSince(start) * 1000 < StartTimeoutMs && !(main = paintedMainWindow(0))) Sleep(2);
    if (main) {
        seconds = secondsSince(start);
        PostMessageW(main, WM_CLOSE, 0, 0);
        while (IsWindow(main) && secondsSince(start) * 1000 < StartTimeoutMs) Sleep(20);
        Sleep(300);  // the process's own exit
    }
    return seconds;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

}  // namespace

int main() {
    double bestDecode = 1e9;
    double trackSeconds = 0;
    for (int run = 0; run < DecodeRuns; ++run) {
        const Clock::time_point start = Clock::now();
        const DecodedTrack track = decodeMusicResource(GetModuleHandleW(nullptr), MusicResourceId);
        bestDecode = std::min(bestDecode, secondsSince(start));
        if (!track.samples) {
            std::printf("the embedded track did not decode\n");
            return 1;
        }
        trackSeconds = static_cast<double>(track.frames) / track.sampleRate;
    }
    std::printf("music decode: %.1f s of track in %.0f ms = %.0fx real time\n", trackSeconds, bestDecode * 1000,
                trackSeconds / bestDecode);

    // A folder outside the temporary folder, where the installer agrees to run.
    const std::wstring folder = L"C:\\tavin-startup-bench";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring source = folderOfThisProgram(2) + L"\\bin\\TavinMere-Patch-Installer.exe";
    const std::wstring exe = folder + L"\\TavinMere-Patch-Installer.exe";
    if (!CopyFileW(source.c_str(), exe.c_str(), FALSE)) {
        std::printf("cannot copy the installer from the build folder\n");
        return 1;
    }
    startToFirstFrame(exe, folder);  // warm-up: Wine's own start-up caches
    std::vector<double> times;
    for (int run = 0; run < StartRuns; ++run) {
        const double t = startToFirstFrame(exe, folder);
        if (t < 0) {
            std::printf("the main window was not painted\n");
            return 1;
        }
        times.push_back(t);
    }
    const double firstFrame = median(times);
    std::printf("start to first frame (--lang en, median of %d): %.0f ms\n", StartRuns, firstFrame * 1000);
    // The music starts after the first frame, so with a device it adds its decode to the time after
    // the window is shown, not before.
    std::printf("music decode after the first frame: %.0f ms (%.2fx the start-up time)\n", bestDecode * 1000,
                bestDecode / firstFrame);

    // With and without music, both started the same way and interleaved.
    // Beside this program, not under C:, whose Unix name holds a colon, ALSA's separator between files.
    const std::wstring config = folderOfThisProgram(1) + L"\\asound.conf";
    const std::string pcm = "</usr/share/alsa/alsa.conf>\npcm.!default { type null }\n";
    HANDLE f = CreateFileW(config.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (f != INVALID_HANDLE_VALUE) {
        WriteFile(f, pcm.data(), static_cast<DWORD>(pcm.size()), &written, nullptr);
        CloseHandle(f);
    }
    std::string alsaConfig = unixPath(config);
    if (alsaConfig.find(':') != std::string::npos) alsaConfig.clear();
    std::vector<double> withMusic, withoutMusic;
    for (int run = 0; run < StartRuns && !alsaConfig.empty(); ++run) {
        const double a = shellStartToFirstFrame(exe, folder, alsaConfig);
        const double b = shellStartToFirstFrame(exe, folder, {});
        if (a < 0 || b < 0) break;
        withMusic.push_back(a);
        withoutMusic.push_back(b);
    }
    if (withMusic.size() == static_cast<size_t>(StartRuns)) {
        std::printf(
            "started by the shell, median of %d: with music (ALSA null output) %.0f ms, without a sound "
            "device %.0f ms, ratio %.2f\n",
            StartRuns, median(withMusic) * 1000, median(withoutMusic) * 1000, median(withMusic) / median(withoutMusic));
    } else {
        std::printf("the start with a null sound output could not be measured here\n");
    }
    DeleteFileW(config.c_str());
    DeleteFileW(exe.c_str());
    RemoveDirectoryW(folder.c_str());
    return 0;
}
