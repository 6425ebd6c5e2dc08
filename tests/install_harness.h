// Test harness for the install module: a small window that receives the copy worker's messages and
// hands them to the real handlers, and a thread that reads and answers this process's message boxes.
#pragma once

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "install/installer_app.h"
#include "install/worker.h"
#include "test_support.h"

// Receives WM_INSTALL_PROGRESS and WM_INSTALL_DONE for an application object and records them.
struct NotifyWindow {
    InstallerApp& app;
    HWND window = nullptr;
    std::vector<int32_t> progress;  // every progress value in the order of arrival
    int doneCount = 0;
    bool closeRequested = false;
    std::function<void(int32_t)> onProgress;  // runs after the real handler, on the UI thread

    explicit NotifyWindow(InstallerApp& a) : app(a) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = procedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"InstallTestNotify";
        RegisterClassW(&wc);
        // Shown, though out of the way, since a hidden window collects no invalid region to test.
        window = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, wc.lpszClassName, L"install test",
                                 WS_POPUP | WS_VISIBLE, 0, 0, 64, 32, nullptr, nullptr, wc.hInstance, this);
        app.mainWindow = window;
    }
    ~NotifyWindow() {
        if (IsWindow(window)) DestroyWindow(window);
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {}
    }
    NotifyWindow(const NotifyWindow&) = delete;
    NotifyWindow& operator=(const NotifyWindow&) = delete;

    // Pumps messages until the worker's end message has been handled or the time is out.
    bool pumpUntilDone(DWORD timeoutMs = 120000) {
        const ULONGLONG end = GetTickCount64() + timeoutMs;
        const int before = doneCount;
        while (doneCount == before && GetTickCount64() < end) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            MSG m;
            while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&m);
                DispatchMessageW(&m);
            }
        }
        return doneCount > before;
    }

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        }
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
        case WM_CLOSE:
            self->closeRequested = true;
            DestroyWindow(window);
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
};

// Answers every message box of this process with one button and keeps what each one said.
class DialogAnswerer {
public:
    struct Seen {
        std::wstring text;
        std::wstring caption;
        bool hasYes = false;
    };

    explicit DialogAnswerer(int answer) : answer_(answer), thread_([this] { run(); }) {}
    ~DialogAnswerer() {
        stop_ = true;
        thread_.join();
    }
    DialogAnswerer(const DialogAnswerer&) = delete;
    DialogAnswerer& operator=(const DialogAnswerer&) = delete;

    std::vector<Seen> seen() {
        std::lock_guard<std::mutex> lock(mutex_);
        return seen_;
    }

private:
    static BOOL CALLBACK visit(HWND window, LPARAM context) {
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        wchar_t className[32] = {};
        GetClassNameW(window, className, static_cast<int>(std::size(className)));
        if (process == GetCurrentProcessId() && lstrcmpW(className, L"#32770") == 0 && IsWindowVisible(window)) {
            *reinterpret_cast<HWND*>(context) = window;
            return FALSE;
        }
        return TRUE;
    }

    void run() {
        while (!stop_) {
            HWND box = nullptr;
            EnumWindows(visit, reinterpret_cast<LPARAM>(&box));
            if (box && box != lastAnswered_) {
                Seen s;
                wchar_t buffer[2048] = {};
                GetDlgItemTextW(box, 0xFFFF, buffer, static_cast<int>(std::size(buffer)));
                s.text = buffer;
                GetWindowTextW(box, buffer, static_cast<int>(std::size(buffer)));
                s.caption = buffer;
                s.hasYes = GetDlgItem(box, IDYES) != nullptr;
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    seen_.push_back(s);
                }
                lastAnswered_ = box;
                PostMessageW(box, WM_COMMAND, s.hasYes ? answer_ : IDOK, 0);
            }
            Sleep(10);
        }
    }

    int answer_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Seen> seen_;
    HWND lastAnswered_ = nullptr;
    std::thread thread_;
};

// An installer folder with its patch path and one selected game folder, the worker stopped at the end.
struct InstallFixture : ::testing::Test {
    TempDir temp;
    InstallerApp app;
    NotifyWindow notify{app};
    std::wstring gameFolder;
    std::wstring target;

    void SetUp() override {
        app.language = English;
        makeDirs(temp / L"installer");
        app.installerDir = temp / L"installer";
        app.patchSourcePath = app.installerDir + L"\\patch.rpa";
        gameFolder = makeGame(temp / L"Game Root");
        app.candidates.push_back({gameFolder, false, 900, 0});
        target = gameFolder + L"\\patch.rpa";
    }
    void TearDown() override { stopWorker(app); }
};
