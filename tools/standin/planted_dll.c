/* A DLL that must never be loaded: copied next to the installer under system DLL names, it leaves
   "planted-<its file name>.txt" beside itself when any process loads it. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[MAX_PATH];
        DWORD length = GetModuleFileNameW(instance, path, MAX_PATH);
        if (length == 0 || length >= MAX_PATH - 16) return FALSE;
        wchar_t* name = path + length;
        while (name > path && name[-1] != L'\\') --name;
        wchar_t marker[MAX_PATH + 16];
        lstrcpynW(marker, path, (int)(name - path) + 1);
        lstrcatW(marker, L"planted-");
        lstrcatW(marker, name);
        lstrcatW(marker, L".txt");
        HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
    return TRUE;
}
