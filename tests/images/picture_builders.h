#pragma once
// Pictures for the import tests: BMP files laid out by hand, PNG files through libpng's simplified
// writer, and palettes of chosen colours.

#include "images/picture.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <array>
#include <png.h>

namespace vexa::test {

using Rgb = std::array<std::uint8_t, 3>;

// A BMP of 24 or 32 bits from red, green, blue, alpha pixels (top row first); rows stored bottom-up
// unless topDown. 32-bit files carry an alpha mask (BI_BITFIELDS) when withAlpha.
inline Bytes rgbBmp(int bits, std::uint32_t width, std::uint32_t height, const Bytes& rgba,
                    bool topDown = false, bool withAlpha = false) {
    const std::uint32_t stride = (width * static_cast<std::uint32_t>(bits) + 31) / 32 * 4;
    const bool masks = bits == 32 && withAlpha;
    const std::uint32_t dataAt = 14 + 40 + (masks ? 16 : 0);
    ByteBuilder b;
    b.raw("BM").u32(dataAt + stride * height).u32(0).u32(dataAt);
    b.u32(40)
        .i32(static_cast<std::int32_t>(width))
        .i32(topDown ? -static_cast<std::int32_t>(height) : static_cast<std::int32_t>(height));
    b.u16(1).u16(static_cast<std::uint16_t>(bits)).u32(masks ? 6 : 0).u32(0).u32(0).u32(0).u32(0).u32(0);
    if (masks) b.u32(0x00FF0000).u32(0x0000FF00).u32(0x000000FF).u32(0xFF000000);
    for (std::uint32_t k = 0; k < height; ++k) {
        const auto row = topDown ? k : height - 1 - k;
        for (std::uint32_t c = 0; c < width; ++c) {
            const auto* px = &rgba[(row * width + c) * 4];
            b.u8(px[2]).u8(px[1]).u8(px[0]);
            if (bits == 32) b.u8(px[3]);
        }
        b.zeros(stride - width * static_cast<std::uint32_t>(bits) / 8);
    }
    return b.bytes();
}

// An 8-bit BMP of indices (top row first) with the colour table given (at most 256 entries).
inline Bytes indexedBmp(std::uint32_t width, std::uint32_t height, const Bytes& indices,
                        const std::vector<Rgb>& colours) {
    const std::uint32_t stride = (width + 3) / 4 * 4;
    const auto dataAt = static_cast<std::uint32_t>(14 + 40 + 4 * colours.size());
    ByteBuilder b;
    b.raw("BM").u32(dataAt + stride * height).u32(0).u32(dataAt);
    b.u32(40).u32(width).u32(height).u16(1).u16(8).u32(0).u32(0).u32(0).u32(0);
    b.u32(static_cast<std::uint32_t>(colours.size())).u32(0);
    for (const auto& c : colours)
        b.u8(c[2]).u8(c[1]).u8(c[0]).u8(0);
    for (std::uint32_t k = height; k-- > 0;) {
        for (std::uint32_t c = 0; c < width; ++c)
            b.u8(indices[k * width + c]);
        b.zeros(stride - width);
    }
    return b.bytes();
}

// Writes a PNG of the pixels in libpng's format (PNG_FORMAT_RGBA, PNG_FORMAT_GRAY,
// PNG_FORMAT_LINEAR_Y ...), rows packed.
inline void writePng(const fs::path& path, std::uint32_t width, std::uint32_t height, std::uint32_t format,
                     const void* pixels) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = format;
    ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, pixels, 0, nullptr)) << image.message;
}

inline void writeRgbaPng(const fs::path& path, std::uint32_t width, std::uint32_t height, const Bytes& rgba) {
    writePng(path, width, height, PNG_FORMAT_RGBA, rgba.data());
}

// A palette table (blue, green, red, 0) from colours; entries past them are black.
inline PaletteTable paletteTable(const std::vector<Rgb>& colours) {
    PaletteTable table{};
    for (std::size_t i = 0; i < colours.size(); ++i) {
        table[4 * i] = colours[i][2];
        table[4 * i + 1] = colours[i][1];
        table[4 * i + 2] = colours[i][0];
    }
    return table;
}

// The 256 colours of a 768-byte palette file.
inline std::vector<Rgb> coloursOf(const Bytes& pal) {
    std::vector<Rgb> colours;
    for (std::size_t i = 0; i + 2 < pal.size(); i += 3)
        colours.push_back({pal[i], pal[i + 1], pal[i + 2]});
    return colours;
}

// RGBA pixels of indices painted with colours, fully opaque.
inline Bytes paint(const Bytes& indices, const std::vector<Rgb>& colours) {
    Bytes rgba;
    for (const auto i : indices)
        rgba.insert(rgba.end(), {colours[i][0], colours[i][1], colours[i][2], 255});
    return rgba;
}

} // namespace vexa::test
