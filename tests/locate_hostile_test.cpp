// Hostile and broken input for game location: generated text for the readers and path rules (fixed seed),
// broken registry values, huge or self-naming libraryfolders.vdf, 32,000-character paths, link loops.
#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "install/installer_app.h"
#include "locate/candidates.h"
#include "locate/manifest.h"
#include "locate/paths.h"
#include "locate/steam.h"
#include "locate_world.h"
#include "test_support.h"

namespace {

constexpr uint32_t Seed = 20261207;

// Characters that matter to the readers, mixed with ordinary ones, lone surrogates and zeros.
std::wstring randomText(std::mt19937& rng, size_t maxLength) {
    static const wchar_t alphabet[] = L"\"\\\\\"{}/ \t\r\n:.aZ9游\xD800\xDC00\xDFFF\xFEFF";
    std::uniform_int_distribution<size_t> length(0, maxLength);
    std::uniform_int_distribution<size_t> pick(0, std::size(alphabet) - 1);  // the last one is the zero
    std::uniform_int_distribution<int> any(1, 0xFFFF);
    std::wstring s(length(rng), L'\0');
    for (wchar_t& c : s) c = rng() % 4 == 0 ? static_cast<wchar_t>(any(rng)) : alphabet[pick(rng)];
    return s;
}

std::wstring escaped(const std::wstring& token) {
    std::wstring out;
    for (wchar_t c : token) {
        if (c == L'\\' || c == L'"') out += L'\\';
        out += c;
    }
    return out;
}

class Hostile : public ::testing::Test {
protected:
    void SetUp() override { world::clearSteamRegistry(); }
    void TearDown() override { world::clearSteamRegistry(); }
    TempDir dir;
};

}  // namespace

TEST(HostileText, QuotedStringsOverGeneratedInput) {
    std::mt19937 rng(Seed);
    for (int round = 0; round < 5000; ++round) {
        const std::wstring text = randomText(rng, 300);
        const std::vector<std::wstring> tokens = extractQuotedStrings(text);
        size_t total = 0;
        for (const std::wstring& t : tokens) total += t.size();
        ASSERT_LE(total + tokens.size(), text.size()) << "round " << round;
        ASSERT_LE(tokens.size(), static_cast<size_t>(std::count(text.begin(), text.end(), L'"')));
    }
    // Round trip: any tokens, escaped and separated by noise without quotes, come back exactly.
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::wstring> tokens(rng() % 12);
        std::wstring text;
        for (std::wstring& t : tokens) {
            t = randomText(rng, 40);
            std::wstring noise = randomText(rng, 6);
            noise.erase(std::remove(noise.begin(), noise.end(), L'"'), noise.end());
            text += noise + L"\"" + escaped(t) + L"\"";
        }
        ASSERT_EQ(extractQuotedStrings(text), tokens) << "round " << round;
    }
}

TEST(HostileText, ExtremeShapes) {
    EXPECT_EQ(extractQuotedStrings(std::wstring(100000, L'"')).size(), 50000u);
    EXPECT_EQ(extractQuotedStrings(std::wstring(100001, L'"')).size(), 50001u);
    std::wstring nested = std::wstring(100000, L'{') + L"\"path\" \"C:\\\\x\"" + std::wstring(100000, L'}');
    EXPECT_EQ(extractQuotedStrings(nested).size(), 2u);
    const std::vector<std::wstring> lone = extractQuotedStrings(L"\"" + std::wstring(99999, L'\\'));
    ASSERT_EQ(lone.size(), 1u);
    EXPECT_EQ(lone[0].size(), 50000u);  // 49,999 pairs, then the last one kept as it is
}

