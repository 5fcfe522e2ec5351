// Editing Quake WAD2 and Half-Life WAD3 files as the other containers are edited: pictures become
// mip textures, the other lumps keep their bytes and types, and converting between the two maps the
// textures onto the target's palette. Results are read back by a hand parse of the directory.

#include "app/container_edit.h"
#include "app/kinds.h"
#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "formats/HL_WAD3.h"
#include "formats/Q1_Wad2.h"
#include "formats/texture_builders.h"
#include "images/image_builders.h"
#include "images/picture_builders.h"

#include <gtest/gtest.h>

#include <functional>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::Lump;
using test::Rgb;
using test::TempDir;

// One record of a WAD directory, as a hand parse reads it.
struct ParsedLump {
    std::string name;
    std::uint8_t type = 0;
    Bytes bytes;
};

std::vector<ParsedLump> parseWad(const fs::path& path, std::string* magic = nullptr) {
    const auto file = test::readFile(path);
    const ByteReader head(file, "wad");
    if (magic) *magic = std::string(file.begin(), file.begin() + 4);
    const auto count = head.u32(4), directory = head.u32(8);
    std::vector<ParsedLump> out;
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto at = directory + 32 * i;
        const auto offset = head.u32(at), size = head.u32(at + 4);
        EXPECT_EQ(head.u32(at + 8), size) << "size in memory of lump " << i;
        EXPECT_LE(std::uint64_t{offset} + size, file.size()) << "lump " << i;
        ParsedLump lump;
        lump.name = head.fixedName(at + 16, 16, 16);
        lump.type = file[at + 12];
        lump.bytes.assign(file.begin() + offset, file.begin() + offset + size);
        out.push_back(std::move(lump));
    }
    return out;
}

Bytes someIndices(std::size_t n, std::uint8_t seed, std::uint8_t top) {
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::uint8_t>((i * 5 + seed) % (std::size_t{top} + 1));
    return out;
}

class TextureWadEdit : public ::testing::Test {
  protected:
    void SetUp() override {
        quakePalette_ = test::knownPalette(40);
        const auto file = dir_ / "quake.pal";
        test::writeFile(file, quakePalette_);
        options_.palettes.set(Game::Quake1Bsp, file);
    }

    std::vector<Rgb> quakeColours() const { return test::coloursOf(quakePalette_); }

    ContainerEdit open(const fs::path& path, ContainerType code) const {
        auto reader = CreateContainerObject(code);
        reader->ReadDirectory(openFileBytes(path));
        ContainerEdit edit(std::shared_ptr<const ContainerReader>(std::move(reader)), code);
        edit.setImportOptions(options_);
        return edit;
    }

    // A Quake gfx.wad in small: a palette, a plain picture and a mip texture.
    fs::path quakeWad() {
        const auto path = dir_ / "gfx.wad";
        texture_ = test::mipTexture("brick", 16, 16, someIndices(256, 3, 200));
        picture_ = test::plainPicture(4, 2, someIndices(8, 9, 200));
        test::writeFile(path, test::wadFile("WAD2", {{"PALETTE", 0x40, quakePalette_},
                                                     {"pic", 0x42, picture_},
                                                     {"brick", 0x44, texture_}}));
        return path;
    }

    TempDir dir_;
    ImportOptions options_;
    Bytes quakePalette_, texture_, picture_;
};

