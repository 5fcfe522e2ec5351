// Doom DMX, Creative VOC and WAV sounds against hand-made files, sample for sample, and the WAV they
// are written as.

#include "media/dmx.h"
#include "media/media_builders.h"
#include "media/voc.h"
#include "media/wav.h"

#include <gtest/gtest.h>

#include <functional>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::VocBlock;

// A refused input: the claim says no (when it is expected to) and the decoder throws a FormatError
// whose message holds expected.
struct Refusal {
    std::string fault;
    Bytes bytes;
    std::string expected;
    bool claimed = false;
};

void expectRefused(const std::vector<Refusal>& cases,
                   const std::function<bool(std::span<const std::uint8_t>)>& claim,
                   const std::function<void(std::span<const std::uint8_t>, const std::string&)>& decode) {
    for (const auto& c : cases) {
        EXPECT_EQ(claim(c.bytes), c.claimed) << c.fault;
        try {
            decode(c.bytes, "x.wad: entry 3 'SOUND'");
            ADD_FAILURE() << c.fault << " was decoded";
        } catch (const FormatError& e) {
            const std::string message = e.what();
            EXPECT_EQ(message.rfind("x.wad: entry 3 'SOUND': ", 0), 0u) << c.fault << ": " << message;
            EXPECT_NE(message.find(c.expected), std::string::npos) << c.fault << ": " << message;
        }
    }
}

Bytes range(std::uint8_t first, std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(first + i);
    return b;
}

// ---- DMX ----

TEST(DmxSound, LeavesOutThePaddingAndKeepsTheRate) {
    const Bytes samples = range(0x40, 7);
    const auto lump = test::dmxSound(11025, samples);
    ASSERT_TRUE(isDmxSound(lump));
    const auto sound = decodeDmxSound(lump, "DSPISTOL");
    EXPECT_EQ(sound.rate, 11025u);
    EXPECT_EQ(sound.channels, 1);
    EXPECT_EQ(sound.bitsPerSample, 8);
    EXPECT_EQ(sound.samples, samples);
    EXPECT_DOUBLE_EQ(durationSeconds(sound), 7.0 / 11025);

    // Bytes after the counted ones are not sound; a count of just the padding is an empty sound.
    auto longer = lump;
    longer.insert(longer.end(), {9, 9, 9});
    EXPECT_EQ(decodeDmxSound(longer, "x").samples, samples);
    EXPECT_TRUE(decodeDmxSound(test::dmxLump(3, 8000, 32, Bytes(32, 0x80)), "x").samples.empty());
}

TEST(DmxSound, RefusesWhatIsNoDigitisedSound) {
    expectRefused(
        {
            {"pc speaker", test::dmxLump(0, 140, 4, {1, 2, 3, 4}), "format 0 is not a digitised DMX sound"},
            {"count past the lump", test::dmxLump(3, 11025, 100, Bytes(50, 0x80)),
             "sample count 100 runs past the end of the lump (58 bytes)"},
            {"count of 0xFFFFFFFF", test::dmxLump(3, 11025, 0xFFFFFFFF, Bytes(40, 0x80)),
             "sample count 4294967295 runs past"},
            {"count shorter than the padding", test::dmxLump(3, 11025, 31, Bytes(31, 0x80)),
             "sample count 31 is shorter than its 32 padding bytes"},
            {"rate 0", test::dmxLump(3, 0, 32, Bytes(32, 0x80)), "0 Hz"},
            {"header cut off", {3, 0, 0x11, 0x2B, 0, 0}, "6 bytes hold no 8-byte DMX sound header"},
            {"empty", {}, "0 bytes"},
        },
        isDmxSound, [](auto bytes, const auto& what) { (void)decodeDmxSound(bytes, what); });
}

// ---- WAV ----

// The canonical WAV of a sound, laid out field by field.
Bytes canonicalWav(std::uint32_t rate, std::uint16_t channels, std::uint16_t bits, const Bytes& samples) {
    ByteBuilder b;
    const auto pad = samples.size() % 2;
    b.raw("RIFF").u32(static_cast<std::uint32_t>(36 + samples.size() + pad)).raw("WAVE");
    b.raw("fmt ").u32(16).u16(1).u16(channels).u32(rate).u32(rate * channels * bits / 8);
    b.u16(static_cast<std::uint16_t>(channels * bits / 8)).u16(bits);
    b.raw("data").u32(static_cast<std::uint32_t>(samples.size())).raw(samples);
    if (pad) b.u8(0);
    return b.bytes();
}