TEST(HostileText, FileDecodingOverGeneratedBytes) {
    TempDir dir;
    const std::wstring f = dir / L"random.vdf";
    std::mt19937 rng(Seed + 1);
    int utf8Cases = 0;
    for (int round = 0; round < 400; ++round) {
        const bool validUtf8 = round % 2 == 0;
        std::string bytes;
        std::wstring expected;
        if (validUtf8) {
            // Random code points of every length class, encoded by the system, must come back exactly.
            for (int i = rng() % 200; i > 0; --i) {
                uint32_t cp = rng() % 0x10FFFF + 1;
                if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
                if (cp >= 0x10000) {
                    expected += static_cast<wchar_t>(0xD800 + ((cp - 0x10000) >> 10));
                    expected += static_cast<wchar_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
                } else {
                    expected += static_cast<wchar_t>(cp);
                }
            }
            bytes = world::utf8Of(expected);
            if (rng() % 3 == 0) bytes = "\xEF\xBB\xBF" + bytes;
            utf8Cases += !bytes.empty();
        } else {
            bytes.resize(1 + rng() % 500);
            for (char& b : bytes) b = static_cast<char>(rng());
            bytes[rng() % bytes.size()] = '\xFF';  // never valid UTF-8
            const int n = MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
            expected.resize(static_cast<size_t>(n));
            MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), &expected[0], n);
            if (!expected.empty() && expected[0] == L'\xFEFF') expected.erase(0, 1);
        }
        writeBytes(f, bytes);
        ASSERT_EQ(readTextFile(f), expected) << "round " << round;
    }
    EXPECT_GT(utf8Cases, 150);
    // Overlong forms, encoded surrogates and cut sequences are not UTF-8 and fall back to the code page.
    for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xE6\xB8", "\xF4\x90\x80\x80"}) {
        writeBytes(f, bad);
        EXPECT_FALSE(readTextFile(f).empty());
    }
}

TEST(HostileText, NormalizeOverGeneratedPaths) {
    std::mt19937 rng(Seed + 2);
    for (int round = 0; round < 5000; ++round) {
        std::wstring text = randomText(rng, 120);
        if (round % 3 == 0) text = L"C:\\" + text;
        if (round % 7 == 0) text = L"\\\\?\\" + text;
        const std::wstring p = normalizePath(text);
        ASSERT_EQ(p.find(L'/'), std::wstring::npos) << "round " << round;
        if (p.size() >= 4) {
            ASSERT_NE(p.back(), L'\\') << "round " << round;
        }
        isGameFolder(p);
        gameRootOf(p);
    }
}

