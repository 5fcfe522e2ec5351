// Textures built from pictures: read back by VEXA's own readers and by a hand parse, and refused
// inputs that leave the previous output as it was.

#include "app/texture_import.h"
#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "formats/HL_WAD3.h"
#include "formats/Q1_Wad2.h"
#include "images/DF_BM.h"
#include "images/JK_Mat.h"
#include "images/Q2_Wal.h"
#include "images/image_builders.h"
#include "images/picture_builders.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::Bytes;
using test::Rgb;
using test::TempDir;

// Every game palette of the run at a known 8-bit palette file of its own.
class TextureImport : public ::testing::Test {
  protected:
    void SetUp() override {
        std::uint8_t seed = 20;
        for (const auto& g : gamePalettes()) {
            const auto file = dir_ / (std::string(g.cliName) + ".pal");
            test::writeFile(file, test::knownPalette(seed++));
            options_.palettes.set(g.game, file);
        }
    }
    std::vector<Rgb> gameColours(Game game) const {
        return test::coloursOf(test::readFile(options_.palettes.path(game)));
    }

    // An indexed picture of width x height in the game's palette, saved as an 8-bit BMP.
    fs::path indexedPicture(const std::string& name, std::uint32_t width, std::uint32_t height,
                            const Bytes& indices, const std::vector<Rgb>& colours) {
        const auto path = dir_ / name;
        test::writeFile(path, test::indexedBmp(width, height, indices, colours));
        return path;
    }

    TempDir dir_;
    ImportOptions options_;
};

Bytes someIndices(std::size_t n, std::uint8_t seed, std::uint8_t top = 255) {
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<std::uint8_t>((i * 7 + seed + i / 13) % (std::size_t{top} + 1));
    return out;
}

// The indices VEXA's reader gives for the only (or the index-th) picture of a texture file.
IndexedImage readBack(TextureKind kind, const fs::path& file, std::size_t index = 0) {
    switch (kind) {
    case TextureKind::Wal:
        return TQ2WalReader().Decode(InputFile(file)).pictures.at(0).image;
    case TextureKind::DfBm:
        return TDFBMReader().Decode(InputFile(file)).pictures.at(0).image;
    case TextureKind::JkMat:
        return TJKMatReader().Decode(InputFile(file)).pictures.at(0).image;
    case TextureKind::Wad2: {
        TQuakeWadReader wad;
        wad.ReadDirectory(openFileBytes(file));
        return wad.DecodePictures(index).pictures.at(0).image;
    }
    case TextureKind::Wad3: {
        TWadReader wad;
        wad.ReadDirectory(openFileBytes(file));
        return wad.DecodePictures(index).pictures.at(0).image;
    }
    }
    return {};
}

TEST_F(TextureImport, EachKindReadsBackToTheSameIndices) {
    for (const auto* kind : textureKinds()) {
        const auto& info = *kind;
        SCOPED_TRACE(std::string(info.cliName));
        const auto colours = info.game ? gameColours(*info.game) : test::coloursOf(test::knownPalette(99));
        const auto indices = someIndices(32 * 16, 3);
        const auto picture = indexedPicture("pic.bmp", 32, 16, indices, colours);
        const auto out = dir_ / ("out" + std::string(info.extension));
        importTextures(info.kind, out, {picture}, options_, nullptr);
        const auto back = readBack(info.kind, out);
        EXPECT_EQ(back.width, 32u);
        EXPECT_EQ(back.height, 16u);
        EXPECT_EQ(back.indices, indices);
    }
}

