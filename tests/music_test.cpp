// Music playback: decoding of the embedded and generated tracks, rejection without leaks, and the
// player on a machine without sound and on Wine's ALSA output routed to a null device.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <string>

#include "audio/music.h"
#include "test_support.h"

namespace {

// Test tracks of resources/test_resources.rc, made with sox and oggenc.
constexpr int MonoTrack = 301;          // 8000 Hz, 4000 frames
constexpr int StereoTrack = 302;        // 11025 Hz, 5512 frames
constexpr int ThreeChannelTrack = 303;  // 8000 Hz, 8000 frames
constexpr int TruncatedTrack = 304;     // the first 200 bytes of the stereo track
constexpr int EmptyTrack = 305;         // zero bytes
constexpr int MissingTrack = 399;

// The track in resources/: 48 s of 44.1 kHz stereo.
constexpr int ShippedFrames = 2116800;

// Which audio world a child run of this program was started in.
constexpr const wchar_t* AudioModeVariable = L"TAVIN_TEST_AUDIO";

HINSTANCE self() { return GetModuleHandleW(nullptr); }

std::wstring audioMode() {
    wchar_t value[32] = {};
    const DWORD got = GetEnvironmentVariableW(AudioModeVariable, value, static_cast<DWORD>(std::size(value)));
    return got > 0 && got < std::size(value) ? value : L"";
}

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

DWORD deviceVolume(const MusicPlayer& p) {
    auto getVolume = reinterpret_cast<decltype(&::waveOutGetVolume)>(
        reinterpret_cast<void*>(GetProcAddress(p.winmmLibrary, "waveOutGetVolume")));
    DWORD volume = 0xDEADBEEF;
    if (getVolume) getVolume(p.waveDevice, &volume);
    return volume;
}

DWORD playedBytes(const MusicPlayer& p) {
    auto getPosition = reinterpret_cast<decltype(&::waveOutGetPosition)>(
        reinterpret_cast<void*>(GetProcAddress(p.winmmLibrary, "waveOutGetPosition")));
    MMTIME time{};
    time.wType = TIME_BYTES;
    if (!getPosition || getPosition(p.waveDevice, &time, sizeof time) != MMSYSERR_NOERROR) return 0;
    return time.u.cb;
}

// The Unix name of a Windows path, through Wine's own mapping.
std::string unixPath(const std::wstring& path) {
    using UnixNameFn = char*(CDECL*)(const wchar_t*);
    auto unixName = reinterpret_cast<UnixNameFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* name = unixName ? unixName(path.c_str()) : nullptr;
    if (!name) return {};
    std::string result(name);
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

// Runs a suite of this program in a new Wine process whose ALSA default output is the given PCM, and
// returns its exit code. ALSA reads the Unix environment, which a process created from Windows code
// does not take from the Windows environment block, so the child is started by the Unix shell.
int runSuiteWithAlsaDefault(const char* suite, const char* mode, const char* alsaDefault, std::string& log) {
    // Not under C:, whose Unix name holds a colon, ALSA's separator between configuration files.
    struct Folder {
        std::wstring path = buildFolder() + L"\\tests\\alsa-" + std::to_wstring(GetCurrentProcessId());
        Folder() { makeDirs(path); }
        ~Folder() { removeTree(path); }
        std::wstring operator/(const wchar_t* name) const { return path + L"\\" + name; }
    } dir;
    writeBytes(dir / L"asound.conf",
               std::string("</usr/share/alsa/alsa.conf>\npcm.!default { ") + alsaDefault + " }\n");
    wchar_t exe[MAX_PATH * 4];
    GetModuleFileNameW(nullptr, exe, static_cast<DWORD>(std::size(exe)));
    const std::string folder = unixPath(dir.path);
    if (folder.empty()) return -1;
    const std::string script =
        "ALSA_CONFIG_PATH=\"$1/asound.conf\" PULSE_SERVER=unix:/nonexistent TAVIN_TEST_AUDIO=$2 "
        "/usr/lib/wine/wine64 \"$3\" --gtest_filter=$4.* >\"$1/log\" 2>&1; echo $? >\"$1/code.tmp\"; "
        "mv \"$1/code.tmp\" \"$1/code\"";
    // Each argument quoted, with its own quotes escaped, as Wine splits the line for the Unix program.
    auto quoted = [](const std::string& argument) {
        std::wstring out = L"\"";
        for (wchar_t c : widen(argument)) out += c == L'"' ? std::wstring(L"\\\"") : std::wstring(1, c);
        return out + L"\" ";
    };
    std::wstring commandLine = L"Z:\\usr\\bin\\sh -c " + quoted(script) + quoted("sh") + quoted(folder) + quoted(mode) +
                               quoted(unixPath(exe)) + quoted(suite);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        return -1;
    // A Unix process has no Windows handle to wait on; its shell leaves the exit code in a file.
    if (info.hProcess) CloseHandle(info.hProcess);
    if (info.hThread) CloseHandle(info.hThread);
    for (int waited = 0; waited < 1200; ++waited) {
        const std::string code = readBytes(dir / L"code");
        if (!code.empty()) {
            log = readBytes(dir / L"log");
            return std::atoi(code.c_str());
        }
        Sleep(100);
    }
    return -1;
}

}  // namespace

TEST(MusicDecoding, EmbeddedTrackIsTheShippedStereoTrack) {
    const DecodedTrack track = decodeMusicResource(self(), MusicResourceId);
    ASSERT_TRUE(track.samples);
    EXPECT_EQ(track.channels, 2);
    EXPECT_EQ(track.sampleRate, 44100);
    EXPECT_EQ(track.frames, ShippedFrames);
}

TEST(MusicDecoding, GeneratedTracksDecodeWithTheirOwnFormat) {
    const DecodedTrack mono = decodeMusicResource(self(), MonoTrack);
    ASSERT_TRUE(mono.samples);
    EXPECT_EQ(mono.channels, 1);
    EXPECT_EQ(mono.sampleRate, 8000);
    EXPECT_EQ(mono.frames, 4000);
    const DecodedTrack stereo = decodeMusicResource(self(), StereoTrack);
    ASSERT_TRUE(stereo.samples);
    EXPECT_EQ(stereo.channels, 2);
    EXPECT_EQ(stereo.sampleRate, 11025);
    EXPECT_EQ(stereo.frames, 5512);
    // The decoder takes any channel count; refusing three is the player's job.
    const DecodedTrack three = decodeMusicResource(self(), ThreeChannelTrack);
    ASSERT_TRUE(three.samples);
    EXPECT_EQ(three.channels, 3);
}

TEST(MusicDecoding, BrokenEmptyAndMissingResourcesGiveNoSamples) {
    for (int id : {TruncatedTrack, EmptyTrack, MissingTrack}) {
        const DecodedTrack track = decodeMusicResource(self(), id);
        EXPECT_FALSE(track.samples) << id;
        EXPECT_EQ(track.frames, 0) << id;
    }
}

TEST(MusicDecoding, WaveFormatFollowsTheTrack) {
    const WAVEFORMATEX mono = musicFormat(1, 8000);
    EXPECT_EQ(mono.wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(mono.nChannels, 1);
    EXPECT_EQ(mono.nBlockAlign, 2);
    EXPECT_EQ(mono.nAvgBytesPerSec, 16000u);
    EXPECT_EQ(mono.wBitsPerSample, 16);
    const WAVEFORMATEX stereo = musicFormat(2, 44100);
    EXPECT_EQ(stereo.nChannels, 2);
    EXPECT_EQ(stereo.nSamplesPerSec, 44100u);
    EXPECT_EQ(stereo.nBlockAlign, 4);
    EXPECT_EQ(stereo.nAvgBytesPerSec, 176400u);
    EXPECT_EQ(stereo.cbSize, 0);
}

TEST(MusicPlayer, RejectedTracksLeaveThePlayerEmptyAndNothingLeaked) {
    const bool winmmBefore = GetModuleHandleW(L"winmm.dll") != nullptr;
    for (int id : {ThreeChannelTrack, TruncatedTrack, EmptyTrack, MissingTrack}) {
        MusicPlayer player;
        startMusicTrack(player, self(), id);
        EXPECT_TRUE(isEmpty(player)) << id;
        EXPECT_EQ(GetModuleHandleW(L"winmm.dll") != nullptr, winmmBefore) << id;
    }
    // Each three-channel decode allocates 48 KB that only the player's rejection frees.
    const size_t before = heapBytesInUse();
    for (int i = 0; i < 40; ++i) {
        MusicPlayer player;
        startMusicTrack(player, self(), ThreeChannelTrack);
    }
    EXPECT_LT(heapBytesInUse(), before + 40 * 48000 / 4);
}

TEST(MusicPlayer, StopAndToggleOnAnEmptyPlayer) {
    MusicPlayer player;
    stopMusic(player);
    stopMusic(player);
    EXPECT_TRUE(isEmpty(player));
    toggleMusicMute(player);
    EXPECT_TRUE(player.musicMuted);
    toggleMusicMute(player);
    EXPECT_FALSE(player.musicMuted);
    EXPECT_TRUE(isEmpty(player));
}

TEST(MusicPlayer, SilentWithoutAnyAudioDevice) {
    // ALSA's default output points at a sound card that does not exist and PulseAudio has no server.
    std::string log;
    EXPECT_EQ(runSuiteWithAlsaDefault("MusicWithoutDevice", "none", "type hw card 31", log), 0) << log;
    EXPECT_EQ(log.find("SKIPPED"), std::string::npos) << log;
    EXPECT_NE(log.find("[       OK ] MusicWithoutDevice.StartFailsCleanly"), std::string::npos) << log;
}

TEST(MusicPlayer, PlaysOnANullAudioDevice) {
    std::string log;
    EXPECT_EQ(runSuiteWithAlsaDefault("MusicOnNullDevice", "null", "type null", log), 0) << log;
    EXPECT_EQ(log.find("SKIPPED"), std::string::npos) << log;
    EXPECT_NE(log.find("[  PASSED  ] 2 tests"), std::string::npos) << log;
}

// Runs only as a child of SilentWithoutAnyAudioDevice.
TEST(MusicWithoutDevice, StartFailsCleanly) {
    if (audioMode() != L"none") GTEST_SKIP() << "runs in a child without audio";
    const size_t before = heapBytesInUse();
    for (int i = 0; i < 20; ++i) {
        MusicPlayer player;
        player.musicMuted = true;
        startMusicTrack(player, self(), StereoTrack);
        EXPECT_TRUE(isEmpty(player));
        EXPECT_TRUE(player.musicMuted);  // a failed start leaves the user's choice alone
    }
    EXPECT_LT(heapBytesInUse(), before + 20 * 22000 / 4);
    MusicPlayer player;
    startMusic(player, self());
    EXPECT_TRUE(isEmpty(player));
}

// Runs only as a child of PlaysOnANullAudioDevice.
TEST(MusicOnNullDevice, EmbeddedTrackLoopsAtPlaybackVolume) {
    if (audioMode() != L"null") GTEST_SKIP() << "runs in a child with a null audio device";
    MusicPlayer player;
    startMusic(player, self());
    ASSERT_NE(player.waveDevice, nullptr);
    EXPECT_NE(player.pcmSamples, nullptr);
    EXPECT_EQ(player.waveHeader.lpData, reinterpret_cast<LPSTR>(player.pcmSamples));
    EXPECT_EQ(player.waveHeader.dwBufferLength, static_cast<DWORD>(ShippedFrames) * 4);
    EXPECT_EQ(player.waveHeader.dwLoops, 0xFFFFFFFFu);
    EXPECT_EQ(player.waveHeader.dwFlags & (WHDR_BEGINLOOP | WHDR_ENDLOOP | WHDR_PREPARED),
              static_cast<DWORD>(WHDR_BEGINLOOP | WHDR_ENDLOOP | WHDR_PREPARED));
    EXPECT_FALSE(player.musicMuted);
    EXPECT_EQ(deviceVolume(player), PlaybackVolume);

    const DWORD early = playedBytes(player);
    Sleep(400);
    EXPECT_GT(playedBytes(player), early);

    // A second start keeps the device and the buffer: the track does not restart.
    const HWAVEOUT device = player.waveDevice;
    int16_t* samples = player.pcmSamples;
    startMusic(player, self());
    EXPECT_EQ(player.waveDevice, device);
    EXPECT_EQ(player.pcmSamples, samples);

    toggleMusicMute(player);
    EXPECT_TRUE(player.musicMuted);
    EXPECT_EQ(deviceVolume(player), MutedVolume);
    toggleMusicMute(player);
    EXPECT_FALSE(player.musicMuted);
    EXPECT_EQ(deviceVolume(player), PlaybackVolume);

    stopMusic(player);
    EXPECT_TRUE(isEmpty(player));
    stopMusic(player);
    EXPECT_TRUE(isEmpty(player));
}

TEST(MusicOnNullDevice, MonoAndStereoTracksOpenWithTheirLength) {
    if (audioMode() != L"null") GTEST_SKIP() << "runs in a child with a null audio device";
    MusicPlayer mono;
    startMusicTrack(mono, self(), MonoTrack);
    ASSERT_NE(mono.waveDevice, nullptr);
    EXPECT_EQ(mono.waveHeader.dwBufferLength, 4000u * 2);
    stopMusic(mono);
    MusicPlayer stereo;
    startMusicTrack(stereo, self(), StereoTrack);
    ASSERT_NE(stereo.waveDevice, nullptr);
    EXPECT_EQ(stereo.waveHeader.dwBufferLength, 5512u * 4);
    stopMusic(stereo);
    MusicPlayer three;
    startMusicTrack(three, self(), ThreeChannelTrack);
    EXPECT_TRUE(isEmpty(three));
}
