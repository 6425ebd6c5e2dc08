// Music: the small test tracks and refusal without a trace, the embedded track on Wine's ALSA
// output routed to a null device (the ordinary run) and on a machine without any audio driver (its own
// ctest run, NoDevice). A null instance stands for this program's own resources.
#include <gtest/gtest.h>

#include "audio/music.h"
#include "base/win32.h"
#include "support/support.h"

namespace {

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

// Every track plays whole in one or two channels, its buffer exactly the decoded 16-bit samples and
// silent when muted before the start; a track refused (three channels, cut off, empty, missing) leaves
// the player empty.
TEST(MusicPlayer, Tracks) {
    // resource, frames decoded, bytes played
    const std::tuple<int, int, DWORD> tracks[] = {{301, 4000, 4000 * 2}, {302, 5512, 5512 * 4}, {303, 8000, 0},
                                                  {304, 0, 0},           {305, 0, 0},           {399, 0, 0}};
    for (auto [id, frames, bytes] : tracks) {
        SCOPED_TRACE(id);
        EXPECT_EQ(decodeMusicResource(nullptr, id).frames, frames);
        MusicPlayer player;
        player.musicMuted = true;
        startMusicTrack(player, nullptr, id);
        EXPECT_EQ(isEmpty(player), !bytes);
        EXPECT_EQ(player.waveHeader.dwBufferLength, bytes);
        EXPECT_TRUE(!bytes || volumeOf(player) == MutedVolume);
        stopMusic(player);
    }
}

// The shipped track loops on a null device (the run sets ALSA's default output to null); a second
// start restarts nothing; the toggle mutes and unmutes; stops give everything back, the 20 MB of
// samples included; without a device the choice still toggles.
TEST(MusicPlayer, EmbeddedTrackLoops) {
    MusicPlayer player;
    const WAVEHDR& h = player.waveHeader;
    startMusic(player, nullptr);
    const HWAVEOUT device = player.waveDevice;
    ASSERT_TRUE(device);
    // 115.2 s of 44.1 kHz stereo, whole
    EXPECT_EQ(h.dwBufferLength, 5080320u * 4);
    EXPECT_EQ(h.dwLoops, 0xFFFFFFFFu);
    const DWORD playing = WHDR_BEGINLOOP | WHDR_ENDLOOP | WHDR_PREPARED | WHDR_INQUEUE;
    EXPECT_EQ(h.dwFlags & playing, playing);
    EXPECT_EQ(volumeOf(player), PlaybackVolume);
    startMusic(player, nullptr);
    EXPECT_EQ(player.waveDevice, device);
    for (DWORD volume : {MutedVolume, PlaybackVolume}) {
        toggleMusicMute(player);
        EXPECT_EQ(volumeOf(player), volume);
    }
    stopMusic(player);
    stopMusic(player);
    EXPECT_TRUE(isEmpty(player));
    toggleMusicMute(player);
    EXPECT_TRUE(player.musicMuted);
}

// Runs with Wine's audio drivers left out, as on a machine without sound (with one, the start would
// succeed and the player not be empty).
TEST(NoDevice, StartFailsSilently) {
    MusicPlayer player;
    player.musicMuted = true;
    startMusic(player, nullptr);
    EXPECT_TRUE(isEmpty(player));
    EXPECT_TRUE(player.musicMuted);
    EXPECT_EQ(GetModuleHandleW(L"winmm.dll"), nullptr);
}
