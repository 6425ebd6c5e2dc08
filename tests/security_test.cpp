// DLL planting: a DLL dropped next to the installer under a system DLL's name must never be loaded.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cwctype>
#include <set>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

// Names Windows maps from its KnownDLLs section (never searched for) plus the C runtime it ships.
const std::set<std::wstring> KnownSystemDlls = {
    L"kernel32.dll", L"user32.dll",  L"gdi32.dll",    L"advapi32.dll", L"ole32.dll",   L"oleaut32.dll",
    L"shell32.dll",  L"shlwapi.dll", L"comdlg32.dll", L"msvcrt.dll",   L"combase.dll", L"rpcrt4.dll",
    L"sechost.dll",  L"imm32.dll",   L"ws2_32.dll",   L"psapi.dll",    L"setupapi.dll"};

// DLLs the installer or the libraries it uses load by name at some point of a run.
const wchar_t* const PlantedNames[] = {L"gdiplus.dll", L"version.dll",  L"uxtheme.dll", L"winmm.dll",
                                       L"dwmapi.dll",  L"comctl32.dll", L"propsys.dll", L"msimg32.dll"};

std::wstring lower(std::wstring text) {
    std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return wchar_t(std::towlower(c)); });
    return text;
}

// A folder outside the temporary folder (the installer refuses to run from there).
struct PlainFolder {
    std::wstring path;
    PlainFolder() {
        path =
            L"C:\\tavin-security-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount64());
        makeDirs(path);
    }
    ~PlainFolder() { removeTree(path); }
};

// The current environment with the given DLLs preferred as native copies: Wine would otherwise use
// its own built-in DLL whatever the search finds, and the test could not tell planting from safety.
std::vector<wchar_t> environmentPreferringNative(const std::wstring& dllList) {
    std::vector<wchar_t> block;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; *entry; entry += wcslen(entry) + 1) {
        if (_wcsnicmp(entry, L"WINEDLLOVERRIDES=", 17) == 0) continue;
        block.insert(block.end(), entry, entry + wcslen(entry) + 1);
    }
    FreeEnvironmentStringsW(strings);
    const std::wstring overrides = L"WINEDLLOVERRIDES=mscoree,mshtml=;" + dllList + L"=n,b";
    block.insert(block.end(), overrides.c_str(), overrides.c_str() + overrides.size() + 1);
    block.push_back(L'\0');
    return block;
}

struct Child {
    PROCESS_INFORMATION info{};
    bool started = false;
    ~Child() {
        if (!started) return;
        if (WaitForSingleObject(info.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info.hProcess, 99);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
};

bool startChild(Child& child, const std::wstring& exe, const std::wstring& arguments, const std::wstring& folder,
                std::vector<wchar_t>& environment) {
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    child.started = CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                                   environment.data(), folder.c_str(), &startup, &child.info) != FALSE;
    return child.started;
}

struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    HWND found;
};

HWND findProcessWindow(DWORD processId, const wchar_t* className) {
    WindowSearch search{processId, className, nullptr};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<WindowSearch*>(context);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t name[128] = {};
            GetClassNameW(window, name, 128);
            if (owner == s->processId && wcscmp(name, s->className) == 0) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitForWindow(const Child& child, const wchar_t* className, DWORD timeoutMs) {
    const ULONGLONG end = GetTickCount64() + timeoutMs;
    while (GetTickCount64() < end) {
        if (HWND window = findProcessWindow(child.info.dwProcessId, className)) return window;
        if (WaitForSingleObject(child.info.hProcess, 100) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
}

std::vector<std::wstring> plantedMarkers(const std::wstring& folder) {
    std::vector<std::wstring> markers;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\planted-*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return markers;
    do markers.push_back(data.cFileName);
    while (FindNextFileW(find, &data));
    FindClose(find);
    return markers;
}

// The file names of every module loaded in a process, lower-cased.
std::set<std::wstring> loadedModules(DWORD processId) {
    std::set<std::wstring> names;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == INVALID_HANDLE_VALUE) return names;
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Module32FirstW(snapshot, &entry); more; more = Module32NextW(snapshot, &entry))
        names.insert(lower(entry.szModule));
    CloseHandle(snapshot);
    return names;
}

std::wstring plantedDll() { return buildFolder() + L"\\standin\\planted.dll"; }

// The DLL names in a PE image's import table.
std::vector<std::wstring> importedDlls(const std::string& image) {
    std::vector<std::wstring> names;
    auto at = [&](size_t offset, size_t size) { return offset + size <= image.size(); };
    if (!at(0, sizeof(IMAGE_DOS_HEADER))) return names;
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data());
    if (!at(size_t(dos->e_lfanew), sizeof(IMAGE_NT_HEADERS64))) return names;
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(image.data() + dos->e_lfanew);
    const auto sections = IMAGE_FIRST_SECTION(nt);
    auto fileOffset = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const auto& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + std::max(s.Misc.VirtualSize, s.SizeOfRawData))
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return image.size();
    };
    const DWORD importRva = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
    for (size_t offset = fileOffset(importRva); at(offset, sizeof(IMAGE_IMPORT_DESCRIPTOR));
         offset += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        auto descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(image.data() + offset);
        if (descriptor->Name == 0) break;
        const size_t nameOffset = fileOffset(descriptor->Name);
        if (!at(nameOffset, 1)) break;
        names.push_back(lower(widen(std::string(image.c_str() + nameOffset))));
    }
    return names;
}

}  // namespace

