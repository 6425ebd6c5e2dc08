// Music playback. (skeleton: to be filled in)
#include "audio/music.h"

#include <vector>

#include "locate/paths.h"

HMODULE loadSystemLibrary(const wchar_t* name) {
    // A full path in the system folder, so that a DLL planted beside the installer is never loaded.
    std::vector<wchar_t> buffer(512);
    UINT got = GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
    if (got == 0) return nullptr;
    if (got >= buffer.size()) {
        buffer.resize(got + 1);
        got = GetSystemDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
        if (got == 0 || got >= buffer.size()) return nullptr;
    }
    return LoadLibraryW(joinPath(std::wstring(buffer.data(), got), name).c_str());
}
void startMusic(MusicPlayer&, HINSTANCE) {}
void stopMusic(MusicPlayer&) {}
void toggleMusicMute(MusicPlayer& player) { player.musicMuted = !player.musicMuted; }