TEST_F(TextureImport, Wad3FromPngsKeepsEachPicturesColours) {
    // Two RGBA pictures of 251 colours each, in different colours.
    std::vector<fs::path> pictures;
    std::vector<Bytes> pixels;
    for (int k = 0; k < 2; ++k) {
        Bytes rgba;
        for (int p = 0; p < 16 * 32; ++p)
            rgba.insert(rgba.end(),
                        {static_cast<std::uint8_t>(p % 251), static_cast<std::uint8_t>(p % 251 / 2 + k),
                         static_cast<std::uint8_t>(k * 100), 255});
        pictures.push_back(dir_ / ("tex" + std::to_string(k) + ".png"));
        test::writeRgbaPng(pictures.back(), 16, 32, rgba);
        pixels.push_back(rgba);
    }
    const auto out = dir_ / "new.wad";
    importTextures(TextureKind::Wad3, out, pictures, options_, nullptr);
    TWadReader wad;
    wad.ReadDirectory(openFileBytes(out));
    ASSERT_EQ(wad.EntryCount(), 2u);
    for (std::size_t k = 0; k < 2; ++k) {
        EXPECT_EQ(wad.EntryName(k), "tex" + std::to_string(k));
        const auto decoded = wad.DecodePictures(k);
        const auto& colours = decoded.palette.colours;
        ASSERT_EQ(colours.size(), 768u);
        const auto& image = decoded.pictures.at(0).image;
        ASSERT_EQ(image.indices.size(), 16u * 32);
        for (std::size_t p = 0; p < image.indices.size(); ++p) {
            const auto at = 3u * image.indices[p];
            ASSERT_EQ((Bytes{colours[at], colours[at + 1], colours[at + 2]}),
                      (Bytes{pixels[k][4 * p], pixels[k][4 * p + 1], pixels[k][4 * p + 2]}))
                << "texture " << k << " pixel " << p;
        }
    }
}

