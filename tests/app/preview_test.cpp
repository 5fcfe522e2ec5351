// Previews: the picture extraction would write, through the same writer, with no file written and
// the palette passed in left as it was; stored bytes shown as palette, text or hex, all bounded.

#include "app/extract.h"
#include "app/kinds.h"
#include "app/preview.h"
#include "base/errors.h"
#include "formats/DF_Gob.h"
#include "formats/Wad_common.h"
#include "formats/texture_builders.h"
#include "images/image_builders.h"
#include "images/palette_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::TempDir;

using test::namesIn;

// Every game palette points at its own known 8-bit palette file; the current palette starts black.
class Previews : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const auto& g : gamePalettes()) {
            const auto path = palettes_ / std::string(g.defaultFile);
            test::writeFile(path, test::knownPalette(static_cast<std::uint8_t>(20 + int(g.game))));
            games_.set(g.game, path);
        }
    }

    std::unique_ptr<ContainerReader> open(const fs::path& path) {
        const auto code = detectKind(path);
        loadKindPalette(code, games_, current_);
        auto object = CreateContainerObject(code);
        if (!object) throw std::runtime_error("not detected: " + path.string());
        object->ReadDirectory(openFileBytes(path));
        return object;
    }

    EntryPreview preview(const ContainerReader& object, std::size_t index) const {
        return previewEntry(object, index, current_, games_);
    }
    ExtractionResult extract(const ContainerReader& object, const fs::path& target,
                             std::vector<std::size_t> rows) {
        ExtractionOptions options;
        options.games = games_;
        return extractRows(object, target, rows, options, current_);
    }

    static void expectSamePalette(const Palette& a, const Palette& b, const std::string& what) {
        EXPECT_EQ(a.table, b.table) << what;
        EXPECT_EQ(a.source, b.source) << what;
    }

    // A GOB of the given entries, built by the writer from a folder (entries in byte order of name).
    fs::path gob(const std::vector<std::pair<std::string, Bytes>>& entries) {
        for (const auto& [name, bytes] : entries)
            test::writeFile(source_ / name, bytes);
        const auto path = in_ / "test.gob";
        TDFGobReader().WriteContainer(path, source_.path(), GatherFolderFiles(source_.path()), nullptr);
        return path;
    }
    static std::size_t rowOf(const ContainerReader& object, const std::string& name) {
        const auto& names = object.EntryNames();
        return static_cast<std::size_t>(std::find(names.begin(), names.end(), name) - names.begin());
    }

    TempDir palettes_, in_, source_;
    GamePalettePaths games_;
    Palette current_;
};

