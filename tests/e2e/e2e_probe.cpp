// Looks at the installer's windows from outside, as an assistive tool does, for the end-to-end scripts:
// the accessibility tree (MSAA) of a window, a control's place on the screen, its default action,
// window titles and message boxes.
//   e2e_probe wait <class> [ms]        waits for a visible window of the class
//   e2e_probe title <class>            prints the window's title
//   e2e_probe tree <class>             prints the window's accessible children, one per line
//   e2e_probe find <class> <name> [ms] waits until the window shows a child of that name
//   e2e_probe after <class> <name>     prints the name of the child that follows the named one
//   e2e_probe point <class> <name>     prints the screen point at the centre of the named child
//   e2e_probe press <class> <name>     does the named child's default action
//   e2e_probe msgbox [ms]              waits for a message box; prints its title, text and default button
//   e2e_probe answer <IDYES|IDNO|IDOK> presses that button of the message box
//   e2e_probe close <class>            asks the window to close, as its close box does
//   e2e_probe kill <class>             ends the window's process from outside, as Task Manager does
//   e2e_probe hold <path> <ms>         keeps the file open without sharing for a while
// Output is UTF-8. Exit code 0 on success, 1 when the thing looked for is not there.
#include <windows.h>
#include <oleacc.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr const wchar_t* DialogClass = L"#32770";
constexpr int MessageTextId = 0xFFFF;

void print(const std::wstring& text) {
    const std::wstring line = text + L"\n";
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), bytes.data(), size, nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

HWND findVisible(const wchar_t* className) {
    struct Search {
        const wchar_t* className;
        HWND found;
    } search{className, nullptr};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            wchar_t name[64] = {};
            GetClassNameW(window, name, 64);
            if (wcscmp(name, s->className) == 0 && IsWindowVisible(window)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitVisible(const wchar_t* className, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (HWND window = findVisible(className)) return window;
        if (GetTickCount64() >= end) return nullptr;
        Sleep(100);
    }
}

std::wstring windowText(HWND window) {
    wchar_t buffer[4096] = {};
    GetWindowTextW(window, buffer, 4096);
    return buffer;
}

struct Child {
    long id = 0;
    long role = 0;
    long state = 0;
    std::wstring name;
    std::wstring value;
    RECT screen{};  // left, top, width, height as MSAA reports them
};

std::wstring takeString(BSTR text) {
    std::wstring result = text ? text : L"";
    SysFreeString(text);
    return result;
}

// The window's client object and its children, read across the process boundary through MSAA.
std::vector<Child> childrenOf(HWND window) {
    std::vector<Child> children;
    IAccessible* client = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(&client))))
        return children;
    LONG count = 0;
    client->get_accChildCount(&count);
    for (long id = 1; id <= count; ++id) {
        VARIANT child;
        VariantInit(&child);
        child.vt = VT_I4;
        child.lVal = id;
        Child c;
        c.id = id;
        BSTR text = nullptr;
        client->get_accName(child, &text);
        c.name = takeString(text);
        text = nullptr;
        client->get_accValue(child, &text);
        c.value = takeString(text);
        VARIANT number;
        VariantInit(&number);
        if (SUCCEEDED(client->get_accRole(child, &number)) && number.vt == VT_I4) c.role = number.lVal;
        VariantInit(&number);
        if (SUCCEEDED(client->get_accState(child, &number)) && number.vt == VT_I4) c.state = number.lVal;
        client->accLocation(&c.screen.left, &c.screen.top, &c.screen.right, &c.screen.bottom, child);
        children.push_back(c);
    }
    client->Release();
    return children;
}

std::wstring roleText(long role) {
    wchar_t buffer[64] = {};
    GetRoleTextW(static_cast<DWORD>(role), buffer, 64);
    return buffer;
}

std::wstring statesText(long state) {
    std::wstring text;
    const std::pair<long, const wchar_t*> names[] = {{STATE_SYSTEM_CHECKED, L"checked"},
                                                     {STATE_SYSTEM_UNAVAILABLE, L"unavailable"},
                                                     {STATE_SYSTEM_HOTTRACKED, L"hot"},
                                                     {STATE_SYSTEM_READONLY, L"read-only"}};
    for (const auto& [bit, name] : names) {
        if (state & bit) text += (text.empty() ? L"" : L", ") + std::wstring(name);
    }
    return text;
}

