#include "app/listing.h"
#include "formats/Q1_Wad2.h"
#include "formats/texture_fixture.h"

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;

class Q1Wad2 : public test::TextureContainers {};

TEST_F(Q1Wad2, PlainPicturesConvertWithTheQuakePalette) {
    const auto bar = test::patternBytes(320 * 24, 8);
    const auto odd = test::patternBytes(5 * 3, 9);
    const auto wad =
        input("gfx.wad", test::wadFile("WAD2", {{"bar1", 0x42, test::plainPicture(320, 24, bar)},
                                                {"a.b", 0x42, test::plainPicture(5, 3, odd)},
                                                {"SIXTEEN_BYTES_XY", 0x42, test::plainPicture(1, 1, {7})}}));
    const auto object = open(wad);
    EXPECT_EQ(object->EntryNames(), (std::vector<std::string>{"bar1", "a.b", "SIXTEEN_BYTES_X"}));
    EXPECT_EQ(object->EntrySize(0), 8u + 320 * 24);
    EXPECT_EQ(statusLine(*object), wad.string() + "   Contains  3 files");

    EXPECT_EQ(extractAll(*object).statusText(), "Extraction  Complete");
    EXPECT_EQ(outputs(), (std::vector<std::string>{"SIXTEEN_BYTES_X.bmp", "a.bmp", "bar1.bmp"}));
    EXPECT_EQ(output("bar1.bmp"), test::expectedBmp(320, 24, bar, quake1Palette()));
    EXPECT_EQ(output("a.bmp"), test::expectedBmp(5, 3, odd, quake1Palette()));
    EXPECT_EQ(output("SIXTEEN_BYTES_X.bmp"), test::expectedBmp(1, 1, {7}, quake1Palette()));
}

// A texture WAD: each mip texture gives level 0; gfx.wad's CONCHARS, typed as a mip texture but
// stored as 128 x 128 pixels with no header, gives that picture.
TEST_F(Q1Wad2, MipTexturesAndTheRawConsoleFontConvertWithTheQuakePalette) {
    const auto wall = test::patternBytes(16 * 8, 3), sky = test::patternBytes(32 * 16, 4);
    auto font = test::patternBytes(128 * 128, 5);
    std::fill_n(font.begin(), 40, 0); // the first rows of a font are blank: no header can be read there
    auto bigFont = font;
    std::copy_n(test::mipTexture("x", 64, 64, {}).begin(), 40,
                bigFont.begin()); // 40 + 64 * 64 fits: a texture
    const auto object =
        open(input("tex.wad", test::wadFile("WAD2", {{"wall", 0x44, test::mipTexture("wall", 16, 8, wall)},
                                                     {"sky4", 0x44, test::mipTexture("sky4", 32, 16, sky)},
                                                     {"CONCHARS", 0x44, font},
                                                     {"fontlike", 0x44, bigFont}})));
    EXPECT_EQ(extractAll(*object).statusText(), "Extraction  Complete");
    EXPECT_EQ(outputs(), (std::vector<std::string>{"CONCHARS.bmp", "fontlike.bmp", "sky4.bmp", "wall.bmp"}));
    EXPECT_EQ(output("wall.bmp"), test::expectedBmp(16, 8, wall, quake1Palette()));
    EXPECT_EQ(output("sky4.bmp"), test::expectedBmp(32, 16, sky, quake1Palette()));
    EXPECT_EQ(output("CONCHARS.bmp"), test::expectedBmp(128, 128, font, quake1Palette()));
    EXPECT_EQ(output("fontlike.bmp"),
              test::expectedBmp(64, 64, Bytes(bigFont.begin() + 40, bigFont.begin() + 40 + 64 * 64),
                                quake1Palette()));
}

TEST_F(Q1Wad2, RawExtractionWritesEachLumpAsStoredUnderItsRow) {
    const auto wall = test::mipTexture("wall", 8, 8, Bytes(64, 1));
    const auto pic = test::plainPicture(2, 2, {1, 2, 3, 4});
    const auto object = open(input(
        "t.wad", test::wadFile(
                     "WAD2", {{"wall", 0x44, wall}, {"palette", 0x40, Bytes(768, 9)}, {"wall", 0x42, pic}})));
    ExtractionOptions options;
    options.raw = true;
    EXPECT_EQ(vexa::extractRows(*object, out_.path(), {0, 1, 2}, options).statusText(),
              "Extraction  Complete");
    EXPECT_EQ(outputs(), (std::vector<std::string>{"palette", "wall", "wall_1"}));
    EXPECT_EQ(output("wall"), wall);
    EXPECT_EQ(output("palette"), Bytes(768, 9));
    EXPECT_EQ(output("wall_1"), pic);
}

