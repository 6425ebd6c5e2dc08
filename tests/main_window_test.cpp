// The main window procedure driven with real messages on a real window: binding, clicks at scaled
// client positions, hover and cursor, keys, language switches and closing during a copy.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <iterator>
#include <string>
#include <thread>

#include "install/installer_app.h"
#include "app/startup.h"
#include "audio/music.h"
#include "test_support.h"
#include "ui/layout.h"
#include "ui/main_window.h"

namespace {

// A popup window of the main class with a chosen client size, bound to its own application object.
struct MainWindowFixture : ::testing::Test {
    InstallerApp app;
    MusicPlayer player;
    HWND window = nullptr;

    void open(int clientWidth, int clientHeight) {
        app.language = English;
        app.fontFamily = createFontFamily(English);
        app.musicPlayer = &player;
        registerWindowClass(GetModuleHandleW(nullptr), MainWindowClass, mainWindowProc);
        window = CreateWindowExW(0, MainWindowClass, text(English, WindowTitle), WS_POPUP | WS_VISIBLE, 0, 0,
                                 clientWidth, clientHeight, nullptr, nullptr, GetModuleHandleW(nullptr), &app);
        ASSERT_TRUE(window);
    }
    void SetUp() override { open(640, 500); }
    void TearDown() override {
        if (IsWindow(window)) DestroyWindow(window);
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {}
        app.installJob.reset();
    }
    // The client position of a control's centre at the window's current scale.
    LPARAM positionOf(ControlId id) const {
        const LogicalView view = logicalViewOf(window);
        const MainLayout layout = computeLayout(app.uiState, view.width, view.height);
        const RectF& r = layout.control(id);
        const int x = static_cast<int>((r.X + r.Width / 2) * view.scale);
        const int y = static_cast<int>((r.Y + r.Height / 2) * view.scale);
        return MAKELPARAM(x, y);
    }
    void click(ControlId id) {
        SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, positionOf(id));
        SendMessageW(window, WM_LBUTTONUP, 0, positionOf(id));
    }
    std::wstring title() const {
        wchar_t buffer[256] = {};
        GetWindowTextW(window, buffer, static_cast<int>(std::size(buffer)));
        return buffer;
    }
    bool repaintPending() const { return GetUpdateRect(window, nullptr, FALSE) != FALSE; }
    void settle() { ValidateRect(window, nullptr); }
};

// Answers the next message box on another thread: reads its text and default button, then clicks.
struct MessageBoxAnswer {
    std::wstring caption;
    std::wstring seenText;
    int defaultId = 0;
    std::thread thread;

    MessageBoxAnswer(std::wstring boxCaption, int answer) : caption(std::move(boxCaption)) {
        thread = std::thread([this, answer] {
            for (int i = 0; i < 500; ++i) {
                HWND box = FindWindowW(L"#32770", caption.c_str());
                if (box && IsWindowVisible(box)) {
                    wchar_t buffer[512] = {};
                    GetDlgItemTextW(box, 0xFFFF, buffer, static_cast<int>(std::size(buffer)));
                    seenText = buffer;
                    for (int id : {IDYES, IDNO})
                        if (GetWindowLongW(GetDlgItem(box, id), GWL_STYLE) & BS_DEFPUSHBUTTON) defaultId = id;
                    PostMessageW(box, WM_COMMAND, answer, 0);
                    return;
                }
                Sleep(10);
            }
        });
    }
    ~MessageBoxAnswer() {
        if (thread.joinable()) thread.join();
    }
};

// Cancels the folder picker that the UI thread shows, noting its title and owner. A picker of
// another title is cancelled too once the wait is over, so that a failing test never hangs.
struct PickerCanceller {
    DWORD uiThread = GetCurrentThreadId();
    std::wstring title;
    HWND owner = nullptr;
    std::thread thread;

