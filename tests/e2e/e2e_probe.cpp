// Looks at the installer's windows from outside, for the end-to-end scripts: where a control lies on
// the screen (from the installer's own layout and scale), window titles, and message boxes.
//   e2e_probe wait <class> [timeout ms]           waits for a visible window of the class
//   e2e_probe gone <class> [timeout ms]           waits until no window of the class is left
//   e2e_probe title <class>                       prints the window's title
//   e2e_probe control <control id> <state>        prints the screen point at the centre of a main window control
//   e2e_probe card <0|1|2>                        prints the screen point at the centre of a language card
//   e2e_probe msgbox [timeout ms]                 waits for a message box; prints its title, then its text
//   e2e_probe answer <IDYES|IDNO|IDOK|IDCANCEL>   presses that button of the message box
//   e2e_probe status | location                   prints the main window's status line or shown location
//   e2e_probe close <class>                       asks the window to close, as its close box does
//   e2e_probe hold <path> <ms>                    keeps the file open without sharing for a while
// Output is UTF-8. Exit code 0 on success, 1 when the thing looked for is not there.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/language_window.h"
#include "ui/layout.h"
#include "ui/main_window.h"
#include "ui/status_mirror.h"

namespace {

constexpr const wchar_t* DialogClass = L"#32770";
constexpr int MessageTextId = 0xFFFF;

void print(const std::wstring& text) {
    std::wstring line = text + L"\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
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

void printScreenPoint(HWND window, float logicalX, float logicalY, float scale) {
    POINT point{static_cast<LONG>(logicalX * scale + 0.5f), static_cast<LONG>(logicalY * scale + 0.5f)};
    ClientToScreen(window, &point);
    print(std::to_wstring(point.x) + L" " + std::to_wstring(point.y));
}

int controlPoint(int id, int state) {
    HWND window = findVisible(MainWindowClass);
    if (!window || id < 1 || id > 11) return 1;
    const LogicalView view = logicalViewOf(window);
    const MainLayout layout = computeLayout(state, view.width, view.height);
    const RectF& r = layout.control(static_cast<ControlId>(id));
    if (r.Width <= 0 || r.Height <= 0) return 1;
    printScreenPoint(window, r.X + r.Width / 2, r.Y + r.Height / 2, view.scale);
    return 0;
}

int cardPoint(int card) {
    HWND window = findVisible(LanguageWindowClass);
    if (!window) return 1;
    RECT client{};
    GetClientRect(window, &client);
    const float scale = languageScale(client.right, client.bottom, windowDpi(window));
    // The centre of the card as the window's own hit rule sees it.
    float sumX = 0, sumY = 0, count = 0;
    for (float y = 0; y < 280; y += 2)
        for (float x = 0; x < 650; x += 2)
            if (languageCardAt(x, y) == card) sumX += x, sumY += y, ++count;
    if (count == 0) return 1;
    printScreenPoint(window, sumX / count, sumY / count, scale);
    return 0;
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
    int id = 0;
    for (int candidate : {IDYES, IDNO, IDOK, IDCANCEL}) {
        HWND button = GetDlgItem(dialog, candidate);
        if (button && (GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) id = candidate;
    }
    print(std::wstring(L"default ") + (id == IDYES ? L"IDYES" : id == IDNO ? L"IDNO" : id == IDOK ? L"IDOK" : id == IDCANCEL ? L"IDCANCEL" : L"none"));
    return 0;
}

int answer(const std::wstring& button) {
    HWND dialog = findVisible(DialogClass);
    if (!dialog) return 1;
    int id = button == L"IDYES" ? IDYES : button == L"IDNO" ? IDNO : button == L"IDCANCEL" ? IDCANCEL : IDOK;
    HWND control = GetDlgItem(dialog, id);
    if (control) {
        SendMessageW(control, BM_CLICK, 0, 0);
    } else {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const std::wstring command = argv[1];
    auto number = [&](int index, long fallback) { return argc > index ? wcstol(argv[index], nullptr, 10) : fallback; };
    if (command == L"wait" && argc >= 3) {
        HWND window = waitVisible(argv[2], static_cast<DWORD>(number(3, 30000)));
        return window ? 0 : 1;
    }
    if (command == L"gone" && argc >= 3) {
        const ULONGLONG end = GetTickCount64() + static_cast<DWORD>(number(3, 30000));
        while (findVisible(argv[2]))
            if (GetTickCount64() >= end) return 1;
            else Sleep(100);
        return 0;
    }
    if (command == L"title" && argc >= 3) {
        HWND window = findVisible(argv[2]);
        if (!window) return 1;
        print(windowText(window));
        return 0;
    }
    if (command == L"control" && argc >= 4) return controlPoint(number(2, 0), number(3, 0));
    if (command == L"card" && argc >= 3) return cardPoint(number(2, -1));
    if (command == L"msgbox") return messageBox(static_cast<DWORD>(number(2, 30000)));
    if (command == L"answer" && argc >= 3) return answer(argv[2]);
    if (command == L"status" || command == L"location") {
        HWND window = findVisible(MainWindowClass);
        HWND mirror = window ? GetDlgItem(window, command == L"status" ? StatusMirrorId : LocationMirrorId) : nullptr;
        if (!mirror) return 1;
        print(windowText(mirror));
        return 0;
    }
    if (command == L"close" && argc >= 3) {
        HWND window = findVisible(argv[2]);
        if (!window) return 1;
        PostMessageW(window, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    }
    if (command == L"hold" && argc >= 4) {
        HANDLE file = CreateFileW(argv[2], GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE) return 1;
        Sleep(static_cast<DWORD>(number(3, 10000)));
        CloseHandle(file);
        return 0;
    }
    return 2;
}
