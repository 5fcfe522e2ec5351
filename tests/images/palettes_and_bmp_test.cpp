#include "base/errors.h"
#include "images/bmp.h"
#include "images/image_builders.h"
#include "images/palette_files.h"

#include <gtest/gtest.h>

#include <set>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::TempDir;

Bytes tableOf(const Bytes& rgb) {
    Bytes table;
    for (std::size_t i = 0; i < 256; ++i)
        table.insert(table.end(), {rgb[3 * i + 2], rgb[3 * i + 1], rgb[3 * i], 0});
    return table;
}
// The palette the tests load into, as the window keeps its current one.
Palette current;

Bytes currentTable() {
    return Bytes(current.table.begin(), current.table.end());
}
void setPalette(const Bytes& rgb) {
    const auto table = tableOf(rgb);
    std::copy(table.begin(), table.end(), current.table.begin());
}
bool take(std::optional<Palette> loaded) {
    if (loaded) current = std::move(*loaded);
    return loaded.has_value();
}

// ---- BMP writer ----

TEST(BitmapWriter, OnePixelIsTheHeaderAndOnePaddedRow) {
    TempDir dir;
    const auto rgb = test::knownPalette(3);
    setPalette(rgb);
    const Bytes pixel = {0x42};
    WriteIndexedBitmap(dir / "one.bmp", 1, 1, MemoryRows(pixel, 1, 1), current.table);
    const auto written = test::readFile(dir / "one.bmp");
    ASSERT_EQ(written.size(), 1082u);
    EXPECT_EQ(written, test::expectedBmp(1, 1, pixel, rgb));
    EXPECT_EQ(Bytes(written.end() - 4, written.end()), (Bytes{0x42, 0, 0, 0}));
}

TEST(BitmapWriter, RowsArePaddedAndStoredBottomFirst) {
    const auto rgb = test::knownPalette(9);
    setPalette(rgb);
    const struct {
        std::uint32_t width, height, stride;
    } cases[] = {{1, 3, 4},   {2, 2, 4},   {3, 5, 4},   {4, 2, 4},  {5, 1, 8},
                 {10, 4, 12}, {24, 8, 24}, {30, 2, 32}, {64, 3, 64}};
    for (const auto& c : cases) {
        const auto rows =
            test::patternBytes(std::size_t{c.width} * c.height, static_cast<std::uint8_t>(c.width));
        const auto bmp =
            WriteIndexedBitmap(c.width, c.height, MemoryRows(rows, c.width, c.height), current.table);
        EXPECT_EQ(bmp.size(), 1078u + c.stride * c.height) << c.width << "x" << c.height;
        EXPECT_EQ(bmp, test::expectedBmp(c.width, c.height, rows, rgb)) << c.width << "x" << c.height;
    }
}

// Small pictures are written in one piece, larger ones in bands: both sides of that line, and a
// picture of several bands, give the bytes of the memory form.
TEST(BitmapWriter, FileAndMemoryFormsAreTheSameBytes) {
    const struct { std::uint32_t width, height; } sizes[] = {{30, 7}, {256, 251}, {256, 252}, {1000, 300}};
    for (const auto& size : sizes) {
        TempDir dir;
        test::writeFile(dir / "src", test::patternBytes(5 + std::size_t{size.width} * size.height, 4));
        InputFile source(dir / "src");
        const auto image = readImage(source, 5, size.width, size.height, "pixels");
        const MemoryRows rows(image.indices, size.width, size.height);
        WriteIndexedBitmap(dir / "a.bmp", size.width, size.height, rows, current.table);
        EXPECT_EQ(test::readFile(dir / "a.bmp"),
                  WriteIndexedBitmap(size.width, size.height, rows, current.table))
            << size.width << "x" << size.height;
    }
}

