// The embedded music track, decoded whole and looped by the system's wave output.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>

constexpr DWORD PlaybackVolume = 0x4A004A00;
constexpr int MusicResourceId = 203;

struct MusicPlayer {
    HWAVEOUT waveDevice = nullptr;
    WAVEHDR waveHeader{};
    int16_t* pcmSamples = nullptr;
    bool musicMuted = false;
    HMODULE winmmLibrary = nullptr;
    decltype(&::waveOutOpen) waveOutOpen = nullptr;
    decltype(&::waveOutPrepareHeader) waveOutPrepareHeader = nullptr;
    decltype(&::waveOutWrite) waveOutWrite = nullptr;
    decltype(&::waveOutReset) waveOutReset = nullptr;
    decltype(&::waveOutUnprepareHeader) waveOutUnprepareHeader = nullptr;
    decltype(&::waveOutClose) waveOutClose = nullptr;
    decltype(&::waveOutSetVolume) waveOutSetVolume = nullptr;
};

HMODULE loadSystemLibrary(const wchar_t* name);
void startMusic(MusicPlayer& player, HINSTANCE instance);
void stopMusic(MusicPlayer& player);
void toggleMusicMute(MusicPlayer& player);
