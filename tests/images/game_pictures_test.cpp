// Quake's pictures, PCX and Build's tiles decoded from entries laid out by hand, and their damaged
// forms refused.

#include "images/build_art.h"
#include "images/content_builders.h"
#include "images/content_faults.h"
#include "images/image_builders.h"
#include "images/pcx.h"
#include "images/quake_pictures.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using Rows = std::vector<std::string>;

// ---- Quake ---------------------------------------------------------------------------------------

TEST(QuakePictures, IndicesFollowTheSizesAnd255IsSeeThroughInGfx) {
    const auto lump = test::quakePicture(3, 2, test::indicesOf({"1Z2", "ZZ3"}));
    ASSERT_TRUE(isQuakePicture(lump));
    EXPECT_EQ(test::rowsOf(decodeQuakePicture(lump, "gfx/pause.lmp", true).pictures.at(0)),
              (Rows{"1.2", "..3"}));
    const auto opaque = decodeQuakePicture(lump, "progs/x.lmp", false).pictures.at(0);
    EXPECT_EQ(test::rowsOf(opaque), (Rows{"1Z2", "ZZ3"}));
    EXPECT_TRUE(opaque.alpha.empty());

    const auto rgb = test::knownPalette(5);
    ASSERT_TRUE(isQuakePalette(rgb));
    const auto palette = decodeQuakePalette(rgb, "gfx/palette.lmp");
    ASSERT_TRUE(palette.palette);
    EXPECT_EQ(*palette.palette, test::paletteTableOf(rgb));
    EXPECT_EQ(palette.pictures.at(0).image.indices.at(255), 255);

    const auto maps = test::patternBytes(64 * 256 + 1, 4);
    ASSERT_TRUE(isQuakeColormap(maps));
    const auto colormap = decodeQuakeColormap(maps, "gfx/colormap.lmp").pictures.at(0);
    EXPECT_EQ(colormap.image.width, 256u);
    EXPECT_EQ(colormap.image.height, 64u);
    EXPECT_EQ(colormap.image.indices, Bytes(maps.begin(), maps.end() - 1));
}

TEST(QuakePictures, DamagedEntriesAreRefused) {
    const std::vector<test::ContentFault> cases = {
        {"short", Bytes{1, 0, 0, 0}, "8 bytes of width and height, the entry has 4"},
        {"one_byte_more", test::quakePicture(2, 2, Bytes(5)), "2 x 2 pixels need 12 bytes, the entry has 13"},
        {"one_byte_less", test::quakePicture(2, 2, Bytes(3)), "the entry has 11"},
        {"no_height", test::quakePicture(2, 0, {}), "2 x 0 pixels"},
        {"huge", test::quakePicture(70000, 70000, Bytes(16)), "70000 x 70000 pixels is not a picture size"},
        {"wrapping", test::quakePicture(0x80000000u, 2, Bytes(0)), "2147483648 x 2 pixels"},
    };
    test::expectRefused(cases, isQuakePicture,
                        [](std::span<const std::uint8_t> bytes, const std::string& what) {
                            return decodeQuakePicture(bytes, what, true);
                        });
    EXPECT_FALSE(isQuakePalette(Bytes(769)));
    EXPECT_FALSE(isQuakeColormap(Bytes(64 * 256)));
}

// ---- PCX -----------------------------------------------------------------------------------------

Bytes pcxWithPalette(test::ByteBuilder header, const Bytes& coded, const Bytes& rgb) {
    return header.raw(coded).u8(0x0C).raw(rgb).bytes();
}