// Rows are read and written in bands; pictures larger than one band must keep their row order.
TEST(BitmapWriter, PicturesLargerThanOneBandKeepTheirRowOrder) {
    const auto rgb = test::knownPalette(1);
    setPalette(rgb);
    for (const std::uint32_t width : {1u, 333u, 16384u}) {
        const std::uint32_t height = 300;
        const auto rows = test::patternBytes(std::size_t{width} * height, 7);
        EXPECT_EQ(WriteIndexedBitmap(width, height, MemoryRows(rows, width, height), current.table),
                  test::expectedBmp(width, height, rows, rgb))
            << width;
    }
}

TEST(BitmapWriter, ShortSourcesAndImpossibleSizesWriteNothing) {
    TempDir dir;
    test::writeFile(dir / "src", Bytes(100, 1));
    InputFile source(dir / "src");
    EXPECT_THROW(readImage(source, 0, 10, 11, "pixels"), FormatError);
    EXPECT_THROW(readImage(source, 101, 1, 1, "pixels"), FormatError);
    EXPECT_THROW(readImage(source, 0, UINT32_MAX, 2, "pixels"), FormatError);
    const Bytes few(10, 1);
    EXPECT_THROW(MemoryRows(few, 4, 3), Error);

    const Bytes many(20000, 1);
    const struct { std::uint32_t width, height; } sizes[] = {{0, 1}, {1, 0}, {16385, 1}, {1, 16385}};
    for (const auto& s : sizes) {
        EXPECT_THROW(
            WriteIndexedBitmap(dir / "x.bmp", s.width, s.height, MemoryRows(many, 1, 1), current.table),
            Error);
        EXPECT_FALSE(fs::exists(dir / "x.bmp")) << s.width << "x" << s.height;
    }
}

TEST(BitmapWriter, UncreatableOutputGivesTheFileLayerMessage) {
    const Bytes pixel = {1};
    try {
        WriteIndexedBitmap("/nonexistent/x.bmp", 1, 1, MemoryRows(pixel, 1, 1), current.table);
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Cannot create file /nonexistent/x.bmp: No such file or directory");
    }
}

// ---- palette loaders ----

TEST(Palette, SixBitValuesAreWidened) {
    const std::pair<int, int> cases[] = {{0, 0}, {1, 4}, {11, 45}, {32, 130}, {54, 219}, {63, 255}};
    for (const auto& [in, out] : cases)
        EXPECT_EQ(widenSixBit(static_cast<std::uint8_t>(in)), out) << in;
}

TEST(Palette, PalFileOfSixBitValuesIsWidenedAndEightBitIsKept) {
    TempDir dir;
    Bytes sixBit(768);
    for (std::size_t i = 0; i < 768; ++i)
        sixBit[i] = static_cast<std::uint8_t>(i % 64);
    test::writeFile(dir / "six.pal", sixBit);
    ASSERT_TRUE(take(LoadPalFile(dir / "six.pal")));
    EXPECT_EQ(current.table[4 * 21 + 2], 255); // entry 21's red is byte 63
    EXPECT_EQ(current.table[4 * 10], 130);     // entry 10's blue is byte 32
    Bytes expected(1024);
    for (std::size_t i = 0; i < 256; ++i)
        for (std::size_t c = 0; c < 3; ++c)
            expected[4 * i + 2 - c] = widenSixBit(sixBit[3 * i + c]);
    EXPECT_EQ(currentTable(), expected);

    const auto eightBit = test::knownPalette(5);
    test::writeFile(dir / "eight.pal", eightBit);
    ASSERT_TRUE(take(LoadPalFile(dir / "eight.pal")));
    EXPECT_EQ(currentTable(), tableOf(eightBit));

    // A dark 8-bit palette cannot be told from a 6-bit one: it is widened too.
    test::writeFile(dir / "dark.pal", Bytes(768, 63));
    ASSERT_TRUE(take(LoadPalFile(dir / "dark.pal")));
    EXPECT_EQ(current.table[0], 255);
}

TEST(Palette, ShortPalFileFails) {
    TempDir dir;
    test::writeFile(dir / "short.pal", Bytes(765, 100));
    EXPECT_FALSE(LoadPalFile(dir / "short.pal"));
}

