// Pictures read for import, their colours mapped onto palettes, their mip levels.

#include "base/errors.h"
#include "images/Png_writer.h"
#include "images/image_builders.h"
#include "images/picture_builders.h"
#include "images/picture_import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <zlib.h>

namespace vexa {
namespace {

using test::Bytes;
using test::Rgb;
using test::TempDir;

// Three pixels by two: row padding in BMPs, distinct colours, one half-transparent pixel.
const Bytes kPixels = {255, 0,  0,  255, 0, 255, 0, 255, 0,   0,   255, 128, // top row
                       10,  20, 30, 255, 9, 8,   7, 255, 200, 100, 50,  0};

Bytes opaque(Bytes rgba) {
    for (std::size_t p = 3; p < rgba.size(); p += 4)
        rgba[p] = 255;
    return rgba;
}

TEST(PictureRead, EveryFormGivesTheSamePixels) {
    TempDir dir;
    const std::vector<Rgb> table = {{255, 0, 0},  {0, 255, 0}, {0, 0, 255},
                                    {10, 20, 30}, {9, 8, 7},   {200, 100, 50}};
    const Bytes indices = {0, 1, 2, 3, 4, 5};
    test::writeFile(dir / "24.bmp", test::rgbBmp(24, 3, 2, kPixels));
    test::writeFile(dir / "24top.bmp", test::rgbBmp(24, 3, 2, kPixels, true));
    test::writeFile(dir / "32.bmp", test::rgbBmp(32, 3, 2, kPixels));
    test::writeFile(dir / "32alpha.bmp", test::rgbBmp(32, 3, 2, kPixels, false, true));
    test::writeFile(dir / "8.bmp", test::indexedBmp(3, 2, indices, table));
    test::writeRgbaPng(dir / "rgba.png", 3, 2, kPixels);
    const struct {
        const char* file;
        Bytes rgba;
        bool stored;
    } cases[] = {
        {"24.bmp", opaque(kPixels), false}, {"24top.bmp", opaque(kPixels), false},
        {"32.bmp", opaque(kPixels), false}, {"32alpha.bmp", kPixels, false},
        {"8.bmp", opaque(kPixels), true},   {"rgba.png", kPixels, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const auto picture = readColourPicture(dir / c.file);
        EXPECT_EQ(picture.width, 3u);
        EXPECT_EQ(picture.height, 2u);
        EXPECT_EQ(picture.rgba, c.rgba);
        ASSERT_EQ(picture.stored.has_value(), c.stored);
        if (c.stored) {
            EXPECT_EQ(picture.stored->image.indices, indices);
            EXPECT_EQ(picture.stored->colours, table);
        }
        const auto size = readPictureSize(dir / c.file);
        EXPECT_EQ(size.width, 3u);
        EXPECT_EQ(size.height, 2u);
    }
}

TEST(PictureRead, PngColourTypesAndPalettedIndices) {
    TempDir dir;
    const std::uint16_t grey16[] = {0x0000, 0x80FF, 0xFFFF, 0x1234};
    test::writePng(dir / "grey16.png", 2, 2, PNG_FORMAT_LINEAR_Y, grey16);
    const std::uint8_t greyAlpha[] = {10, 255, 20, 0, 30, 128, 40, 64};
    test::writePng(dir / "greyalpha.png", 2, 2, PNG_FORMAT_GA, greyAlpha);
    const auto grey = readColourPicture(dir / "greyalpha.png");
    EXPECT_EQ(grey.rgba, (Bytes{10, 10, 10, 255, 20, 20, 20, 0, 30, 30, 30, 128, 40, 40, 40, 64}));
    // 16-bit samples keep their high byte.
    const auto deep = readColourPicture(dir / "grey16.png");
    EXPECT_EQ(deep.rgba,
              (Bytes{0, 0, 0, 255, 0x80, 0x80, 0x80, 255, 255, 255, 255, 255, 0x12, 0x12, 0x12, 255}));

    // VEXA's own paletted PNG: the indices and the palette as stored.
    const auto pal = test::knownPalette(3);
    const Bytes indices = {7, 200, 0, 255, 7, 31};
    const MemoryRows rows(indices, 3, 2);
    writeIndexedPng(dir / "indexed.png", 3, 2, rows, test::paletteTable(test::coloursOf(pal)));
    const auto indexed = readColourPicture(dir / "indexed.png");
    ASSERT_TRUE(indexed.stored);
    EXPECT_EQ(indexed.stored->image.indices, indices);
    EXPECT_EQ(indexed.stored->colours, test::coloursOf(pal));
    EXPECT_EQ(indexed.rgba, test::paint(indices, test::coloursOf(pal)));
}

// An RGBA PNG stored with Adam7 interlacing (libpng's simplified writer makes none).
void writeInterlacedPng(const fs::path& path, std::uint32_t width, std::uint32_t height, const Bytes& rgba) {
    FILE* file = std::fopen(path.c_str(), "wb");
    ASSERT_TRUE(file);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<png_bytep> rows(height);
    for (std::uint32_t r = 0; r < height; ++r)
        rows[r] = const_cast<png_bytep>(&rgba[std::size_t{r} * width * 4]);
    if (!setjmp(png_jmpbuf(png))) {
        png_init_io(png, file);
        png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_ADAM7,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        png_write_image(png, rows.data());
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
}

TEST(PictureRead, RowsReadInAnyChunksGiveTheWholePicture) {
    TempDir dir;
    constexpr std::uint32_t width = 5, height = 7;
    const auto colours = test::coloursOf(test::knownPalette(9));
    Bytes indices(width * height);
    for (std::size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<std::uint8_t>(i * 37 % 251);
    const auto painted = test::paint(indices, colours);
    auto translucent = painted;
    for (std::size_t p = 3; p < translucent.size(); p += 16)
        translucent[p] = 40;
    test::writeFile(dir / "up.bmp", test::rgbBmp(24, width, height, painted));
    test::writeFile(dir / "down.bmp", test::rgbBmp(32, width, height, translucent, true, true));
    test::writeFile(dir / "8.bmp", test::indexedBmp(width, height, indices, colours));
    test::writeRgbaPng(dir / "rgba.png", width, height, translucent);
    writeInterlacedPng(dir / "adam7.png", width, height, translucent);
    writeIndexedPng(dir / "indexed.png", width, height, MemoryRows(indices, width, height),
                    test::paletteTable(colours));
    const struct {
        const char* file;
        const Bytes& rgba;
        bool stored;
    } cases[] = {{"up.bmp", painted, false},        {"down.bmp", translucent, false},
                 {"8.bmp", painted, true},          {"rgba.png", translucent, false},
                 {"adam7.png", translucent, false}, {"indexed.png", painted, true}};
    for (const auto& c : cases)
        for (const std::uint32_t chunk : {1u, 3u}) {
            SCOPED_TRACE(std::string(c.file) + " in chunks of " + std::to_string(chunk));
            PictureRows rows(dir / c.file);
            ASSERT_EQ(rows.size().width, width);
            ASSERT_EQ(rows.storedColours().has_value(), c.stored);
            Bytes rgba, stored;
            for (std::uint32_t at = 0; at < height; at += chunk) {
                const auto count = std::min(chunk, height - at);
                Bytes band(count * width * 4), bandIndices(c.stored ? count * width : 0);
                rows.read(count, band, bandIndices);
                rgba.insert(rgba.end(), band.begin(), band.end());
                stored.insert(stored.end(), bandIndices.begin(), bandIndices.end());
            }
            EXPECT_EQ(rgba, c.rgba);
            if (c.stored) EXPECT_EQ(stored, indices);
            Bytes one(width * 4);
            EXPECT_THROW(rows.read(1, one, {}), Error); // past the last row
        }
}

TEST(PictureRead, DamagedOrUnhandledFilesAreRefusedWithTheReason) {
    TempDir dir;
    const auto good = test::rgbBmp(24, 3, 2, kPixels);
    auto cut = good;
    cut.resize(cut.size() - 5);
    auto rle = good;
    rle[30] = 1;
    auto sixteen = good;
    sixteen[28] = 16;
    auto hugeTable = test::indexedBmp(3, 2, Bytes(6, 0), {{0, 0, 0}});
    hugeTable[46] = 0x2C, hugeTable[47] = 0x01; // 300 colours
    // Two colours in the table; the last pixel uses colour 5.
    const auto pastTable = test::indexedBmp(3, 2, Bytes{0, 1, 0, 1, 0, 5}, {{0, 0, 0}, {255, 255, 255}});
    auto wide = good;
    wide[18] = 0x01, wide[19] = 0x40, wide[20] = 0; // 16385 pixels wide
    auto zeroHigh = good;
    zeroHigh[22] = 0;
    auto coreHeader = good;
    coreHeader[14] = 12;
    test::writeRgbaPng(dir / "ok.png", 3, 2, kPixels);
    auto png = test::readFile(dir / "ok.png");
    auto pngCut = png;
    pngCut.resize(pngCut.size() / 2);
    auto pngCrc = png;
    pngCrc[pngCrc.size() - 20] ^= 0xFF; // inside the image data
    auto pngWide = png;
    pngWide[16] = 0, pngWide[17] = 0, pngWide[18] = 0x4E, pngWide[19] = 0x20; // 20000 wide
    const auto crc = crc32(0, &pngWide[12], 17);                              // of "IHDR" and its fields
    for (int i = 0; i < 4; ++i)
        pngWide[29 + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));

    const struct {
        const char* file;
        Bytes bytes;
        const char* reason;
    } cases[] = {
        {"cut.bmp", cut, "run past the end of the file"},
        {"rle.bmp", rle, "RLE8"},
        {"sixteen.bmp", sixteen, "16-bit"},
        {"table.bmp", hugeTable, "300 entries"},
        {"index.bmp", pastTable, "uses colour 5 of a colour table of 2"},
        {"wide.bmp", wide, "16385 x 2"},
        {"zero.bmp", zeroHigh, "3 x 0"},
        {"core.bmp", coreHeader, "12 bytes"},
        {"short.bmp", test::bytesOf("BM12"), "cut short"},
        {"cut.png", pngCut, "ends inside"},
        {"crc.png", pngCrc, ""},
        {"wide.png", pngWide, "20000 x 2"},
        {"text.png", test::bytesOf("not a picture at all"), "not a PNG or BMP"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        test::writeFile(dir / c.file, c.bytes);
        try {
            (void)readColourPicture(dir / c.file);
            ADD_FAILURE() << "read";
        } catch (const FormatError& e) {
            EXPECT_NE(std::string(e.what()).find(c.file), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
    }
}

// A small palette whose nearest entries are plain to see; the other entries repeat entry 0.
const std::vector<Rgb> kSmall = {{0, 0, 0},   {255, 255, 255}, {255, 0, 0},
                                 {0, 0, 128}, {128, 128, 128}, {0, 160, 0}};

ColourPicture pictureOf(std::uint32_t width, std::uint32_t height, Bytes rgba) {
    return {width, height, std::move(rgba), {}};
}

TEST(PaletteMapping, NearestEntriesOfHandMadeColours) {
    const struct {
        Rgb colour;
        std::uint8_t expected;
    } cases[] = {
        {{250, 10, 10}, 2}, {{20, 20, 100}, 3}, {{120, 125, 130}, 4}, {{240, 240, 240}, 1},
        {{10, 10, 10}, 0},  {{30, 150, 40}, 5}, {{0, 0, 128}, 3},     {{255, 0, 0}, 2},
    };
    Bytes rgba;
    for (const auto& c : cases)
        rgba.insert(rgba.end(), {c.colour[0], c.colour[1], c.colour[2], 255});
    const auto image =
        mapToPalette(pictureOf(std::size(cases), 1, rgba), test::paletteTable(kSmall), {0, 5, {}}, false);
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(image.indices[i], cases[i].expected) << "case " << i;
}

// Saturated colours onto the entries of Quake's palette that sRGB, weighted sRGB, CIELAB, CIEDE2000
// or Oklab distance pick for them: mapping takes Oklab's (as bench/nearest_colour.py, a separate
// implementation, finds them), never the dark red plain RGB and CIELAB give pure red nor the blue
// CIELAB gives magenta.
TEST(PaletteMapping, SaturatedColoursTakeTheOklabNearestEntry) {
    const std::vector<Rgb> entries = {
        {127, 0, 0},    {159, 79, 51},   {175, 99, 47}, {107, 107, 15}, {171, 151, 11}, {255, 243, 27},
        {239, 223, 23}, {187, 115, 159}, {19, 19, 223}, {207, 143, 43}, {191, 119, 47}, {27, 27, 207},
        {11, 11, 239},  {0, 0, 255},     {131, 87, 19}, {143, 67, 51},  {47, 47, 127},  {43, 43, 175},
        {47, 47, 143},  {47, 47, 7},     {63, 63, 7},   {99, 99, 11},   {91, 91, 11}};
    const auto index = [&](Rgb c) { return std::find(entries.begin(), entries.end(), c) - entries.begin(); };
    const struct {
        Rgb colour, nearest;
    } cases[] = {
        {{255, 0, 0}, {175, 99, 47}},    {{0, 255, 0}, {239, 223, 23}},  {{255, 0, 255}, {187, 115, 159}},
        {{255, 128, 0}, {207, 143, 43}}, {{128, 0, 255}, {11, 11, 239}}, {{139, 69, 19}, {143, 67, 51}},
        {{0, 0, 128}, {47, 47, 127}},    {{0, 100, 0}, {91, 91, 11}},
    };
    Bytes rgba;
    for (const auto& c : cases)
        rgba.insert(rgba.end(), {c.colour[0], c.colour[1], c.colour[2], 255});
    const auto mapped = mapToPalette(pictureOf(std::size(cases), 1, rgba), test::paletteTable(entries),
                                     {0, static_cast<int>(entries.size()) - 1, {}}, false);
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(mapped.indices[i], index(cases[i].nearest)) << "case " << i;
}

TEST(PaletteMapping, ReservedEntriesAndSeeThroughPixels) {
    auto colours = kSmall;
    colours.resize(256, {0, 0, 0});
    colours[230] = {255, 255, 0}; // a fullbright yellow
    const Bytes rgba = {255, 255, 0, 255, /**/ 255, 255, 0, 0, /**/ 255, 0, 0, 100};
    const auto palette = test::paletteTable(colours);
    const auto all = mapToPalette(pictureOf(3, 1, rgba), palette, {0, 255, {}}, false);
    EXPECT_EQ(all.indices, (Bytes{230, 230, 2})); // no transparent index: alpha ignored
    const auto lit = mapToPalette(pictureOf(3, 1, rgba), palette, {0, 223, 255}, false);
    EXPECT_NE(lit.indices[0], 230);
    EXPECT_LE(lit.indices[0], 223);
    EXPECT_EQ(lit.indices[1], 255);
    EXPECT_EQ(lit.indices[2], 255);
    const auto jedi = mapToPalette(pictureOf(3, 1, rgba), palette, {1, 255, 0}, false);
    EXPECT_EQ(jedi.indices, (Bytes{230, 0, 0}));
}

TEST(PaletteMapping, AnEqualColourTableKeepsItsIndices) {
    // A palette with repeated colours: a nearest-colour search would give the first of each.
    auto colours = test::coloursOf(test::knownPalette(5));
    colours[40] = colours[10];
    const Bytes indices = {40, 10, 255, 0, 40, 3};
    const auto palette = test::paletteTable(colours);
    ColourPicture picture = pictureOf(3, 2, test::paint(indices, colours));
    picture.stored = StoredIndices{{3, 2, indices}, colours};
    EXPECT_EQ(mapToPalette(picture, palette, {0, 223, 255}, true).indices, indices);
    // A table shorter than the palette but equal to its first entries also keeps them.
    const Bytes low = {1, 2, 3, 0, 1, 2};
    picture.stored = StoredIndices{{3, 2, low}, {colours.begin(), colours.begin() + 4}};
    picture.rgba = test::paint(low, colours);
    EXPECT_EQ(mapToPalette(picture, palette, {0, 255, {}}, false).indices, low);
    // One entry differs: the colours are mapped, and the repeated colour goes to its first index.
    picture.stored = StoredIndices{{3, 2, indices}, colours};
    picture.stored->colours[255] = {1, 2, 3};
    picture.rgba = test::paint(indices, colours);
    EXPECT_EQ(mapToPalette(picture, palette, {0, 255, {}}, false).indices[0], 10);
}

TEST(PaletteMapping, DitheringMixesTwoEntriesForAColourBetween) {
    const std::vector<Rgb> blackWhite = {{0, 0, 0}, {255, 255, 255}};
    Bytes grey;
    for (int i = 0; i < 32 * 32; ++i)
        grey.insert(grey.end(), {128, 128, 128, 255});
    const auto palette = test::paletteTable(blackWhite);
    const auto flat = mapToPalette(pictureOf(32, 32, grey), palette, {0, 1, {}}, false);
    EXPECT_EQ(std::count(flat.indices.begin(), flat.indices.end(), flat.indices[0]), 32 * 32);
    const auto dithered = mapToPalette(pictureOf(32, 32, grey), palette, {0, 1, {}}, true);
    const auto white = std::count(dithered.indices.begin(), dithered.indices.end(), 1);
    EXPECT_GT(white, 32 * 32 * 4 / 10);
    EXPECT_LT(white, 32 * 32 * 6 / 10);
}

TEST(OwnPalette, UpTo256ColoursAreKeptExactlyAndMoreAreReduced) {
    Bytes rgba;
    for (int i = 0; i < 256; ++i)
        rgba.insert(rgba.end(), {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i * 3),
                                 static_cast<std::uint8_t>(255 - i), 255});
    const auto exact = reduceToOwnPalette(pictureOf(16, 16, rgba), false);
    ASSERT_EQ(exact.colours.size(), 256u);
    for (std::size_t p = 0; p < 256; ++p) {
        const auto& c = exact.colours[exact.image.indices[p]];
        EXPECT_EQ((Rgb{rgba[4 * p], rgba[4 * p + 1], rgba[4 * p + 2]}), c) << "pixel " << p;
    }

    Bytes many;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            many.insert(many.end(), {static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(y * 4),
                                     static_cast<std::uint8_t>((x + y) * 2), 255});
    const auto reduced = reduceToOwnPalette(pictureOf(64, 64, many), false);
    ASSERT_LE(reduced.colours.size(), 256u);
    ASSERT_EQ(reduced.image.indices.size(), 64u * 64);
    long worst = 0;
    for (std::size_t p = 0; p < 64 * 64; ++p) {
        ASSERT_LT(reduced.image.indices[p], reduced.colours.size());
        const auto& c = reduced.colours[reduced.image.indices[p]];
        for (int k = 0; k < 3; ++k)
            worst = std::max(worst, std::labs(long{c[k]} - long{many[4 * p + k]}));
    }
    EXPECT_LT(worst, 40);

    // Stored indices and their table stay as they are, colours repeated or not.
    ColourPicture stored = pictureOf(2, 1, {1, 1, 1, 255, 1, 1, 1, 255});
    stored.stored = StoredIndices{{2, 1, {3, 0}}, {{1, 1, 1}, {5, 5, 5}, {6, 6, 6}, {1, 1, 1}}};
    const auto kept = reduceToOwnPalette(stored, false);
    EXPECT_EQ(kept.image.indices, (Bytes{3, 0}));
    EXPECT_EQ(kept.colours.size(), 4u);
}

// A picture of a few more colours than the table holds uses nearly all of the table (libimagequant's
// fastest speed merged them into 127 entries of 256 for 309 colours).
TEST(OwnPalette, AFewColoursMoreThanTheTableUseAllOfIt) {
    for (const std::size_t count : {309u, 603u}) {
        SCOPED_TRACE(std::to_string(count) + " colours");
        std::vector<Rgb> colours;
        std::uint32_t seed = 28;
        for (std::size_t i = 0; i < count; ++i) {
            seed = seed * 1103515245u + 12345u;
            colours.push_back({static_cast<std::uint8_t>(seed >> 8), static_cast<std::uint8_t>(seed >> 16),
                               static_cast<std::uint8_t>(seed >> 24)});
        }
        Bytes rgba;
        for (std::size_t p = 0; p < 96 * 96; ++p) {
            const auto& c = colours[(p / 4) % count];
            rgba.insert(rgba.end(), {c[0], c[1], c[2], 255});
        }
        const auto reduced = reduceToOwnPalette(pictureOf(96, 96, rgba), false);
        std::vector<bool> used(256);
        for (const auto index : reduced.image.indices)
            used[index] = true;
        EXPECT_GE(std::count(used.begin(), used.end(), true), 250);
    }
}

TEST(MipLevels, HalvesInLinearLightAndChecksSides) {
    // Black and white in a chessboard average to 188 in sRGB (half the light), not 128.
    Bytes board;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) {
            const std::uint8_t v = (x + y) % 2 ? 255 : 0;
            board.insert(board.end(), {v, v, v, 255});
        }
    const auto levels = smallerMipLevels(pictureOf(32, 16, board));
    const std::uint32_t sides[3][2] = {{16, 8}, {8, 4}, {4, 2}};
    for (std::size_t i = 0; i < levels.size(); ++i) {
        EXPECT_EQ(levels[i].width, sides[i][0]);
        EXPECT_EQ(levels[i].height, sides[i][1]);
        EXPECT_EQ(levels[i].rgba.size(), std::size_t{sides[i][0]} * sides[i][1] * 4);
        for (std::size_t p = 0; p < levels[i].rgba.size(); p += 4)
            ASSERT_EQ(levels[i].rgba[p], 188) << "level " << i + 1;
    }
    EXPECT_NO_THROW(requireMipSides("a.png", {32, 16}));
    for (const PictureSize bad : {PictureSize{24, 16}, PictureSize{16, 8}, PictureSize{100, 100}})
        EXPECT_THROW(requireMipSides("a.png", bad), FormatError);
}

} // namespace
} // namespace vexa