TEST_F(Previews, EachPictureKindEqualsTheBmpExtractionWrites) {
    const auto rows = test::patternBytes(6 * 5, 3);
    const auto second = test::patternBytes(3 * 2, 4);
    const auto own = test::knownPalette(99);
    const struct {
        const char* file;
        Bytes bytes;
        std::size_t row;
        const char* firstOutput;
        std::size_t pictures;
        std::string paletteWords;
    } cases[] = {
        {"WALL.BM", test::dfPlainBm(6, 5, rows), 0, "WALL.bmp", 1, "DarkForces BM palette: "},
        {"ANIM.BM", test::dfMultipleBm({{6, 5, rows}, {3, 2, second}}), 0, "ANIM_0.bmp", 2, "DarkForces BM"},
        {"door.bm", test::jkBm({{6, 5, rows}, {3, 2, second}}, own), 0, "door_0.bmp", 2,
         "the own palette of "},
        {"plain.bm", test::jkBm({{6, 5, rows}}), 0, "plain.bmp", 1, "JediKnight BM palette: "},
        {"floor.mat", test::jkTextureMat({{6, 5, 3, rows}, {3, 2, 2, second}}), 0, "floor_1.bmp", 2,
         "JediKnight MAT palette: "},
        {"red.mat", test::jkColourMat(17), 0, "red.bmp", 1, "JediKnight MAT palette: "},
        {"brick.wal", test::q2Wal(6, 5, rows), 0, "brick.bmp", 1, "Quake2 WAL palette: "},
        {"hl.wad",
         test::wadFile(
             "WAD3", {{"snd", 0x44, Bytes(50, 1)},
                      {"{BLUE", 0x43, test::wad3MipTexture("{BLUE", 8, 4, test::patternBytes(32, 5), own)}}),
         1, "{BLUE.bmp", 1, "the own palette of entry 1 '{BLUE' (256 colours)"},
        {"pics.wad", test::wadFile("WAD3", {{"pic", 0x42, test::wad3Picture(6, 5, rows, Bytes(48, 200))}}), 0,
         "pic.bmp", 1, "(16 colours)"},
        {"gfx.wad",
         test::wadFile("WAD2",
                       {{"palette", 0x40, Bytes(768, 1)}, {"bar1", 0x42, test::plainPicture(6, 5, rows)}}),
         1, "bar1.bmp", 1, "Quake1 BSP palette: "},
        {"map.bsp",
         test::bspFile(test::textureLump({test::mipTexture("*water", 8, 4, test::patternBytes(32, 6))})), 0,
         "animated_water.bmp", 1, "Quake1 BSP palette: "},
    };
    for (const auto& c : cases) {
        TempDir in, out;
        test::writeFile(in / c.file, c.bytes);
        const auto object = open(in / c.file);
        const auto before = current_;

        const auto preview = this->preview(*object, c.row);
        expectSamePalette(current_, before, c.file);
        EXPECT_EQ(namesIn(in.path()), std::vector<std::string>{c.file})
            << c.file << ": a preview wrote a file";

        extract(*object, out.path(), {c.row});
        ASSERT_TRUE(fs::exists(out / c.firstOutput)) << c.file;
        EXPECT_EQ(preview.kind, PreviewKind::Picture) << c.file;
        EXPECT_EQ(preview.bytes, test::readFile(out / c.firstOutput)) << c.file;
        const auto picture = test::decodeBmp(preview.bytes);
        EXPECT_EQ(preview.width, picture.width) << c.file;
        EXPECT_EQ(preview.height, picture.height) << c.file;
        EXPECT_EQ(preview.pictures, c.pictures) << c.file;
        EXPECT_NE(preview.palette.find(c.paletteWords), std::string::npos)
            << c.file << ": " << preview.palette;
    }
}

TEST_F(Previews, PaintWithThePaletteTheNextConversionWouldUse) {
    const auto rows = test::patternBytes(4 * 2, 8);
    test::writeFile(in_ / "A.BM", test::dfPlainBm(4, 2, rows));
    const auto object = open(in_ / "A.BM");
    // Loaded after opening: a DF BM is painted with whatever the current palette holds now.
    const auto now = test::knownPalette(123);
    test::writeFile(palettes_ / "now.pal", now);
    current_ = LoadPalFile(palettes_ / "now.pal").value();

    const auto preview = this->preview(*object, 0);
    EXPECT_EQ(preview.bytes, test::expectedBmp(4, 2, rows, now));
    EXPECT_EQ(preview.palette, "palette file " + (palettes_ / "now.pal").string());

    // Or with any other palette the caller passes.
    Palette black;
    black.source = "black";
    const auto fromSnapshot = previewEntry(*object, 0, black, games_);
    EXPECT_EQ(fromSnapshot.bytes, test::expectedBmp(4, 2, rows, Bytes(768, 0)));
    EXPECT_EQ(fromSnapshot.palette, "black");
}

