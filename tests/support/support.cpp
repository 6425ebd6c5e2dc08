// The shared test support: files, processes, windows, dialogs, MSAA, the worker's receiver and a canvas.
#include "support/support.h"

#include <oleacc.h>

#include <algorithm>

#include "base/owned.h"
#include "base/win32.h"
#include "install/checks.h"
#include "install/installer_app.h"

namespace gp = Gdiplus::DllExports;

TempDir::TempDir() {
    static unsigned counter = 0;
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    // Named by the clock, not the process id, which Wine hands out alike run after run: the drive letters a
    // killed run left pointing at its folders must not point at this run's.
    root = wstring(base) + L"tmpt-" + std::to_wstring(GetTickCount64()) + L"-" + std::to_wstring(counter++);
    removeTree(root);
    makeDirs(root);
}

TempDir::~TempDir() { removeTree(L"\\\\?\\" + root); }

void makeDirs(const wstring& path) {
    for (size_t i = 3; i <= path.size(); ++i)
        if (i == path.size() || path[i] == L'\\') CreateDirectoryW(path.substr(0, i).c_str(), nullptr);
}

void writeBytes(const wstring& path, const std::string& bytes, uint64_t size) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    LONG high = LONG(size >> 32);
    if (size) SetFilePointer(f, LONG(size), &high, FILE_BEGIN), SetEndOfFile(f);
    CloseHandle(f);
}

std::string readBytes(const wstring& path) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, 7, nullptr, OPEN_EXISTING, 0, nullptr);
    std::string out;
    static char buffer[1 << 16];
    DWORD got = 0;
    while (f != INVALID_HANDLE_VALUE && ReadFile(f, buffer, sizeof buffer, &got, nullptr) && got > 0)
        out.append(buffer, got);
    CloseHandle(f);
    return out;
}

Strings folderEntries(const wstring& folder) {
    Strings names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &data))
        if (wcscmp(data.cFileName, L".") && wcscmp(data.cFileName, L"..")) names.push_back(data.cFileName);
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

void removeTree(const wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    // A link goes, never what it leads to (nor does a path that is not there get listed).
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        for (const wstring& name : folderEntries(path)) removeTree(path + L"\\" + name);
    if (!DeleteFileW(path.c_str())) RemoveDirectoryW(path.c_str());
}

std::string narrow(const wstring& text) {
    std::string out(text.size() * 3, '\0');
    out.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), out.data(), int(out.size()), 0, 0));
    return out;
}

wstring widen(const std::string& utf8) {
    wstring out(utf8.size(), L'\0');
    out.resize(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), out.data(), int(out.size())));
    return out;
}

wstring buildFolder() {
    wchar_t path[MAX_PATH * 4];
    wstring folder(path, GetModuleFileNameW(nullptr, path, MAX_PATH * 4));
    return folder.substr(0, folder.find_last_of(L'\\', folder.find_last_of(L'\\') - 1));
}

wstring makeGame(const wstring& root) {
    makeDirs(root + L"\\game");
    writeBytes(root + L"\\Tavinmere.exe", "MZ");
    writeBytes(root + L"\\game\\data.rpa", "RPA-3.0");
    return root + L"\\game";
}

