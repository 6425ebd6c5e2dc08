// Loads the DLL named on its command line the ordinary way, with the default search order; the
// security tests use it to show that a planted DLL would be picked up by a program that does not
// restrict its search.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    HMODULE module = LoadLibraryW(commandLine);
    if (!module) return 2;
    FreeLibrary(module);
    return 0;
}