TEST_F(Previews, RunWhileAnExtractionReadsTheSameObject) {
    // Two threads on one reader: every preview equals the one made alone, and the extraction
    // beside them writes every entry whole.
    std::vector<std::pair<std::string, Bytes>> entries;
    for (int i = 0; i < 40; ++i)
        entries.emplace_back("F" + std::to_string(100 + i) + ".DAT",
                             test::patternBytes(20000 + i, std::uint8_t(i)));
    const auto object = open(gob(entries));
    const auto alone = preview(*object, 7);
    TempDir out;
    std::vector<std::size_t> rows(object->EntryCount());
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = i;
    ExtractionResult result;
    std::thread job([&] { result = extractRows(*object, out.path(), rows); });
    for (int k = 0; k < 200; ++k)
        ASSERT_EQ(previewEntry(*object, 7).bytes, alone.bytes) << k;
    job.join();
    EXPECT_EQ(result.statusText(), "Extraction  Complete");
    for (const auto& [name, bytes] : entries)
        EXPECT_EQ(test::readFile(out / name), bytes) << name;
}

// An 8-bit BMP stored top row first (negative height), with a colour table of `colours` entries.
Bytes topDownBmp(std::uint32_t width, std::uint32_t height, const Bytes& rowsTopDown, const Bytes& rgb,
                 std::uint32_t colours) {
    const std::uint32_t stride = (width + 3) / 4 * 4, table = 4 * colours;
    ByteBuilder b;
    b.raw("BM").u32(54 + table + stride * height).u32(0).u32(54 + table);
    b.u32(40).u32(width).i32(-static_cast<std::int32_t>(height)).u16(1).u16(8).u32(0).u32(0).u32(0).u32(0);
    b.u32(colours).u32(0);
    for (std::size_t i = 0; i < colours; ++i)
        b.u8(rgb[3 * i + 2]).u8(rgb[3 * i + 1]).u8(rgb[3 * i]).u8(0);
    for (std::uint32_t y = 0; y < height; ++y)
        b.raw(Bytes(rowsTopDown.begin() + y * width, rowsTopDown.begin() + (y + 1) * width))
            .zeros(stride - width);
    return b.bytes();
}

TEST_F(Previews, StoredEntriesShowAsPictureTextPaletteOrHex) {
    const auto rows = test::patternBytes(5 * 3, 2);
    const auto rgb = test::knownPalette(40);
    const auto canonical = test::expectedBmp(5, 3, rows, rgb);
    auto sixteen = rgb;
    std::fill(sixteen.begin() + 48, sixteen.end(), 0); // past the table: black
    const auto sixBit = Bytes(768, 63);
    Bytes longText(70 * 1024, 'x');
    const auto path = gob({{"PIC.BMP", canonical},
                           {"TOP.BMP", topDownBmp(5, 3, rows, rgb, 16)},
                           {"RGB.BMP", ByteBuilder().raw("BM").zeros(26).u16(24).zeros(40).bytes()},
                           {"GAME.PAL", rgb},
                           {"SIX.PAL", sixBit},
                           {"SHORT.PAL", Bytes(700, 1)},
                           {"README.TXT", test::bytesOf("caf\xE9\r\nline")},
                           {"LONG.CFG", longText},
                           {"DATA.BIN", test::patternBytes(5000, 1)},
                           {"EMPTY.DAT", {}}});
    const auto object = open(path);
    const auto previewOf = [&](const std::string& name) { return preview(*object, rowOf(*object, name)); };

    auto p = previewOf("PIC.BMP");
    EXPECT_EQ(p.kind, PreviewKind::Picture);
    EXPECT_EQ(p.bytes, canonical);
    EXPECT_EQ(p.palette,
              "the own colour table of entry " + std::to_string(rowOf(*object, "PIC.BMP")) + " 'PIC.BMP'");
    p = previewOf("TOP.BMP");
    EXPECT_EQ(p.kind, PreviewKind::Picture);
    EXPECT_EQ(p.bytes, test::expectedBmp(5, 3, rows, sixteen));
    EXPECT_EQ(previewOf("RGB.BMP").kind, PreviewKind::Hex);

    p = previewOf("GAME.PAL");
    EXPECT_EQ(p.kind, PreviewKind::Palette);
    EXPECT_EQ(p.bytes, rgb);
    p = previewOf("SIX.PAL");
    EXPECT_EQ(p.kind, PreviewKind::Palette);
    EXPECT_EQ(p.bytes, Bytes(768, 255)); // widened as the palette loaders do
    EXPECT_EQ(previewOf("SHORT.PAL").kind, PreviewKind::Hex);

    p = previewOf("README.TXT");
    EXPECT_EQ(p.kind, PreviewKind::Text);
    EXPECT_EQ(std::string(p.bytes.begin(), p.bytes.end()), "caf\xC3\xA9\r\nline");
    EXPECT_FALSE(p.truncated);
    p = previewOf("LONG.CFG");
    EXPECT_EQ(p.kind, PreviewKind::Text);
    EXPECT_EQ(p.bytes.size(), kPreviewTextBytes);
    EXPECT_TRUE(p.truncated);

    p = previewOf("DATA.BIN");
    EXPECT_EQ(p.kind, PreviewKind::Hex);
    EXPECT_EQ(p.bytes, test::patternBytes(kPreviewHexBytes, 1));
    EXPECT_TRUE(p.truncated);
    p = previewOf("EMPTY.DAT");
    EXPECT_EQ(p.kind, PreviewKind::Hex);
    EXPECT_TRUE(p.bytes.empty());
    EXPECT_FALSE(p.truncated);
}

