#include "app/listing.h"
#include "formats/HL_WAD3.h"
#include "formats/texture_fixture.h"

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::Lump;

class HLWad3 : public test::TextureContainers {};

// c colours of red, green, blue, all 64 or more (so nothing could pass for 6-bit).
Bytes lumpColours(std::size_t c, std::uint8_t seed) {
    Bytes rgb;
    for (std::size_t i = 0; i < c; ++i)
        rgb.insert(rgb.end(), {static_cast<std::uint8_t>(200 - i % 100), static_cast<std::uint8_t>(seed),
                               static_cast<std::uint8_t>(64 + i % 150)});
    return rgb;
}

TEST_F(HLWad3, ListsLumpsWithTheirSizesOnDisk) {
    const auto wad = input("t.wad", test::wadFile("WAD3", {{"{BLUE", 0x43, Bytes(100, 1)},
                                                           {"SIXTEEN_BYTES_XY", 0x42, Bytes(7, 2)},
                                                           {"FONT", 0x46, Bytes(0)},
                                                           {"a.b", 0x42, Bytes(3, 3)}}));
    const auto object = open(wad);
    EXPECT_EQ(object->EntryNames(), (std::vector<std::string>{"{BLUE", "SIXTEEN_BYTES_X", "FONT", "a.b"}));
    const std::uint64_t sizes[] = {100, 7, 0, 3};
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(object->EntrySize(i), sizes[i]) << i;
    EXPECT_EQ(statusLine(*object), wad.string() + "   Contains  4 files");

    EXPECT_EQ(open(input("e.wad", test::wadFile("WAD3", {})))->EntryCount(), 0u);
}

TEST_F(HLWad3, MipTextureLevelZeroWithItsOwnColours) {
    const auto rows = test::patternBytes(64 * 64, 5);
    const auto colours = lumpColours(256, 90);
    const auto lump = test::wad3MipTexture("{BLUE", 64, 64, rows, colours);
    // The colour count sits after the header and all four levels.
    ASSERT_EQ(lump[40 + 4096 + 1024 + 256 + 64], 0);
    ASSERT_EQ(lump[40 + 4096 + 1024 + 256 + 64 + 1], 1);

    const auto object = open(input("t.wad", test::wadFile("WAD3", {{"{BLUE", 0x43, lump}})));
    EXPECT_EQ(extractAll(*object).statusText(), "Extraction  Complete");
    EXPECT_EQ(outputs(), (std::vector<std::string>{"{BLUE.bmp"}));
    EXPECT_EQ(output("{BLUE.bmp"), test::expectedBmp(64, 64, rows, colours));
    // The lump's colours stay in the current palette after the conversion.
    EXPECT_EQ(currentRgb(), colours);
}

TEST_F(HLWad3, FewerThan256ColoursReplaceOnlyTheFirstEntries) {
    const auto before = test::knownPalette(7);
    ASSERT_TRUE(loadCurrent(input("before.pal", before)));
    const auto rows = test::patternBytes(5 * 3, 9);
    const auto sixteen = lumpColours(16, 70);
    const auto object =
        open(input("t.wad", test::wadFile("WAD3", {{"pic", 0x42, test::wad3Picture(5, 3, rows, sixteen)},
                                                   {"none", 0x42, test::wad3Picture(2, 1, {4, 5}, {})}})));
    extractAll(*object);

    auto expected = before;
    std::copy(sixteen.begin(), sixteen.end(), expected.begin());
    EXPECT_EQ(output("pic.bmp"), test::expectedBmp(5, 3, rows, expected));
    // No colours of its own: the palette the previous lump left is used as it stands.
    EXPECT_EQ(output("none.bmp"), test::expectedBmp(2, 1, {4, 5}, expected));
    EXPECT_EQ(currentRgb(), expected);
}

TEST_F(HLWad3, OnlyPicturesAndMipTexturesGiveFilesNamedAfterTheLump) {
    const auto colours = lumpColours(256, 1);
    const auto object = open(
        input("t.wad", test::wadFile("WAD3", {{"a.b", 0x42, test::wad3Picture(1, 1, {1}, colours)},
                                              {"font", 0x46, Bytes(600, 0xFF)},
                                              {"pal", 0x40, Bytes(768, 9)},
                                              {"qpic", 0x44, Bytes(48, 0xFF)},
                                              {"SIXTEEN_BYTES_XY", 0x43,
                                               test::wad3MipTexture("x", 8, 8, Bytes(64, 2), colours)}})));
    const auto result = extractAll(*object);
    EXPECT_EQ(result.statusText(), "Extraction  Complete");
    EXPECT_EQ(outputs(), (std::vector<std::string>{"SIXTEEN_BYTES_X.bmp", "a.bmp"}));
    EXPECT_EQ(output("a.bmp"), test::expectedBmp(1, 1, {1}, colours));
}