TEST_F(TextureWadEdit, AddedPicturesBecomeMipTexturesAndKeptLumpsKeepTheirBytes) {
    struct Case {
        ContainerType code;
        const char* magic;
        std::uint8_t textureType;
    };
    for (const auto& c :
         {Case{ContainerType::Q1Wad2, "WAD2", 0x44}, Case{ContainerType::HLWad3, "WAD3", 0x43}}) {
        SCOPED_TRACE(c.magic);
        const auto path = dir_ / (std::string(c.magic) + ".wad");
        const auto kept = test::wad3MipTexture("old", 16, 16, someIndices(256, 1, 3), test::knownPalette(5));
        test::writeFile(path,
                        test::wadFile(c.magic, {{"old", c.textureType, kept}, {"font", 0x46, Bytes(40, 7)}}));
        const auto indices = someIndices(32 * 16, 7, 200);
        const auto picture = dir_ / "Wall_1.bmp";
        test::writeFile(picture, test::indexedBmp(32, 16, indices, quakeColours()));

        auto edit = open(path, c.code);
        edit.add(picture);
        edit.save(nullptr);

        std::string magic;
        const auto lumps = parseWad(path, &magic);
        EXPECT_EQ(magic, c.magic);
        ASSERT_EQ(lumps.size(), 3u);
        EXPECT_EQ(lumps[0].bytes, kept);
        EXPECT_EQ(lumps[1].type, 0x46);
        EXPECT_EQ(lumps[1].bytes, Bytes(40, 7));
        EXPECT_EQ(lumps[2].name, "Wall_1"); // the file name without its extension
        EXPECT_EQ(lumps[2].type, c.textureType);
        const ByteReader texture(lumps[2].bytes, "texture");
        EXPECT_EQ(texture.fixedName(0, 16, 16), "Wall_1");
        EXPECT_EQ(texture.u32(16), 32u);
        EXPECT_EQ(texture.u32(20), 16u);

        // The program's own reader paints it with the picture's colours.
        const auto image = c.code == ContainerType::Q1Wad2 ? [&] {
            TQuakeWadReader r;
            r.ReadDirectory(openFileBytes(path));
            return r.DecodePictures(2);
        }()
                                                           : [&] {
                                                                 TWadReader r;
                                                                 r.ReadDirectory(openFileBytes(path));
                                                                 return r.DecodePictures(2);
                                                             }();
        const auto& level0 = image.pictures.at(0).image;
        const auto colours =
            c.code == ContainerType::Q1Wad2 ? quakeColours() : test::coloursOf(image.palette.colours);
        std::size_t wrong = 0;
        for (std::size_t p = 0; p < indices.size(); ++p)
            wrong += colours.at(level0.indices[p]) != quakeColours()[indices[p]];
        EXPECT_EQ(wrong, 0u);
    }
}

TEST_F(TextureWadEdit, RenameRemoveAndRefusals) {
    const auto path = quakeWad();
    const auto picture = dir_ / "thing.png";
    test::writeRgbaPng(picture, 16, 16, Bytes(16 * 16 * 4, 200));
    const auto notPicture = dir_ / "notes.txt";
    test::writeFile(notPicture, Bytes(5, 'x'));

    struct Refusal {
        const char* what;
        std::function<void(ContainerEdit&)> edit;
        const char* message;
    };
    const Refusal refusals[] = {
        {"a file that is not a picture", [&](ContainerEdit& e) { e.add(notPicture); }, "only PNG and BMP"},
        {"a name longer than 15 bytes", [&](ContainerEdit& e) { e.add(picture, "a_name_of_16_byt"); }, "16"},
        {"a rename onto another lump's name in other letter case",
         [&](ContainerEdit& e) { e.rename(1, "Brick"); }, "the entry 'brick' is there"},
        {"a side that is no multiple of 16",
         [&](ContainerEdit& e) {
             const auto odd = dir_ / "odd.png";
             test::writeRgbaPng(odd, 20, 16, Bytes(20 * 16 * 4, 9));
             e.add(odd);
         },
         "16"},
    };
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.what);
        auto edit = open(path, ContainerType::Q1Wad2);
        try {
            r.edit(edit);
            ADD_FAILURE() << "not refused";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(r.message), std::string::npos) << e.what();
        }
        EXPECT_FALSE(edit.modified());
    }

    {
        // WAD names ignore letter case: a picture added as BRICK takes the place of brick.
        auto replaced = open(path, ContainerType::Q1Wad2);
        const auto rows = replaced.rowCount();
        replaced.add(picture, "BRICK");
        EXPECT_EQ(replaced.rowCount(), rows);
    }
    auto edit = open(path, ContainerType::Q1Wad2);
    edit.rename(*edit.find("brick"), "brick.old"); // an ending is no type: the lump stays a texture
    edit.remove({*edit.find("PALETTE")});
    edit.save(nullptr, ContainerEdit::Writing::WholeFile);
    const auto lumps = parseWad(path);
    ASSERT_EQ(lumps.size(), 2u);
    EXPECT_EQ(lumps[0].name, "pic");
    EXPECT_EQ(lumps[0].type, 0x42);
    EXPECT_EQ(lumps[0].bytes, picture_);
    EXPECT_EQ(lumps[1].name, "brick.old");
    EXPECT_EQ(lumps[1].type, 0x44);
    EXPECT_EQ(lumps[1].bytes, texture_);
}

