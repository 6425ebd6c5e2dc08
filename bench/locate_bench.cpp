// Time of one game location detection run against the number of fixed drives and Steam libraries:
// each drive root and each library is probed, so the time per (drive + library) should stay flat.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "support/world.h"
#include "install/installer_app.h"
#include "install/locations.h"
#include "locate/paths.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int Runs = 7;
constexpr int DriveCounts[] = {1, 8, 24};
constexpr int LibraryCounts[] = {1, 10, 50};
constexpr const wchar_t* HomeSteamFolders[] = {L".local\\share\\Steam",
                                               L".steam\\steam",
                                               L".steam\\root",
                                               L".steam\\debian-installation",
                                               L".var\\app\\com.valvesoftware.Steam\\.local\\share\\Steam",
                                               L".var\\app\\com.valvesoftware.Steam\\data\\Steam",
                                               L"snap\\steam\\common\\.local\\share\\Steam"};

bool makeLibrary(const std::wstring& library) {
    makeGame(library + L"\\steamapps\\common\\TavinMere");
    writeBytes(library + L"\\steamapps\\appmanifest_2719305.acf", "\"appid\" \"2719305\" \"installdir\" \"TavinMere\"");
    return isExistingFile(library + L"\\steamapps\\appmanifest_2719305.acf");
}

double medianMs(InstallerApp& app, size_t& found) {
    detectGameLocations(app);  // warm-up: file system caches
    std::vector<double> times;
    for (int i = 0; i < Runs; ++i) {
        const Clock::time_point start = Clock::now();
        detectGameLocations(app);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    found = app.candidates.size();
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

}  // namespace

int main() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"locate_bench_" + std::to_wstring(GetCurrentProcessId());
    const std::wstring steam = root + L"\\Steam";
    world::clearSteamRegistry();

    InstallerApp app;
    app.installerDir = root + L"\\installer";
    makeDirs(app.installerDir);
    makeDirs(steam + L"\\steamapps");
    if (!isExistingDirectory(steam + L"\\steamapps")) {
        std::printf("cannot create the world under the temporary folder\n");
        return 1;
    }
    int libraryCount = 0;
    std::vector<std::wstring> libraries;
    {
        world::setString(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", steam);
        std::printf("%7s %9s %10s %14s %11s\n", "drives", "libraries", "ms/run", "ms/(drv+lib)", "candidates");
        for (int wanted : DriveCounts) {
            // C: counts as the first fixed drive; each extra one is an empty folder of its own.
            std::vector<std::unique_ptr<world::Drive>> drives;
            for (int i = 0; i + 1 < wanted; ++i) {
                const std::wstring folder = root + L"\\drive" + std::to_wstring(i);
                makeDirs(folder);
                auto drive = std::make_unique<world::Drive>(L'G', folder);
                if (drive->ok) drives.push_back(std::move(drive));
            }
            const int driveCount = 1 + static_cast<int>(drives.size());
            for (int wantedLibraries : LibraryCounts) {
                while (libraryCount < wantedLibraries) {
                    libraries.push_back(root + L"\\lib" + std::to_wstring(libraryCount));
                    makeLibrary(libraries.back());
                    ++libraryCount;
                }
                writeBytes(steam + L"\\steamapps\\libraryfolders.vdf",
                           narrow(world::nestedLibraryFolders(
                               std::vector<std::wstring>(libraries.begin(), libraries.begin() + wantedLibraries))));
                size_t found = 0;
                const double ms = medianMs(app, found);
                std::printf("%7d %9d %10.3f %14.4f %11zu\n", driveCount, wantedLibraries, ms,
                            ms / (driveCount + wantedLibraries), found);
            }
            if (driveCount < wanted) std::printf("        (only %d free drive letters from G:)\n", driveCount - 1);
        }
        std::printf("median of %d runs each\n", Runs);

        // A player under Wine on Linux: every Steam folder of the home there, Proton's client and one
        // library named by their Linux paths, the same library named in libraryfolders.vdf by its Linux path.
        const std::wstring home = root + L"\\home";
        for (const wchar_t* folder : HomeSteamFolders) makeDirs(home + L"\\" + folder + L"\\steamapps");
        const std::string library = unixPathOf(libraries[0]);
        writeBytes(steam + L"\\steamapps\\libraryfolders.vdf",
                   "\"libraryfolders\" { \"1\" { \"path\" \"" + library + "\" } }");
        SetEnvironmentVariableW(L"WINEHOMEDIR", (L"\\??\\" + home).c_str());
        SetEnvironmentVariableW(L"STEAM_COMPAT_CLIENT_INSTALL_PATH", widen(unixPathOf(steam)).c_str());
        SetEnvironmentVariableW(L"STEAM_COMPAT_LIBRARY_PATHS", widen(library + "/steamapps").c_str());
        size_t found = 0;
        const double ms = medianMs(app, found);
        std::printf("with the Linux side's roots and 1 library: %.3f ms/run, %zu candidates\n", ms, found);
    }
    world::clearSteamRegistry();
    removeTree(root);
    return 0;
}
