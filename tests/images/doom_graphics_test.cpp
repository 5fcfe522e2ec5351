// Doom's graphics lumps decoded from lumps laid out by hand: pictures of posts (tall patches too),
// flats, PLAYPAL, COLORMAP and textures composed from their patches.

#include "images/content_builders.h"
#include "images/content_faults.h"
#include "images/doom_graphics.h"
#include "images/image_builders.h"

#include <gtest/gtest.h>

#include <map>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::Column;
using Rows = std::vector<std::string>;

DecodedPicture onlyPicture(const DecodedPictures& set) {
    EXPECT_EQ(set.pictures.size(), 1u);
    return set.pictures.at(0);
}

TEST(DoomPicture, PostsFillTheirColumnsAndTheRestIsSeeThrough) {
    const std::vector<Column> columns = {{{0, {1, 2}}}, {}, {{1, {3}}, {3, {4}}}};
    const auto lump = test::doomPicture(3, 4, -2, 5, columns);
    ASSERT_TRUE(isDoomPicture(lump));
    const auto picture = onlyPicture(decodeDoomPicture(lump, "TROOA1"));
    EXPECT_EQ(test::rowsOf(picture), (Rows{"1..", "2.3", "...", "..4"}));
    ASSERT_TRUE(picture.offset);
    EXPECT_EQ(*picture.offset, (PictureOffset{-2, 5}));

    // Columns that share one stored column; a picture covered everywhere has no alpha.
    const auto shared = test::doomPicture(3, 2, 0, 0, {{{0, {7, 8}}}, {{0, {9, 9}}}}, {0, 0, 1});
    ASSERT_TRUE(isDoomPicture(shared));
    const auto full = onlyPicture(decodeDoomPicture(shared, "SHARED"));
    EXPECT_EQ(test::rowsOf(full), (Rows{"779", "889"}));
    EXPECT_TRUE(full.alpha.empty());
}

TEST(DoomPicture, TallPatchDeltasNotBelowThePreviousTopCountFromIt) {
    // Rows 0-1, row 254, then delta 10 <= 254: row 264; then delta 200 <= 264: row 464.
    const auto lump = test::doomPicture(1, 470, 0, 0, {{{0, {1, 2}}, {254, {3}}, {10, {4, 5}}, {200, {6}}}});
    ASSERT_TRUE(isDoomPicture(lump));
    const auto picture = onlyPicture(decodeDoomPicture(lump, "TALL"));
    const std::map<std::size_t, std::uint8_t> opaque = {{0, 1},   {1, 2},   {254, 3},
                                                        {264, 4}, {265, 5}, {464, 6}};
    for (std::size_t y = 0; y < 470; ++y) {
        const auto it = opaque.find(y);
        EXPECT_EQ(picture.alpha.at(y), it == opaque.end() ? kSeeThrough : kOpaque) << y;
        if (it != opaque.end()) {
            EXPECT_EQ(picture.image.indices.at(y), it->second) << y;
        }
    }
}

TEST(DoomPicture, DamagedLumpsAreRefusedNamingTheFault) {
    const auto good = test::doomPicture(2, 4, 0, 0, {{{0, {1, 2}}}, {{2, {3}}}});
    auto patched = [&](std::size_t at, std::uint32_t value) {
        auto bytes = good;
        for (int i = 0; i < 4; ++i)
            bytes.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
        return bytes;
    };
    auto cut = [&](std::size_t size) {
        return Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
    };
    const std::vector<test::ContentFault> cases = {
        {"huge", ByteBuilder().u16(32767).u16(32767).u32(0).bytes(),
         "32767 x 32767 pixels is not a picture size"},
        {"short_header", Bytes{2, 0, 4}, "8 bytes of header, the lump has 3"},
        {"no_width", test::doomPicture(0, 4, 0, 0, {}), "0 x 4 pixels"},
        {"negative_height", test::doomPicture(1, -4, 0, 0, {{}}), "1 x -4 pixels"},
        {"table_past_end", ByteBuilder().u16(100).u16(4).u32(0).u32(12).bytes(),
         "offsets of its 100 columns run past"},
        {"column_past_end", patched(12, 9000),
         "column 1 offset 9000 runs past the end of the lump (29 bytes)"},
        {"column_in_header", patched(8, 4), "column 0 offset 4 points into the header and column table"},
        {"post_past_height", test::doomPicture(1, 2, 0, 0, {{{1, {5, 6}}}}),
         "rows 1 to 2) runs past the picture's height of 2"},
        {"post_past_end", cut(good.size() - 3),
         "column 1 post 0 of 1 pixels at offset 23 runs past the end of the lump"},
        {"no_end_marker", cut(good.size() - 1), "column 1 post 1 at offset 28 runs past the end"},
        {"overlapping_posts", test::doomPicture(1, 8, 0, 0, {{{0, {1, 2, 3, 4}}, {2, {5}}}}),
         "post 1 starts at row 2, not below the post before it (rows 0 to 3)"},
        {"repeated_top", test::doomPicture(1, 8, 0, 0, {{{3, {}}, {0, {5}}}}), "post 1 starts at row 3"},
    };
    test::expectRefused(cases, isDoomPicture, decodeDoomPicture);
}

