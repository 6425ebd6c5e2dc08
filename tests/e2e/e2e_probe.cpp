// Looks at the installer's windows from outside, as an assistive tool does, for the end-to-end scripts.
//   e2e_probe wait <class> [ms]        waits for a visible window of the class
//   e2e_probe title <class>            prints the window's title
//   e2e_probe tree <class>             prints the window's accessible children, one per line
//   e2e_probe find <class> <name> [ms] waits until the window shows a child of that name
//   e2e_probe point <class> <name>     prints the screen point at the centre of the named child
//   e2e_probe press <class> <name>     does the named child's default action
//   e2e_probe close <class>            asks the window to close, as its close box does
//   e2e_probe kill <class>             ends the window's process from outside, as Task Manager does
//   e2e_probe msgbox [ms]              waits for a message box; prints its title, text and default button
//   e2e_probe answer <IDYES|IDNO|IDOK> presses that button of the message box
// Output is UTF-8. Exit code 0 on success, 1 when the thing looked for is not there.
#include <windows.h>
#include <oleacc.h>

#include <cstdio>

#include "support/support.h"

namespace {

void print(const std::wstring& text) {
    const std::string line = narrow(text + L"\n");
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

std::wstring describe(const AccessibleChild& c) {
    wchar_t role[64] = {};
    GetRoleTextW(static_cast<DWORD>(c.role), role, 64);
    std::wstring line = std::to_wstring(c.id) + L"\t" + role + L"\t\"" + c.name + L"\"";
    if (!c.value.empty()) line += L"\tvalue " + c.value;
    const std::pair<long, const wchar_t*> states[] = {{STATE_SYSTEM_CHECKED, L"checked"},
                                                      {STATE_SYSTEM_UNAVAILABLE, L"unavailable"},
                                                      {STATE_SYSTEM_HOTTRACKED, L"hot"}};
    for (const auto& [bit, name] : states)
        if (c.state & bit) line += L"\t[" + std::wstring(name) + L"]";
    return line + L"\t(" + std::to_wstring(c.screen.left) + L", " + std::to_wstring(c.screen.top) + L", " +
           std::to_wstring(c.screen.right) + L" x " + std::to_wstring(c.screen.bottom) + L")";
}

const AccessibleChild* named(const std::vector<AccessibleChild>& children, const std::wstring& name) {
    for (const AccessibleChild& c : children)
        if (c.name == name) return &c;
    return nullptr;
}

int messageBox(DWORD timeoutMs) {
    HWND box = waitForWindow(L"#32770", timeoutMs);
    if (!box) return 1;
    Sleep(200);  // the text is set while the box is being created
    wchar_t text[4096] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 4096);
    print(windowText(box));
    print(text);
    // The button drawn as default, which Enter presses (Wine's DM_GETDEFID answers IDOK whatever the style).
    std::wstring defaultButton = L"none";
    for (auto [id, name] : {std::pair<int, const wchar_t*>{IDYES, L"IDYES"}, {IDNO, L"IDNO"}, {IDOK, L"IDOK"}}) {
        HWND button = GetDlgItem(box, id);
        if (button && (GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) defaultButton = name;
    }
    print(L"default " + defaultButton);
    return 0;
}

int run(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    const std::wstring command = argv[1];
    const DWORD ms = argc > 3 ? wcstoul(argv[argc - 1], nullptr, 10) : 30000;
    if (command == L"msgbox") return messageBox(wcstoul(argv[2], nullptr, 10));
    if (command == L"answer") {
        HWND box = findWindow(L"#32770");
        const int id = wcscmp(argv[2], L"IDYES") == 0 ? IDYES : wcscmp(argv[2], L"IDNO") == 0 ? IDNO : IDOK;
        return box && SendMessageW(GetDlgItem(box, id), BM_CLICK, 0, 0) == 0 ? 0 : 1;
    }
    if (command == L"wait") return waitForWindow(argv[2], ms) ? 0 : 1;
    HWND window = findWindow(argv[2]);
    if (command == L"find" && argc > 3) {
        const ULONGLONG end = GetTickCount64() + (argc > 4 ? ms : 20000);
        while (!(window && named(accessibleChildren(window), argv[3]))) {
            if (GetTickCount64() >= end) return 1;
            Sleep(200);
            window = findWindow(argv[2]);
        }
        return 0;
    }
    if (!window) return 1;
    if (command == L"title") print(windowText(window));
    if (command == L"close") PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    if (command == L"kill") {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
        const bool ended = process && TerminateProcess(process, 1) && WaitForSingleObject(process, 30000) == 0;
        if (process) CloseHandle(process);
        return ended ? 0 : 1;
    }
    const std::vector<AccessibleChild> children = accessibleChildren(window);
    if (command == L"tree") {
        for (const AccessibleChild& c : children) print(describe(c));
        return children.empty() ? 1 : 0;
    }
    const AccessibleChild* child = argc > 3 ? named(children, argv[3]) : nullptr;
    if (!child) return command == L"title" || command == L"close" ? 0 : 1;
    if (command == L"point")
        print(std::to_wstring(child->screen.left + child->screen.right / 2) + L" " +
              std::to_wstring(child->screen.top + child->screen.bottom / 2));
    if (command == L"press") return SUCCEEDED(doDefaultAction(window, child->id)) ? 0 : 1;
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int code = run(argc, argv);
    if (SUCCEEDED(com)) CoUninitialize();
    return code;
}
