// The ranked list of install locations and the folder picker.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

constexpr uint64_t StampAllOnes = ~0ull;

struct GameCandidate {
    std::wstring path;
    bool manual = false;
    int32_t score = 0;
    uint64_t stamp = 0;
};

void addCandidate(std::vector<GameCandidate>& list, const std::wstring& path, bool manual, int32_t score,
                  uint64_t stamp);
// One detection run: every source in its order, ranked, user-given folders first. An empty
// installerDir (its path could not be read) adds no installer-folder entries.
std::vector<GameCandidate> findGameLocations(const std::wstring& installerDir, const std::wstring& destOption,
                                             const std::wstring& chosenFolder);
// The index of the first entry with that path, or the list's length.
size_t indexOfPath(const std::vector<GameCandidate>& list, const std::wstring& path);
// Shows the folder picker owned by the window and returns the game folder the pick resolves to. A pick
// that resolves to nothing shows the hint and returns empty; so do a cancel and a failure, silently.
std::wstring pickGameFolder(HWND owner, int32_t language, const std::wstring& startFolder);
// "Detected locations  2 / 3"; empty with fewer than two entries.
std::wstring candidateCounterText(int32_t language, size_t selected, size_t count);