TEST_F(TextureWadEdit, ConvertingToWad3AndBackGivesTheSameLumps) {
    const auto path = quakeWad();
    const auto wad3 = dir_ / "out3.wad", back = dir_ / "back2.wad";
    open(path, ContainerType::Q1Wad2).saveAs(wad3, ContainerType::HLWad3, nullptr);

    std::string magic;
    const auto three = parseWad(wad3, &magic);
    EXPECT_EQ(magic, "WAD3");
    ASSERT_EQ(three.size(), 3u);
    EXPECT_EQ(three[0].type, 0x40); // the palette lump is kept as it is
    EXPECT_EQ(three[0].bytes, quakePalette_);
    // The texture carries Quake's palette as its own, after its four levels.
    ASSERT_EQ(three[2].type, 0x43);
    const ByteReader texture(three[2].bytes, "texture");
    const std::size_t paletteAt = 40 + 256 + 64 + 16 + 4;
    ASSERT_GE(three[2].bytes.size(), paletteAt + 2 + 768);
    EXPECT_EQ(texture.u16(paletteAt), 256u);
    EXPECT_TRUE(
        std::equal(quakePalette_.begin(), quakePalette_.end(), three[2].bytes.begin() + paletteAt + 2));
    EXPECT_TRUE(std::equal(texture_.begin() + 40, texture_.end(), three[2].bytes.begin() + 40));
    // The plain picture too.
    ASSERT_EQ(three[1].bytes.size(), picture_.size() + 2 + 768 + 2);
    EXPECT_TRUE(std::equal(picture_.begin(), picture_.end(), three[1].bytes.begin()));

    open(wad3, ContainerType::HLWad3).saveAs(back, ContainerType::Q1Wad2, nullptr);
    const auto two = parseWad(back, &magic);
    EXPECT_EQ(magic, "WAD2");
    ASSERT_EQ(two.size(), 3u);
    EXPECT_EQ(two[0].bytes, quakePalette_);
    EXPECT_EQ(two[1].type, 0x42);
    EXPECT_EQ(two[1].bytes, picture_);
    EXPECT_EQ(two[2].type, 0x44);
    EXPECT_EQ(two[2].bytes, texture_);
}

TEST_F(TextureWadEdit, Wad3TexturesMapOntoQuakesColoursAndKeepSeeThrough) {
    const auto quake = quakeColours();
    // Own colours: entry 0 is Quake's 10, entry 1 Quake's 250 (fullbright: not to be taken), 255 blue.
    Bytes own(768, 0);
    const auto put = [&](std::size_t i, Rgb c) { std::copy(c.begin(), c.end(), own.begin() + 3 * i); };
    put(0, quake[10]);
    put(1, quake[250]);
    put(255, {0, 0, 255});
    Bytes rows(256, 0);
    rows[1] = 1;
    rows[2] = 255;
    const auto path = dir_ / "hl.wad";
    test::writeFile(
        path, test::wadFile("WAD3", {{"{fence", 0x43, test::wad3MipTexture("{fence", 16, 16, rows, own)}}));
    const auto out = dir_ / "q.wad";
    open(path, ContainerType::HLWad3).saveAs(out, ContainerType::Q1Wad2, nullptr);
    const auto lumps = parseWad(out);
    ASSERT_EQ(lumps.size(), 1u);
    const auto& bytes = lumps[0].bytes;
    ASSERT_EQ(bytes.size(), 40u + 256 + 64 + 16 + 4);
    EXPECT_EQ(bytes[40], 10);
    EXPECT_LE(bytes[41], 223) << "a fullbright colour taken by accident";
    EXPECT_EQ(bytes[42], 255) << "the see-through entry";
}

