#pragma once
// Reads back a PNG with libpng itself, so the PNG output is checked by an independent decoder:
// its header, its palette as stored (order kept) and its indices, rows top to bottom.

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
    Bytes palette; // red, green, blue per entry
    Bytes indices; // rows top to bottom
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

inline DecodedPng decodePng(const fs::path& path) {
    const auto bytes = readFile(path);
    DecodedPng decoded;
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, detail::pngFails, detail::pngWarns);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    detail::PngSource source{bytes.data(), bytes.size(), 0};
    if (png && info) {
        png_set_read_fn(png, &source, detail::readPngBytes);
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
            if (decoded.bitDepth == 8 && decoded.colourType == PNG_COLOR_TYPE_PALETTE) {
                decoded.indices.resize(std::size_t{decoded.width} * decoded.height);
                std::vector<png_bytep> rows(decoded.height);
                for (std::size_t y = 0; y < rows.size(); ++y)
                    rows[y] = decoded.indices.data() + y * decoded.width;
                decoded.ok = detail::readPngRows(png, rows.data());
            }
        }
    }
    png_destroy_read_struct(&png, &info, nullptr);
    return decoded;
}

} // namespace vexa::test