TEST_F(Previews, TextureLumpsThatGiveNoPictureShowTheirBytes) {
    test::writeFile(in_ / "gfx.wad", test::wadFile("WAD2", {{"palette", 0x40, test::knownPalette(5)},
                                                            {"sound", 0x43, Bytes(100, 7)}}));
    const auto object = open(in_ / "gfx.wad");
    const auto palette = preview(*object, 0);
    EXPECT_EQ(palette.kind, PreviewKind::Palette);
    EXPECT_EQ(palette.bytes, test::knownPalette(5));
    const auto other = preview(*object, 1);
    EXPECT_EQ(other.kind, PreviewKind::Hex);
    EXPECT_EQ(other.bytes, Bytes(100, 7));
}

TEST_F(Previews, HostileAndHugeEntriesAreRefusedWithinBounds) {
    const auto rgb = test::knownPalette(1);
    const auto bmp = [](std::int32_t width, std::int32_t height, std::uint32_t colours, std::uint32_t dataAt,
                        std::size_t pixels) {
        return ByteBuilder()
            .raw("BM")
            .u32(0)
            .u32(0)
            .u32(dataAt)
            .u32(40)
            .i32(width)
            .i32(height)
            .u16(1)
            .u16(8)
            .u32(0)
            .zeros(12)
            .u32(colours)
            .u32(0)
            .zeros(1024)
            .raw(Bytes(pixels, 1))
            .bytes();
    };
    const struct {
        const char* name;
        Bytes bytes;
        std::string mentions;
    } cases[] = {
        {"COLOURS.BMP", bmp(2, 2, 1000, 1078, 8), "1000 entries"},
        {"PAST.BMP", bmp(64, 64, 0, 1078, 100), "64 x 64 pixels at offset 1078"},
        {"OFFSET.BMP", bmp(2, 2, 0, 0xFFFFFFF0, 8), "offset 4294967280"},
        {"WIDTH0.BMP", bmp(0, 2, 0, 1078, 8), "0 x 2"},
        {"HEIGHT.BMP", bmp(2, INT32_MIN, 0, 1078, 8), "2 x 2147483648"},
        {"HUGE.BMP", bmp(100000, 1, 0, 1078, 8), "100000 x 1"},
    };
    std::vector<std::pair<std::string, Bytes>> entries;
    for (const auto& c : cases)
        entries.emplace_back(c.name, c.bytes);
    const auto object = open(gob(entries));
    for (const auto& c : cases) {
        try {
            preview(*object, rowOf(*object, c.name));
            ADD_FAILURE() << c.name << " was shown";
        } catch (const FormatError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find(object->ArchivePath().string()), std::string::npos) << message;
            EXPECT_NE(message.find(std::string("'") + c.name + "'"), std::string::npos) << message;
            EXPECT_NE(message.find(c.mentions), std::string::npos) << message;
        }
    }
    EXPECT_THROW(preview(*object, object->EntryCount()), Error);
}