TEST_F(HLWad3, DamagedFilesAreRefusedWithTheFileAndEntryNamed) {
    const auto colours = lumpColours(256, 1);
    auto header = [](std::int32_t count, std::int32_t dirOffset) {
        return ByteBuilder().raw("WAD3").i32(count).i32(dirOffset);
    };
    auto record = [](ByteBuilder b, std::int32_t offset, std::int32_t size, std::uint8_t type) {
        return b.i32(offset).i32(size).i32(size).u8(type).zeros(3).name("bad", 16).bytes();
    };
    // One lump that ends the file, so nothing after it can stand in for missing bytes.
    auto ending = [](std::uint8_t type, const Bytes& data) {
        return test::wadFile("WAD3", {{"bad", type, data}}, true);
    };
    auto mipWithCount = [&](std::uint16_t count) {
        return ByteBuilder().raw(test::mipTexture("bad", 4, 4, Bytes(16, 1))).u16(count).raw(colours).bytes();
    };
    const struct {
        const char* fault;
        Bytes bytes;
        std::string mentions;
    } cases[] = {
        {"too_small.wad", test::bytesOf("WAD3\x01"), "header"},
        {"negative_count.wad", header(-1, 12).bytes(), "-1"},
        {"count_too_large.wad", header(0x7FFFFFFF, 12).zeros(64).bytes(), "2147483647"},
        {"negative_directory_offset.wad", header(1, -32).zeros(32).bytes(), "-32"},
        {"directory_past_end.wad", header(1, 5000).zeros(32).bytes(), "5000"},
        {"directory_cut_short.wad", header(2, 12).zeros(40).bytes(), "2 lump"},
        {"negative_lump_size.wad", record(header(1, 12), 0, -5, 0x42), "'bad'"},
        {"lump_out_of_bounds.wad", record(header(1, 12), 4, 100, 0x42), "'bad'"},
        {"lump_size_overflows.wad", record(header(1, 12), 4, 0x7FFFFFFF, 0x42), "'bad'"},
        {"picture_header_past_end.wad", ending(0x42, Bytes(4, 1)), "'bad'"},
        {"picture_width_zero.wad", ending(0x42, test::wad3Picture(0, 4, {}, colours)), "'bad'"},
        {"picture_negative_height.wad", ending(0x42, test::wad3Picture(4, -4, {}, colours)), "'bad'"},
        {"picture_size_overflows.wad", ending(0x42, test::plainPicture(0x7FFFFFFF, 0x7FFFFFFF, Bytes(64, 1))),
         "'bad'"},
        {"picture_too_large.wad", ending(0x42, test::plainPicture(20000, 1, Bytes(20000, 1))), "'bad'"},
        {"pixels_past_end.wad", ending(0x42, test::plainPicture(64, 64, Bytes(100, 1))), "'bad'"},
        {"colour_count_missing.wad", ending(0x42, test::plainPicture(4, 4, Bytes(16, 1))), "colour count"},
        {"colour_count_above_256.wad",
         ending(
             0x42,
             ByteBuilder().raw(test::plainPicture(1, 1, {1})).u16(257).raw(colours).raw(Bytes(3, 0)).bytes()),
         "257"},
        {"palette_past_end.wad",
         ending(0x42, ByteBuilder().raw(test::plainPicture(1, 1, {1})).u16(256).raw(Bytes(100, 70)).bytes()),
         "palette"},
        {"mip_header_past_end.wad", ending(0x43, Bytes(30, 1)), "texture header"},
        {"mip_levels_past_end.wad",
         ending(0x43, ByteBuilder().name("bad", 16).i32(8).i32(8).zeros(16).raw(Bytes(64, 1)).bytes()),
         "colour count"},
        {"mip_colour_count_above_256.wad", ending(0x43, mipWithCount(0xFFFF)), "65535"},
        {"mip_size_overflows.wad",
         ending(0x43, ByteBuilder().name("bad", 16).i32(1 << 30).i32(1 << 30).zeros(16).bytes()), "'bad'"},
    };
    const auto before = test::knownPalette(3);
    for (const auto& c : cases) {
        ASSERT_TRUE(loadCurrent(input("before.pal", before)));
        expectRefused(ContainerType::HLWad3, c.fault, c.bytes, c.mentions);
        // A refused lump leaves the current palette as it was.
        EXPECT_EQ(currentRgb(), before) << c.fault;
    }
}

TEST_F(HLWad3, APictureNeverReplacesTheContainerBeingRead) {
    // A WAD named like the picture of one of its lumps, extracted into its own folder.
    const auto wad =
        input("pic.bmp", test::wadFile("WAD3", {{"pic", 0x42, test::wad3Picture(1, 1, {1}, {})}}));
    const auto before = test::readFile(wad);
    TWadReader object;
    object.ReadDirectory(openFileBytes(wad));
    const auto r = vexa::extractRows(object, wad.parent_path(), {0});
    ASSERT_EQ(r.refused.size(), 1u);
    EXPECT_EQ(r.refused[0].reason, "it would overwrite the container being read");
    EXPECT_EQ(test::readFile(wad), before);
}

} // namespace
} // namespace vexa