    explicit PickerCanceller(const std::wstring& expected) {
        thread = std::thread([this, expected] {
            for (int i = 0; i < 1000; ++i) {
                HWND picker = FindWindowW(nullptr, expected.c_str());
                if (!picker && i >= 500) picker = anyDialogOfThread(uiThread);
                if (picker && IsWindowVisible(picker) && GetWindowThreadProcessId(picker, nullptr) == uiThread) {
                    wchar_t buffer[256] = {};
                    GetWindowTextW(picker, buffer, static_cast<int>(std::size(buffer)));
                    title = buffer;
                    owner = GetWindow(picker, GW_OWNER);
                    PostMessageW(picker, WM_COMMAND, IDCANCEL, 0);
                    return;
                }
                Sleep(10);
            }
        });
    }
    ~PickerCanceller() {
        if (thread.joinable()) thread.join();
    }
    static HWND anyDialogOfThread(DWORD threadId) {
        HWND found = nullptr;
        EnumThreadWindows(
            threadId,
            [](HWND w, LPARAM out) {
                wchar_t name[16] = {};
                GetClassNameW(w, name, static_cast<int>(std::size(name)));
                if (std::wstring(name) != L"#32770" || !IsWindowVisible(w)) return TRUE;
                *reinterpret_cast<HWND*>(out) = w;
                return FALSE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    }
};

// Holds the Control key down in this thread's keyboard state for a scope.
struct ControlKeyDown {
    BYTE saved[256] = {};
    ControlKeyDown() {
        GetKeyboardState(saved);
        BYTE keys[256];
        std::copy(std::begin(saved), std::end(saved), keys);
        keys[VK_CONTROL] = 0x80;
        SetKeyboardState(keys);
    }
    ~ControlKeyDown() { SetKeyboardState(saved); }
};

}  // namespace

TEST_F(MainWindowFixture, BindsTheApplicationOnCreation) {
    EXPECT_EQ(app.mainWindow, window);
    EXPECT_EQ(reinterpret_cast<InstallerApp*>(GetWindowLongPtrW(window, GWLP_USERDATA)), &app);
    EXPECT_EQ(SendMessageW(window, WM_ERASEBKGND, 0, 0), 1);
}

TEST_F(MainWindowFixture, LanguageChipsSwitchTheTitleAndRepaintOnlyOnChange) {
    settle();
    click(ChipEnglish);  // already English
    EXPECT_FALSE(repaintPending());
    EXPECT_EQ(title(), text(English, WindowTitle));
    click(ChipTraditional);
    EXPECT_EQ(app.language, TraditionalChinese);
    EXPECT_EQ(title(), text(TraditionalChinese, WindowTitle));
    EXPECT_TRUE(repaintPending());
    app.uiState = StateFailed;
    app.statusText = L"Copy failed: English text";
    click(ChipSimplified);
    EXPECT_EQ(title(), text(SimplifiedChinese, WindowTitle));
    EXPECT_EQ(app.statusText, L"Copy failed: English text");  // kept in the language it was written in
}

TEST_F(MainWindowFixture, ReleaseDecidesTheControl) {
    SendMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, positionOf(ChipTraditional));
    SendMessageW(window, WM_LBUTTONUP, 0, positionOf(ChipSimplified));
    EXPECT_EQ(app.language, SimplifiedChinese);
    settle();
    SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(3, 3));  // over nothing
    EXPECT_EQ(app.language, SimplifiedChinese);
    EXPECT_FALSE(repaintPending());
}

TEST_F(MainWindowFixture, MusicToggleFlipsMuteAndRepaints) {
    settle();
    click(MusicToggle);
    EXPECT_TRUE(player.musicMuted);
    EXPECT_TRUE(repaintPending());
    click(MusicToggle);
    EXPECT_FALSE(player.musicMuted);
    app.musicPlayer = nullptr;  // no player: still a repaint, nothing else
    settle();
    click(MusicToggle);
    EXPECT_TRUE(repaintPending());
}

