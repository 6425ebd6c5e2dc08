// Music: the embedded track decoded whole (its format, length and a seamless loop without clicks),
// the small test tracks, rejection without leaks, and the player on Wine's ALSA output routed to a null
// device (the ordinary run) and on a machine without any audio driver (its own ctest run, NoDevice).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>

#include "audio/music.h"
#include "support/support.h"

namespace {

// Test tracks of resources/test_resources.rc, made with sox and oggenc.
constexpr int MonoTrack = 301;          // 8000 Hz, 4000 frames
constexpr int StereoTrack = 302;        // 11025 Hz, 5512 frames
constexpr int ThreeChannelTrack = 303;  // 8000 Hz, 8000 frames
constexpr int TruncatedTrack = 304;     // the first 200 bytes of the stereo track
constexpr int EmptyTrack = 305;
constexpr int MissingTrack = 399;
constexpr int ShippedFrames = 5080320;  // 115.2 s of 44.1 kHz stereo

HINSTANCE self() { return GetModuleHandleW(nullptr); }

bool isEmpty(const MusicPlayer& p) {
    const WAVEHDR blank{};
    return !p.waveDevice && !p.pcmSamples && !p.winmmLibrary && !p.waveOutOpen && !p.waveOutPrepareHeader &&
           !p.waveOutWrite && !p.waveOutReset && !p.waveOutUnprepareHeader && !p.waveOutClose && !p.waveOutSetVolume &&
           memcmp(&p.waveHeader, &blank, sizeof blank) == 0;
}

// Bytes in use in every heap of the process; the decoder allocates through the C runtime's heap.
size_t heapBytesInUse() {
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(static_cast<DWORD>(std::size(heaps)), heaps);
    size_t total = 0;
    for (DWORD i = 0; i < count && i < std::size(heaps); ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) total += entry.cbData;
        HeapUnlock(heaps[i]);
    }
    return total;
}

template <typename Fn>
Fn winmm(const MusicPlayer& p, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(p.winmmLibrary, name)));
}

DWORD deviceVolume(const MusicPlayer& p) {
    DWORD volume = 0xDEADBEEF;
    winmm<decltype(&::waveOutGetVolume)>(p, "waveOutGetVolume")(p.waveDevice, &volume);
    return volume;
}

DWORD playedBytes(const MusicPlayer& p) {
    MMTIME time{};
    time.wType = TIME_BYTES;
    winmm<decltype(&::waveOutGetPosition)>(p, "waveOutGetPosition")(p.waveDevice, &time, sizeof time);
    return time.u.cb;
}

}  // namespace

