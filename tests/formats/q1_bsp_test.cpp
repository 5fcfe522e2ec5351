#include "app/listing.h"
#include "formats/Q1_Bsp.h"
#include "formats/texture_fixture.h"

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;

class Q1Bsp : public test::TextureContainers {};

TEST_F(Q1Bsp, StarsBecomeAnimatedInListedAndExtractedNames) {
    const struct {
        const char* stored; // the 16-byte name field
        const char* listed;
    } cases[] = {
        {"*water1", "animated_water1"},
        {"*lava*2", "animated_lavaanimated_2"},
        {"+0abc", "+0abc"},
        {"ABCDEFGHIJKLMNO*", "ABCDEFGHIJKLMNO"}, // the 16th byte is never looked at
        {"a.b", "a.b"},
    };
    std::vector<Bytes> textures;
    std::vector<std::string> listed;
    for (const auto& c : cases) {
        textures.push_back(
            test::mipTexture(c.stored, 4, 2, Bytes(8, static_cast<std::uint8_t>(textures.size()))));
        listed.push_back(c.listed);
    }
    const auto object = open(input("e1m1.bsp", test::bspFile(test::textureLump(textures))));
    EXPECT_EQ(object->EntryNames(), listed);
    EXPECT_EQ(extractAll(*object).statusText(), "Extraction  Complete");
    EXPECT_EQ(outputs(), (std::vector<std::string>{"+0abc.bmp", "ABCDEFGHIJKLMNO.bmp", "a.bmp",
                                                   "animated_lavaanimated_2.bmp", "animated_water1.bmp"}));
    EXPECT_EQ(output("animated_water1.bmp"), test::expectedBmp(4, 2, Bytes(8, 0), quake1Palette()));
}

TEST_F(Q1Bsp, LevelZeroIsReadAtTheTexturesOwnOffset) {
    const auto rows = test::patternBytes(64 * 64, 4);
    // Level 0 placed 20 bytes past the header, the gap filled with bytes that must not show.
    const auto moved = ByteBuilder()
                           .name("moved", 16)
                           .i32(64)
                           .i32(64)
                           .i32(60)
                           .zeros(12)
                           .raw(Bytes(20, 0xEE))
                           .raw(rows)
                           .raw(Bytes(1024 + 256 + 64, 0xEE))
                           .bytes();
    const auto plain = test::mipTexture("plain", 64, 64, rows);
    const auto object = open(input("m.bsp", test::bspFile(test::textureLump({moved, plain}))));
    extractAll(*object);
    EXPECT_EQ(output("moved.bmp"), test::expectedBmp(64, 64, rows, quake1Palette()));
    EXPECT_EQ(output("plain.bmp"), output("moved.bmp"));
    // The size shown is the texture's bytes in the map: its header and four levels.
    EXPECT_EQ(object->EntrySize(1), 40u + 4096 + 1024 + 256 + 64);
}

TEST_F(Q1Bsp, MapsWithoutTexturesListNothing) {
    // Count 0; a texture lump of length 0 whose offset points at another lump's bytes; only
    // textures the compiler marked absent (offset -1).
    ByteBuilder emptyLump;
    emptyLump.i32(29);
    for (int i = 0; i < 15; ++i)
        emptyLump.i32(124).i32(0);
    emptyLump.i32(0x7FFFFFFF).zeros(60);
    const struct {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"count_zero.bsp", test::bspFile(test::textureLump({}))},
        {"lump_length_zero.bsp", emptyLump.bytes()},
        {"all_absent.bsp", test::bspFile(test::textureLump({}, {-1, -1}))},
    };
    for (const auto& c : cases) {
        const auto object = open(input(c.name, c.bytes));
        EXPECT_EQ(object->EntryCount(), 0u) << c.name;
        EXPECT_EQ(statusLine(*object), (in_ / c.name).string() + "   Contains  0 files");
    }
}

