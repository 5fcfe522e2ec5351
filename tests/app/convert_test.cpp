// Extraction that converts: each entry a content kind decodes is written as what it holds, named as
// the list shows it with the output's extension; the others as they are; one that does not decode
// costs only itself, written as stored.

#include "app/extract.h"
#include "app/kinds.h"
#include "formats/content.h"
#include "images/content_builders.h"
#include "images/image_builders.h"
#include "images/png_decode.h"
#include "media/media_builders.h"
#include "support/container_builders.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::TempDir;

struct Lump {
    std::string name;
    Bytes data;
};

Bytes doomWad(const std::vector<Lump>& lumps) {
    test::NamedBytes named;
    for (const auto& lump : lumps)
        named.emplace_back(lump.name, lump.data);
    return test::doomWadOf(named);
}

// A WAD of every Doom content kind, a lump that does not decode (a texture list without its PNAMES
// in the second WAD) and lumps that stay data.
struct Fixture {
    TempDir dir;
    Bytes palette = test::knownPalette(7);
    Bytes sprite = test::doomPicture(3, 4, -1, 2, {{{0, {1, 2}}}, {}, {{1, {3}}, {3, {4}}}});
    Bytes patch = test::doomPicture(2, 2, 0, 0, {{{0, {5, 6}}}, {{0, {7, 8}}}});
    fs::path wad = dir / "doom.wad";
    Fixture(bool withPatchNames = true) {
        std::vector<Lump> lumps = {
            {"PLAYPAL", palette},
            {"COLORMAP", test::patternBytes(34 * 256, 1)},
            {"ENDOOM", test::endoomScreen({{0, test::bytesOf("Bye")}})},
            {"DSPISTOL", test::dmxSound(11025, test::patternBytes(40, 3))},
            {"S_START", {}},
            {"TROOA1", sprite},
            {"S_END", {}},
            {"F_START", {}},
            {"FLAT1", test::patternBytes(4096, 2)},
            {"F_END", {}},
            {"WALLPAT", patch},
            {"TEXTURE1", test::textureList({{"WALL", 4, 2, {{0, 0, 0}, {2, 0, 0}}}})},
            {"DEMO1", Bytes{1, 0, 9}},
        };
        if (withPatchNames) lumps.push_back({"PNAMES", test::patchNames({"WALLPAT"})});
        test::writeFile(wad, doomWad(lumps));
    }
    ExtractionResult extract(PictureFormat format = PictureFormat::Png) const {
        const auto opened = openContainer(wad);
        ExtractionOptions options;
        options.convert = true;
        options.container = opened.kind->code;
        options.pictures = format;
        std::vector<std::size_t> rows(opened.reader->EntryCount());
        for (std::size_t i = 0; i < rows.size(); ++i)
            rows[i] = i;
        Palette current;
        fs::create_directories(dir / "out");
        return extractRows(*opened.reader, dir / "out", rows, options, current);
    }
};

TEST(ConvertingExtraction, EachKindIsWrittenAsWhatItHolds) {
    Fixture f;
    const auto result = f.extract();
    EXPECT_TRUE(result.complete()) << result.refusalText();
    EXPECT_EQ(test::namesIn(f.dir / "out"),
              (std::vector<std::string>{"COLORMAP.png", "DEMO1", "DSPISTOL.wav", "ENDOOM.txt", "FLAT1.png",
                                        "F_END", "F_START", "PLAYPAL", "PLAYPAL.pal", "PNAMES", "S_END",
                                        "S_START", "TEXTURE1", "TROOA1.png", "WALLPAT.png"}));
    EXPECT_EQ(test::namesIn(f.dir / "out" / "PLAYPAL"), (std::vector<std::string>{"00.png"}));
    EXPECT_EQ(test::readFile(f.dir / "out" / "PLAYPAL.pal"), f.palette);
    EXPECT_EQ(test::namesIn(f.dir / "out" / "TEXTURE1"), (std::vector<std::string>{"WALL.png"}));
    EXPECT_EQ(test::readFile(f.dir / "out" / "DEMO1"), (Bytes{1, 0, 9}));

    // The sprite: its offsets in grAb, painted with the WAD's own PLAYPAL, see-through where no post is.
    const auto png = test::decodePng(f.dir / "out" / "TROOA1.png");
    ASSERT_TRUE(png.ok);
    EXPECT_TRUE(png.grab);
    EXPECT_EQ(png.grabX, -1);
    EXPECT_EQ(png.grabY, 2);
    EXPECT_TRUE(png.transparency);
    EXPECT_EQ(Bytes(png.palette.begin(), png.palette.begin() + 6),
              Bytes(f.palette.begin(), f.palette.begin() + 6));
    // The texture: both patches side by side.
    const auto wall = test::decodePng(f.dir / "out" / "TEXTURE1" / "WALL.png");
    ASSERT_TRUE(wall.ok);
    EXPECT_EQ(wall.width, 4u);
    EXPECT_EQ(wall.indices, (Bytes{5, 7, 5, 7, 6, 8, 6, 8}));
}

