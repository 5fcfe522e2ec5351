// The PNG and BMP sinks of decoded pictures: PNGs read back with libpng (indices, tRNS, grAb, the
// RGBA fallback), BMPs held against bytes laid out by hand.

#include "base/errors.h"
#include "images/Png_writer.h"
#include "images/content_builders.h"
#include "images/image_builders.h"
#include "images/picture_files.h"
#include "images/png_decode.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;

const Bytes kRgb = test::knownPalette(3);
const PaletteTable kPalette = test::paletteTableOf(kRgb);

DecodedPicture indexed(std::uint32_t width, std::uint32_t height, Bytes indices, Bytes alpha = {}) {
    DecodedPicture picture;
    picture.image = {width, height, std::move(indices)};
    picture.alpha = std::move(alpha);
    return picture;
}

// 16 x 17: the first 256 pixels use every index once, the last row is see-through.
DecodedPicture everyIndexUsed() {
    Bytes indices(16 * 17), alpha(16 * 17, kOpaque);
    for (std::size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<std::uint8_t>(i);
    std::fill(alpha.begin() + 256, alpha.end(), kSeeThrough);
    return indexed(16, 17, indices, alpha);
}

std::size_t chunkAt(const Bytes& png, const char* name) {
    const auto it = std::search(png.begin(), png.end(), name, name + 4);
    return static_cast<std::size_t>(it - png.begin());
}

TEST(PicturePng, OpaquePicturesKeepIndicesPaletteAndOffsets) {
    if (!pngOutputBuilt()) GTEST_SKIP() << kNoPngOutput;
    auto picture = indexed(3, 2, {0, 7, 255, 9, 9, 1});
    picture.offset = PictureOffset{-3, 70000};
    const auto bytes = encodePicturePng(picture, kPalette);
    const auto png = test::decodePngBytes(bytes);
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.colourType, PNG_COLOR_TYPE_PALETTE);
    EXPECT_EQ(png.palette, kRgb);
    EXPECT_EQ(png.indices, picture.image.indices);
    EXPECT_FALSE(png.transparency);
    ASSERT_TRUE(png.grab);
    EXPECT_EQ(png.grabX, -3);
    EXPECT_EQ(png.grabY, 70000);
    EXPECT_LT(chunkAt(bytes, "grAb"), chunkAt(bytes, "IDAT")); // where Doom's tools read it

    picture.offset.reset();
    const auto plain = encodePicturePng(picture, kPalette);
    EXPECT_FALSE(test::decodePngBytes(plain).grab);
    EXPECT_EQ(chunkAt(plain, "grAb"), plain.size());
}

TEST(PicturePng, SeeThroughTakesTheHighestEntryOpaquePixelsLeaveUnused) {
    if (!pngOutputBuilt()) GTEST_SKIP() << kNoPngOutput;
    // Opaque pixels use 1, 2 and 255; the see-through ones hold 254, which does not count as used.
    const auto picture = indexed(3, 2, {1, 254, 255, 2, 254, 1},
                                 {kOpaque, kSeeThrough, kOpaque, kOpaque, kSeeThrough, kOpaque});
    const auto png = test::decodePngBytes(encodePicturePng(picture, kPalette));
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.colourType, PNG_COLOR_TYPE_PALETTE);
    EXPECT_EQ(png.indices, (Bytes{1, 254, 255, 2, 254, 1}));
    EXPECT_EQ(png.palette, kRgb);
    Bytes transparent(255, 255);
    transparent[254] = 0;
    EXPECT_EQ(png.transparent, transparent);

    // With 255 unused it is the key, and every entry is listed in tRNS.
    const auto low = indexed(2, 1, {3, 0}, {kOpaque, kSeeThrough});
    const auto lowPng = test::decodePngBytes(encodePicturePng(low, kPalette));
    EXPECT_EQ(lowPng.indices, (Bytes{3, 255}));
    ASSERT_EQ(lowPng.transparent.size(), 256u);
    EXPECT_EQ(lowPng.transparent[255], 0);
    EXPECT_EQ(lowPng.transparent[3], 255);
}