TEST_F(Previews, PicturesLargerThanAPreviewReadsAreRefused) {
    // A 40-byte texture lump whose header claims 3000 x 3000 pixels, stored in the next lump: the
    // picture is refused before it is laid out in memory.
    const std::int32_t side = 3000;
    const auto header = ByteBuilder().name("big", 16).i32(side).i32(side).u32(40).zeros(12).bytes();
    const auto pixels = Bytes(static_cast<std::size_t>(wad::mipLevelsSize(side, side)) + 2 + 768, 0);
    test::writeFile(in_ / "big.wad", test::wadFile("WAD3", {{"big", 0x43, header}, {"rest", 0x44, pixels}}));
    const auto wad = open(in_ / "big.wad");
    const auto before = current_;
    try {
        preview(*wad, 0);
        ADD_FAILURE() << "a 3000 x 3000 picture was shown";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find((in_ / "big.wad").string() + ": entry 0 'big': "),
                  std::string::npos)
            << e.what();
        EXPECT_NE(std::string(e.what()).find("3000 x 3000"), std::string::npos) << e.what();
    }
    expectSamePalette(current_, before, "after a refused preview");

    // An image file larger than a preview reads is refused before it is read.
    TempDir folder;
    Bytes wal = test::q2Wal(8, 8, Bytes(64, 1));
    wal.resize(kPreviewMaxBytes + 1);
    test::writeFile(folder / "huge.wal", wal);
    const auto images = open(folder / "huge.wal");
    try {
        preview(*images, 0);
        ADD_FAILURE() << "a file over the preview's bound was read";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find(std::to_string(kPreviewMaxBytes + 1) + " bytes"),
                  std::string::npos)
            << e.what();
    }

    // A BMP entry over the bound shows its first bytes instead.
    Bytes bigBmp = test::expectedBmp(4, 4, Bytes(16, 2), test::knownPalette(3));
    bigBmp.resize(kPreviewMaxBytes + 10);
    const auto object = open(gob({{"BIG.BMP", bigBmp}}));
    const auto preview = this->preview(*object, 0);
    EXPECT_EQ(preview.kind, PreviewKind::Hex);
    EXPECT_EQ(preview.bytes.size(), kPreviewHexBytes);
    EXPECT_TRUE(preview.truncated);
}

TEST(HexDump, SixteenBytesALineWithOffsetsAndPrintableCharacters) {
    using namespace std::literals;
    const auto bytes = test::bytesOf("Hello, VEXA!\x00\x01\xFF\x7F"
                                     "abc"sv);
    EXPECT_EQ(hexDump(bytes),
              "00000000  48 65 6c 6c 6f 2c 20 56  45 58 41 21 00 01 ff 7f  |Hello, VEXA!....|\n"
              "00000010  61 62 63                                          |abc|\n");
    EXPECT_EQ(hexDump(Bytes{0x41}, 0x1230),
              "00001230  41                                                |A|\n");
    EXPECT_EQ(hexDump({}), "");
    // A narrow view asks for fewer bytes a line.
    EXPECT_EQ(hexDump(test::bytesOf("Hello, VEXA!"), 0, 8), "00000000  48 65 6c 6c 6f 2c 20 56  |Hello, V|\n"
                                                            "00000008  45 58 41 21              |EXA!|\n");
}

} // namespace
} // namespace vexa