TEST(ConvertingExtraction, AnEntryThatDoesNotDecodeIsWrittenAsStoredAndSaidSo) {
    Fixture f(false); // no PNAMES: the texture list cannot be composed
    const auto result = f.extract(PictureFormat::Bmp);
    ASSERT_EQ(result.notConverted.size(), 1u);
    EXPECT_EQ(result.notConverted[0].name, "TEXTURE1");
    EXPECT_NE(result.notConverted[0].reason.find("PNAMES"), std::string::npos)
        << result.notConverted[0].reason;
    EXPECT_EQ(result.statusText(), "Extraction ended: 13 written, 1 not converted");
    EXPECT_TRUE(fs::is_regular_file(f.dir / "out" / "TEXTURE1"));
    EXPECT_TRUE(fs::is_regular_file(f.dir / "out" / "TROOA1.bmp"));
}

// Names the conversion makes equal are numbered, as repeats are: no two entries go to one file.
TEST(ConvertingExtraction, ConvertedNamesThatMeetAreNumbered) {
    TempDir dir;
    const auto pak = dir / "p.pak";
    const auto picture = test::quakePicture(2, 1, Bytes{1, 2});
    ByteBuilder data;
    const auto palette = test::knownPalette(4);
    const std::vector<std::pair<std::string, Bytes>> entries = {{"gfx/a.lmp", picture},
                                                                {"gfx/a.png", test::bytesOf("not a picture")},
                                                                {"gfx/b.lmp", Bytes{0}},
                                                                {"gfx/palette.lmp", palette}};
    ByteBuilder directory;
    std::uint32_t at = 12;
    for (const auto& [name, bytes] : entries) {
        directory.name(name, 56).u32(at).u32(static_cast<std::uint32_t>(bytes.size()));
        data.raw(bytes);
        at += static_cast<std::uint32_t>(bytes.size());
    }
    test::writeFile(pak, ByteBuilder()
                             .raw("PACK")
                             .u32(at)
                             .u32(static_cast<std::uint32_t>(64 * entries.size()))
                             .raw(data.bytes())
                             .raw(directory.bytes())
                             .bytes());
    const auto opened = openContainer(pak);
    const auto kinds = classifyEntries(*opened.reader, opened.kind->code);
    ASSERT_EQ(kinds.size(), 4u);
    EXPECT_EQ(contentWord(kinds[0]->content), "picture");
    EXPECT_EQ(kinds[2], nullptr); // a .lmp whose header is no picture's is data
    EXPECT_EQ(contentWord(kinds[3]->content), "palette");
    ExtractionOptions options;
    options.convert = true;
    options.container = opened.kind->code;
    options.pictures = PictureFormat::Png;
    fs::create_directories(dir / "out");
    const auto result = extractRows(*opened.reader, dir / "out", {0, 1, 2}, options);
    EXPECT_TRUE(result.complete()) << result.refusalText();
    EXPECT_EQ(test::namesIn(dir / "out" / "gfx"), (std::vector<std::string>{"a.png", "a_1.png", "b.lmp"}));
    EXPECT_EQ(test::readFile(dir / "out" / "gfx" / "a_1.png"), test::bytesOf("not a picture"));
    // Painted with the PAK's own gfx\palette.lmp.
    const auto png = test::decodePng(dir / "out" / "gfx" / "a.png");
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(Bytes(png.palette.begin(), png.palette.begin() + 9),
              Bytes(palette.begin(), palette.begin() + 9));
}

} // namespace
} // namespace vexa
