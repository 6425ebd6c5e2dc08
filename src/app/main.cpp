// Entry point of TavinMere-Patch-Installer.exe.
#include <windows.h>

#include "app/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    return runInstaller(instance, showCommand);
}