TEST(DoomLumps, FlatsPalettesAndColormapsBecomePictures) {
    for (const auto& [size, width, height] :
         {std::tuple{4096u, 64u, 64u}, std::tuple{8192u, 64u, 128u}, std::tuple{16384u, 128u, 128u}}) {
        const auto lump = test::patternBytes(size, 3);
        ASSERT_TRUE(isDoomFlat(lump)) << size;
        const auto flat = onlyPicture(decodeDoomFlat(lump, "FLAT"));
        EXPECT_EQ(flat.image.width, width);
        EXPECT_EQ(flat.image.height, height);
        EXPECT_EQ(flat.image.indices, lump); // rows top first, as stored
        EXPECT_TRUE(flat.alpha.empty());
    }
    EXPECT_FALSE(isDoomFlat(Bytes(4160)));
    EXPECT_THROW(decodeDoomFlat(Bytes(4095), "F"), FormatError);

    Bytes playpal;
    for (std::uint8_t i = 0; i < 14; ++i) {
        const auto p = test::knownPalette(i);
        playpal.insert(playpal.end(), p.begin(), p.end());
    }
    ASSERT_TRUE(isDoomPlaypal(playpal));
    const auto palettes = decodeDoomPlaypal(playpal, "PLAYPAL");
    ASSERT_EQ(palettes.pictures.size(), 14u);
    ASSERT_TRUE(palettes.palette);
    EXPECT_EQ(*palettes.palette, test::paletteTableOf(test::knownPalette(0)));
    for (std::size_t i = 0; i < 14; ++i) {
        const auto& swatch = palettes.pictures[i];
        EXPECT_EQ(swatch.name, (i < 10 ? "0" : "") + std::to_string(i));
        ASSERT_TRUE(swatch.palette);
        EXPECT_EQ(*swatch.palette, test::paletteTableOf(test::knownPalette(static_cast<std::uint8_t>(i))))
            << i;
        EXPECT_EQ(&paletteFor(palettes, swatch, PaletteTable{}), &*swatch.palette);
        EXPECT_EQ(swatch.image.indices.at(17), 17); // 16 x 16, index i at pixel i
    }
    EXPECT_FALSE(isDoomPlaypal(Bytes(768 * 14 - 1)));

    const auto maps = test::patternBytes(34 * 256, 9);
    ASSERT_TRUE(isDoomColormap(maps));
    const auto colormap = onlyPicture(decodeDoomColormap(maps, "COLORMAP"));
    EXPECT_EQ(colormap.image.width, 256u);
    EXPECT_EQ(colormap.image.height, 34u);
    EXPECT_EQ(colormap.image.indices.at(33 * 256 + 5), maps.at(33 * 256 + 5)); // row r is map r
    EXPECT_FALSE(isDoomColormap(Bytes(34 * 256 + 1)));
}

// Patches P1 (2 x 2, opaque) and P2 (3 x 1, a see-through middle), a name whose lump is no picture
// and one with no lump at all.
class DoomTextures : public ::testing::Test {
  protected:
    void SetUp() override {
        lumps_["P1"] = test::doomPicture(2, 2, 0, 0, {{{0, {1, 3}}}, {{0, {2, 4}}}});
        lumps_["P2"] = test::doomPicture(3, 1, 0, 0, {{{0, {5}}}, {}, {{0, {6}}}});
        lumps_["BAD"] = test::bytesOf("not a picture");
    }
    PatchLookup lookup() {
        return [this](std::string_view name) -> std::optional<std::vector<std::uint8_t>> {
            ++lookups_[std::string(name)];
            const auto it = lumps_.find(std::string(name));
            if (it == lumps_.end()) return std::nullopt;
            return it->second;
        };
    }
    const Bytes pnames_ = test::patchNames({"P1", "P2", "GONE", "BAD", "p1"});
    const std::vector<test::Texture> textures_ = {
        {"CLIPPED", 4, 3, {{-1, -1, 0}, {3, 1, 0}, {1, 2, 1}}},
        {"FULL", 2, 2, {{0, 0, 0}, {0, 0, 2}, {0, 0, 7}}},
        {"BROKEN", 1, 1, {{0, 0, 3}, {0, 0, 4}}},
    };
    std::map<std::string, Bytes> lumps_;
    std::map<std::string, int> lookups_;
};

