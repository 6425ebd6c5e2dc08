// Music: the embedded track decoded whole and looping without a click, the small test tracks, refusal
// without a trace, and the player on Wine's ALSA output routed to a null device (the ordinary run) and on
// a machine without any audio driver (its own ctest run, NoDevice).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>

#include "app/startup.h"
#include "audio/music.h"
#include "base/win32.h"
#include "support/support.h"

namespace {

// Test tracks of resources/test_resources.rc, made with sox and oggenc; 399 does not exist.
constexpr int MonoTrack = 301, StereoTrack = 302, ThreeChannels = 303, Truncated = 304, Empty = 305;
constexpr int ShippedFrames = 5080320;  // 115.2 s of 44.1 kHz stereo, as oggdec reads resources/music.ogg

HINSTANCE self() { return GetModuleHandleW(nullptr); }

bool isEmpty(const MusicPlayer& p) {
    const WAVEHDR blank{};
    return !p.waveDevice && !p.pcmSamples && !p.winmmLibrary && !p.waveOutOpen && !p.waveOutPrepareHeader &&
           !p.waveOutWrite && !p.waveOutReset && !p.waveOutUnprepareHeader && !p.waveOutClose && !p.waveOutSetVolume &&
           memcmp(&p.waveHeader, &blank, sizeof blank) == 0;
}

DWORD deviceVolume(const MusicPlayer& p) {
    DWORD volume = 0xDEADBEEF;
    procAddress<decltype(&::waveOutGetVolume)>(p.winmmLibrary, "waveOutGetVolume")(p.waveDevice, &volume);
    return volume;
}

}  // namespace

// A click is a step between neighbouring samples far larger than the music's own: none anywhere, and
// none where the device jumps from the last sample back to the first.
TEST(MusicTrack, EmbeddedTrackIsStereoMusicThatLoopsWithoutAClick) {
    const DecodedTrack track = decodeMusicResource(self(), MusicResourceId);
    ASSERT_TRUE(track.samples);
    EXPECT_EQ(track.channels, 2);
    EXPECT_EQ(track.sampleRate, 44100);
    EXPECT_EQ(track.frames, ShippedFrames);
    const int16_t* s = track.samples.get();
    std::vector<uint64_t> histogram(65536);
    int largest = 0, loop = 0;
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i + 1 < track.frames; ++i) {
            const int step = std::abs(s[2 * (i + 1) + c] - s[2 * i + c]);
            ++histogram[static_cast<size_t>(step)];
            largest = std::max(largest, step);
        }
        loop = std::max(loop, std::abs(s[c] - s[2 * (track.frames - 1) + c]));
    }
    uint64_t below = 0, steps = 2ull * (track.frames - 1);
    int percentile = 0;
    while (below + histogram[static_cast<size_t>(percentile)] < steps * 999 / 1000) below += histogram[percentile++];
    EXPECT_GT(percentile, 500);  // music, not silence
    EXPECT_LE(loop, percentile);
    EXPECT_LE(largest, 5 * percentile);
}

// Every track is played whole in one or two channels, its buffer exactly the decoded samples; a track
// refused leaves the player empty, the user's mute choice kept, and the audio library unloaded.
TEST(MusicPlayer, TracksPlayedWholeAndRefusedOnesLeaveNothing) {
    const struct {
        int id, channels, frames;
    } tracks[] = {{MonoTrack, 1, 4000}, {StereoTrack, 2, 5512}, {ThreeChannels, 3, 8000},
                  {Truncated, 0, 0},    {Empty, 0, 0},          {399, 0, 0}};
    for (const auto& t : tracks) {
        SCOPED_TRACE(t.id);
        EXPECT_EQ(decodeMusicResource(self(), t.id).frames, t.frames);
        MusicPlayer player;
        player.musicMuted = true;
        startMusicTrack(player, self(), t.id);
        const bool plays = t.channels == 1 || t.channels == 2;
        EXPECT_EQ(player.waveDevice != nullptr, plays);
        EXPECT_TRUE(player.musicMuted);
        EXPECT_EQ(player.waveHeader.dwBufferLength, plays ? DWORD(t.frames * t.channels * 2) : 0u);
        if (plays) {
            EXPECT_EQ(deviceVolume(player), MutedVolume);
            stopMusic(player);
        }
        EXPECT_TRUE(isEmpty(player));
    }
}

