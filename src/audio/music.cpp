// Music playback. (skeleton: to be filled in)
#include "audio/music.h"

HMODULE loadSystemLibrary(const wchar_t*) { return nullptr; }
void startMusic(MusicPlayer&, HINSTANCE) {}
void stopMusic(MusicPlayer&) {}
void toggleMusicMute(MusicPlayer& player) { player.musicMuted = !player.musicMuted; }
