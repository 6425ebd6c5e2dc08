// Music playback: the embedded Ogg Vorbis track decoded whole into one buffer that the wave output
// device repeats by itself, so the program needs no audio thread, timer or callback.
#include "audio/music.h"

#include "base/win32.h"

#define STB_VORBIS_HEADER_ONLY
#define STB_VORBIS_NO_STDIO
#include <stb_vorbis.h>

namespace {

constexpr DWORD LoopForever = 0xFFFFFFFF;
constexpr int BytesPerSample = 2;

template <typename Fn>
bool lookUp(HMODULE library, Fn& function, const char* name) {
    function = procAddress<Fn>(library, name);
    return function != nullptr;
}

bool loadWaveOut(MusicPlayer& player) {
    player.winmmLibrary = loadSystemLibrary(L"winmm.dll");
    if (!player.winmmLibrary) return false;
    HMODULE winmm = player.winmmLibrary;
    return lookUp(winmm, player.waveOutOpen, "waveOutOpen") &&
           lookUp(winmm, player.waveOutPrepareHeader, "waveOutPrepareHeader") &&
           lookUp(winmm, player.waveOutWrite, "waveOutWrite") && lookUp(winmm, player.waveOutReset, "waveOutReset") &&
           lookUp(winmm, player.waveOutUnprepareHeader, "waveOutUnprepareHeader") &&
           lookUp(winmm, player.waveOutClose, "waveOutClose") &&
           lookUp(winmm, player.waveOutSetVolume, "waveOutSetVolume");
}

}  // namespace

DecodedTrack decodeMusicResource(HINSTANCE instance, int resourceId) {
    DecodedTrack track;
    HRSRC resource = FindResourceW(instance, MAKEINTRESOURCEW(resourceId), RT_RCDATA);
    if (!resource) return track;
    HGLOBAL loaded = LoadResource(instance, resource);
    const DWORD size = SizeofResource(instance, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || size == 0) return track;

    short* samples = nullptr;
    const int frames = stb_vorbis_decode_memory(static_cast<const unsigned char*>(data), static_cast<int>(size),
                                                &track.channels, &track.sampleRate, &samples);
    track.samples.reset(samples);
    track.frames = frames > 0 ? frames : 0;
    return track;
}

WAVEFORMATEX musicFormat(int channels, int sampleRate) {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = static_cast<WORD>(channels);
    format.nSamplesPerSec = static_cast<DWORD>(sampleRate);
    format.wBitsPerSample = 8 * BytesPerSample;
    format.nBlockAlign = static_cast<WORD>(channels * BytesPerSample);
    format.nAvgBytesPerSec = static_cast<DWORD>(sampleRate) * format.nBlockAlign;
    format.cbSize = 0;
    return format;
}

void startMusic(MusicPlayer& player, HINSTANCE instance) { startMusicTrack(player, instance, MusicResourceId); }

void startMusicTrack(MusicPlayer& player, HINSTANCE instance, int resourceId) {
    if (player.waveDevice) return;
    if (!player.winmmLibrary && !loadWaveOut(player)) {
        stopMusic(player);
        return;
    }

    DecodedTrack track = decodeMusicResource(instance, resourceId);
    // The device takes 16-bit PCM in one or two channels only.
    if (track.frames <= 0 || !track.samples || (track.channels != 1 && track.channels != 2)) {
        track.samples.reset();
        stopMusic(player);
        return;
    }

    const WAVEFORMATEX format = musicFormat(track.channels, track.sampleRate);
    if (player.waveOutOpen(&player.waveDevice, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
        player.waveDevice = nullptr;
        track.samples.reset();
        stopMusic(player);
        return;
    }

    // A player muted before the start (a screen reader runs) stays silent from the first sample on.
    if (player.waveOutSetVolume)
        player.waveOutSetVolume(player.waveDevice, player.musicMuted ? MutedVolume : PlaybackVolume);

    // The one buffer is both the start and the end of the loop, so the device repeats the whole track.
    WAVEHDR& header = player.waveHeader;
    header = WAVEHDR{};
    player.pcmSamples = track.samples.release();
    header.lpData = reinterpret_cast<LPSTR>(player.pcmSamples);
    header.dwBufferLength = static_cast<DWORD>(track.frames) * static_cast<DWORD>(track.channels) * BytesPerSample;
    header.dwFlags = WHDR_BEGINLOOP | WHDR_ENDLOOP;
    header.dwLoops = LoopForever;
    if (player.waveOutPrepareHeader(player.waveDevice, &header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR ||
        player.waveOutWrite(player.waveDevice, &header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
        stopMusic(player);
        return;
    }
}

void stopMusic(MusicPlayer& player) {
    // The device reads the samples until the reset has returned; only then may they be freed.
    if (player.waveDevice) {
        player.waveOutReset(player.waveDevice);
        if (player.waveHeader.dwFlags & WHDR_PREPARED)
            player.waveOutUnprepareHeader(player.waveDevice, &player.waveHeader, sizeof(WAVEHDR));
        player.waveOutClose(player.waveDevice);
        player.waveDevice = nullptr;
    }
    if (player.pcmSamples) {
        std::free(player.pcmSamples);
        player.pcmSamples = nullptr;
    }
    player.waveHeader = WAVEHDR{};
    if (player.winmmLibrary) {
        FreeLibrary(player.winmmLibrary);
        player.winmmLibrary = nullptr;
    }
    player.waveOutOpen = nullptr;
    player.waveOutPrepareHeader = nullptr;
    player.waveOutWrite = nullptr;
    player.waveOutReset = nullptr;
    player.waveOutUnprepareHeader = nullptr;
    player.waveOutClose = nullptr;
    player.waveOutSetVolume = nullptr;
}

void toggleMusicMute(MusicPlayer& player) {
    const bool wasMuted = player.musicMuted;
    player.musicMuted = !wasMuted;
    if (player.waveDevice && player.waveOutSetVolume)
        player.waveOutSetVolume(player.waveDevice, wasMuted ? PlaybackVolume : MutedVolume);
}