TEST(Pcx, IndexedLinesDropTheirPaddingAndTheTableBecomesThePalette) {
    // Width 3 in lines of 4 bytes: the fourth byte of each line is padding.
    const Bytes lines = {1, 2, 3, 9, 4, 4, 0xC5, 9};
    const auto rgb = test::knownPalette(7);
    const auto pcx = pcxWithPalette(test::pcxHeader(3, 2, 4, 1, 10), test::pcxRuns(lines), rgb);
    ASSERT_TRUE(isPcx(pcx));
    const auto set = decodePcx(pcx, "pics/colormap.pcx");
    ASSERT_EQ(set.pictures.size(), 1u);
    EXPECT_EQ(test::rowsOf(set.pictures[0]), (Rows{"123", "44?"}));
    EXPECT_EQ(set.pictures[0].image.indices.at(5), 0xC5);
    ASSERT_TRUE(set.palette);
    EXPECT_EQ(*set.palette, test::paletteTableOf(rgb));

    // A run going on past the end of a line carries into the next one, as some writers code it.
    const auto across = pcxWithPalette(test::pcxHeader(2, 3, 2, 1), {0xC5, 7, 8}, rgb);
    ASSERT_TRUE(isPcx(across));
    EXPECT_EQ(test::rowsOf(decodePcx(across, "across.pcx").pictures.at(0)), (Rows{"77", "77", "78"}));
}

TEST(Pcx, ThreePlanesAreTrueColour) {
    // Each line: the red bytes, the green bytes, the blue bytes; a run crosses from red into green.
    const Bytes coded = {0xC3, 10, 0xC2, 30, 40, 50, 60, 70, 80, 90, 100};
    const auto pcx = test::pcxHeader(2, 2, 2, 3).raw(coded).bytes();
    ASSERT_TRUE(isPcx(pcx));
    const auto set = decodePcx(pcx, "sky.pcx");
    EXPECT_FALSE(set.palette);
    const auto& picture = set.pictures.at(0);
    ASSERT_TRUE(picture.trueColour());
    EXPECT_EQ(picture.image.width, 2u);
    EXPECT_TRUE(picture.image.indices.empty());
    EXPECT_EQ(picture.rgba, (Bytes{10, 10, 30, 255, 10, 30, 40, 255, 50, 70, 90, 255, 60, 80, 100, 255}));
}

TEST(Pcx, DamagedFilesAreRefused) {
    const auto rgb = test::knownPalette(1);
    const auto good = [&](std::size_t at, std::uint8_t value) {
        auto b = pcxWithPalette(test::pcxHeader(2, 2, 2, 1), test::pcxRuns({1, 2, 3, 4}), rgb);
        b.at(at) = value;
        return b;
    };
    auto withoutTable = pcxWithPalette(test::pcxHeader(2, 2, 2, 1), test::pcxRuns({1, 2, 3, 4}), rgb);
    withoutTable.resize(withoutTable.size() - 769);
    const std::vector<test::ContentFault> cases = {
        {"short", Bytes(100, 0x0A), "128-byte header"},
        {"not_pcx", good(0, 0x0B), "PCX byte 0x0A"},
        {"version_3", good(1, 3), "version 3 is not the version 5"},
        {"not_rle", good(2, 0), "encoding 0"},
        {"two_planes", good(65, 2), "8 bits in 2 planes"},
        {"window_reversed", good(4, 5), "the window 5..1 x 0..1: -3 x 2 pixels"},
        {"line_too_short", good(66, 1), "lines of 1 bytes cannot hold its 2 pixels"},
        {"no_colour_table", withoutTable, "no 256-colour table"},
        {"data_too_short", pcxWithPalette(test::pcxHeader(100, 100, 100, 1), {0xFF, 1}, rgb),
         "2 bytes of coded data cannot hold 10000 bytes of lines"},
        {"run_past_last_line", pcxWithPalette(test::pcxHeader(2, 1, 2, 1), {0xC5, 7}, rgb),
         "goes 3 bytes past the last line", true},
        {"data_ends_early", pcxWithPalette(test::pcxHeader(4, 2, 4, 1), {0xC2, 1}, rgb),
         "line 0: the coded data ends at byte 130", true},
        {"run_without_value", pcxWithPalette(test::pcxHeader(2, 1, 2, 1), {0xC1}, rgb), "has no value", true},
    };
    test::expectRefused(cases, isPcx, decodePcx);
}

// ---- Build ---------------------------------------------------------------------------------------