TEST(Wav, WritesTheCanonicalHeaderAndReadsItBack) {
    for (const auto& sound :
         {Sound{11025, 1, 8, range(1, 5)}, Sound{44100, 2, 16, range(7, 8)}, Sound{22050, 1, 8, {}}}) {
        SCOPED_TRACE(std::to_string(sound.rate));
        const auto wav = encodeWav(sound);
        EXPECT_EQ(wav, canonicalWav(sound.rate, sound.channels, sound.bitsPerSample, sound.samples));
        ASSERT_TRUE(isWav(wav));
        const auto info = readWavInfo(wav, "x");
        EXPECT_EQ(info.rate, sound.rate);
        EXPECT_EQ(info.channels, sound.channels);
        EXPECT_EQ(info.bitsPerSample, sound.bitsPerSample);
        EXPECT_EQ(info.dataOffset, 44u);
        EXPECT_DOUBLE_EQ(info.seconds, durationSeconds(sound));
        const auto back = decodeWav(wav, "x");
        EXPECT_EQ(back.samples, sound.samples);
    }
}

TEST(Wav, FindsItsChunksPastOthersOfOddSize) {
    ByteBuilder b;
    b.raw("RIFF").u32(0).raw("WAVE").raw("LIST").u32(3).raw("abc").u8(0); // padded to an even size
    b.raw("fmt ").u32(18).u16(1).u16(1).u32(8000).u32(8000).u16(1).u16(8).u16(0);
    b.raw("data").u32(4).raw(Bytes{1, 2, 3, 4});
    ASSERT_TRUE(isWav(b.bytes()));
    const auto sound = decodeWav(b.bytes(), "x");
    EXPECT_EQ(sound.rate, 8000u);
    EXPECT_EQ(sound.samples, (Bytes{1, 2, 3, 4}));
}

TEST(Wav, RefusesDamageAndNamesEncodingsItDoesNotDecode) {
    const auto good = canonicalWav(8000, 1, 8, range(0, 6));
    auto dataPastEnd = good;
    dataPastEnd[40] = 200;
    auto shortFormat = good;
    shortFormat[16] = 12;
    auto badFrames = good;
    badFrames[32] = 3; // block align
    auto rateTooHigh = canonicalWav(8000, 2, 16, range(0, 8));
    std::copy_n(Bytes{0x01, 0x00, 0x00, 0x63}.begin(), 4, rateTooHigh.begin() + 24);
    auto noRate = good;
    noRate[24] = 0;
    noRate[25] = 0;
    expectRefused(
        {
            {"data past the end", dataPastEnd,
             "the \"data\" chunk of 200 bytes at offset 44 runs past the end", true},
            {"format chunk too short", shortFormat, "not a WAV file", false},
            {"frame size", badFrames, "cannot have frames of 3 bytes", true},
            {"no rate", noRate, "1 channels at 0 Hz", true},
            {"a rate past any sound", rateTooHigh, "2 channels at 1660944385 Hz", true},
            {"no data chunk", Bytes(good.begin(), good.begin() + 36), "not a WAV file", false},
            {"not RIFF", test::bytesOf("RIFX...."), "not a WAV file", false},
        },
        isWav, [](auto bytes, const auto& what) { (void)decodeWav(bytes, what); });

    auto adpcm = good;
    adpcm[20] = 0x11;
    ASSERT_TRUE(isWav(adpcm));
    EXPECT_EQ(readWavInfo(adpcm, "x").formatTag, 0x11);
    try {
        (void)decodeWav(adpcm, "x");
        ADD_FAILURE() << "IMA ADPCM was decoded";
    } catch (const UnsupportedEncoding& e) {
        EXPECT_EQ(e.encoding(), "IMA ADPCM");
    }
}

// ---- VOC ----