TEST_F(TextureWadEdit, BlueMarksSeeThroughPixelsAndTheirColourStaysOutOfSmallerLevels) {
    // Red on the left, pure blue on the right, and one blue pixel in the red's corner.
    Bytes rgba(16 * 16 * 4, 255);
    for (std::size_t y = 0; y < 16; ++y)
        for (std::size_t x = 0; x < 16; ++x) {
            auto* p = &rgba[(y * 16 + x) * 4];
            const bool blue = x >= 8 || (x == 0 && y == 0);
            p[0] = blue ? 0 : 255;
            p[1] = 0;
            p[2] = blue ? 255 : 0;
        }
    const auto picture = dir_ / "{fence.png";
    test::writeRgbaPng(picture, 16, 16, rgba);
    for (const auto kind : {TextureKind::Wad2, TextureKind::Wad3}) {
        SCOPED_TRACE(kind == TextureKind::Wad2 ? "WAD2" : "WAD3");
        const auto lump = textureLumpFromPicture(kind, picture, "{fence", options_);
        const ByteReader fields(lump, "lump");
        const auto level0 = fields.u32(24), level1 = fields.u32(28);
        const auto red = lump[level0 + 1];
        EXPECT_EQ(lump[level0], 255) << "the blue corner";
        EXPECT_EQ(lump[level0 + 8], 255) << "the blue half";
        EXPECT_NE(red, 255);
        EXPECT_EQ(lump[level1], red) << "a block of three red pixels and a see-through one is red";
        EXPECT_EQ(lump[level1 + 4], 255) << "a block with no opaque pixel stays see-through";
    }
    // Without "{" blue is a colour like any other.
    const auto lump = textureLumpFromPicture(TextureKind::Wad3, picture, "fence", options_);
    EXPECT_NE(lump[ByteReader(lump, "lump").u32(24) + 8], 255);
}

TEST_F(TextureWadEdit, OnlyFullbrightNamesTakeQuakesFullbrightColours) {
    const auto glow = quakeColours()[240];
    Bytes rgba;
    for (int i = 0; i < 16 * 16; ++i)
        rgba.insert(rgba.end(), {glow[0], glow[1], glow[2], 255});
    const auto picture = dir_ / "lava.png";
    test::writeRgbaPng(picture, 16, 16, rgba);
    struct Case {
        const char* name;
        bool fullbright;
    };
    for (const auto& c :
         {Case{"lava_fbr", true}, Case{"LAVA_FBR", true}, Case{"lava", false}, Case{"fbr", false}}) {
        SCOPED_TRACE(c.name);
        const auto lump = textureLumpFromPicture(TextureKind::Wad2, picture, c.name, options_);
        const auto index = lump[ByteReader(lump, "lump").u32(24)];
        if (c.fullbright)
            EXPECT_EQ(index, 240);
        else
            EXPECT_LE(index, 223);
    }
}

TEST_F(TextureWadEdit, DamagedTextureStopsAConversionAndWritesNothing) {
    const auto path = dir_ / "bad.wad";
    auto texture = test::wad3MipTexture("bad", 16, 16, Bytes(256, 1), test::knownPalette(1));
    texture[27] = 0x7F; // level 0 far past the lump's end
    test::writeFile(path, test::wadFile("WAD3", {{"bad", 0x43, texture}}));
    const auto out = dir_ / "out.wad";
    try {
        open(path, ContainerType::HLWad3).saveAs(out, ContainerType::Q1Wad2, nullptr);
        ADD_FAILURE() << "converted";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("'bad'"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(out));
}

} // namespace
} // namespace vexa
