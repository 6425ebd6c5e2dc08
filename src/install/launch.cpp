// The elevated restart of the installer and the start of the game, both through the shell.
#include "install/launch.h"

#include <windows.h>
#include <shellapi.h>

#include "install/installer_app.h"
#include "locate/manifest.h"
#include "locate/paths.h"

namespace {

constexpr const wchar_t* GameExecutable = L"Tavinmere.exe";
constexpr INT_PTR ShellSuccessAbove = 32;
constexpr UINT RestartQuestionStyle = MB_YESNO | MB_ICONWARNING;

// One argument in double quotes that CommandLineToArgvW reads back unchanged: backslashes are
// literal except before a quote, so a run of them before a quote (or before the closing quote) is
// doubled, and a quote inside is written \". A folder ending in "\" or holding a quote thus cannot
// end the argument early and slip further options to the elevated instance.
std::wstring quotedArgument(const std::wstring& value) {
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : value) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            out.append(backslashes * 2 + 1, L'\\');
        } else {
            out.append(backslashes, L'\\');
        }
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    out += L'"';
    return out;
}

}  // namespace

std::wstring restartParameters(int32_t language, const std::wstring& folder) {
    return std::wstring(L"--lang ") + languageCode(language) + L" --dest " + quotedArgument(folder);
}

void restartElevated(InstallerApp& app, const std::wstring& folder) {
    if (showMessage(app, text(app.language, NotWritableRestartAdmin), RestartQuestionStyle) != IDYES ||
        folder.empty()) {
        requestRepaint(app);
        return;
    }
    const std::wstring parameters = restartParameters(app.language, folder);
    const auto result =
        reinterpret_cast<INT_PTR>(ShellExecuteW(app.mainWindow, L"runas", app.installerPath.c_str(), parameters.c_str(),
                                                app.installerDir.c_str(), SW_SHOWNORMAL));
    if (result > ShellSuccessAbove) {
        DestroyWindow(app.mainWindow);
        return;
    }
    requestRepaint(app);
}

void launchGame(InstallerApp& app) {
    // Only an install leads here (the completed state), and it set the location whatever the selection is now.
    if (app.jobLocation.path.empty()) return;
    const std::wstring root = gameRootOf(app.jobLocation.path);
    const std::wstring executable = joinPath(root, GameExecutable);
    if (!isExistingFile(executable)) {
        const std::wstring message = std::wstring(text(app.language, GameExeNotFound)) + L"\n\n" + executable;
        showMessage(app, message.c_str(), MB_ICONWARNING);
        return;
    }
    const std::wstring workingFolder = joinPath(root, L".");
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(app.mainWindow, L"open", executable.c_str(), L"", workingFolder.c_str(), SW_SHOWNORMAL));
    if (result > ShellSuccessAbove) {
        SendMessageW(app.mainWindow, WM_CLOSE, 0, 0);
        return;
    }
    const std::wstring message = std::wstring(text(app.language, LaunchFailed)) + L"\n\n" + executable;
    showMessage(app, message.c_str(), MB_ICONERROR);
}
