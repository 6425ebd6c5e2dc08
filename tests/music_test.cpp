// Music: the small test tracks and refusal without a trace, the embedded track on Wine's ALSA
// output routed to a null device (the ordinary run) and on a machine without any audio driver (its own
// ctest run, NoDevice), and the quiet start beside a screen reader.
#include <gtest/gtest.h>

#include <windows.h>

#include "app/startup.h"
#include "audio/music.h"
#include "base/win32.h"
#include "support/support.h"

namespace {

HINSTANCE self() { return GetModuleHandleW(nullptr); }

// Nothing held: no device, samples, header or library.
bool isEmpty(const MusicPlayer& p) {
    return !p.waveDevice && !p.pcmSamples && !p.waveHeader.lpData && !p.waveHeader.dwFlags && !p.winmmLibrary;
}

DWORD volumeOf(const MusicPlayer& p) {
    DWORD volume = 0xDEADBEEF;
    procAddress<decltype(&::waveOutGetVolume)>(p.winmmLibrary, "waveOutGetVolume")(p.waveDevice, &volume);
    return volume;
}

}  // namespace

// Every track plays whole in one or two channels, its buffer exactly the decoded samples and silent when
// muted before the start; a track refused (three channels, cut off, empty, missing) leaves the player
// empty and the mute choice kept.
TEST(MusicPlayer, TracksPlayedWholeAndRefusedOnesLeaveNothing) {
    const struct {
        int id, channels, frames;
    } tracks[] = {{301, 1, 4000}, {302, 2, 5512}, {303, 3, 8000}, {304, 0, 0}, {305, 0, 0}, {399, 0, 0}};
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
            EXPECT_EQ(volumeOf(player), MutedVolume);
            stopMusic(player);
        }
        EXPECT_TRUE(isEmpty(player));
    }
}

// The shipped track loops on a null device; a second start restarts nothing; the toggle mutes and unmutes;
// stops give everything back, the 20 MB of samples included; without a device the choice still toggles.
TEST(MusicPlayer, EmbeddedTrackLoopsOnANullDeviceAndStopsWithoutATrace) {
    const SIZE_T before = privateBytes();
    MusicPlayer player;
    startMusic(player, self());
    ASSERT_NE(player.waveDevice, nullptr) << "no audio device: the run sets ALSA's default output to null";
    EXPECT_EQ(player.waveHeader.lpData, reinterpret_cast<LPSTR>(player.pcmSamples));
    // 115.2 s of 44.1 kHz stereo, whole
    EXPECT_EQ(player.waveHeader.dwBufferLength, 5080320u * 4);
    EXPECT_EQ(player.waveHeader.dwLoops, 0xFFFFFFFFu);
    const DWORD playing = WHDR_BEGINLOOP | WHDR_ENDLOOP | WHDR_PREPARED | WHDR_INQUEUE;
    EXPECT_EQ(player.waveHeader.dwFlags & playing, playing);
    EXPECT_EQ(volumeOf(player), PlaybackVolume);
    const HWAVEOUT device = player.waveDevice;
    startMusic(player, self());
    EXPECT_EQ(player.waveDevice, device);
    for (bool muted : {true, false}) {
        toggleMusicMute(player);
        EXPECT_EQ(player.musicMuted, muted);
        EXPECT_EQ(volumeOf(player), muted ? MutedVolume : PlaybackVolume);
    }
    stopMusic(player);
    stopMusic(player);
    EXPECT_TRUE(isEmpty(player));
    EXPECT_LT(privateBytes(), before + (4u << 20));
    toggleMusicMute(player);
    EXPECT_TRUE(player.musicMuted);
}

// While a screen reader runs, the music starts silent (its toggle shows it off) and the toggle starts
// it; without one it plays at once.
TEST(MusicPlayer, StartsSilentWhileAScreenReaderRuns) {
    BOOL saved = FALSE;
    SystemParametersInfoW(SPI_GETSCREENREADER, 0, &saved, 0);
    for (BOOL reader : {TRUE, FALSE}) {
        SCOPED_TRACE(reader);
        EXPECT_TRUE(SystemParametersInfoW(SPI_SETSCREENREADER, reader, nullptr, 0));
        MusicPlayer player;
        startBackgroundMusic(player, self());
        EXPECT_EQ(player.musicMuted, reader == TRUE);
        EXPECT_EQ(volumeOf(player), reader ? MutedVolume : PlaybackVolume);
        toggleMusicMute(player);
        EXPECT_EQ(volumeOf(player), reader ? PlaybackVolume : MutedVolume);
        stopMusic(player);
    }
    SystemParametersInfoW(SPI_SETSCREENREADER, saved, nullptr, 0);
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
