// The sounds, music and end screen of a real Doom WAD: the Freedoom IWAD of Debian's freedoom package.

#include "media/dmx.h"
#include "media/endoom.h"
#include "media/gmd.h"
#include "media/hmp.h"
#include "media/midi.h"
#include "media/mus.h"
#include "media/voc.h"
#include "media/wav.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vexa {
namespace {

using test::Bytes;

const test::fs::path kFreedoom2 = "/usr/share/games/doom/freedoom2.wad";

struct Lump {
    std::string name;
    std::span<const std::uint8_t> bytes;
};

std::uint32_t le32(const Bytes& b, std::size_t at) {
    return b.at(at) | (b.at(at + 1) << 8) | (b.at(at + 2) << 16) | (std::uint32_t{b.at(at + 3)} << 24);
}

// The directory, read here apart from the program's WAD reader.
std::vector<Lump> lumpsOf(const Bytes& wad) {
    std::vector<Lump> lumps;
    const auto count = le32(wad, 4), directory = le32(wad, 8);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t record = directory + 16 * std::size_t{i};
        const auto offset = le32(wad, record), size = le32(wad, record + 4);
        std::string name(wad.begin() + static_cast<long>(record + 8),
                         wad.begin() + static_cast<long>(record + 16));
        name.erase(std::find(name.begin(), name.end(), '\0'), name.end());
        if (std::uint64_t{offset} + size <= wad.size())
            lumps.push_back({name, std::span<const std::uint8_t>(wad).subspan(offset, size)});
    }
    return lumps;
}

bool startsWith(const std::string& name, std::string_view prefix) {
    return name.rfind(prefix, 0) == 0;
}

TEST(FreedoomMedia, EverySoundSongAndTheEndScreenDecode) {
    if (!test::fs::exists(kFreedoom2)) GTEST_SKIP() << "the freedoom package is not installed";
    const auto wad = test::readFile(kFreedoom2);
    std::size_t sounds = 0, placeholders = 0, songs = 0, endScreens = 0;
    for (const auto& lump : lumpsOf(wad)) {
        SCOPED_TRACE(lump.name);
        const std::string what = "freedoom2.wad: " + lump.name;
        // No lump is taken for two kinds at once, and no PC-speaker sound for a digitised one.
        const int claims = isDmxSound(lump.bytes) + isVoc(lump.bytes) + isWav(lump.bytes) +
                           isMus(lump.bytes) + isMidi(lump.bytes) + isHmp(lump.bytes) + isGmd(lump.bytes);
        EXPECT_LE(claims, 1);
        if (startsWith(lump.name, "DP")) {
            EXPECT_FALSE(isDmxSound(lump.bytes));
        }

        if (startsWith(lump.name, "DS")) {
            // A few of freedoom's sounds are still 4-byte stand-ins, no sound at all.
            if (lump.bytes.size() <= 8) {
                EXPECT_FALSE(isDmxSound(lump.bytes));
                ++placeholders;
                continue;
            }
            ASSERT_TRUE(isDmxSound(lump.bytes));
            const auto sound = decodeDmxSound(lump.bytes, what);
            const std::uint32_t count = le32(Bytes(lump.bytes.begin(), lump.bytes.begin() + 8), 4);
            EXPECT_EQ(sound.rate, lump.bytes[2] | (lump.bytes[3] << 8));
            EXPECT_TRUE(std::equal(sound.samples.begin(), sound.samples.end(), lump.bytes.begin() + 24,
                                   lump.bytes.begin() + 8 + count - 16));
            EXPECT_EQ(sound.samples.size(), count - 32);
            const auto wav = encodeWav(sound);
            EXPECT_TRUE(isWav(wav));
            EXPECT_DOUBLE_EQ(readWavInfo(wav, what).seconds, durationSeconds(sound));
            ++sounds;
        } else if (startsWith(lump.name, "D_")) {
            ASSERT_TRUE(isMidi(lump.bytes));
            const auto info = readMidiInfo(lump.bytes, what);
            EXPECT_GT(info.seconds, 10);
            EXPECT_GE(info.trackCount, 1);
            EXPECT_FALSE(info.programs.empty());
            ++songs;
        } else if (lump.name == "ENDOOM") {
            const auto text = endoomToText(lump.bytes, what);
            EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 25);
            EXPECT_EQ(text.find(" \n"), std::string::npos);
            ++endScreens;
        }
    }
    EXPECT_EQ(sounds + placeholders, 107u);
    EXPECT_GE(sounds, 100u);
    EXPECT_EQ(songs, 35u);
    EXPECT_EQ(endScreens, 1u);
}

} // namespace
} // namespace vexa