// Half-Life's "{" textures: see-through pixels take entry 255, stored blue; the others never do,
// at any level. Other names ignore alpha. Levels 0 and 1 are read by hand from the file.
TEST_F(TextureImport, HalfLifeSeeThroughTexturesInWad3) {
    struct Case {
        std::string name;
        int colours;      // distinct opaque colours (more than 255: reduced)
        bool bmp = false; // an 8-bit BMP whose entry 255 marks the see-through pixels
    };
    const Case cases[] = {{"{fence", 3}, {"{grate", 300}, {"plain", 3}, {"{stored", 3, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // 32 x 16: the left 8 columns see-through, so level 1 has 4 see-through columns.
        constexpr std::uint32_t w = 32, h = 16;
        const auto seeThrough = [](std::size_t p) { return p % w < 8; };
        Bytes rgba, indices;
        for (std::size_t p = 0; p < w * h; ++p) {
            const auto k = static_cast<int>(p % static_cast<std::size_t>(c.colours));
            rgba.insert(rgba.end(), {static_cast<std::uint8_t>(40 + k % 200),
                                     static_cast<std::uint8_t>(k / 2), static_cast<std::uint8_t>(k % 7 * 30),
                                     static_cast<std::uint8_t>(seeThrough(p) ? 0 : 255)});
            indices.push_back(seeThrough(p) ? 255 : static_cast<std::uint8_t>(k));
        }
        const auto picture = dir_ / (c.name + (c.bmp ? ".bmp" : ".png"));
        if (c.bmp) {
            std::vector<Rgb> colours(256, Rgb{9, 9, 9});
            for (int k = 0; k < c.colours; ++k)
                colours[static_cast<std::size_t>(k)] = {static_cast<std::uint8_t>(40 + k), 1, 2};
            colours[255] = {0, 0, 255};
            test::writeFile(picture, test::indexedBmp(w, h, indices, colours));
        } else {
            test::writeRgbaPng(picture, w, h, rgba);
        }
        const auto out = dir_ / "new.wad";
        importTextures(TextureKind::Wad3, out, {picture}, options_, nullptr);

        const auto bytes = test::readFile(out);
        const ByteReader file(bytes, "new.wad");
        const std::size_t lump = file.u32(file.u32(8)); // the one directory record's offset
        const std::size_t level0 = lump + file.u32(lump + 24), level1 = lump + file.u32(lump + 28);
        const std::size_t palette = lump + 40 + w * h * 85 / 64 + 2;
        const bool marked = c.name.front() == '{';
        if (marked) {
            EXPECT_EQ((Bytes(&bytes[palette + 3 * 255], &bytes[palette + 3 * 256])), (Bytes{0, 0, 255}));
        }
        for (std::size_t p = 0; p < w * h; ++p)
            ASSERT_EQ(bytes[level0 + p] == 255, marked && seeThrough(p)) << "level 0, pixel " << p;
        for (std::size_t p = 0; p < w * h / 4; ++p)
            ASSERT_EQ(bytes[level1 + p] == 255, marked && p % (w / 2) < 4) << "level 1, pixel " << p;
        if (c.colours <= 255 && marked && !c.bmp) // opaque colours kept exactly
            for (std::size_t p = 0; p < w * h; ++p)
                if (!seeThrough(p)) {
                    const auto at = palette + 3u * bytes[level0 + p];
                    ASSERT_EQ((Bytes(&bytes[at], &bytes[at + 3])), (Bytes(&rgba[4 * p], &rgba[4 * p + 3])))
                        << p;
                }
    }
}

// The fields of WAL, WAD2 and WAD3 files read by hand, as another program would read them.
TEST_F(TextureImport, HeadersAsAnotherReaderSeesThem) {
    const auto quake2 = gameColours(Game::Quake2Wal);
    const auto indices = someIndices(48 * 32, 9, 200);
    const auto picture = indexedPicture("stone.bmp", 48, 32, indices, quake2);
    importTextures(TextureKind::Wal, dir_ / "e1u1_floor.wal", {picture}, options_, nullptr);
    const auto wal = test::readFile(dir_ / "e1u1_floor.wal");
    const ByteReader w(wal, "wal");
    EXPECT_EQ(w.fixedName(0, 32, 32), "e1u1_floor");
    EXPECT_EQ(w.u32(32), 48u);
    EXPECT_EQ(w.u32(36), 32u);
    const std::uint32_t walLevels[4] = {100, 100 + 48 * 32, 100 + 48 * 32 + 24 * 16,
                                        100 + 48 * 32 + 24 * 16 + 12 * 8};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(w.u32(40 + 4 * i), walLevels[i]);
    EXPECT_EQ(wal.size(), walLevels[3] + 6u * 4);
    EXPECT_EQ(Bytes(wal.begin() + 100, wal.begin() + 100 + 48 * 32), indices);

    for (const auto kind : {TextureKind::Wad2, TextureKind::Wad3}) {
        const bool three = kind == TextureKind::Wad3;
        SCOPED_TRACE(three ? "wad3" : "wad2");
        const auto colours = three ? test::coloursOf(test::knownPalette(77)) : gameColours(Game::Quake1Bsp);
        const auto a = indexedPicture("brick.bmp", 16, 16, someIndices(256, 1, 200), colours);
        const auto b = indexedPicture("+0button.bmp", 32, 16, someIndices(512, 2, 200), colours);
        importTextures(kind, dir_ / "t.wad", {a, b}, options_, nullptr);
        const auto bytes = test::readFile(dir_ / "t.wad");
        const ByteReader f(bytes, "wad");
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), three ? "WAD3" : "WAD2");
        ASSERT_EQ(f.u32(4), 2u);
        const auto directory = f.u32(8);
        EXPECT_EQ(directory + 2 * 32u, bytes.size());
        const std::uint32_t sides[2][2] = {{16, 16}, {32, 16}};
        const char* names[2] = {"brick", "+0button"};
        std::uint32_t expectedOffset = 12;
        for (std::uint32_t i = 0; i < 2; ++i) {
            const auto record = directory + 32 * i;
            const auto offset = f.u32(record), size = f.u32(record + 4);
            const auto w0 = sides[i][0], h0 = sides[i][1];
            const auto levels = w0 * h0 + w0 * h0 / 4 + w0 * h0 / 16 + w0 * h0 / 64;
            EXPECT_EQ(offset, expectedOffset);
            EXPECT_EQ(size, 40 + levels + (three ? 2 + 768 + 2 : 0));
            EXPECT_EQ(f.u32(record + 8), size);
            EXPECT_EQ(f.u8(record + 12), three ? 0x43 : 0x44);
            EXPECT_EQ(f.u8(record + 13), 0); // not compressed
            EXPECT_EQ(f.fixedName(record + 16, 16, 16), names[i]);
            EXPECT_EQ(f.fixedName(offset, 16, 16), names[i]);
            EXPECT_EQ(f.u32(offset + 16), w0);
            EXPECT_EQ(f.u32(offset + 20), h0);
            EXPECT_EQ(f.u32(offset + 24), 40u);
            EXPECT_EQ(f.u32(offset + 28), 40 + w0 * h0);
            EXPECT_EQ(f.u32(offset + 32), 40 + w0 * h0 * 5 / 4);
            EXPECT_EQ(f.u32(offset + 36), 40 + w0 * h0 * 21 / 16);
            if (three) {
                EXPECT_EQ(f.u16(offset + 40 + levels), 256);
                const auto palette = f.bytes(offset + 42 + levels, 768);
                EXPECT_EQ(Bytes(palette.begin(), palette.end()), test::knownPalette(77));
            }
            expectedOffset += size;
        }
    }
}