TEST(Palette, BmpColourTableIsCopiedUnchanged) {
    TempDir dir;
    Bytes table(1024);
    for (std::size_t i = 0; i < 1024; ++i)
        table[i] = static_cast<std::uint8_t>(i % 50); // all below 64
    auto bmp = [&](std::uint16_t bits, std::size_t tableBytes) {
        ByteBuilder b;
        b.raw("BM").u32(0).u32(0).u32(1078).u32(40).u32(1).u32(1).u16(1).u16(bits).zeros(24);
        b.raw(Bytes(table.begin(), table.begin() + static_cast<std::ptrdiff_t>(tableBytes)));
        return b.bytes();
    };
    test::writeFile(dir / "8.bmp", bmp(8, 1024));
    test::writeFile(dir / "24.bmp", bmp(24, 1024));
    test::writeFile(dir / "cut.bmp", bmp(8, 1000));

    ASSERT_TRUE(take(LoadBmpPalette(InputFile(dir / "8.bmp"))));
    EXPECT_EQ(currentTable(), table);
    setPalette(test::knownPalette(2));
    EXPECT_FALSE(LoadBmpPalette(InputFile(dir / "24.bmp")));
    EXPECT_FALSE(LoadBmpPalette(InputFile(dir / "cut.bmp")));
    EXPECT_EQ(currentTable(), tableOf(test::knownPalette(2)));
}

TEST(Palette, CmpJkBmAndPltSources) {
    TempDir dir;
    const auto rgb = test::knownPalette(4);
    test::writeFile(dir / "good.cmp", ByteBuilder().raw("CMP ").zeros(62).raw(rgb).zeros(100).bytes());
    test::writeFile(dir / "wrong.cmp", ByteBuilder().raw("CMX ").zeros(62).raw(rgb).bytes());
    test::writeFile(dir / "short.cmp", ByteBuilder().raw("CMP ").zeros(62).raw(Bytes(500, 99)).bytes());
    test::writeFile(dir / "own.bm", test::jkBm({{2, 2, Bytes(4, 1)}}, rgb));
    test::writeFile(dir / "none.bm", test::jkBm({{2, 2, Bytes(4, 1)}}));
    test::writeFile(dir / "tiny.bm", ByteBuilder().raw("BM  ").zeros(8).i32(2).zeros(300).bytes());

    ASSERT_TRUE(take(LoadCmpPalette(InputFile(dir / "good.cmp"))));
    EXPECT_EQ(currentTable(), tableOf(rgb));
    ASSERT_TRUE(take(LoadJkBmPalette(InputFile(dir / "own.bm"))));
    EXPECT_EQ(currentTable(), tableOf(rgb));

    // Refused sources leave the palette as it was, also those whose palette would be cut short.
    setPalette(test::knownPalette(8));
    for (const char* name : {"wrong.cmp", "short.cmp"})
        EXPECT_FALSE(LoadCmpPalette(InputFile(dir / name))) << name;
    for (const char* name : {"none.bm", "tiny.bm"})
        EXPECT_FALSE(LoadJkBmPalette(InputFile(dir / name))) << name;
    EXPECT_EQ(currentTable(), tableOf(test::knownPalette(8)));
}

TEST(Palette, PltLoadsEntriesUpToItsLastIndex) {
    TempDir dir;
    Bytes colours(48);
    for (std::size_t i = 0; i < 48; ++i)
        colours[i] = static_cast<std::uint8_t>(i + 10); // all below 64
    test::writeFile(dir / "a.plt", ByteBuilder().u8(0xAA).u8(15).raw(colours).bytes());
    test::writeFile(dir / "short.plt", ByteBuilder().u8(0).u8(15).raw(Bytes(47, 1)).bytes());
    test::writeFile(dir / "one.plt", Bytes{0});

    setPalette(test::knownPalette(1));
    ASSERT_TRUE(take(LoadPltPalette(InputFile(dir / "a.plt"))));
    Bytes expected(1024, 0);
    for (std::size_t i = 0; i < 16; ++i)
        for (std::size_t c = 0; c < 3; ++c)
            expected[4 * i + 2 - c] = widenSixBit(colours[3 * i + c]);
    EXPECT_EQ(currentTable(), expected);

    for (const char* name : {"short.plt", "one.plt"})
        EXPECT_FALSE(LoadPltPalette(InputFile(dir / name))) << name;
}

