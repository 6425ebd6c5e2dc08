// Looks at the installer's windows from outside, as an assistive tool does, for the end-to-end scripts.
//   e2e_probe wait <class> [ms]        waits for a visible window of the class
//   e2e_probe tree <class>             prints the names of the window's accessible children
//   e2e_probe find <class> <name> [ms] waits until the window shows a child of that name
//   e2e_probe point <class> <name>     prints the screen point at the centre of the named child
//   e2e_probe press <class> <name>     does the named child's default action
//   e2e_probe close <class>            asks the window to close, as its close box does
//   e2e_probe kill <class> [file]      ends the window's process from outside, as Task Manager does (as
//                                      soon as the file holds bytes, when one is named)
// Output is UTF-8 (with Windows line ends). Exit code 0 on success, 1 when the thing looked for is not there.
#include <cstdio>

#include "support/support.h"

// COM stays set up until the process ends.
int wmain(int argc, wchar_t** argv) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (argc < 3) return 2;
    const wstring command = argv[1];
    const DWORD ms = argc > 3 && command != L"kill" ? wcstoul(argv[argc - 1], nullptr, 10) : 30000;
    // (the exit code is 1 when the awaited thing did not come)
    if (command == L"wait") return !waitForWindow(argv[2], ms);
    const auto shown = [&] { return childNamed(findWindow(argv[2]), argv[3]).id; };
    if (command == L"find" && argc > 3) return !waitUntil(shown, argc > 4 ? ms : 20000);
    HWND window = findWindow(argv[2]);
    if (!window) return 1;
    if (command == L"close") PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (command == L"kill") {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
        // At once when the file shows bytes, from here rather than after a new process's start.
        WIN32_FILE_ATTRIBUTE_DATA file{};
        const auto grown = [&] {
            return GetFileAttributesExW(argv[3], GetFileExInfoStandard, &file) && file.nFileSizeLow;
        };
        if (argc > 3 && !waitUntil(grown)) return 1;
        const bool ended = process && TerminateProcess(process, 1) && WaitForSingleObject(process, 30000) == 0;
        if (process) CloseHandle(process);
        return ended ? 0 : 1;
    }
    if (command == L"tree") {
        const auto children = accessibleChildren(window);
        for (auto& c : children) std::printf("%s\n", narrow(c.name).c_str());
        return children.empty() ? 1 : 0;
    }
    const AccessibleChild child = argc > 3 ? childNamed(window, argv[3]) : AccessibleChild{};
    if (!child.id) return command == L"close" ? 0 : 1;
    const RECT& r = child.screen;
    if (command == L"point") std::printf("%ld %ld\n", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
    if (command == L"press") return SUCCEEDED(doDefaultAction(window, child.id)) ? 0 : 1;
    return 0;
}