TEST_F(Hostile, BrokenRegistryValues) {
    const std::wstring steam = dir / L"Steam";
    makeDirs(steam);
    auto read = [] { return readRegistryPath(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", 0); };
    const std::vector<DWORD> wrongTypes = {REG_BINARY, REG_DWORD, REG_MULTI_SZ, REG_QWORD, REG_LINK, REG_NONE};
    for (DWORD type : wrongTypes) {
        world::RegistryValue v(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", type, steam.c_str(),
                               static_cast<DWORD>(steam.size() * 2 + 2));
        EXPECT_EQ(read(), L"") << type;
    }
    {  // Without a terminator, and with an odd byte count.
        world::RegistryValue v(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", REG_SZ, steam.c_str(),
                               static_cast<DWORD>(steam.size() * 2 + 1));
        EXPECT_EQ(read(), normalizePath(steam));
    }
    {
        world::RegistryValue v(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", REG_SZ, "\x41", 1);
        EXPECT_EQ(read(), L"");
    }
    {  // A zero in the middle ends the text.
        const std::wstring withZero = steam + std::wstring(1, L'\0') + L"junk";
        world::RegistryValue v(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", REG_SZ, withZero.data(),
                               static_cast<DWORD>(withZero.size() * 2));
        EXPECT_EQ(read(), normalizePath(steam));
    }
    {  // 1 MiB of text, and an expansion that grows past 32,000 characters.
        const std::wstring huge(512 * 1024, L'a');
        world::RegistryValue v(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", L"C:\\" + huge);
        EXPECT_EQ(read().size(), huge.size() + 3);
        SetEnvironmentVariableW(L"LOCATE_LONG", std::wstring(30000, L'b').c_str());
        world::RegistryValue e(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath",
                               L"C:\\%LOCATE_LONG%\\%LOCATE_LONG%", REG_EXPAND_SZ);
        // The system caps expansion at 32K characters: past it either text may come back, never a crash.
        const size_t expanded = read().size();
        EXPECT_TRUE(expanded == 60004u || (expanded > 0 && expanded < 32768u)) << expanded;
        EXPECT_TRUE(buildSteamRootList().size() < 100u);
    }
}

TEST_F(Hostile, LibraryFileWithTenThousandLibrariesAndItself) {
    const std::wstring steam = dir / L"Steam";
    makeDirs(steam + L"\\steamapps");
    std::vector<std::wstring> named{steam, steam + L"\\", steam + L"\\steamapps\\..", steam + L"\\steamapps"};
    for (int i = 0; i < 10000; ++i) {
        named.push_back(dir / (L"L" + std::to_wstring(i)));
        CreateDirectoryW(named.back().c_str(), nullptr);
    }
    writeBytes(steam + L"\\steamapps\\libraryfolders.vdf", world::utf8Of(world::nestedLibraryFolders(named)));
    world::RegistryValue user(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", steam);
    world::RegistryValue twice(HKEY_CURRENT_USER, world::SteamUserKey, L"InstallPath", steam + L"/");

    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::wstring> libraries = findSteamLibraries();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_GE(libraries.size(), 10002u);
    EXPECT_EQ(libraries[0], normalizePath(steam));
    EXPECT_EQ(libraries[1], normalizePath(steam + L"\\steamapps"));
    EXPECT_EQ(libraries[2], normalizePath(dir / L"L0"));
    EXPECT_EQ(libraries[10001], normalizePath(dir / L"L9999"));
    std::cout << "10,000 libraries found in " << seconds << " s\n";
}

TEST_F(Hostile, PathsOf32000Characters) {
    std::wstring longPath = L"C:\\";
    while (longPath.size() < 32000) longPath += L"segment游戏\\";
    const std::wstring p = normalizePath(L"\"" + longPath + L"\"");
    EXPECT_FALSE(p.empty());
    EXPECT_FALSE(isGameFolder(longPath + L"game"));
    EXPECT_EQ(resolveGameFolder(longPath), L"");
    EXPECT_EQ(readTextFile(longPath + L"libraryfolders.vdf"), L"");
    manifestCandidates(longPath);
    SteamRootList roots;
    addSteamRoot(roots, longPath);
    EXPECT_TRUE(roots.empty());

    // A real game deeper than MAX_PATH is still recognised: the listing uses the long form.
    std::wstring deep = dir.path();
    while (deep.size() < 400) deep += L"\\a folder of some length";
    makeDirs(deep);  // CreateDirectoryW without the prefix, as the system allows here
    if (isExistingDirectory(deep)) {
        makeGame(deep + L"\\TavinMere");
        EXPECT_EQ(resolveGameFolder(deep), normalizePath(deep + L"\\TavinMere\\game"));
    }
}

TEST_F(Hostile, LinkLoopUnderALibrary) {
    const std::wstring library = dir / L"Loop Library";
    const std::wstring gameFolder = makeGame(library + L"\\steamapps\\common\\TavinMere");
    const std::wstring loop = library + L"\\loop";  // the library inside itself, without end
    struct LinkGuard {
        std::wstring link;
        ~LinkGuard() { world::removeUnixSymlink(link); }
    } guard{loop};
    ASSERT_TRUE(world::makeUnixSymlink(loop, library));
    ASSERT_TRUE(isExistingDirectory(loop + L"\\loop\\loop\\steamapps"));
    // The library file names the library through the loop, and a folder that runs round it forever.
    writeBytes(library + L"\\steamapps\\libraryfolders.vdf",
               world::utf8Of(world::nestedLibraryFolders({loop + L"\\loop", loop + L"\\loop\\loop"})));
    world::RegistryValue user(HKEY_CURRENT_USER, world::SteamUserKey, L"SteamPath", library);
    InstallerApp app;
    app.installerDir = dir / L"installer";
    detectGameLocations(app);
    size_t found = 0;
    for (const GameCandidate& c : app.candidates) found += endsWithIgnoreCase(c.path, L"TavinMere\\game");
    // Every spelling names a valid game folder; paths are compared as text, so each is its own entry.
    EXPECT_EQ(found, 3u);
    EXPECT_TRUE(isGameFolder(gameFolder));
    EXPECT_TRUE(world::removeUnixSymlink(loop));
}
