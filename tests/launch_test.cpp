// The elevated restart and the game's start through the real shell, with the stand-in game as the
// started program: what it was given, where it ran, and what the player is told when it cannot run.
#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

#include "install/installer_app.h"
#include "app/startup.h"
#include "install/launch.h"
#include "install_harness.h"
#include "locate/paths.h"
#include "test_support.h"

namespace {

std::wstring standInGame() { return buildFolder() + L"\\standin\\Tavinmere.exe"; }

std::vector<std::wstring> argumentsOf(const std::wstring& commandLine) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(commandLine.c_str(), &count);
    std::vector<std::wstring> out;
    for (int i = 0; argv && i < count; ++i) out.push_back(argv[i]);
    LocalFree(argv);
    return out;
}

std::wstring readWide(const std::wstring& path) {
    const std::string bytes = readBytes(path);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

bool waitForFile(const std::wstring& path) {
    for (int i = 0; i < 300 && !isExistingFile(path); ++i) Sleep(50);
    return isExistingFile(path);
}

struct LaunchFixture : ::testing::Test {
    TempDir temp;
    InstallerApp app;
    NotifyWindow notify{app};

    void SetUp() override { app.language = English; }
    void select(const std::wstring& gameFolder) { app.candidates = {{gameFolder, true, 1000, 0}}; }
    // The stand-in game as the installer to restart, in a folder of its own.
    void installerIn(const std::wstring& folder) {
        makeDirs(folder);
        ASSERT_TRUE(CopyFileW(standInGame().c_str(), (folder + L"\\Installer.exe").c_str(), FALSE));
        app.installerPath = folder + L"\\Installer.exe";
        app.installerDir = folder;
    }
};

// Closes the window of a started stand-in game so that it does not outlive the test.
void closeStandIn() {
    HWND started = nullptr;
    for (int i = 0; i < 100 && !started; ++i, Sleep(50)) started = FindWindowW(L"TavinMereStandIn", nullptr);
    if (started) PostMessageW(started, WM_CLOSE, 0, 0);
}

}  // namespace

// Folders that would end the quoted argument early if written between plain quotes.
TEST(RestartParameters, EveryFolderComesBackAsOneArgumentThroughTheSystemsParser) {
    const std::wstring folders[] = {
        L"D:\\游戏\\Steam Library\\steamapps\\common\\TavinMere\\game",
        L"C:\\Games\\",
        L"C:\\Games\\\\",
        L"C:\\x\" --lang zh-CN --dest \"C:\\Windows",
        L"C:\\a\\\"b\\\\\"c",
        L"\\\\server\\share\\TavinMere\\game",
        L"C:\\  spaced  \\\t\\game",
    };
    for (int32_t language : {SimplifiedChinese, TraditionalChinese, English}) {
        for (const std::wstring& folder : folders) {
            InstallerApp app;
            app.language = language;
            app.candidates = {{folder, true, 1000, 0}};
            const std::wstring parameters = restartParameters(app);
            const std::vector<std::wstring> args = argumentsOf(L"Installer.exe " + parameters);
            ASSERT_EQ(args.size(), 5u) << narrow(parameters);
            EXPECT_EQ(args[1], L"--lang");
            EXPECT_EQ(args[2], languageCode(language));
            EXPECT_EQ(args[3], L"--dest");
            EXPECT_EQ(args[4], folder) << narrow(parameters);
            // And the installer's own reading of a restarted command line agrees.
            const CommandLineOptions options = parseCommandLine((L"Installer.exe " + parameters).c_str());
            EXPECT_TRUE(options.languageGiven);
            EXPECT_EQ(options.language, language);
            EXPECT_EQ(options.destOption, folder);
        }
    }
}

TEST(RestartParameters, NothingWithoutASelection) {
    InstallerApp app;
    EXPECT_EQ(restartParameters(app), L"");
}

