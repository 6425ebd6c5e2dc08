// The shared test support: files, processes, windows, dialogs, the worker's receiver and a canvas.
#include "support/support.h"

#include <oleacc.h>

#include <algorithm>

#include "install/checks.h"
#include "install/installer_app.h"
#include "base/owned.h"

namespace gp = Gdiplus::DllExports;

TempDir::TempDir() {
    static unsigned counter = 0;
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    path_ = std::wstring(base) + L"tmpt-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(counter++);
    makeDirs(path_);
}

TempDir::~TempDir() { removeTree(L"\\\\?\\" + path_); }

void makeDirs(const std::wstring& path) {
    for (size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == L'\\') CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
    }
}

void writeBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (!bytes.empty()) WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(f);
}

void writeSparseFile(const std::wstring& path, uint64_t size) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    SetFilePointerEx(f, end, nullptr, FILE_BEGIN);
    SetEndOfFile(f);
    CloseHandle(f);
}

std::string readBytes(const std::wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return {};
    std::string out;
    static char buffer[1 << 16];
    DWORD got = 0;
    while (ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0) out.append(buffer, got);
    CloseHandle(f);
    return out;
}

std::vector<std::wstring> folderEntries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

void removeTree(const std::wstring& path) {
    for (const std::wstring& name : folderEntries(path)) {
        const std::wstring child = path + L"\\" + name;
        const DWORD attributes = GetFileAttributesW(child.c_str());
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
            removeTree(child);
        } else if (!DeleteFileW(child.c_str())) {
            RemoveDirectoryW(child.c_str());
        }
    }
    RemoveDirectoryW(path.c_str());
}