TEST_F(MainWindowFixture, HoverTrackingCursorAndLeave) {
    settle();
    SendMessageW(window, WM_MOUSEMOVE, 0, positionOf(ChipTraditional));
    EXPECT_EQ(app.hoverControl, ChipTraditional);
    EXPECT_TRUE(app.mouseTracking);
    EXPECT_TRUE(repaintPending());
    EXPECT_EQ(SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              1);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
    EXPECT_EQ(SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCAPTION, WM_MOUSEMOVE)),
              0);
    settle();
    SendMessageW(window, WM_MOUSEMOVE, 0, positionOf(ChipTraditional));  // same control: no repaint
    EXPECT_FALSE(repaintPending());
    SendMessageW(window, WM_MOUSELEAVE, 0, 0);
    EXPECT_EQ(app.hoverControl, None);
    EXPECT_FALSE(app.mouseTracking);
    EXPECT_TRUE(repaintPending());
    SendMessageW(window, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_EQ(app.hoverControl, None);
    EXPECT_EQ(SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              0);
}

TEST_F(MainWindowFixture, ClicksFollowTheScaledLayout) {
    // 640 x 500 at 96 DPI draws at 0.696: the English chip's logical centre is not its client position.
    EXPECT_NEAR(logicalViewOf(window).scale, 640.0f / 920.0f, 0.001f);
    const LPARAM unscaledChip = MAKELPARAM(200, 44);  // inside the chip only if taken as logical
    SendMessageW(window, WM_MOUSEMOVE, 0, unscaledChip);
    EXPECT_EQ(app.hoverControl, None);
    SendMessageW(window, WM_MOUSEMOVE, 0, positionOf(ChipEnglish));
    EXPECT_EQ(app.hoverControl, ChipEnglish);
}

TEST_F(MainWindowFixture, DisabledControlsDoNothing) {
    app.patchFound = false;
    settle();
    click(ActionButton);  // no patch, no location: not hit
    click(PrevLocationButton);
    EXPECT_EQ(app.uiState, StateReady);
    EXPECT_FALSE(repaintPending());
    app.uiState = StateInstalling;
    app.installJob = std::make_unique<InstallJob>();
    click(DetectAgainButton);  // cannot be hit during an install
    EXPECT_FALSE(repaintPending());
}

TEST_F(MainWindowFixture, EscapeAndEnterDuringAnInstallOnlyCancel) {
    app.uiState = StateInstalling;
    app.installJob = std::make_unique<InstallJob>();
    SendMessageW(window, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(app.installJob->cancelRequested.load(), 0);
    SendMessageW(window, WM_KEYDOWN, 'B', 0);  // B without Control
    SendMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(app.uiState, StateInstalling);
    EXPECT_EQ(app.installJob->cancelRequested.load(), 1);
}

TEST_F(MainWindowFixture, EscapeClosesOutsideAnInstall) {
    app.uiState = StateCancelled;
    SendMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_FALSE(IsWindow(window));
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(quit.wParam, 0u);
}

TEST_F(MainWindowFixture, CloseButtonInCompletedClosesTheWindow) {
    app.uiState = StateCompleted;
    click(CloseButton);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(MainWindowFixture, ClosingDuringACopyAnsweredNoKeepsRunning) {
    app.uiState = StateInstalling;
    app.installJob = std::make_unique<InstallJob>();
    {
        MessageBoxAnswer answer(text(English, WindowTitle), IDNO);
        SendMessageW(window, WM_CLOSE, 0, 0);
        answer.thread.join();
        EXPECT_EQ(answer.seenText, text(English, ConfirmCancelExit));
        EXPECT_EQ(answer.defaultId, IDNO);
    }
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(app.installJob->cancelRequested.load(), 0);
}

TEST_F(MainWindowFixture, ClosingDuringACopyAnsweredYesCancelsAndCloses) {
    app.uiState = StateInstalling;
    app.installJob = std::make_unique<InstallJob>();
    {
        MessageBoxAnswer answer(text(English, WindowTitle), IDYES);
        SendMessageW(window, WM_CLOSE, 0, 0);
    }
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(app.installJob->cancelRequested.load(), 1);
}

TEST_F(MainWindowFixture, SizeLimitsComeFromTheWorkArea) {
    MINMAXINFO info{};
    EXPECT_EQ(SendMessageW(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info)), 0);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &monitor);
    const SIZE expected = minimumTrackSize(monitor.rcWork.right - monitor.rcWork.left,
                                           monitor.rcWork.bottom - monitor.rcWork.top, windowDpi(window));
    EXPECT_EQ(info.ptMinTrackSize.x, expected.cx);
    EXPECT_EQ(info.ptMinTrackSize.y, expected.cy);
    RECT suggested{10, 20, 1010, 720};
    EXPECT_EQ(SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested)), 0);
    RECT now{};
    GetWindowRect(window, &now);
    EXPECT_EQ(now.left, 10);
    EXPECT_EQ(now.bottom - now.top, 700);
}