TEST(Palette, MissingSourceGivesTheFileLayerMessage) {
    for (const auto& source : paletteSources()) {
        try {
            source.load("/nonexistent/p.x");
            ADD_FAILURE() << source.caption;
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "Cannot open file /nonexistent/p.x: No such file or directory")
                << source.caption;
        }
    }
}

TEST(Palette, SavedFileIsRedGreenBlueInEntryOrder) {
    TempDir dir;
    const auto rgb = test::knownPalette(6);
    setPalette(rgb);
    SavePalFile(dir / "out.pal", current.table);
    EXPECT_EQ(test::readFile(dir / "out.pal"), rgb);
}

TEST(Palette, PreviewIsASixteenBySixteenGrid) {
    setPalette(test::knownPalette(2));
    const auto cells = PaintPalettePreview(current.table);
    const struct {
        std::size_t entry;
        int left, top;
    } cases[] = {{0, 0, 0}, {1, 11, 0}, {16, 0, 11}, {17, 11, 11}, {255, 165, 165}};
    for (const auto& c : cases) {
        const auto& cell = cells[c.entry];
        EXPECT_EQ(cell.left, c.left);
        EXPECT_EQ(cell.top, c.top);
        EXPECT_EQ(cell.right, c.left + 10);
        EXPECT_EQ(cell.bottom, c.top + 10);
        EXPECT_EQ(cell.red, static_cast<std::uint8_t>(c.entry));
        EXPECT_EQ(cell.green, static_cast<std::uint8_t>(255 - c.entry));
    }
    current = Palette{};
    for (const auto& cell : PaintPalettePreview(current.table))
        EXPECT_EQ(cell.red | cell.green | cell.blue, 0);
}

// ---- game palettes ----

TEST(GamePalettes, DefaultsPointIntoTheDataFolder) {
    const auto paths = GamePalettePaths::defaults("/opt/vexa/Data");
    EXPECT_EQ(paths.path(Game::DarkForcesBm), fs::path("/opt/vexa/Data/default_dark_forces.pal"));
    EXPECT_EQ(paths.path(Game::JediKnightBm), fs::path("/opt/vexa/Data/default_jk_bm.pal"));
    EXPECT_EQ(paths.path(Game::JediKnightMat), fs::path("/opt/vexa/Data/default_jk_mat.pal"));
    EXPECT_EQ(paths.path(Game::Quake1Bsp), fs::path("/opt/vexa/Data/default_quake1.pal"));
    EXPECT_EQ(paths.path(Game::Quake2Wal), fs::path("/opt/vexa/Data/default_quake2.pal"));
    try {
        loadGamePalette(Game::Quake2Wal, paths);
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(),
                     "Cannot open file /opt/vexa/Data/default_quake2.pal: No such file or directory");
    }
}

TEST(GamePalettes, ShippedDefaultsAreDistinctEightBitPalettes) {
    const auto data = fs::path(__FILE__).parent_path().parent_path().parent_path() / "data" / "Data";
    std::set<Bytes> seen;
    for (const auto& g : gamePalettes()) {
        const auto bytes = test::readFile(data / std::string(g.defaultFile));
        ASSERT_EQ(bytes.size(), 768u) << g.defaultFile;
        EXPECT_GE(*std::max_element(bytes.begin(), bytes.end()), 64) << g.defaultFile;
        std::set<std::vector<std::uint8_t>> colours;
        for (std::size_t i = 0; i < 256; ++i)
            colours.insert(Bytes(bytes.begin() + 3 * i, bytes.begin() + 3 * i + 3));
        EXPECT_GE(colours.size(), 200u) << g.defaultFile << " is not well spread";
        EXPECT_TRUE(seen.insert(bytes).second) << g.defaultFile << " repeats another palette";
    }
}

