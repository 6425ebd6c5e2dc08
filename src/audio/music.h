// The embedded music track, decoded whole and looped by the system's wave output.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <cstdlib>
#include <memory>

constexpr DWORD PlaybackVolume = 0x4A004A00;
constexpr DWORD MutedVolume = 0;
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

struct FreeDeleter {
    void operator()(int16_t* p) const { std::free(p); }
};

// A track decoded whole: interleaved 16-bit samples, as the decoder allocated them.
struct DecodedTrack {
    std::unique_ptr<int16_t, FreeDeleter> samples;
    int frames = 0;
    int channels = 0;
    int sampleRate = 0;
};

// Decodes an RT_RCDATA Ogg Vorbis resource; samples stay null when it is missing, empty or undecodable.
DecodedTrack decodeMusicResource(HINSTANCE instance, int resourceId);
WAVEFORMATEX musicFormat(int channels, int sampleRate);
// Starts the endless playback, silent when the player was muted before (the music toggle then starts it).
void startMusic(MusicPlayer& player, HINSTANCE instance);
// startMusic with the track taken from another resource.
void startMusicTrack(MusicPlayer& player, HINSTANCE instance, int resourceId);
void stopMusic(MusicPlayer& player);
void toggleMusicMute(MusicPlayer& player);