TEST_F(Q1Bsp, AbsentTexturesAreLeftOutOfTheList) {
    const auto a = test::mipTexture("a", 2, 2, {1, 2, 3, 4}), b = test::mipTexture("b", 2, 2, {5, 6, 7, 8});
    const std::int32_t first = 4 + 4 * 3;
    const auto object = open(input(
        "m.bsp",
        test::bspFile(test::textureLump({a, b}, {first, -1, first + static_cast<std::int32_t>(a.size())}))));
    EXPECT_EQ(object->EntryNames(), (std::vector<std::string>{"a", "b"}));
    extractAll(*object);
    EXPECT_EQ(output("b.bmp"), test::expectedBmp(2, 2, {5, 6, 7, 8}, quake1Palette()));
}

TEST_F(Q1Bsp, ThePaletteIsLoadedWhenTheFileOpens) {
    ASSERT_TRUE(loadCurrent(input("other.pal", test::knownPalette(5))));
    const auto map = input("m.bsp", test::bspFile(test::textureLump({})));
    open(map);
    EXPECT_EQ(currentRgb(), quake1Palette());
    games_.set(Game::Quake1Bsp, in_ / "short.pal");
    test::writeFile(in_ / "short.pal", Bytes(700, 100));
    EXPECT_THROW(open(map), FormatError);
    EXPECT_EQ(currentRgb(), Bytes(768, 0)); // a palette that does not load leaves black
}

TEST_F(Q1Bsp, DamagedMapsAreRefusedWithTheFileAndTextureNamed) {
    auto header = [](std::int32_t lumpOffset, std::int32_t lumpLength) {
        ByteBuilder b;
        b.i32(29);
        for (int i = 0; i < 15; ++i)
            b.i32(i == 2 ? lumpOffset : 124).i32(i == 2 ? lumpLength : 0);
        return b;
    };
    auto oneTexture = [](const Bytes& texture) { return test::bspFile(test::textureLump({texture})); };
    auto texture = [](std::int32_t width, std::int32_t height, std::int32_t level0, std::size_t pixels) {
        return ByteBuilder()
            .name("bad", 16)
            .i32(width)
            .i32(height)
            .i32(level0)
            .zeros(12)
            .raw(Bytes(pixels, 1))
            .bytes();
    };
    const struct {
        const char* fault;
        Bytes bytes;
        std::string mentions;
    } cases[] = {
        {"too_small.bsp", ByteBuilder().i32(29).zeros(100).bytes(), "header"},
        {"negative_lump_offset.bsp", header(-4, 8).zeros(8).bytes(), "-4"},
        {"lump_past_end.bsp", header(4000, 8).zeros(8).bytes(), "4000"},
        {"negative_texture_count.bsp", header(124, 8).i32(-3).zeros(4).bytes(), "-3"},
        {"texture_count_too_large.bsp", header(124, 8).i32(0x7FFFFFFF).zeros(16).bytes(), "2147483647"},
        {"texture_offset_negative.bsp", header(124, 8).i32(1).i32(-2).zeros(40).bytes(), "texture 0"},
        {"texture_offset_past_end.bsp", header(124, 8).i32(2).i32(12).i32(0x7FFFFFF0).bytes(), "texture 0"},
        {"texture_header_cut_short.bsp", header(124, 8).i32(1).i32(8).zeros(39).bytes(), "texture 0"},
        {"texture_width_zero.bsp", oneTexture(texture(0, 4, 40, 0)), "'bad'"},
        {"texture_height_negative.bsp", oneTexture(texture(4, -4, 40, 16)), "'bad'"},
        {"texture_size_overflows.bsp", oneTexture(texture(0x7FFFFFFF, 0x7FFFFFFF, 40, 64)), "'bad'"},
        {"texture_too_large.bsp", oneTexture(texture(16385, 1, 40, 16385)), "'bad'"},
        {"level0_inside_header.bsp", oneTexture(texture(2, 2, 0, 4)), "'bad'"},
        {"level0_negative.bsp", oneTexture(texture(2, 2, -40, 4)), "'bad'"},
        {"level0_past_end.bsp", oneTexture(texture(2, 2, 0x7FFFFFFF, 4)), "'bad'"},
        {"pixels_past_end.bsp", oneTexture(texture(64, 64, 40, 4095)), "'bad'"},
    };
    for (const auto& c : cases)
        expectRefused(ContainerType::Q1Bsp, c.fault, c.bytes, c.mentions);
}

} // namespace
} // namespace vexa
