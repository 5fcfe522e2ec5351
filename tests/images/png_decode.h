#pragma once
// Reads back a PNG with libpng itself, so the PNG output is checked by an independent decoder:
// its header, its palette as stored (order kept), its transparency and grAb chunk, and its
// indices or colour samples, rows top to bottom.

#include "support/test_files.h"

#include <csetjmp>
#include <cstring>
#include <png.h>
#include <vector>

namespace vexa::test {

struct DecodedPng {
    bool ok = false;
    std::uint32_t width = 0, height = 0;
    int bitDepth = 0, colourType = 0, paletteEntries = 0;
    bool transparency = false;
    Bytes palette;     // red, green, blue per entry
    Bytes transparent; // the tRNS alpha of entries 0..n-1
    Bytes indices;     // rows top to bottom
    Bytes samples;     // RGB or RGBA pictures: 3 or 4 bytes a pixel, rows top to bottom
    bool grab = false; // a grAb chunk before the image data
    std::int32_t grabX = 0, grabY = 0;
};

namespace detail {

struct PngSource {
    const std::uint8_t* data;
    std::size_t size, at;
};

inline void readPngBytes(png_structp png, png_bytep out, std::size_t length) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (length > source->size - source->at) png_error(png, "the file ends early");
    std::memcpy(out, source->data + source->at, length);
    source->at += length;
}

[[noreturn]] inline void pngFails(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
inline void pngWarns(png_structp, png_const_charp) {}

// Only plain data between setjmp and the calls that may jump.
inline bool readPngInfo(png_structp png, png_infop info) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    return true;
}
inline bool readPngRows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

} // namespace detail

inline DecodedPng decodePngBytes(const Bytes& bytes) {
    DecodedPng decoded;
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, detail::pngFails, detail::pngWarns);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    detail::PngSource source{bytes.data(), bytes.size(), 0};
    if (png && info) {
        png_set_read_fn(png, &source, detail::readPngBytes);
        png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_ALWAYS, reinterpret_cast<png_const_bytep>("grAb\0"),
                                    1);
        if (detail::readPngInfo(png, info)) {
            decoded.width = png_get_image_width(png, info);
            decoded.height = png_get_image_height(png, info);
            decoded.bitDepth = png_get_bit_depth(png, info);
            decoded.colourType = png_get_color_type(png, info);
            decoded.transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
            png_colorp plte = nullptr;
            if (png_get_PLTE(png, info, &plte, &decoded.paletteEntries) != 0)
                for (int i = 0; i < decoded.paletteEntries; ++i)
                    decoded.palette.insert(decoded.palette.end(), {plte[i].red, plte[i].green, plte[i].blue});
            png_bytep alpha = nullptr;
            int alphaCount = 0;
            if (png_get_tRNS(png, info, &alpha, &alphaCount, nullptr) != 0 && alpha)
                decoded.transparent.assign(alpha, alpha + alphaCount);
            png_unknown_chunkp chunks = nullptr;
            const int chunkCount = png_get_unknown_chunks(png, info, &chunks);
            for (int i = 0; i < chunkCount; ++i)
                if (std::memcmp(chunks[i].name, "grAb", 4) == 0 && chunks[i].size == 8) {
                    const auto be32 = [&](std::size_t at) {
                        const auto* d = chunks[i].data + at;
                        return static_cast<std::int32_t>(std::uint32_t{d[0]} << 24 |
                                                         std::uint32_t{d[1]} << 16 |
                                                         std::uint32_t{d[2]} << 8 | d[3]);
                    };
                    decoded.grab = true;
                    decoded.grabX = be32(0);
                    decoded.grabY = be32(4);
                }
            const int channels = png_get_channels(png, info);
            const bool paletted = decoded.colourType == PNG_COLOR_TYPE_PALETTE;
            if (decoded.bitDepth == 8 && (paletted || decoded.colourType == PNG_COLOR_TYPE_RGB ||
                                          decoded.colourType == PNG_COLOR_TYPE_RGB_ALPHA)) {
                auto& pixels = paletted ? decoded.indices : decoded.samples;
                const std::size_t stride = std::size_t{decoded.width} * static_cast<std::size_t>(channels);
                pixels.resize(stride * decoded.height);
                std::vector<png_bytep> rows(decoded.height);
                for (std::size_t y = 0; y < rows.size(); ++y)
                    rows[y] = pixels.data() + y * stride;
                decoded.ok = detail::readPngRows(png, rows.data());
            }
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return decoded;
}

inline DecodedPng decodePng(const fs::path& path) {
    return decodePngBytes(readFile(path));
}

} // namespace vexa::test