TEST(MusicPlayer, EmbeddedTrackLoopsOnANullDeviceAndStopsWithoutATrace) {
    const SIZE_T before = privateBytes();
    MusicPlayer player;
    startMusic(player, self());
    ASSERT_NE(player.waveDevice, nullptr) << "no audio device: the run sets ALSA's default output to null";
    EXPECT_EQ(player.waveHeader.lpData, reinterpret_cast<LPSTR>(player.pcmSamples));
    EXPECT_EQ(player.waveHeader.dwLoops, 0xFFFFFFFFu);
    const DWORD playing = WHDR_BEGINLOOP | WHDR_ENDLOOP | WHDR_PREPARED | WHDR_INQUEUE;
    EXPECT_EQ(player.waveHeader.dwFlags & playing, playing);
    EXPECT_EQ(deviceVolume(player), PlaybackVolume);
    const HWAVEOUT device = player.waveDevice;
    startMusic(player, self());  // a second start keeps the device and the buffer: no restart
    EXPECT_EQ(player.waveDevice, device);
    for (bool muted : {true, false}) {
        toggleMusicMute(player);
        EXPECT_EQ(player.musicMuted, muted);
        EXPECT_EQ(deviceVolume(player), muted ? MutedVolume : PlaybackVolume);
    }
    stopMusic(player);
    stopMusic(player);
    EXPECT_TRUE(isEmpty(player));
    EXPECT_LT(privateBytes(), before + (4u << 20));  // the 20 MB of samples given back
    toggleMusicMute(player);  // without a device the choice still changes
    EXPECT_TRUE(player.musicMuted);
}

// While a screen reader runs, the music starts silent (its toggle shows it off) and the toggle starts
// it; without one it plays at once. The system's flag is put back whatever happens.
TEST(MusicPlayer, StartsSilentWhileAScreenReaderRuns) {
    struct Restore {
        BOOL reader = FALSE;
        Restore() { SystemParametersInfoW(SPI_GETSCREENREADER, 0, &reader, 0); }
        ~Restore() { SystemParametersInfoW(SPI_SETSCREENREADER, reader, nullptr, 0); }
    } restore;
    for (BOOL reader : {TRUE, FALSE}) {
        SCOPED_TRACE(reader);
        ASSERT_TRUE(SystemParametersInfoW(SPI_SETSCREENREADER, reader, nullptr, 0));
        MusicPlayer player;
        startBackgroundMusic(player, self());
        ASSERT_NE(player.waveDevice, nullptr);
        EXPECT_EQ(player.musicMuted, reader == TRUE);
        EXPECT_EQ(deviceVolume(player), reader ? MutedVolume : PlaybackVolume);
        toggleMusicMute(player);
        EXPECT_EQ(deviceVolume(player), reader ? PlaybackVolume : MutedVolume);
        stopMusic(player);
    }
}

// Runs with Wine's audio drivers left out, as on a machine without sound.
TEST(NoDevice, StartFailsSilentlyAndGivesEverythingBack) {
    HMODULE winmm = LoadLibraryW(L"winmm.dll");
    ASSERT_EQ(procAddress<decltype(&::waveOutGetNumDevs)>(winmm, "waveOutGetNumDevs")(), 0u) << "a driver is loaded";
    FreeLibrary(winmm);
    MusicPlayer player;
    player.musicMuted = true;
    startMusic(player, self());
    EXPECT_TRUE(isEmpty(player));
    EXPECT_TRUE(player.musicMuted);
    EXPECT_EQ(GetModuleHandleW(L"winmm.dll"), nullptr);
}