TEST_F(TextureImport, QuakeSeeThroughAndFullbrightEntries) {
    // "{" textures: see-through pixels become 255; others never take the fullbright entries.
    auto colours = gameColours(Game::Quake1Bsp);
    Bytes rgba;
    for (int p = 0; p < 16 * 16; ++p) {
        const auto& c = colours[240]; // a fullbright colour, drawn as it is
        rgba.insert(rgba.end(), {c[0], c[1], c[2], static_cast<std::uint8_t>(p % 2 ? 255 : 0)});
    }
    test::writeRgbaPng(dir_ / "{fence.png", 16, 16, rgba);
    test::writeRgbaPng(dir_ / "wall.png", 16, 16, rgba);
    importTextures(TextureKind::Wad2, dir_ / "q.wad", {dir_ / "{fence.png", dir_ / "wall.png"}, options_,
                   nullptr);
    const auto fence = readBack(TextureKind::Wad2, dir_ / "q.wad", 0);
    const auto wall = readBack(TextureKind::Wad2, dir_ / "q.wad", 1);
    for (std::size_t p = 0; p < fence.indices.size(); ++p) {
        if (p % 2 == 0) {
            EXPECT_EQ(fence.indices[p], 255) << p;
        } else {
            EXPECT_LE(fence.indices[p], 223) << p;
        }
        EXPECT_LE(wall.indices[p], 223) << p; // no see-through in a plain texture
    }
    // A Dark Forces picture with see-through pixels: those become 0, no other pixel does.
    const auto df = gameColours(Game::DarkForcesBm);
    Bytes bm;
    for (int p = 0; p < 8 * 4; ++p)
        bm.insert(bm.end(), {df[0][0], df[0][1], df[0][2], static_cast<std::uint8_t>(p < 8 ? 0 : 255)});
    test::writeRgbaPng(dir_ / "door.png", 8, 4, bm);
    importTextures(TextureKind::DfBm, dir_ / "door.bm", {dir_ / "door.png"}, options_, nullptr);
    const auto door = readBack(TextureKind::DfBm, dir_ / "door.bm");
    for (std::size_t p = 0; p < door.indices.size(); ++p)
        EXPECT_EQ(door.indices[p] == 0, p < 8) << p;
    EXPECT_EQ(test::readFile(dir_ / "door.bm")[12], 0x36); // marked transparent
}