std::string narrow(const std::wstring& text) {
    const int n =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring widen(const std::string& utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::wstring buildFolder() {
    wchar_t path[MAX_PATH * 4];
    std::wstring folder(path, GetModuleFileNameW(nullptr, path, MAX_PATH * 4));
    for (int up = 0; up < 2; ++up) folder.erase(folder.find_last_of(L'\\'));
    return folder;
}

std::wstring makeGame(const std::wstring& root) {
    makeDirs(root + L"\\game");
    writeBytes(root + L"\\Tavinmere.exe", "MZ");
    writeBytes(root + L"\\game\\data.rpa", "RPA-3.0");
    return root + L"\\game";
}

std::string unixPathOf(const std::wstring& path) {
    using Fn = char*(CDECL*)(const wchar_t*);
    const auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unix = fn ? fn(path.c_str()) : nullptr;
    if (!unix) return {};
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

ChildProcess::~ChildProcess() {
    if (!started) return;
    if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info.hProcess, 99);
    WaitForSingleObject(info.hProcess, 5000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

DWORD ChildProcess::waitForExit(DWORD timeoutMs) const {
    if (!started || WaitForSingleObject(info.hProcess, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info.hProcess, &code);
    return code;
}

bool startProcess(ChildProcess& child, const std::wstring& exe, const std::wstring& arguments,
                  const std::wstring& folder, const std::vector<std::wstring>& extraEnvironment) {
    std::vector<wchar_t> environment;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry; entry += wcslen(entry) + 1) {
        const std::wstring name = std::wstring(entry).substr(0, std::wstring(entry).find(L'=', 1) + 1);
        bool replaced = false;
        for (const std::wstring& extra : extraEnvironment)
            replaced |= _wcsnicmp(extra.c_str(), name.c_str(), name.size()) == 0;
        if (!replaced) environment.insert(environment.end(), entry, entry + wcslen(entry) + 1);
    }
    FreeEnvironmentStringsW(strings);
    for (const std::wstring& entry : extraEnvironment)
        environment.insert(environment.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
    environment.push_back(L'\0');
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    child.started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                                   environment.data(), folder.c_str(), &startup, &child.info) != FALSE;
    return child.started;
}

HWND findWindow(const wchar_t* className, DWORD processId) {
    struct Search {
        const wchar_t* className;
        DWORD processId;
        HWND found;
    } search{className, processId, nullptr};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t name[128] = {};
            GetClassNameW(window, name, 128);
            if ((s->processId && owner != s->processId) || wcscmp(name, s->className) || !IsWindowVisible(window))
                return TRUE;
            s->found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitForWindow(const wchar_t* className, DWORD timeoutMs, const ChildProcess* child) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    for (;;) {
        if (HWND window = findWindow(className, child ? child->info.dwProcessId : 0)) return window;
        if (GetTickCount64() >= end || (child && child->waitForExit(0) != STILL_ACTIVE)) return nullptr;
        Sleep(50);
    }
}

std::wstring windowText(HWND window) {
    wchar_t buffer[4096] = {};
    GetWindowTextW(window, buffer, 4096);
    return buffer;
}

namespace {

ComPtr<IAccessible> clientObject(HWND window) {
    ComPtr<IAccessible> client;
    AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible, client.outVoid());
    return client;
}

VARIANT childVariant(long id) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

std::wstring takeString(BSTR text) {
    std::wstring result = text ? text : L"";
    SysFreeString(text);
    return result;
}

}  // namespace

std::vector<AccessibleChild> accessibleChildren(HWND window) {
    std::vector<AccessibleChild> children;
    const ComPtr<IAccessible> client = clientObject(window);
    LONG count = 0;
    if (!client || FAILED(client->get_accChildCount(&count))) return children;
    for (long id = 1; id <= count; ++id) {
        const VARIANT child = childVariant(id);
        AccessibleChild c;
        c.id = id;
        BSTR text = nullptr;
        client->get_accName(child, &text);
        c.name = takeString(text);
        text = nullptr;
        client->get_accValue(child, &text);
        c.value = takeString(text);
        VARIANT number;
        VariantInit(&number);
        if (SUCCEEDED(client->get_accRole(child, &number))) c.role = number.lVal;
        VariantInit(&number);
        if (SUCCEEDED(client->get_accState(child, &number))) c.state = number.lVal;
        client->accLocation(&c.screen.left, &c.screen.top, &c.screen.right, &c.screen.bottom, child);
        children.push_back(c);
    }
    return children;
}

HRESULT doDefaultAction(HWND window, long childId) {
    const ComPtr<IAccessible> client = clientObject(window);
    return client ? client->accDoDefaultAction(childVariant(childId)) : E_FAIL;
}

namespace {

constexpr int MessageTextId = 0xFFFF;

UINT iconOf(HWND box) {
    HICON shown = nullptr;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM out) -> BOOL {
            if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) return TRUE;
            *reinterpret_cast<HICON*>(out) = reinterpret_cast<HICON>(SendMessageW(child, STM_GETICON, 0, 0));
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&shown));
    const std::pair<LPCWSTR, UINT> icons[] = {{IDI_WARNING, MB_ICONWARNING},
                                              {IDI_ERROR, MB_ICONERROR},
                                              {IDI_QUESTION, MB_ICONQUESTION},
                                              {IDI_INFORMATION, MB_ICONINFORMATION}};
    for (const auto& [id, flag] : icons) {
        if (shown && shown == LoadIconW(nullptr, id)) return flag;
    }
    return 0;
}

HWND visibleChild(HWND dialog, const wchar_t* className) {
    struct Search {
        const wchar_t* className;
        HWND found;
    } search{className, nullptr};
    EnumChildWindows(
        dialog,
        [](HWND child, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            wchar_t name[32] = {};
            GetClassNameW(child, name, 32);
            if (_wcsicmp(name, s->className) || !IsWindowVisible(child)) return TRUE;
            s->found = child;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace

DialogAnswerer::DialogAnswerer(int answer, std::wstring pickedFolder)
    : answer_(answer), pickedFolder_(std::move(pickedFolder)), thread_([this] { run(); }) {}

DialogAnswerer::~DialogAnswerer() {
    stop_ = true;
    thread_.join();
}

std::vector<DialogAnswerer::Seen> DialogAnswerer::seen() {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

void DialogAnswerer::run() {
    HWND answered = nullptr;
    while (!stop_) {
        HWND dialog = findWindow(L"#32770", GetCurrentProcessId());
        if (dialog && dialog != answered) {
            Sleep(50);  // the text and buttons are set while the dialog is being created
            Seen s;
            s.caption = windowText(dialog);
            s.owner = GetWindow(dialog, GW_OWNER);
            s.messageBox = GetDlgItem(dialog, MessageTextId) != nullptr;
            if (s.messageBox) {
                wchar_t text[2048] = {};
                GetDlgItemTextW(dialog, MessageTextId, text, 2048);
                s.text = text;
                s.icon = iconOf(dialog);
                s.hasYes = GetDlgItem(dialog, IDYES) != nullptr;
                for (int id : {IDYES, IDNO, IDOK}) {
                    HWND button = GetDlgItem(dialog, id);
                    if (button && (GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON)
                        s.defaultButton = id;
                }
                PostMessageW(dialog, WM_COMMAND, s.hasYes ? answer_ : IDOK, 0);
            } else if (HWND edit = visibleChild(dialog, L"Edit"); edit && !pickedFolder_.empty()) {
                SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(pickedFolder_.c_str()));
                pickedFolder_.clear();
                PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            } else {
                PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
            }
            answered = dialog;
            std::lock_guard<std::mutex> lock(mutex_);
            seen_.push_back(s);
        }
        Sleep(10);
    }
}

NotifyWindow::NotifyWindow(InstallerApp& a) : app(a) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_NCCREATE)
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        auto* self = reinterpret_cast<NotifyWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (!self) return DefWindowProcW(window, message, wParam, lParam);
        switch (message) {
        case WM_INSTALL_PROGRESS:
            self->progress.push_back(static_cast<int32_t>(wParam));
            onInstallProgress(self->app, wParam);
            if (self->onProgress) self->onProgress(static_cast<int32_t>(wParam));
            return 0;
        case WM_INSTALL_DONE:
            onInstallDone(self->app);
            ++self->doneCount;
            return 0;
        case WM_CLOSE: self->closeRequested = true; return 0;
        default: return DefWindowProcW(window, message, wParam, lParam);
        }
    };
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"InstallTestNotify";
    RegisterClassW(&wc);
    // Shown, though out of the way: a hidden window collects no invalid region to test.
    window = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, wc.lpszClassName, L"install test",
                             WS_POPUP | WS_VISIBLE, 0, 0, 64, 32, nullptr, nullptr, wc.hInstance, this);
    app.mainWindow = window;
}

NotifyWindow::~NotifyWindow() {
    stopWorker(app);
    if (IsWindow(window)) DestroyWindow(window);
    pumpMessages(0);
}

bool NotifyWindow::pumpUntilDone(DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    const int before = doneCount;
    while (doneCount == before && GetTickCount64() < end) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        pumpMessages(0);
    }
    return doneCount > before;
}

void pumpMessages(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    do {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
        if (ms) Sleep(10);
    } while (GetTickCount64() < end);
}

Canvas::Canvas(int w, int h) : width(w), height(h) {
    gp::GdipCreateBitmapFromScan0(w, h, 0, PixelFormat32bppARGB, nullptr, &bitmap_);
    if (bitmap_) gp::GdipGetImageGraphicsContext(bitmap_, &dc.graphics);
}

Canvas::~Canvas() {
    if (dc.graphics) gp::GdipDeleteGraphics(dc.graphics);
    if (bitmap_) gp::GdipDisposeImage(bitmap_);
}

uint32_t Canvas::pixel(int x, int y) const {
    Gdiplus::ARGB argb = 0;
    gp::GdipBitmapGetPixel(bitmap_, x, y, &argb);
    return argb;
}

uint64_t Canvas::ink(int x0, int y0, int x1, int y1) const {
    uint64_t sum = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) sum += pixel(x, y) >> 24;
    return sum;
}

bool Canvas::sameAs(const Canvas& other) const {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (pixel(x, y) != other.pixel(x, y)) return false;
    return true;
}