TEST_F(DoomTextures, PatchesAreComposedClippedAndTheMissingOnesNamed) {
    for (const bool strife : {false, true}) {
        SCOPED_TRACE(strife ? "Strife's layout" : "Doom's layout");
        lookups_.clear();
        const auto list = test::textureList(textures_, strife);
        ASSERT_TRUE(isDoomTextureList(list));
        ASSERT_TRUE(isDoomPatchNames(pnames_));
        const auto set = decodeDoomTextures(list, pnames_, lookup(), "TEXTURE1");
        ASSERT_EQ(set.pictures.size(), 3u);
        EXPECT_EQ(set.pictures[0].name, "CLIPPED");
        // P1 at (-1,-1) leaves its corner "4"; P1 at (3,1) is cut to "1" and "3", then P2's "6"
        // covers the "3" and its see-through middle leaves (2,2) empty.
        EXPECT_EQ(test::rowsOf(set.pictures[0]), (Rows{"4...", "...1", ".5.6"}));
        EXPECT_EQ(test::rowsOf(set.pictures[1]), (Rows{"12", "34"}));
        EXPECT_TRUE(set.pictures[1].alpha.empty());
        // "p1" names the patch P1 again, in another case.
        EXPECT_EQ(test::rowsOf(set.pictures[2]), (Rows{"1"}));
        ASSERT_EQ(set.notes.size(), 3u);
        EXPECT_EQ(set.notes[0], "texture FULL: patch GONE is missing");
        EXPECT_EQ(set.notes[1], "texture FULL: patch number 7 is not one of the 5 names of PNAMES");
        EXPECT_EQ(set.notes[2].rfind("texture BROKEN: patch BAD does not decode (patch BAD: ", 0), 0u)
            << set.notes[2];
        // Each patch is looked up and decoded once, however many textures use it, in any case.
        EXPECT_EQ(lookups_, (std::map<std::string, int>{{"BAD", 1}, {"GONE", 1}, {"P1", 1}, {"P2", 1}}));
    }
}

TEST_F(DoomTextures, PatchesPastTheListsBoundsAreLeftOutAndNamed) {
    const auto textures = parseDoomTextures(test::textureList(textures_), "TEXTURE1");
    std::vector<std::string> notes;
    // P1 (4 pixels) may be decoded, not P2 (3 more); 4 pixels may be drawn: P1's corner, then the
    // 2 of P1 at (3,1), then not the 3 of P2 at (1,2).
    DoomTextureComposer composer(parseDoomPatchNames(pnames_, "PNAMES"), lookup(), PatchBounds{5, 4});
    EXPECT_EQ(test::rowsOf(composer.compose(textures[0], notes)),
              (std::vector<std::string>{"4...", "...1", "...3"}));
    EXPECT_EQ(
        notes,
        (std::vector<std::string>{
            "texture CLIPPED: patch P2 is left out: its 3 pixels pass what the list may still decode (1)"}));
    notes.clear();
    EXPECT_EQ(test::rowsOf(composer.compose(textures[1], notes)), (std::vector<std::string>{"..", ".."}));
    EXPECT_EQ(
        notes.at(0),
        "texture FULL: patch P1 is left out: drawing its 4 pixels passes what the list may still draw (1)");
}

TEST_F(DoomTextures, DamagedListsAreRefusedNamingTheFault) {
    const auto list = test::textureList(textures_);
    auto patched = [&](Bytes bytes, std::size_t at, std::uint16_t value) {
        bytes.at(at) = static_cast<std::uint8_t>(value);
        bytes.at(at + 1) = static_cast<std::uint8_t>(value >> 8);
        return bytes;
    };
    const std::size_t first = 4 + 4 * 3; // the first record
    const std::vector<test::ContentFault> cases = {
        {"short", Bytes{1, 0}, "a count of 4 bytes"},
        {"negative_count", patched(list, 2, 0x8000), "textures cannot fit"},
        {"count_past_end", patched(list, 0, 900), "900 textures cannot fit in the lump"},
        {"record_outside", patched(list, 4, 9000),
         "texture 0 at offset 9000 lies outside the lump's textures"},
        {"record_in_table", patched(list, 8, 2), "texture 1 at offset 2 lies outside"},
        {"patches_past_end", patched(list, first + 20, 500),
         "texture 0: its 500 patches run past the end of the lump"},
        {"no_width", patched(list, first + 12, 0), "texture 0: 0 x 3 pixels"},
        {"too_many_pixels", test::textureList(std::vector<test::Texture>(5, {"BIG", 4096, 4096, {}})),
         "its textures add up to 83886080 pixels, more than the 67108864 a texture list may have"},
    };
    test::expectRefused(cases, isDoomTextureList, parseDoomTextures);

    const std::vector<test::ContentFault> names = {
        {"names_past_end", ByteBuilder().u32(3).name("P1", 8).bytes(), "3 names of 8 bytes cannot fit"},
        {"negative_names", ByteBuilder().i32(-1).bytes(), "-1 names"},
    };
    test::expectRefused(names, isDoomPatchNames, parseDoomPatchNames);
}

} // namespace
} // namespace vexa
