#pragma once
// Builders for the image tests: game image files laid out by hand, palettes, and the BMP a
// conversion must give, written out from the layout independently of the writer under test.

#include "support/test_files.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vexa::test {

// 768 bytes, red, green, blue per entry, with components of 64 and more (an 8-bit palette).
inline Bytes knownPalette(std::uint8_t seed) {
    Bytes rgb(768);
    for (std::size_t i = 0; i < 256; ++i) {
        rgb[3 * i] = static_cast<std::uint8_t>(i);
        rgb[3 * i + 1] = static_cast<std::uint8_t>(255 - i);
        rgb[3 * i + 2] = static_cast<std::uint8_t>(i * 7 + seed);
    }
    return rgb;
}

// The BMP of an image whose rows (top to bottom, width bytes each) are coloured by rgb.
inline Bytes expectedBmp(std::uint32_t width, std::uint32_t height, const Bytes& rowsTopDown,
                         const Bytes& rgb) {
    const std::uint32_t stride = (width + 3) / 4 * 4;
    ByteBuilder b;
    b.raw("BM").u32(1078 + stride * height).u16(0).u16(0).u32(1078);
    b.u32(40).u32(width).u32(height).u16(1).u16(8).u32(0).u32(0).u32(0).u32(0).u32(0).u32(0);
    for (std::size_t i = 0; i < 256; ++i)
        b.u8(rgb[3 * i + 2]).u8(rgb[3 * i + 1]).u8(rgb[3 * i]).u8(0);
    for (std::uint32_t k = height; k-- > 0;) {
        for (std::uint32_t c = 0; c < width; ++c)
            b.u8(rowsTopDown[k * width + c]);
        b.zeros(stride - width);
    }
    return b.bytes();
}

// The rows of a picture decoded from BMP bytes, top to bottom (for checks of single pixels).
struct Picture {
    std::uint32_t width = 0, height = 0;
    Bytes rows;
    std::uint8_t at(std::uint32_t x, std::uint32_t y) const { return rows.at(y * width + x); }
};
inline Picture decodeBmp(const Bytes& bmp) {
    auto u32 = [&](std::size_t at) {
        return static_cast<std::uint32_t>(bmp.at(at) | bmp.at(at + 1) << 8 | bmp.at(at + 2) << 16 |
                                          bmp.at(at + 3) << 24);
    };
    Picture p{u32(18), u32(22), {}};
    const std::uint32_t stride = (p.width + 3) / 4 * 4;
    for (std::uint32_t y = 0; y < p.height; ++y)
        for (std::uint32_t x = 0; x < p.width; ++x)
            p.rows.push_back(bmp.at(1078 + (p.height - 1 - y) * stride + x));
    return p;
}

// Dark Forces BM, plain: pixels given as rows top to bottom, stored by columns from the bottom.
inline Bytes dfPlainBm(std::uint16_t width, std::uint16_t height, const Bytes& rowsTopDown,
                       std::uint16_t compression = 0) {
    ByteBuilder b;
    b.raw("BM \x1E").u16(width).u16(height).u16(0).u16(0).u16(0).u16(compression).zeros(16);
    for (std::uint16_t c = 0; c < width; ++c)
        for (std::uint16_t r = 0; r < height; ++r)
            b.u8(rowsTopDown[(height - 1 - r) * width + c]);
    return b.bytes();
}

struct SubPicture {
    std::uint16_t width, height;
    Bytes rowsTopDown;
};
inline Bytes dfMultipleBm(const std::vector<SubPicture>& images) {
    ByteBuilder body;
    body.u16(0);
    for (std::size_t i = 0; i < images.size(); ++i)
        body.u32(0);
    for (const auto& image : images) {
        body.u16(image.width).u16(image.height).zeros(24);
        for (std::uint16_t c = 0; c < image.width; ++c)
            for (std::uint16_t r = 0; r < image.height; ++r)
                body.u8(image.rowsTopDown[(image.height - 1 - r) * image.width + c]);
    }
    ByteBuilder b;
    b.raw("BM \x1E").u16(1).u16(static_cast<std::uint16_t>(body.size())).u16(0xFFFE);
    b.u16(static_cast<std::uint16_t>(images.size())).zeros(20).raw(body.bytes());
    return b.bytes();
}

// Jedi Knight BM: images of rows top to bottom; the palette (768 bytes) at the end when given.
inline Bytes jkBm(const std::vector<SubPicture>& images, const Bytes& palette = {},
                  std::int32_t bitsPerPixel = 8) {
    ByteBuilder b;
    b.raw("BM  ").zeros(8).i32(palette.empty() ? 0 : 2).i32(static_cast<std::int32_t>(images.size()));
    b.zeros(16).i32(bitsPerPixel).zeros(88);
    for (const auto& image : images)
        b.i32(image.width).i32(image.height).raw(image.rowsTopDown);
    b.raw(palette);
    return b.bytes();
}

struct MatTexture {
    std::int32_t width, height, mipLevels;
    Bytes rowsTopDown; // mip level 0
};
// Mip levels past 0 are filled with 0xEE, so a reader that takes them for pixels is caught.
inline Bytes jkTextureMat(const std::vector<MatTexture>& textures) {
    ByteBuilder b;
    b.raw("MAT ").u32(0x32).i32(2).i32(static_cast<std::int32_t>(textures.size())).zeros(60);
    for (std::size_t i = 0; i < textures.size(); ++i)
        b.zeros(40);
    for (const auto& t : textures) {
        b.i32(t.width).i32(t.height).zeros(12).i32(t.mipLevels).raw(t.rowsTopDown);
        for (int j = 1; j < t.mipLevels; ++j)
            b.raw(Bytes(static_cast<std::size_t>((t.width >> j) * (t.height >> j)), 0xEE));
    }
    return b.bytes();
}
inline Bytes jkColourMat(std::uint8_t colour) {
    ByteBuilder b;
    b.raw("MAT ").u32(0x32).i32(0).i32(1).zeros(60);
    b.u32(0).u32(colour).zeros(16);
    return b.bytes();
}

inline Bytes q2Wal(std::uint32_t width, std::uint32_t height, const Bytes& rowsTopDown) {
    ByteBuilder b;
    b.name("e1u1/floor", 32).u32(width).u32(height).u32(100).u32(0).u32(0).u32(0).zeros(44);
    b.raw(rowsTopDown);
    return b.bytes();
}

} // namespace vexa::test