TEST(BuildArt, TilesWithPixelsAreNamedByNumberAnd255IsSeeThrough) {
    const auto art = test::artFile(40, {{2, 3, {"1Z", "23", "ZZ"}}, {0, 5, {}}, {3, 1, {"456"}}, {4, 0, {}}});
    ASSERT_TRUE(isBuildArt(art));
    const auto set = decodeBuildArt(art, "TILES000.ART");
    ASSERT_EQ(set.pictures.size(), 2u);
    EXPECT_EQ(set.pictures[0].name, "0040");
    EXPECT_EQ(test::rowsOf(set.pictures[0]), (Rows{"1.", "23", ".."}));
    EXPECT_EQ(set.pictures[1].name, "0042");
    EXPECT_EQ(test::rowsOf(set.pictures[1]), (Rows{"456"}));
    EXPECT_TRUE(set.pictures[1].alpha.empty());
}

TEST(BuildArt, DamagedFilesAreRefused) {
    const auto art = test::artFile(0, {{2, 2, {"12", "34"}}, {1, 1, {"5"}}});
    auto patched = [&](std::size_t at, std::uint32_t value, std::size_t width = 4) {
        auto b = art;
        for (std::size_t i = 0; i < width; ++i)
            b.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
        return b;
    };
    const std::vector<test::ContentFault> cases = {
        {"short", Bytes(12), "16-byte header"},
        {"version_2", patched(0, 2), "version 2 is not the ART version 1"},
        {"last_before_first", patched(12, 0xFFFFFFFF), "tiles 0 to -1 are not a range"},
        {"negative_first", patched(8, 0xFFFFFFFE), "tiles -2 to 1"},
        {"tables_past_end", patched(12, 100000), "the tables of 100001 tiles (0 to 100000) run past the end"},
        {"negative_width", patched(16, 0xFFFD, 2), "tile 0 has a negative size, -3 x 2"},
        {"negative_height", patched(22, 0x8000, 2), "tile 1 has a negative size, 1 x -32768"},
        {"pixels_past_end", Bytes(art.begin(), art.end() - 1), "tile 1: its 1 x 1 pixels run past the end"},
        {"huge_tile", patched(16, 0x7FFF, 2), "tile 0: 32767 x 2 pixels is not a picture size"},
    };
    test::expectRefused(cases, isBuildArt, decodeBuildArt);
}

TEST(BuildPalette, SixBitColoursAreWidenedAndTheShadeTablesChecked) {
    ByteBuilder b;
    for (std::size_t i = 0; i < 768; ++i)
        b.u8(static_cast<std::uint8_t>(i % 64));
    const auto bare = b.bytes();
    const auto withShades = ByteBuilder(b).u16(2).raw(Bytes(512, 1)).bytes();
    for (const auto& entry : {bare, withShades}) {
        ASSERT_TRUE(isBuildPalette(entry));
        const auto set = decodeBuildPalette(entry, "PALETTE.DAT");
        ASSERT_TRUE(set.palette);
        // Entry 21: red 63, green 0, blue 1 (bytes 63, 64 % 64, 65 % 64).
        EXPECT_EQ((*set.palette)[4 * 21 + 2], 255);
        EXPECT_EQ((*set.palette)[4 * 21 + 1], 0);
        EXPECT_EQ((*set.palette)[4 * 21], widenSixBit(1));
        EXPECT_EQ((*set.palette)[4 * 10 + 2], widenSixBit(30));
    }
    auto bright = bare;
    bright.at(100) = 64;
    const std::vector<test::ContentFault> cases = {
        {"short", Bytes(767), "768 bytes, the entry has 767"},
        {"eight_bit", bright, "byte 100 is 64, more than a 6-bit colour holds"},
        {"shade_count_cut", ByteBuilder(b).u8(2).bytes(), "shade count after the colours is cut off"},
        {"shades_past_end", ByteBuilder(b).u16(3).raw(Bytes(512)).bytes(), "3 shade tables run past the end"},
    };
    test::expectRefused(cases, isBuildPalette, decodeBuildPalette);
}

} // namespace
} // namespace vexa