std::string unixPathOf(const wstring& path) {
    const auto fn = procAddress<char* (*)(const wchar_t*)>(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name");
    char* unix = fn ? fn(path.c_str()) : nullptr;
    std::string result = unix ? unix : "";
    HeapFree(GetProcessHeap(), 0, unix);
    // Through the prefix's drive_c, as Steam would write it, not Wine's c: link: a colon ends a path in a list.
    const size_t link = result.find("/dosdevices/c:/");
    return link == std::string::npos ? result : result.replace(link, 15, "/drive_c/");
}

ChildProcess::~ChildProcess() {
    if (!info.hProcess) return;
    TerminateProcess(info.hProcess, 99);
    WaitForSingleObject(info.hProcess, 5000);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
}

DWORD ChildProcess::waitForExit(DWORD timeoutMs) const {
    DWORD code = STILL_ACTIVE;
    if (info.hProcess && WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(info.hProcess, &code);
    return code;
}

bool startProcess(ChildProcess& child, const wstring& exe, const wstring& arguments, const wstring& folder) {
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    return CreateProcessW(exe.c_str(), (L"\"" + exe + L"\" " + arguments).data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder.c_str(), &startup, &child.info);
}

HWND findWindow(const wchar_t* className, DWORD processId) {
    for (HWND w = nullptr; (w = FindWindowExW(nullptr, w, className, nullptr));) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if ((!processId || owner == processId) && IsWindowVisible(w)) return w;
    }
    return nullptr;
}

HWND waitForWindow(const wchar_t* className, DWORD timeoutMs, const ChildProcess* child) {
    for (const ULONGLONG end = GetTickCount64() + timeoutMs;; Sleep(50)) {
        if (HWND window = findWindow(className, child ? child->info.dwProcessId : 0)) return window;
        if (GetTickCount64() >= end || (child && child->waitForExit(0) != STILL_ACTIVE)) return nullptr;
    }
}

wstring windowText(HWND window) {
    wchar_t buffer[4096] = {};
    GetWindowTextW(window, buffer, 4096);
    return buffer;
}

namespace {

ComPtr<IAccessible> clientObject(HWND window) {
    ComPtr<IAccessible> client;
    AccessibleObjectFromWindow(window, DWORD(OBJID_CLIENT), IID_IAccessible, client.outVoid());
    return client;
}

VARIANT child(long id) {
    VARIANT v{};
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

// The message box icon as the MB_ flag that asked for it: the static icon holds the system's own.
UINT iconOf(HWND box) {
    HICON shown = nullptr;
    for (HWND c = GetWindow(box, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        if ((GetWindowLongW(c, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) shown = HICON(SendMessageW(c, STM_GETICON, 0, 0));
    return shown == LoadIconW(nullptr, IDI_WARNING) ? MB_ICONWARNING
           : shown == LoadIconW(nullptr, IDI_ERROR) ? MB_ICONERROR
                                                    : 0;
}

// The folder picker's name field, at any depth.
HWND visibleEdit(HWND parent) {
    for (HWND c = nullptr; (c = FindWindowExW(parent, c, nullptr, nullptr));) {
        wchar_t name[16] = {};
        GetClassNameW(c, name, 16);
        if (!_wcsicmp(name, L"Edit") && IsWindowVisible(c)) return c;
        if (HWND edit = visibleEdit(c)) return edit;
    }
    return nullptr;
}

// The child id an answer names: -1 for none (S_FALSE with VT_EMPTY), -2 for an answer that breaks the
// interface's rules (or no client object to ask).
template <class Call>
long childAnswer(HWND window, Call call) {
    const ComPtr<IAccessible> client = clientObject(window);
    // What the caller passes in is not cleared: an answer of none must empty it itself.
    VARIANT to = child(99);
    const HRESULT hr = client ? call(client.get(), &to) : E_FAIL;
    return hr == S_OK && to.vt == VT_I4 ? to.lVal : hr == S_FALSE && to.vt == VT_EMPTY ? -1 : -2;
}

}  // namespace

AccessibleChild accessibleElement(HWND window, long id) {
    AccessibleChild c;
    c.id = id;
    const ComPtr<IAccessible> client = clientObject(window);
    if (!client) return c;
    using TextGetter = HRESULT (STDMETHODCALLTYPE IAccessible::*)(VARIANT, BSTR*);
    const std::pair<wstring*, TextGetter> texts[] = {{&c.name, &IAccessible::get_accName},
                                                     {&c.shortcut, &IAccessible::get_accKeyboardShortcut},
                                                     {&c.action, &IAccessible::get_accDefaultAction},
                                                     {&c.value, &IAccessible::get_accValue}};
    for (const auto& [field, get] : texts) {
        BSTR text = nullptr;
        (client.get()->*get)(child(id), &text);
        *field = text ? text : L"";
        SysFreeString(text);
    }
    VARIANT number;
    client->get_accRole(child(id), &number);
    c.role = number.lVal;
    client->get_accState(child(id), &number);
    c.state = number.lVal;
    RECT& r = c.screen;
    client->accLocation(&r.left, &r.top, &r.right, &r.bottom, child(id));
    r.right += r.left;
    r.bottom += r.top;
    return c;
}

std::vector<AccessibleChild> accessibleChildren(HWND window) {
    std::vector<AccessibleChild> children;
    const ComPtr<IAccessible> client = clientObject(window);
    LONG count = 0;
    if (client) client->get_accChildCount(&count);
    for (long id = 1; id <= count; ++id) children.push_back(accessibleElement(window, id));
    return children;
}

AccessibleChild childNamed(HWND window, const wstring& name) {
    for (AccessibleChild& c : accessibleChildren(window))
        if (c.name == name) return c;
    return {};
}

long hitTestAt(HWND window, POINT p) {
    return childAnswer(window, [&](IAccessible* a, VARIANT* to) { return a->accHitTest(p.x, p.y, to); });
}

long navigate(HWND window, long from, long direction) {
    return childAnswer(window, [&](IAccessible* a, VARIANT* to) { return a->accNavigate(direction, child(from), to); });
}

long focusedChild(HWND window) {
    return childAnswer(window, [](IAccessible* a, VARIANT* to) { return a->get_accFocus(to); });
}

HRESULT doDefaultAction(HWND window, long childId) {
    const ComPtr<IAccessible> client = clientObject(window);
    return client ? client->accDoDefaultAction(child(childId)) : E_FAIL;
}

DialogAnswerer::DialogAnswerer(int answer, wstring pickedFolder, HANDLE pickWhen)
    : answer_(answer), pickedFolder_(std::move(pickedFolder)), pickWhen_(pickWhen), thread_([this] { run(); }) {}

DialogAnswerer::~DialogAnswerer() {
    stop_ = true;
    thread_.join();
}

std::vector<DialogAnswerer::Seen> DialogAnswerer::seen() {
    std::lock_guard<std::mutex> lock(mutex_);
    return seen_;
}

void DialogAnswerer::run() {
    for (HWND answered = nullptr; !stop_; Sleep(10)) {
        HWND dialog = findWindow(L"#32770", GetCurrentProcessId());
        if (!dialog || dialog == answered) continue;
        Seen s{windowText(dialog)};
        int command = IDCANCEL;
        // a message box, once its text is set (it has none while it is being created)
        if (HWND message = GetDlgItem(dialog, 0xFFFF)) {
            s.text = windowText(message);
            if (s.text.empty()) continue;
            s.icon = iconOf(dialog);
            command = GetDlgItem(dialog, IDYES) ? answer_ : IDOK;
        } else if (!pickedFolder_.empty()) {
            HWND edit = visibleEdit(dialog);
            if (!edit || (pickWhen_ && WaitForSingleObject(pickWhen_, 0) != WAIT_OBJECT_0)) continue;
            SendMessageW(edit, WM_SETTEXT, 0, LPARAM(pickedFolder_.c_str()));
            command = IDOK;
        }
        answered = dialog;
        // kept before it is answered: the caller may look as soon as the dialog is gone
        {
            std::lock_guard<std::mutex> lock(mutex_);
            seen_.push_back(s);
        }
        PostMessageW(dialog, WM_COMMAND, command, 0);
    }
}

NotifyWindow::NotifyWindow(InstallerApp& a) : app(a) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        auto* self = reinterpret_cast<NotifyWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (self && message == WM_INSTALL_PROGRESS) {
            self->progress.push_back(int32_t(wParam));
            onInstallProgress(self->app, wParam);
            if (self->onProgress) self->onProgress(int32_t(wParam));
        } else if (self && message == WM_INSTALL_DONE) {
            onInstallDone(self->app);
            SetEvent(self->finished);
        } else if (self && message == WM_CLOSE) {
            self->closeRequested = true;
        } else {
            return DefWindowProcW(window, message, wParam, lParam);
        }
        return 0;
    };
    wc.lpszClassName = L"InstallTestNotify";
    RegisterClassW(&wc);
    // Shown, though out of the way: a hidden window collects no invalid region to test.
    window = CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, 0, 0, 64, 32, nullptr,
                             nullptr, nullptr, nullptr);
    SetWindowLongPtrW(window, GWLP_USERDATA, LONG_PTR(this));
    app.mainWindow = window;
}

NotifyWindow::~NotifyWindow() {
    stopWorker(app);
    DestroyWindow(window);
    pumpMessages(0);
    CloseHandle(finished);
}

bool NotifyWindow::pumpUntilDone(DWORD timeoutMs) {
    ResetEvent(finished);
    for (const ULONGLONG end = GetTickCount64() + timeoutMs; GetTickCount64() < end; pumpMessages(0))
        if (MsgWaitForMultipleObjects(1, &finished, FALSE, 50, QS_ALLINPUT) == WAIT_OBJECT_0) return true;
    return WaitForSingleObject(finished, 0) == WAIT_OBJECT_0;
}

bool waitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
    for (const ULONGLONG end = GetTickCount64() + timeoutMs; !condition(); Sleep(10))
        if (GetTickCount64() >= end) return false;
    return true;
}

void pumpMessages(DWORD ms) {
    MSG m;
    for (const ULONGLONG end = GetTickCount64() + ms;; Sleep(10)) {
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
        if (GetTickCount64() >= end) return;
    }
}

Canvas::Canvas(int w, int h) {
    gp::GdipCreateBitmapFromScan0(w, h, 0, PixelFormat32bppARGB, nullptr, &bitmap);
    gp::GdipGetImageGraphicsContext(bitmap, &dc.graphics);
}

Canvas::~Canvas() {
    gp::GdipDeleteGraphics(dc.graphics);
    gp::GdipDisposeImage(bitmap);
}

uint32_t Canvas::pixel(float x, float y) const {
    Gdiplus::ARGB argb = 0;
    gp::GdipBitmapGetPixel(bitmap, int(x), int(y), &argb);
    return argb;
}