TEST_F(Q1Wad2, OtherLumpsAreListedButGiveNothing) {
    const auto object = open(input("t.wad", test::wadFile("WAD2", {{"palette", 0x40, Bytes(768, 0x42)},
                                                                   {"conchars", 0x43, Bytes(64, 0x42)},
                                                                   {"empty", 0x00, Bytes(0)}})));
    EXPECT_EQ(object->EntryCount(), 3u);
    EXPECT_EQ(extractAll(*object).statusText(), "Extraction  Complete");
    EXPECT_TRUE(outputs().empty());
    EXPECT_EQ(open(input("e.wad", test::wadFile("WAD2", {})))->EntryCount(), 0u);
}

TEST_F(Q1Wad2, ThePaletteIsLoadedWhenTheFileOpensAndUsedAsItStandsAtConversion) {
    const auto object =
        open(input("t.wad", test::wadFile("WAD2", {{"p", 0x42, test::plainPicture(2, 1, {1, 2})}})));
    EXPECT_EQ(currentRgb(), quake1Palette());
    // Another palette shown on the Palettes page in between is the one the picture gets.
    const auto other = test::knownPalette(99);
    ASSERT_TRUE(loadCurrent(input("other.pal", other)));
    extractRows(*object, {0});
    EXPECT_EQ(output("p.bmp"), test::expectedBmp(2, 1, {1, 2}, other));

    games_.set(Game::Quake1Bsp, in_ / "gone.pal");
    try {
        open(input("t.wad", test::wadFile("WAD2", {})));
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Cannot open file " + (in_ / "gone.pal").string() + ": No such file or directory");
    }
}

TEST_F(Q1Wad2, DamagedFilesAreRefusedWithTheFileAndEntryNamed) {
    auto header = [](std::int32_t count, std::int32_t dirOffset) {
        return ByteBuilder().raw("WAD2").i32(count).i32(dirOffset);
    };
    auto record = [](ByteBuilder b, std::int32_t offset, std::int32_t size) {
        return b.i32(offset).i32(size).i32(size).u8(0x42).zeros(3).name("bad", 16).bytes();
    };
    auto ending = [](const Bytes& data) { return test::wadFile("WAD2", {{"bad", 0x42, data}}, true); };
    const struct {
        const char* fault;
        Bytes bytes;
        std::string mentions;
    } cases[] = {
        {"too_small.wad", test::bytesOf("WAD2"), "header"},
        {"negative_count.wad", header(-7, 12).bytes(), "-7"},
        {"count_too_large.wad", header(0x7FFFFFFF, 12).zeros(64).bytes(), "2147483647"},
        {"negative_directory_offset.wad", header(1, -1).zeros(32).bytes(), "-1"},
        {"directory_past_end.wad", header(1, 0x7FFFFFFF).bytes(), "2147483647"},
        {"negative_lump_offset.wad", record(header(1, 12), -12, 4), "'bad'"},
        {"lump_out_of_bounds.wad", record(header(1, 12), 40, 8), "'bad'"},
        {"picture_header_past_end.wad", ending(Bytes(7, 1)), "'bad'"},
        {"picture_width_negative.wad", ending(test::plainPicture(-2, 2, Bytes(4, 1))), "'bad'"},
        {"picture_height_zero.wad", ending(test::plainPicture(2, 0, {})), "'bad'"},
        {"picture_size_overflows.wad", ending(test::plainPicture(65536, 65536, Bytes(16, 1))), "'bad'"},
        {"pixels_past_end.wad", ending(test::plainPicture(320, 24, Bytes(320 * 24 - 1, 1))), "'bad'"},
    };
    for (const auto& c : cases)
        expectRefused(ContainerType::Q1Wad2, c.fault, c.bytes, c.mentions);
}

} // namespace
} // namespace vexa