TEST(DllPlanting, UnprotectedProgramPicksUpPlantedDll) {
    // Shows that this environment would catch planting: the same DLL, loaded without protection, runs.
    PlainFolder folder;
    ASSERT_TRUE(CopyFileW((buildFolder() + L"\\standin\\dll_probe.exe").c_str(),
                          (folder.path + L"\\dll_probe.exe").c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(plantedDll().c_str(), (folder.path + L"\\dwmapi.dll").c_str(), FALSE));
    auto environment = environmentPreferringNative(L"dwmapi");
    Child child;
    ASSERT_TRUE(startChild(child, folder.path + L"\\dll_probe.exe", L"dwmapi.dll", folder.path, environment));
    ASSERT_EQ(WaitForSingleObject(child.info.hProcess, 30000), WAIT_OBJECT_0);
    EXPECT_EQ(plantedMarkers(folder.path), std::vector<std::wstring>{L"planted-dwmapi.dll.txt"});
}

// Runs the installer from the folder until its window has been up for a while, then closes it.
// Returns the modules it had loaded (empty when the window never came).
std::set<std::wstring> runInstallerOnce(const std::wstring& folder, std::vector<wchar_t>& environment) {
    Child child;
    if (!startChild(child, folder + L"\\TavinMere-Patch-Installer.exe", L"--lang en", folder, environment)) return {};
    HWND window = waitForWindow(child, L"GenericPatchInstallerMain", 60000);
    if (!window) return {};
    // Let it paint, decode its picture and start the music before looking.
    Sleep(1500);
    std::set<std::wstring> modules = loadedModules(child.info.dwProcessId);
    PostMessageW(window, WM_CLOSE, 0, 0);
    WaitForSingleObject(child.info.hProcess, 30000);
    return modules;
}

TEST(DllPlanting, InstallerNeverLoadsDllsFromItsFolder) {
    PlainFolder folder;
    ASSERT_TRUE(CopyFileW((buildFolder() + L"\\bin\\TavinMere-Patch-Installer.exe").c_str(),
                          (folder.path + L"\\TavinMere-Patch-Installer.exe").c_str(), FALSE));
    writeFileOfSize(folder.path + L"\\patch.rpa", 4096);

    // Every DLL a run loads is a name someone could plant, plus the usual suspects.
    auto plainEnvironment = environmentPreferringNative(L"none");
    std::set<std::wstring> names = runInstallerOnce(folder.path, plainEnvironment);
    ASSERT_FALSE(names.empty()) << "the installer did not open its window";
    for (const wchar_t* name : PlantedNames) names.insert(name);
    // The loader maps these itself; they cannot be replaced from any folder.
    for (const wchar_t* core : {L"ntdll.dll", L"kernel32.dll", L"kernelbase.dll", L"tavinmere-patch-installer.exe"})
        names.erase(core);

    std::wstring overrides;
    for (const auto& name : names) {
        if (name.size() < 5 || name.compare(name.size() - 4, 4, L".dll") != 0) continue;
        ASSERT_TRUE(CopyFileW(plantedDll().c_str(), (folder.path + L"\\" + name).c_str(), FALSE)) << narrow(name);
        overrides += (overrides.empty() ? L"" : L",") + name.substr(0, name.size() - 4);
    }
    auto plantedEnvironment = environmentPreferringNative(overrides);
    EXPECT_FALSE(runInstallerOnce(folder.path, plantedEnvironment).empty()) << "the installer did not open its window";
    const auto markers = plantedMarkers(folder.path);
    std::wstring loaded;
    for (const auto& marker : markers) loaded += marker + L" ";
    EXPECT_TRUE(markers.empty()) << narrow(loaded) << "(planted " << names.size() << " names)";
}

TEST(DllPlanting, InstallerImportsOnlyKnownSystemDlls) {
    const std::string image = readBytes(buildFolder() + L"\\bin\\TavinMere-Patch-Installer.exe");
    const auto imports = importedDlls(image);
    ASSERT_FALSE(imports.empty());
    for (const auto& name : imports) EXPECT_TRUE(KnownSystemDlls.count(name)) << narrow(name);
    EXPECT_TRUE(std::find(imports.begin(), imports.end(), L"kernel32.dll") != imports.end());
}