TEST_F(TextureImport, RefusedInputsWriteNothingAndKeepThePreviousFile) {
    const auto colours = gameColours(Game::Quake1Bsp);
    const auto good = indexedPicture("good.bmp", 16, 16, someIndices(256, 4), colours);
    const auto odd = indexedPicture("odd.bmp", 24, 16, someIndices(24 * 16, 4), colours);
    const auto longName = indexedPicture("a_name_of_16_byt.bmp", 16, 16, someIndices(256, 4), colours);
    const auto same = indexedPicture("GOOD.png", 16, 16, someIndices(256, 4), colours);
    auto damagedBytes = test::readFile(good);
    damagedBytes.resize(damagedBytes.size() - 100);
    test::writeFile(dir_ / "damaged.bmp", damagedBytes);
    auto hugeBytes = test::readFile(good);
    hugeBytes[18] = 0x10, hugeBytes[19] = 0x40; // 16400 wide
    test::writeFile(dir_ / "huge.bmp", hugeBytes);
    const auto tall = indexedPicture("tall.bmp", 16, 272, someIndices(16 * 272, 4), colours);

    const struct {
        TextureKind kind;
        std::vector<fs::path> pictures;
        const char* reason;
    } cases[] = {
        {TextureKind::Wad2, {good, odd}, "multiples of 16"},
        {TextureKind::Wal, {odd}, "multiples of 16"},
        {TextureKind::Wad3, {good, longName}, "16 characters long"},
        {TextureKind::Wad2, {good, same}, "same name"},
        {TextureKind::Wad3, {good, dir_ / "damaged.bmp"}, "damaged.bmp"},
        {TextureKind::Wad3, {dir_ / "huge.bmp"}, "16400 x 16"},
        {TextureKind::Wad3, {dir_ / "missing.png"}, "missing.png"},
        {TextureKind::JkMat, {good, good}, "one picture, not 2"},
        {TextureKind::DfBm, {tall}, "256 high at most"},
    };
    const auto out = dir_ / "out" / "target";
    fs::create_directories(out.parent_path());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        test::writeFile(out, "previous");
        try {
            importTextures(c.kind, out, c.pictures, options_, nullptr);
            ADD_FAILURE() << "written";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
        EXPECT_EQ(test::readFile(out), test::bytesOf("previous"));
        EXPECT_EQ(test::namesIn(out.parent_path()), std::vector<std::string>{"target"});
    }
    // Nor does an output replace one of its own pictures.
    const auto before = test::readFile(good);
    EXPECT_THROW(importTextures(TextureKind::Wad2, good, {good}, options_, nullptr), Error);
    EXPECT_EQ(test::readFile(good), before);
}

TEST_F(TextureImport, PreviewShowsLevelZeroWithItsPalette) {
    const auto colours = gameColours(Game::JediKnightMat);
    const auto indices = someIndices(16 * 16, 8);
    const auto picture = indexedPicture("p.bmp", 16, 16, indices, colours);
    const auto preview = previewImport(TextureKind::JkMat, picture, options_);
    EXPECT_EQ(preview.image.indices, indices);
    EXPECT_EQ(preview.palette, test::paletteTable(colours));
    const auto own = previewImport(TextureKind::Wad3, picture, options_);
    EXPECT_EQ(own.image.indices, indices);
    EXPECT_EQ(own.palette, test::paletteTable(colours));
    EXPECT_FALSE(fs::exists(dir_ / "p.mat"));
}

// A picture of Quake's fullbright colours, opaque, as an RGBA PNG.
class ImportOptionsTest : public TextureImport {
  protected:
    fs::path fullbrightPicture(const std::string& name) {
        const auto colours = gameColours(Game::Quake1Bsp);
        Bytes rgba;
        for (std::size_t p = 0; p < 16 * 16; ++p) {
            const auto& c = colours[224 + p % 31];
            rgba.insert(rgba.end(), {c[0], c[1], c[2], 255});
        }
        const auto path = dir_ / (name + ".png");
        test::writeRgbaPng(path, 16, 16, rgba);
        return path;
    }
    Bytes walPicture() {
        return test::indexedBmp(16, 16, someIndices(256, 5, 200), gameColours(Game::Quake2Wal));
    }
    TextureFields walFields(const fs::path& wal) {
        const auto bytes = test::readFile(wal);
        const ByteReader f(bytes, "wal");
        return {f.fixedName(0, 32, 32), f.fixedName(56, 32, 32), f.u32(88), f.u32(92), f.u32(96)};
    }
};

bool sameFields(const TextureFields& a, const TextureFields& b) {
    return a.name == b.name && a.next == b.next && a.flags == b.flags && a.contents == b.contents &&
           a.value == b.value;
}