Sound decodeVocBlocks(const std::vector<VocBlock>& blocks, bool terminator = true) {
    const auto file = test::vocFile(blocks, terminator);
    EXPECT_TRUE(isVoc(file));
    return decodeVoc(file, "x.voc");
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(Voc, EveryBlockTypeGivesItsSamples) {
    const Bytes a = range(0x10, 5), b = range(0x60, 3);
    const VocBlock marker{4, {1, 0}}, text{5, test::bytesOf("hello\0")}, repeat{6, {2, 0}}, endRepeat{7, {}};
    // 11111 Hz is time constant 166 (256 - 1000000 / 11111); 10000 Hz is 156, 20000 Hz is 206.
    struct Case {
        std::string name;
        std::vector<VocBlock> blocks;
        std::uint32_t rate;
        std::uint16_t channels, bits;
        Bytes samples;
        bool terminator = true;
    };
    const std::vector<Case> cases = {
        {"sound data", {test::vocSoundData(166, 0, a)}, 11111, 1, 8, a},
        {"no terminator", {test::vocSoundData(166, 0, a)}, 11111, 1, 8, a, false},
        {"continuation", {test::vocSoundData(156, 0, a), {2, b}}, 10000, 1, 8, concat({a, b})},
        {"silence",
         {test::vocSoundData(166, 0, a), {3, {3, 0, 166}}},
         11111,
         1,
         8,
         concat({a, Bytes(4, 0x80)})},
        {"silence at twice the rate lasts half as many samples",
         {test::vocSoundData(156, 0, a), {3, {7, 0, 206}}},
         10000,
         1,
         8,
         concat({a, Bytes(4, 0x80)})},
        {"silence first takes the sound's format",
         {{3, {1, 0, 166}}, test::vocNewFormat(11111, 16, 2, 4, range(1, 4))},
         11111,
         2,
         16,
         concat({Bytes(8, 0), range(1, 4)})},
        {"silence alone", {{3, {2, 0, 156}}}, 10000, 1, 8, Bytes(3, 0x80)},
        {"new format, 8-bit", {test::vocNewFormat(8000, 8, 1, 0, a)}, 8000, 1, 8, a},
        {"new format, 16-bit stereo",
         {test::vocNewFormat(44100, 16, 2, 4, range(0x20, 8)), {3, {1, 0, 233}}},
         44100,
         2,
         16,
         concat({range(0x20, 8), Bytes(8, 0)})},
        {"a stereo sound cut inside a frame keeps its whole frames",
         {test::vocNewFormat(8000, 16, 2, 4, range(0, 7))},
         8000,
         2,
         16,
         range(0, 4)},
        {"markers, text and repeats are passed over",
         {marker, text, repeat, test::vocSoundData(166, 0, a), endRepeat, {42, {1, 2, 3}}, {2, b}},
         11111,
         1,
         8,
         concat({a, b})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto sound = decodeVocBlocks(c.blocks, c.terminator);
        EXPECT_EQ(sound.rate, c.rate);
        EXPECT_EQ(sound.channels, c.channels);
        EXPECT_EQ(sound.bitsPerSample, c.bits);
        EXPECT_EQ(sound.samples, c.samples);
    }
}

TEST(Voc, AnExtendedBlockSetsTheFormatOfTheNextSoundBlockOnly) {
    // 22050 Hz stereo: 65536 - 256000000 / (2 x 22050) = 59731 (0xE953). The block 1's own time
    // constant and codec give way to it; a continuation goes on in the same format.
    const VocBlock extended{8, {0x53, 0xE9, 0, 1}};
    const auto sound = decodeVocBlocks({extended, test::vocSoundData(0, 1, range(0, 6)), {2, range(6, 2)}});
    EXPECT_EQ(sound.rate, 22050u);
    EXPECT_EQ(sound.channels, 2);
    EXPECT_EQ(sound.samples, range(0, 8));
    // A second block 1 is mono again, at its own rate: a change of format.
    EXPECT_THROW(
        decodeVocBlocks({extended, test::vocSoundData(0, 0, range(0, 6)), test::vocSoundData(0, 0, {1})}),
        UnsupportedEncoding);
}

TEST(Voc, StopsAtItsTerminator) {
    auto file = test::vocFile({test::vocSoundData(166, 0, {1, 2})});
    file.insert(file.end(), {1, 0xFF, 0xFF, 0xFF}); // a block past the end, after the terminator
    EXPECT_EQ(decodeVoc(file, "x").samples, (Bytes{1, 2}));
}

TEST(Voc, RefusesDamageAndNamesCodecsItDoesNotDecode) {
    auto sizePastEnd = test::vocFile({test::vocSoundData(166, 0, {1, 2})}, false);
    sizePastEnd[27] = 0x40; // block size 0x40 instead of 4
    auto cutHeader = test::vocFile({test::vocSoundData(166, 0, {1, 2})}, false);
    cutHeader.insert(cutHeader.end(), {2, 1});
    auto badCheck = test::vocFile({test::vocSoundData(166, 0, {1})});
    badCheck[24] ^= 1;
    auto firstBlockPastEnd = test::vocFile({});
    firstBlockPastEnd[20] = 200;
    std::vector<VocBlock> longSilence(257, VocBlock{3, {0xFF, 0xFF, 166}});
    expectRefused(
        {
            {"block size past the file", sizePastEnd,
             "block 0 (type 1) at offset 26: size 64 runs past the end of the file (34 bytes)", true},
            {"block header cut off", cutHeader, "block 1 at offset 34 is cut off after 2 bytes", true},
            {"continuation first", test::vocFile({{2, {1, 2}}}), "block 0 continues a sound that no block",
             true},
            {"short silence", test::vocFile({{3, {1, 0}}}),
             "block 0 (silence) of 2 bytes is shorter than its 3", true},
            {"short sound data", test::vocFile({{1, {166}}}), "(sound data) of 1 bytes", true},
            {"short new format", test::vocFile({{9, Bytes(11, 0)}}), "(new format) of 11 bytes", true},
            {"8-bit codec with 16 bits", test::vocFile({test::vocNewFormat(8000, 16, 1, 0, {1, 2})}),
             "block 0 gives PCM of 16 bits (codec 0) in 1 channels at 8000 Hz", true},
            {"rate 0", test::vocFile({test::vocNewFormat(0, 8, 1, 0, {1, 2})}), "at 0 Hz", true},
            {"no channels", test::vocFile({test::vocNewFormat(8000, 8, 0, 0, {1, 2})}), "in 0 channels",
             true},
            {"a rate past any sound", test::vocFile({test::vocNewFormat(1224758818, 16, 2, 4, {1, 2, 3, 4})}),
             "block 0 gives a rate of 1224758818 Hz, past the 1000000 Hz of any sound", true},
            {"an extended rate past any sound",
             test::vocFile({{8, {0xFF, 0xFF, 0, 0}}, test::vocSoundData(0, 0, {1})}),
             "block 1 gives a rate of 256000000 Hz", true},
            {"no sound", test::vocFile({}), "holds no sound", true},
            {"only markers", test::vocFile({{4, {1, 0}}}), "holds no sound", true},
            {"silence without end", test::vocFile(longSilence), "silence blocks add up to more than 16777216",
             true},
            {"bad version check", badCheck, "no Creative Voice File header", false},
            {"first block past the end", firstBlockPastEnd, "no Creative Voice File header", false},
            {"magic alone", test::bytesOf("Creative Voice File\x1A"), "no Creative Voice File header", false},
        },
        isVoc, [](auto bytes, const auto& what) { (void)decodeVoc(bytes, what); });

    struct Unsupported {
        std::vector<VocBlock> blocks;
        std::string encoding;
    };
    for (const auto& c : std::vector<Unsupported>{
             {{test::vocSoundData(166, 1, {1, 2})}, "Creative 4-bit ADPCM"},
             {{{8, {0, 0, 3, 0}}, test::vocSoundData(166, 0, {1, 2})}, "Creative 2-bit ADPCM"},
             {{test::vocNewFormat(8000, 8, 1, 6, {1})}, "A-law"},
             {{test::vocNewFormat(8000, 16, 1, 0x200, {1})}, "Creative 16-bit ADPCM"},
             {{test::vocSoundData(166, 0, {1}), test::vocSoundData(156, 0, {2})},
              "a change of format in block 1 (from 11111 Hz 8-bit mono to 10000 Hz 8-bit mono)"},
         }) {
        try {
            (void)decodeVoc(test::vocFile(c.blocks), "x.voc");
            ADD_FAILURE() << c.encoding << " was decoded";
        } catch (const UnsupportedEncoding& e) {
            EXPECT_EQ(e.encoding(), c.encoding);
            EXPECT_EQ(std::string(e.what()),
                      "x.voc: " + c.encoding + " is not decoded; the sound is left as it is");
        }
    }
}

} // namespace
} // namespace vexa
