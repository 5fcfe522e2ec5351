#include "images/Png_writer.h"

#include "base/errors.h"

#include <algorithm>

#if VEXA_PNG
#include "images/png_support.h"
#include <csetjmp>

namespace vexa {

bool pngOutputBuilt() {
    return true;
}

namespace {

// libpng reports errors by longjmp. Everything it can jump over lives here as plain data, and
// every object with a destructor lives in writeIndexedPng, outside the jump.
struct PngTarget {
    OutputFile* file;
    const char* failure; // set when the file could not be written
};

void writeBytes(png_structp png, png_bytep data, std::size_t length) {
    auto* target = static_cast<PngTarget*>(png_get_io_ptr(png));
    bool written = true;
    try {
        target->file->write(std::span<const std::uint8_t>(data, length));
    } catch (const std::exception&) {
        written = false;
    }
    if (!written) {
        target->failure = "write";
        png_error(png, "write failed");
    }
}

// Runs the encoder: returns false when libpng gave up. rows holds bandRows x width bytes; source
// may throw, which passes through here like any exception.
bool encode(png_structp png, png_infop info, std::uint32_t width, std::uint32_t height, const png_color* plte,
            const PixelRows& source, std::uint8_t* rows, std::size_t bandRows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, plte, static_cast<int>(kPaletteEntries));
    png_write_info(png, info);
    for (std::size_t first = 0; first < height; first += bandRows) {
        const std::size_t count = std::min<std::size_t>(bandRows, height - first);
        source.readRows(first, std::span<std::uint8_t>(rows, count * width));
        for (std::size_t i = 0; i < count; ++i)
            png_write_row(png, rows + i * width);
    }
    png_write_end(png, info);
    return true;
}

// Rows are read in bands of about this many bytes: never a whole image in memory.
constexpr std::size_t kBandBytes = 64 * 1024;

} // namespace

void writeIndexedPng(const OutputPath& path, std::uint32_t width, std::uint32_t height,
                     const PixelRows& source, const PaletteTable& palette) {
    if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide)
        throw Error("Cannot write a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                    " pixels");
    png_color plte[kPaletteEntries];
    for (std::size_t i = 0; i < kPaletteEntries; ++i)
        plte[i] = {palette[4 * i + 2], palette[4 * i + 1], palette[4 * i]};
    const std::size_t bandRows = std::clamp<std::size_t>(kBandBytes / width, 1, height);
    std::vector<std::uint8_t> rows(bandRows * width);

    OutputFile out(path); // put in place only when whole
    png_support::WriteStruct png;
    if (!png.ok()) throw FileError(FileAction::Write, path.path(), "out of memory");
    PngTarget target{&out, nullptr};
    png_set_write_fn(png.png(), &target, writeBytes, png_support::flushNothing);
    if (!encode(png.png(), png.info(), width, height, plte, source, rows.data(), bandRows))
        throw FileError(FileAction::Write, path.path(), {});
    out.close();
}

} // namespace vexa

#else

namespace vexa {

bool pngOutputBuilt() {
    return false;
}

void writeIndexedPng(const OutputPath& path, std::uint32_t, std::uint32_t, const PixelRows&,
                     const PaletteTable&) {
    throw FileError(FileAction::Write, path.path(), kNoPngOutput);
}

} // namespace vexa

#endif