TEST(PicturePng, PicturesUsingEveryEntryAndTrueColourGoOutAsRgbOrRgba) {
    if (!pngOutputBuilt()) GTEST_SKIP() << kNoPngOutput;
    const auto full = test::decodePngBytes(encodePicturePng(everyIndexUsed(), kPalette));
    ASSERT_TRUE(full.ok);
    EXPECT_EQ(full.colourType, PNG_COLOR_TYPE_RGB_ALPHA);
    ASSERT_EQ(full.samples.size(), 16u * 17 * 4);
    for (const std::size_t i : {0u, 77u, 255u}) // pixel i is index i, opaque
        EXPECT_EQ(Bytes(full.samples.begin() + 4 * i, full.samples.begin() + 4 * i + 4),
                  (Bytes{kRgb[3 * i], kRgb[3 * i + 1], kRgb[3 * i + 2], 255}))
            << i;
    EXPECT_EQ(full.samples.at(4 * 256 + 3), 0);

    DecodedPicture colour;
    colour.image = {2, 1, {}};
    colour.rgba = {1, 2, 3, 255, 4, 5, 6, 255};
    const auto rgb = test::decodePngBytes(encodePicturePng(colour, kPalette));
    EXPECT_EQ(rgb.colourType, PNG_COLOR_TYPE_RGB);
    EXPECT_EQ(rgb.samples, (Bytes{1, 2, 3, 4, 5, 6}));
    colour.rgba[7] = 0;
    const auto rgba = test::decodePngBytes(encodePicturePng(colour, kPalette));
    EXPECT_EQ(rgba.colourType, PNG_COLOR_TYPE_RGB_ALPHA);
    EXPECT_EQ(rgba.samples, colour.rgba);
}

TEST(PictureBmp, IndexedPicturesAreEightBitWithCyanForSeeThrough) {
    const Bytes rows = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(encodePictureBmp(indexed(3, 2, rows), kPalette), test::expectedBmp(3, 2, rows, kRgb));

    const auto picture =
        indexed(3, 2, {1, 9, 255, 4, 9, 6}, {kOpaque, kSeeThrough, kOpaque, kOpaque, kSeeThrough, kOpaque});
    auto cyan = kRgb;
    cyan[3 * 254] = 0;
    cyan[3 * 254 + 1] = 255;
    cyan[3 * 254 + 2] = 255;
    EXPECT_EQ(encodePictureBmp(picture, kPalette), test::expectedBmp(3, 2, {1, 254, 255, 4, 254, 6}, cyan));
}

TEST(PictureBmp, EveryEntryUsedGivesThirtyTwoBitsWithAlpha) {
    const auto bmp = encodePictureBmp(everyIndexUsed(), kPalette);
    ByteBuilder header;
    header.raw("BM").u32(14 + 108 + 16 * 17 * 4).u32(0).u32(14 + 108);
    header.u32(108).u32(16).u32(17).u16(1).u16(32).u32(3).u32(16 * 17 * 4).zeros(16);
    header.u32(0x00FF0000).u32(0x0000FF00).u32(0x000000FF).u32(0xFF000000).raw("BGRs").zeros(48);
    ASSERT_EQ(bmp.size(), header.size() + 16 * 17 * 4);
    EXPECT_EQ(Bytes(bmp.begin(), bmp.begin() + static_cast<std::ptrdiff_t>(header.size())), header.bytes());
    // Rows bottom up: first the see-through row, then pixels 240..255 of the row above it.
    const std::size_t data = header.size();
    EXPECT_EQ(Bytes(bmp.begin() + data, bmp.begin() + data + 4), (Bytes{kRgb[2], kRgb[1], kRgb[0], 0}));
    const std::size_t pixel241 = data + 16 * 4 + 4;
    EXPECT_EQ(Bytes(bmp.begin() + pixel241, bmp.begin() + pixel241 + 4),
              (Bytes{kRgb[3 * 241 + 2], kRgb[3 * 241 + 1], kRgb[3 * 241], 255}));
}

TEST(PictureBmp, TrueColourIsTwentyFourBitsWithRowsPadded) {
    DecodedPicture colour;
    colour.image = {3, 2, {}};
    colour.rgba = {1,  2,  3,  255, 4,  5,  6,  255, 7,  8,  9,  255,
                   10, 11, 12, 255, 13, 14, 15, 255, 16, 17, 18, 255};
    ByteBuilder expected;
    expected.raw("BM").u32(54 + 24).u32(0).u32(54).u32(40).u32(3).u32(2).u16(1).u16(24).u32(0).u32(24).zeros(
        16);
    expected.raw(Bytes{12, 11, 10, 15, 14, 13, 18, 17, 16, 0, 0, 0}); // the bottom row first
    expected.raw(Bytes{3, 2, 1, 6, 5, 4, 9, 8, 7, 0, 0, 0});
    EXPECT_EQ(encodePictureBmp(colour, kPalette), expected.bytes());
}

TEST(PictureFiles, PicturesThatDoNotHoldTheirPixelsAreRefused) {
    const DecodedPicture cases[] = {
        indexed(3, 2, Bytes(5)),
        indexed(3, 2, Bytes(6), Bytes(2)),
        indexed(0, 0, {}),
        indexed(20000, 1, Bytes(20000)),
    };
    for (const auto& picture : cases) {
        EXPECT_THROW(encodePictureBmp(picture, kPalette), Error);
        EXPECT_THROW(encodePicturePng(picture, kPalette), Error);
    }
    EXPECT_EQ(encodePaletteFile(kPalette), kRgb);
}

} // namespace
} // namespace vexa