int printTree(HWND window) {
    const std::vector<Child> children = childrenOf(window);
    if (children.empty()) return 1;
    for (const Child& c : children) {
        std::wstring line = std::to_wstring(c.id) + L"\t" + roleText(c.role) + L"\t\"" + c.name + L"\"";
        if (!c.value.empty()) line += L"\tvalue " + c.value;
        const std::wstring states = statesText(c.state);
        if (!states.empty()) line += L"\t[" + states + L"]";
        line += L"\t(" + std::to_wstring(c.screen.left) + L", " + std::to_wstring(c.screen.top) + L", " +
                std::to_wstring(c.screen.right) + L" x " + std::to_wstring(c.screen.bottom) + L")";
        print(line);
    }
    return 0;
}

const Child* named(const std::vector<Child>& children, const std::wstring& name) {
    for (const Child& c : children) {
        if (c.name == name) return &c;
    }
    return nullptr;
}

int press(HWND window, const std::wstring& name) {
    const std::vector<Child> children = childrenOf(window);
    const Child* target = named(children, name);
    if (!target) return 1;
    IAccessible* client = nullptr;
    if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(&client))))
        return 1;
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = target->id;
    const HRESULT result = client->accDoDefaultAction(child);
    client->Release();
    return SUCCEEDED(result) ? 0 : 1;
}

int messageBox(DWORD timeoutMs) {
    HWND dialog = waitVisible(DialogClass, timeoutMs);
    if (!dialog) return 1;
    Sleep(200);  // the text is set while the box is being created
    wchar_t text[4096] = {};
    GetDlgItemTextW(dialog, MessageTextId, text, 4096);
    print(windowText(dialog));
    print(text);
    // The default button is the one drawn as default (Wine's message box answers DM_GETDEFID with
    // IDOK whatever the style asked for), which is also the one Enter presses.
    const wchar_t* names[] = {L"IDYES", L"IDNO", L"IDOK"};
    const int ids[] = {IDYES, IDNO, IDOK};
    std::wstring defaultName = L"none";
    for (int i = 0; i < 3; ++i) {
        HWND button = GetDlgItem(dialog, ids[i]);
        if (button && (GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) defaultName = names[i];
    }
    print(L"default " + defaultName);
    return 0;
}

int answer(const std::wstring& button) {
    HWND dialog = findVisible(DialogClass);
    if (!dialog) return 1;
    const int id = button == L"IDYES" ? IDYES : button == L"IDNO" ? IDNO : IDOK;
    if (HWND control = GetDlgItem(dialog, id)) {
        SendMessageW(control, BM_CLICK, 0, 0);
    } else {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    }
    return 0;
}

int run(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const std::wstring command = argv[1];
    auto number = [&](int index, long fallback) { return argc > index ? wcstol(argv[index], nullptr, 10) : fallback; };
    if (command == L"wait" && argc >= 3) return waitVisible(argv[2], static_cast<DWORD>(number(3, 30000))) ? 0 : 1;
    if (command == L"msgbox") return messageBox(static_cast<DWORD>(number(2, 30000)));
    if (command == L"answer" && argc >= 3) return answer(argv[2]);
    if (command == L"hold" && argc >= 4) {
        HANDLE file = CreateFileW(argv[2], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 1;
        Sleep(static_cast<DWORD>(number(3, 10000)));
        CloseHandle(file);
        return 0;
    }
    if (argc < 3) return 2;
    HWND window = findVisible(argv[2]);
    if (command == L"find" && argc >= 4) {
        const ULONGLONG end = GetTickCount64() + static_cast<DWORD>(number(4, 20000));
        for (;;) {
            window = findVisible(argv[2]);
            if (window && named(childrenOf(window), argv[3])) return 0;
            if (GetTickCount64() >= end) return 1;
            Sleep(200);
        }
    }
    if (!window) return 1;
    if (command == L"title") {
        print(windowText(window));
        return 0;
    }
    if (command == L"tree") return printTree(window);
    if (command == L"close") return PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0) ? 0 : 1;
    if (command == L"kill") {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
        if (!process) return 1;
        const BOOL ended = TerminateProcess(process, 1) && WaitForSingleObject(process, 30000) == WAIT_OBJECT_0;
        CloseHandle(process);
        return ended ? 0 : 1;
    }
    if (argc < 4) return 2;
    const std::vector<Child> children = childrenOf(window);
    const Child* child = named(children, argv[3]);
    if (!child) return 1;
    if (command == L"after") {
        if (static_cast<size_t>(child->id) >= children.size()) return 1;
        print(children[static_cast<size_t>(child->id)].name);
        return 0;
    }
    if (command == L"point") {
        print(std::to_wstring(child->screen.left + child->screen.right / 2) + L" " +
              std::to_wstring(child->screen.top + child->screen.bottom / 2));
        return 0;
    }
    if (command == L"press") return press(window, argv[3]);
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const int code = run(argc, argv);
    if (SUCCEEDED(com)) CoUninitialize();
    return code;
}