TEST_F(MainWindowFixture, F5RunsANewDetectionInEveryState) {
    TempDir dir;
    const std::wstring game = makeGame(dir / L"TavinMere");
    makeDirs(dir / L"installer");
    app.installerDir = dir / L"installer";
    app.patchSourcePath = dir / L"installer\\patch.rpa";
    writeFileOfSize(app.patchSourcePath, 12345);
    app.chosenFolder = game;
    app.uiState = StateFailed;
    app.statusText = L"an earlier failure";
    app.progressPermille = 400;
    settle();
    SendMessageW(window, WM_KEYDOWN, VK_F5, 0);
    ASSERT_FALSE(app.candidates.empty());
    EXPECT_EQ(_wcsicmp(app.candidates[0].path.c_str(), game.c_str()), 0);
    EXPECT_TRUE(app.candidates[0].manual);
    EXPECT_EQ(app.selectedCandidate, 0u);
    EXPECT_TRUE(app.patchFound);
    EXPECT_EQ(app.patchSize, 12345u);
    EXPECT_EQ(app.uiState, StateReady);
    EXPECT_TRUE(app.statusText.empty());
    EXPECT_EQ(app.progressPermille, 0);
    EXPECT_TRUE(repaintPending());

    // During a copy the key still works, but the install goes on.
    app.uiState = StateInstalling;
    app.installJob = std::make_unique<InstallJob>();
    app.progressPermille = 500;
    DeleteFileW(app.patchSourcePath.c_str());
    SendMessageW(window, WM_KEYDOWN, VK_F5, 0);
    EXPECT_EQ(app.uiState, StateInstalling);
    EXPECT_EQ(app.progressPermille, 0);
    EXPECT_FALSE(app.patchFound);
    EXPECT_EQ(app.installJob->cancelRequested.load(), 0);
}

TEST_F(MainWindowFixture, ControlBOpensTheFolderPickerAndCancellingChangesNothing) {
    TempDir dir;
    const std::wstring game = makeGame(dir / L"TavinMere");
    app.candidates.push_back({game, false, 950, 0});
    {
        ControlKeyDown control;
        PickerCanceller canceller(text(English, SelectGameFolderTitle));
        SendMessageW(window, WM_KEYDOWN, 'B', 0);  // returns once the picker is closed
        canceller.thread.join();
        EXPECT_EQ(canceller.title, text(English, SelectGameFolderTitle));
        EXPECT_EQ(canceller.owner, window);
    }
    ASSERT_EQ(app.candidates.size(), 1u);
    EXPECT_EQ(app.candidates[0].path, game);
    EXPECT_FALSE(app.candidates[0].manual);
    EXPECT_TRUE(app.chosenFolder.empty());
    EXPECT_TRUE(IsWindow(window));
}
