// The ranked list of install locations and the folder picker.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct InstallerApp;

constexpr uint64_t StampAllOnes = ~0ull;

struct GameCandidate {
    std::wstring path;
    bool manual = false;
    int32_t score = 0;
    uint64_t stamp = 0;
};

void addCandidate(std::vector<GameCandidate>& list, const std::wstring& path, bool manual, int32_t score,
                  uint64_t stamp);
void detectGameLocations(InstallerApp& app);
void chooseGameFolder(InstallerApp& app);

bool hasValidSelection(const InstallerApp& app);
const GameCandidate* selectedGameCandidate(const InstallerApp& app);
// The arrows of the main window; both wrap around and do nothing on an empty list.
void selectPreviousCandidate(InstallerApp& app);
void selectNextCandidate(InstallerApp& app);
// "Detected locations  2 / 3"; empty with fewer than two entries.
std::wstring candidateCounterText(const InstallerApp& app);
