// Entry point of TavinMere-Patch-Installer.exe.
#include <windows.h>

#include "app/startup.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // Before anything can load a DLL by name: the installer's folder is not trusted.
    restrictDllSearch();
    return runInstaller(instance, showCommand);
}