TEST(GamePalettes, ShortGamePaletteIsRefused) {
    TempDir dir;
    test::writeFile(dir / "p.pal", Bytes(700, 100));
    GamePalettePaths paths;
    paths.set(Game::JediKnightMat, dir / "p.pal");
    EXPECT_THROW(loadGamePalette(Game::JediKnightMat, paths), FormatError);
}

TEST(GamePalettes, ImportSavesACopyForTheChosenGameOnly) {
    TempDir dir, data;
    auto paths = GamePalettePaths::defaults(data.path());
    Bytes table(1024);
    for (std::size_t i = 0; i < 1024; ++i)
        table[i] = static_cast<std::uint8_t>(i % 4 == 3 ? 0 : i * 3);
    ByteBuilder bmp;
    bmp.raw("BM").u32(0).u32(0).u32(1078).u32(40).u32(1).u32(1).u16(1).u16(8).zeros(24).raw(table);
    test::writeFile(dir / "textures.bmp", bmp.bytes());

    const auto copy =
        importPalette(PaletteSource::BmpFile, dir / "textures.bmp", data.path(), Game::JediKnightMat, paths);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->copy, data / "textures.pal");
    EXPECT_EQ(test::readFile(copy->copy).size(), 768u);
    EXPECT_EQ(Bytes(copy->palette.table.begin(), copy->palette.table.end()), table);
    EXPECT_EQ(paths.path(Game::JediKnightMat), data / "textures.pal");
    EXPECT_EQ(paths.path(Game::Quake2Wal), data / "default_quake2.pal");

    // A 6-bit source is saved widened; a refused one changes no path and writes nothing.
    test::writeFile(dir / "six.pal", Bytes(768, 63));
    ASSERT_TRUE(importPalette(PaletteSource::PalFile, dir / "six.pal", data.path(), Game::Quake2Wal, paths));
    EXPECT_EQ(test::readFile(data / "six.pal"), Bytes(768, 255));
    test::writeFile(dir / "no.cmp", Bytes(900, 1));
    EXPECT_FALSE(
        importPalette(PaletteSource::CmpFile, dir / "no.cmp", data.path(), Game::DarkForcesBm, paths));
    EXPECT_EQ(paths.path(Game::DarkForcesBm), data / "default_dark_forces.pal");
    EXPECT_FALSE(fs::exists(data / "no.pal"));
}

TEST(GamePalettes, AFailedImportKeepsThePaths) {
    TempDir dir, data;
    auto paths = GamePalettePaths::defaults(data.path());
    test::writeFile(dir / "short.pal", Bytes(765, 200));
    test::writeFile(dir / "short.plt", Bytes{0, 255, 1, 2, 3});
    test::writeFile(dir / "deep.bmp", ByteBuilder().raw("BM").zeros(26).u16(24).zeros(1100).bytes());
    const struct {
        PaletteSource source;
        const char* file;
        bool throws;
    } cases[] = {{PaletteSource::PalFile, "short.pal", false},
                 {PaletteSource::PltFile, "short.plt", false},
                 {PaletteSource::BmpFile, "deep.bmp", false},
                 {PaletteSource::PalFile, "missing.pal", true},
                 {PaletteSource::PltFile, "missing.plt", true}};
    for (const auto& c : cases) {
        if (c.throws)
            EXPECT_THROW(importPalette(c.source, dir / c.file, data.path(), Game::Quake1Bsp, paths), Error)
                << c.file;
        else
            EXPECT_FALSE(importPalette(c.source, dir / c.file, data.path(), Game::Quake1Bsp, paths))
                << c.file;
        EXPECT_EQ(paths.path(Game::Quake1Bsp), data / "default_quake1.pal") << c.file;
    }
    EXPECT_TRUE(fs::is_empty(data.path()));

    // A copy that cannot be saved fails the import as a whole.
    test::writeFile(dir / "good.pal", test::knownPalette(41));
    EXPECT_THROW(
        importPalette(PaletteSource::PalFile, dir / "good.pal", data / "no" / "such", Game::Quake1Bsp, paths),
        Error);
    EXPECT_EQ(paths.path(Game::Quake1Bsp), data / "default_quake1.pal");
}

} // namespace
} // namespace vexa