TEST_F(ImportOptionsTest, FullbrightColoursOnlyWhenAsked) {
    const struct {
        const char* name;
        bool option;
        bool glows;
    } cases[] = {
        {"lava", false, false}, {"lava", true, true}, {"lava_fbr", false, true}, {"LAVA_FBR", true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.option ? " --fullbright" : ""));
        auto options = options_;
        options.fullbright = c.option;
        importTextures(TextureKind::Wad2, dir_ / "q.wad", {fullbrightPicture(c.name)}, options, nullptr);
        const auto image = readBack(TextureKind::Wad2, dir_ / "q.wad");
        const auto glowing = std::count_if(image.indices.begin(), image.indices.end(),
                                           [](std::uint8_t i) { return i >= 224; });
        EXPECT_EQ(glowing, c.glows ? 256 : 0);
        EXPECT_EQ(std::count(image.indices.begin(), image.indices.end(), 255),
                  0); // never the see-through one
    }
}

TEST(TextureNames, DefaultNameFromTheOutputsPath) {
    const struct {
        fs::path out;
        const char* name;
    } cases[] = {
        {"/q2/baseq2/textures/e1u1/brlava.wal", "e1u1/brlava"},
        {"/q2/baseq2/Textures/e1u1/x/brlava.wal", "e1u1/x/brlava"},
        {"/q2/textures/mod/textures/e2u3/sky.wal", "e2u3/sky"}, // the nearest such folder
        {"/q2/textures/floor.wal", "floor"},
        {"/q2/baseq2/e1u1/brlava.wal", "brlava"},
        {"/textures.wal", "textures"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(defaultTextureName(c.out), c.name) << c.out;
}

// The header's fields as a hand parse sees them: given ones written, the others kept from the WAL
// written over, else the defaults.
TEST_F(ImportOptionsTest, WalFieldsGivenKeptOrDefault) {
    test::writeFile(dir_ / "wall.bmp", walPicture());
    const auto folder = dir_ / "baseq2" / "textures" / "e1u1";
    fs::create_directories(folder);
    const auto wal = folder / "brlava.wal";
    const auto import = [&](const TextureFieldChoices& fields) {
        auto options = options_;
        options.fields = fields;
        importTextures(TextureKind::Wal, wal, {dir_ / "wall.bmp"}, options, nullptr);
        return walFields(wal);
    };
    EXPECT_TRUE(sameFields(import({}), {"e1u1/brlava", "", 0, 0, 0}));
    EXPECT_TRUE(sameFields(import({"e1u1/lava1", "e1u1/lava2", 0x8 | 0x40, 8, 0xFFFFFFFB}),
                           {"e1u1/lava1", "e1u1/lava2", 0x48, 8, 0xFFFFFFFB}));
    // Over it, only the flags given: the rest stays.
    EXPECT_TRUE(sameFields(import({.flags = 1}), {"e1u1/lava1", "e1u1/lava2", 1, 8, 0xFFFFFFFB}));
    EXPECT_TRUE(sameFields(import({.next = ""}), {"e1u1/lava1", "", 1, 8, 0xFFFFFFFB}));
    // The pixels still read back.
    EXPECT_EQ(readBack(TextureKind::Wal, wal).indices, someIndices(256, 5, 200));
}

TEST_F(ImportOptionsTest, WalFieldsRefused) {
    test::writeFile(dir_ / "wall.bmp", walPicture());
    const auto wal = dir_ / "w.wal";
    const auto cutShort = Bytes(60, 1);
    importTextures(TextureKind::Wal, wal, {dir_ / "wall.bmp"}, options_, nullptr);
    auto unclosed = test::readFile(wal);
    std::fill(unclosed.begin() + 56, unclosed.begin() + 88, 'x');
    auto levelPastEnd = test::readFile(wal);
    putU32(&levelPastEnd[40], static_cast<std::uint32_t>(levelPastEnd.size()));
    const std::string name32(32, 'n');
    const struct {
        Bytes old; // empty: none
        TextureFieldChoices fields;
        const char* reason;
    } cases[] = {
        {{},
         {.name = name32},
         "is 32 bytes long; a Quake 2 WAL texture holds 31 at most (32 with the closing zero)"},
        {{}, {.next = name32 + "x"}, "next frame's name"},
        {cutShort, {}, "not a whole WAL (60 bytes"},
        {unclosed, {.flags = 2}, "no closing zero"},
        {levelPastEnd, {}, "runs past the end"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        fs::remove(wal);
        if (!c.old.empty()) test::writeFile(wal, c.old);
        auto options = options_;
        options.fields = c.fields;
        try {
            importTextures(TextureKind::Wal, wal, {dir_ / "wall.bmp"}, options, nullptr);
            ADD_FAILURE() << "written";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
        EXPECT_EQ(fs::exists(wal), !c.old.empty());
        if (!c.old.empty()) {
            EXPECT_EQ(test::readFile(wal), c.old);
        }
    }
    // Every field given replaces even a file that is no WAL.
    test::writeFile(wal, cutShort);
    auto options = options_;
    options.fields = {"a", "b", 1, 2, 3};
    importTextures(TextureKind::Wal, wal, {dir_ / "wall.bmp"}, options, nullptr);
    EXPECT_TRUE(sameFields(walFields(wal), {"a", "b", 1, 2, 3}));
    // And the other kinds store none of them.
    options.fields = {.flags = 1};
    EXPECT_THROW(importTextures(TextureKind::JkMat, dir_ / "x.mat", {dir_ / "wall.bmp"}, options, nullptr),
                 Error);
}

// Water textures of a WAD3: with fog, entries 3 and 4 hold it and no pixel of any level uses them,
// every pixel keeping its colour where the picture has room; without, the picture's colours stay.
TEST_F(ImportOptionsTest, WaterFogInAWad3Palette) {
    for (const int colourCount : {3, 255, 300}) {
        for (const bool withFog : {true, false}) {
            SCOPED_TRACE(std::to_string(colourCount) + (withFog ? " with fog" : ""));
            constexpr std::uint32_t w = 32, h = 32;
            Bytes rgba;
            for (std::size_t p = 0; p < w * h; ++p) {
                const auto k = static_cast<int>(p % static_cast<std::size_t>(colourCount));
                rgba.insert(rgba.end(), {static_cast<std::uint8_t>(k % 256), static_cast<std::uint8_t>(k / 2),
                                         static_cast<std::uint8_t>(255 - k % 200), 255});
            }
            test::writeRgbaPng(dir_ / "!water.png", w, h, rgba);
            auto options = options_;
            if (withFog) options.fog = WaterFog{10, 20, 30, 200};
            importTextures(TextureKind::Wad3, dir_ / "hl.wad", {dir_ / "!water.png"}, options, nullptr);
            TWadReader wad;
            wad.ReadDirectory(openFileBytes(dir_ / "hl.wad"));
            const auto decoded = wad.DecodePictures(0);
            const auto& colours = decoded.palette.colours;
            ASSERT_EQ(colours.size(), 768u);
            if (withFog) {
                EXPECT_EQ(Bytes(colours.begin() + 9, colours.begin() + 13), (Bytes{10, 20, 30, 200}));
            }
            const auto bytes = test::readFile(dir_ / "hl.wad");
            const std::size_t lump = ByteReader(bytes, "wad").u32(ByteReader(bytes, "wad").u32(8));
            std::size_t exact = 0;
            for (std::size_t p = 0, at = lump + 40; p < w * h * 85 / 64; ++p, ++at) {
                const auto index = bytes[at];
                if (withFog) {
                    ASSERT_TRUE(index != 3 && index != 4) << "pixel " << p;
                }
                if (p < w * h && Bytes(&colours[3u * index], &colours[3u * index + 3]) ==
                                     Bytes(&rgba[4 * p], &rgba[4 * p + 3]))
                    ++exact;
            }
            if (colourCount <= (withFog ? 254 : 256)) {
                EXPECT_EQ(exact, w * h);
            } else if (colourCount <= 256) {
                EXPECT_GE(exact, w * h - 2 * (w * h / colourCount + 1)); // only the two least used moved
            }
        }
    }
}

} // namespace
} // namespace vexa