// A click is a step between neighbouring samples far larger than the music's own: none anywhere, and
// none where the device jumps from the last sample back to the first.
TEST(MusicTrack, EmbeddedTrackIsTwoMinutesOfStereoThatLoopsWithoutAClick) {
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

TEST(MusicTrack, TestTracksDecodeWithTheirFormatAndBrokenOnesGiveNoSamples) {
    const struct {
        int id, channels, rate, frames;
    } tracks[] = {{MonoTrack, 1, 8000, 4000},
                  {StereoTrack, 2, 11025, 5512},
                  {ThreeChannelTrack, 3, 8000, 8000},  // the decoder takes any; the player refuses three
                  {TruncatedTrack, 0, 0, 0},
                  {EmptyTrack, 0, 0, 0},
                  {MissingTrack, 0, 0, 0}};
    for (const auto& t : tracks) {
        const DecodedTrack track = decodeMusicResource(self(), t.id);
        EXPECT_EQ(track.samples != nullptr, t.frames > 0) << t.id;
        EXPECT_EQ(track.frames, t.frames) << t.id;
        EXPECT_EQ(track.channels * 100000 + track.sampleRate,
                  t.frames ? t.channels * 100000 + t.rate : track.channels * 100000 + track.sampleRate)
            << t.id;
    }
    const WAVEFORMATEX f = musicFormat(2, 44100);
    EXPECT_EQ(f.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(f.nChannels * 100 + f.nBlockAlign * 10 + f.cbSize, 240);
    EXPECT_EQ(f.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(f.wBitsPerSample, 16);
    EXPECT_EQ(musicFormat(1, 8000).nAvgBytesPerSec, 16000u);
    EXPECT_EQ(musicFormat(1, 8000).nBlockAlign, 2);
}

TEST(MusicPlayer, RejectedTracksLeaveTheUsersChoiceAndNothingElse) {
    const bool winmmBefore = GetModuleHandleW(L"winmm.dll") != nullptr;
    for (int id : {ThreeChannelTrack, TruncatedTrack, EmptyTrack, MissingTrack}) {
        MusicPlayer player;
        player.musicMuted = true;
        startMusicTrack(player, self(), id);
        EXPECT_TRUE(isEmpty(player) && player.musicMuted) << id;
        EXPECT_EQ(GetModuleHandleW(L"winmm.dll") != nullptr, winmmBefore) << id;
    }
    const size_t before = heapBytesInUse();  // each three-channel decode allocates 48 KB
    for (int i = 0; i < 40; ++i) {
        MusicPlayer player;
        startMusicTrack(player, self(), ThreeChannelTrack);
    }
    EXPECT_LT(heapBytesInUse(), before + 40 * 48000 / 4);
    MusicPlayer empty;
    stopMusic(empty);
    toggleMusicMute(empty);  // without a device only the flag moves
    EXPECT_TRUE(empty.musicMuted && isEmpty(empty));
    toggleMusicMute(empty);
    EXPECT_FALSE(empty.musicMuted);
}

TEST(MusicPlayer, EmbeddedTrackLoopsOnANullDeviceAtPlaybackVolume) {
    MusicPlayer player;
    startMusic(player, self());
    ASSERT_NE(player.waveDevice, nullptr) << "no audio device: the run sets ALSA's default output to null";
    EXPECT_EQ(player.waveHeader.lpData, reinterpret_cast<LPSTR>(player.pcmSamples));
    EXPECT_EQ(player.waveHeader.dwBufferLength, static_cast<DWORD>(ShippedFrames) * 4);
    EXPECT_EQ(player.waveHeader.dwLoops, 0xFFFFFFFFu);
    EXPECT_EQ(player.waveHeader.dwFlags & (WHDR_BEGINLOOP | WHDR_ENDLOOP | WHDR_PREPARED),
              DWORD(WHDR_BEGINLOOP | WHDR_ENDLOOP | WHDR_PREPARED));
    EXPECT_EQ(deviceVolume(player), PlaybackVolume);
    const DWORD early = playedBytes(player);
    Sleep(400);
    EXPECT_GT(playedBytes(player), early);
    const HWAVEOUT device = player.waveDevice;
    int16_t* samples = player.pcmSamples;
    startMusic(player, self());  // a second start keeps the device and the buffer: no restart
    EXPECT_EQ(player.waveDevice, device);
    EXPECT_EQ(player.pcmSamples, samples);
    toggleMusicMute(player);
    EXPECT_TRUE(player.musicMuted);
    EXPECT_EQ(deviceVolume(player), MutedVolume);
    toggleMusicMute(player);
    EXPECT_EQ(deviceVolume(player), PlaybackVolume);
    stopMusic(player);
    stopMusic(player);
    EXPECT_TRUE(isEmpty(player));
    for (auto [id, bytes] : {std::pair<int, DWORD>{MonoTrack, 4000 * 2}, {StereoTrack, 5512 * 4}}) {
        MusicPlayer other;
        startMusicTrack(other, self(), id);
        EXPECT_EQ(other.waveHeader.dwBufferLength, bytes);
        stopMusic(other);
    }
}

// Runs with Wine's audio drivers left out, as on a machine without sound.
TEST(NoDevice, StartFailsSilentlyAndGivesEverythingBack) {
    ASSERT_EQ(waveOutGetNumDevs(), 0u) << "an audio driver is loaded";
    const size_t before = heapBytesInUse();
    for (int i = 0; i < 20; ++i) {
        MusicPlayer player;
        player.musicMuted = true;
        startMusicTrack(player, self(), StereoTrack);
        EXPECT_TRUE(isEmpty(player) && player.musicMuted);
    }
    EXPECT_LT(heapBytesInUse(), before + 20 * 22000 / 4);
    MusicPlayer player;
    startMusic(player, self());
    EXPECT_TRUE(isEmpty(player));
}