TEST_F(LaunchFixture, RestartAnsweredNoStartsNothingAndKeepsTheWindow) {
    const std::wstring installer = temp / L"installer";
    ASSERT_NO_FATAL_FAILURE(installerIn(installer));
    select(makeGame(temp / L"Game"));
    DialogAnswerer answerer(IDNO);
    restartElevated(app);
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_EQ(answerer.seen()[0].text, text(English, NotWritableRestartAdmin));
    EXPECT_EQ(answerer.seen()[0].caption, text(English, WindowTitle));
    EXPECT_TRUE(answerer.seen()[0].hasYes);
    Sleep(500);
    EXPECT_FALSE(isExistingFile(installer + L"\\started.txt"));
    EXPECT_TRUE(IsWindow(notify.window));
}

TEST_F(LaunchFixture, RestartAnsweredYesStartsTheInstallerInItsFolderWithTheSelectionAndCloses) {
    // CJK characters and spaces in both folders: the restarted program must see them whole.
    const std::wstring installer = temp / L"安装 folder";
    ASSERT_NO_FATAL_FAILURE(installerIn(installer));
    app.language = TraditionalChinese;
    const std::wstring game = makeGame(temp / L"遊戲 Root");
    select(game);
    DialogAnswerer answerer(IDYES);
    restartElevated(app);
    ASSERT_TRUE(waitForFile(installer + L"\\arguments.txt"));
    ASSERT_TRUE(waitForFile(installer + L"\\started.txt"));
    Sleep(200);
    const std::vector<std::wstring> args = argumentsOf(readWide(installer + L"\\arguments.txt"));
    ASSERT_EQ(args.size(), 5u);
    EXPECT_EQ(args[1], L"--lang");
    EXPECT_EQ(args[2], L"zh-TW");
    EXPECT_EQ(args[4], game);
    EXPECT_TRUE(equalsIgnoreCase(normalizePath(readWide(installer + L"\\started.txt")), normalizePath(installer)));
    EXPECT_FALSE(IsWindow(notify.window));
    closeStandIn();
}

TEST_F(LaunchFixture, GameStartsInItsRootAndTheWindowIsAskedToClose) {
    const std::wstring root = temp / L"Steam Library 游戏\\TavinMere";
    const std::wstring game = makeGame(root);
    ASSERT_TRUE(CopyFileW(standInGame().c_str(), (root + L"\\Tavinmere.exe").c_str(), FALSE));
    select(game);
    DialogAnswerer answerer(IDOK);
    launchGame(app);
    ASSERT_TRUE(waitForFile(root + L"\\started.txt"));
    Sleep(200);
    EXPECT_TRUE(equalsIgnoreCase(normalizePath(readWide(root + L"\\started.txt")), normalizePath(root)));
    EXPECT_TRUE(notify.closeRequested);
    EXPECT_TRUE(answerer.seen().empty());
    closeStandIn();
}

TEST_F(LaunchFixture, MissingOrFolderExecutableIsExplainedWithItsPath) {
    const std::wstring root = temp / L"Broken";
    select(makeGame(root));
    DeleteFileW((root + L"\\Tavinmere.exe").c_str());
    {
        DialogAnswerer answerer(IDOK);
        launchGame(app);
        ASSERT_EQ(answerer.seen().size(), 1u);
        EXPECT_EQ(answerer.seen()[0].text,
                  std::wstring(text(English, GameExeNotFound)) + L"\n\n" + root + L"\\Tavinmere.exe");
    }
    CreateDirectoryW((root + L"\\Tavinmere.exe").c_str(), nullptr);
    {
        DialogAnswerer answerer(IDOK);
        launchGame(app);
        ASSERT_EQ(answerer.seen().size(), 1u);
        EXPECT_EQ(answerer.seen()[0].text.rfind(text(English, GameExeNotFound), 0), 0u);
    }
    EXPECT_FALSE(notify.closeRequested);
}

TEST_F(LaunchFixture, ExecutableTheShellCannotStartIsALaunchFailure) {
    const std::wstring root = temp / L"Not a program";
    select(makeGame(root));
    writeBytes(root + L"\\Tavinmere.exe", "MZ this is not a program");
    DialogAnswerer answerer(IDOK);
    launchGame(app);
    ASSERT_EQ(answerer.seen().size(), 1u);
    EXPECT_EQ(answerer.seen()[0].text.rfind(text(English, LaunchFailed), 0), 0u);
    EXPECT_FALSE(notify.closeRequested);
}
