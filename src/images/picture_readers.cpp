// PNG and BMP files read into colours for import. Every field of either header is checked before
// anything is sized by it.

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "images/bmp.h"
#include "images/picture_import.h"

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#if VEXA_PNG
#include <png.h>
#endif

namespace vexa {

namespace {

constexpr std::array<std::uint8_t, 8> kPngSignature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::size_t kRgba = 4;

[[noreturn]] void refuse(const ByteSource& file, const std::string& reason) {
    throw FormatError(displayPath(file.path()) + ": " + reason);
}

bool isPng(const ByteSource& file) {
    std::array<std::uint8_t, 8> start{};
    return file.readSome(0, start) == start.size() && start == kPngSignature;
}

PictureSize checkedSize(const ByteSource& file, std::int64_t width, std::int64_t height) {
    requireSidesInRange(file, width, height);
    return {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
}

// ---- BMP ---------------------------------------------------------------------------------------

ColourPicture readBmp(const ByteSource& file) {
    const auto layout = readBmpLayout(file);
    if (layout.bits != 8) return {layout.width, layout.height, readBmpColours(file, layout), {}};
    auto stored = readIndexedBmp(file, layout);
    const auto& colours = stored.colours;
    ColourPicture out{
        layout.width, layout.height, std::vector<std::uint8_t>(stored.image.indices.size() * kRgba), {}};
    for (std::size_t p = 0; p < stored.image.indices.size(); ++p) {
        const auto index = stored.image.indices[p];
        // As for PNG: a colour the table does not hold has no right value, and black would pass for one.
        if (index >= colours.size())
            refuse(file, "pixel " + std::to_string(p) + " uses colour " + std::to_string(index) +
                             " of a colour table of " + std::to_string(colours.size()));
        std::memcpy(&out.rgba[p * kRgba], colours[index].data(), 3);
        out.rgba[p * kRgba + 3] = 255;
    }
    out.stored = std::move(stored);
    return out;
}

// ---- PNG ---------------------------------------------------------------------------------------

#if VEXA_PNG

// libpng reports errors by longjmp: everything it can jump over is plain data here, and every
// object with a destructor lives outside the jump.
struct PngSource {
    const ByteSource* file;
    std::uint64_t position;
    char message[200];
};

void readPngBytes(png_structp png, png_bytep data, std::size_t length) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    std::size_t got = 0;
    try {
        got = source->file->readSome(source->position, std::span<std::uint8_t>(data, length));
    } catch (const std::exception&) {
        got = 0;
    }
    source->position += got;
    if (got != length) png_error(png, "the file ends inside the picture data");
}

[[noreturn]] void keepPngMessage(png_structp png, png_const_charp message) {
    auto* source = static_cast<PngSource*>(png_get_error_ptr(png));
    std::snprintf(source->message, sizeof source->message, "%s", message);
    png_longjmp(png, 1);
}

void ignorePngWarning(png_structp, png_const_charp) {}

class PngReadStruct {
  public:
    explicit PngReadStruct(PngSource* source) {
        png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, source, keepPngMessage, ignorePngWarning);
        if (png_) info_ = png_create_info_struct(png_);
    }
    ~PngReadStruct() { png_destroy_read_struct(&png_, &info_, nullptr); }
    PngReadStruct(const PngReadStruct&) = delete;
    PngReadStruct& operator=(const PngReadStruct&) = delete;
    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

  private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

struct PngHead {
    std::uint32_t width, height;
    int colourType;
    int colourCount;          // paletted pictures
    png_color colours[256];   // paletted pictures
    std::uint8_t alphas[256]; // paletted pictures, from tRNS (255 where it gives none)
};

// Reads the header and sets the transformations: paletted pictures come as one index a byte,
// every other as red, green, blue, alpha at 8 bits.
bool readPngHead(png_structp png, png_infop info, PngHead& head) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    int depth = 0, interlace = 0;
    png_get_IHDR(png, info, &head.width, &head.height, &depth, &head.colourType, &interlace, nullptr,
                 nullptr);
    if (head.colourType == PNG_COLOR_TYPE_PALETTE) {
        png_colorp plte = nullptr;
        head.colourCount = 0;
        if (png_get_PLTE(png, info, &plte, &head.colourCount) != PNG_INFO_PLTE) head.colourCount = 0;
        head.colourCount = std::min(head.colourCount, 256);
        std::memcpy(head.colours, plte, sizeof(png_color) * static_cast<std::size_t>(head.colourCount));
        std::memset(head.alphas, 255, sizeof head.alphas);
        png_bytep trans = nullptr;
        int transCount = 0;
        if (png_get_tRNS(png, info, &trans, &transCount, nullptr) == PNG_INFO_tRNS && trans)
            std::memcpy(head.alphas, trans, static_cast<std::size_t>(std::clamp(transCount, 0, 256)));
        png_set_packing(png);
    } else {
        png_set_expand(png);
        png_set_strip_16(png);
        png_set_gray_to_rgb(png);
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    return true;
}

bool readPngRows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    return true;
}

void requirePngStructs(const ByteSource& file, const PngReadStruct& png) {
    if (!png.png() || !png.info()) refuse(file, "out of memory reading the PNG picture");
}

ColourPicture readPng(const ByteSource& file) {
    PngSource source{&file, 0, "damaged PNG picture"};
    PngReadStruct png(&source);
    requirePngStructs(file, png);
    png_set_read_fn(png.png(), &source, readPngBytes);
    // Our own size check gives the message; libpng's lower default would refuse first.
    png_set_user_limits(png.png(), 0x7FFFFFFF, 0x7FFFFFFF);
    PngHead head{};
    if (!readPngHead(png.png(), png.info(), head)) refuse(file, source.message);
    const auto size = checkedSize(file, head.width, head.height);
    const bool paletted = head.colourType == PNG_COLOR_TYPE_PALETTE;
    if (paletted && head.colourCount == 0) refuse(file, "a paletted PNG picture without its palette");
    const std::size_t width = size.width, height = size.height, pixelBytes = paletted ? 1 : kRgba;
    if (png_get_rowbytes(png.png(), png.info()) != width * pixelBytes)
        refuse(file, "a PNG row layout that is not handled");

    std::vector<std::uint8_t> pixels(width * height * pixelBytes);
    std::vector<png_bytep> rows(height);
    for (std::size_t r = 0; r < height; ++r)
        rows[r] = pixels.data() + r * width * pixelBytes;
    if (!readPngRows(png.png(), rows.data())) refuse(file, source.message);
    if (!paletted) return {size.width, size.height, std::move(pixels), {}};

    ColourPicture out{size.width, size.height, std::vector<std::uint8_t>(width * height * kRgba), {}};
    StoredIndices stored{{size.width, size.height, std::move(pixels)}, {}};
    for (int i = 0; i < head.colourCount; ++i)
        stored.colours.push_back({head.colours[i].red, head.colours[i].green, head.colours[i].blue});
    for (std::size_t p = 0; p < width * height; ++p) {
        const auto index = stored.image.indices[p];
        if (index >= stored.colours.size())
            refuse(file, "pixel " + std::to_string(p) + " uses colour " + std::to_string(index) +
                             " of a palette of " + std::to_string(stored.colours.size()));
        std::memcpy(&out.rgba[p * kRgba], stored.colours[index].data(), 3);
        out.rgba[p * kRgba + 3] = head.alphas[index];
    }
    out.stored = std::move(stored);
    return out;
}
#else
// A build without libpng (the Windows one) reads BMP pictures only.
ColourPicture readPng(const ByteSource& file) {
    refuse(file, "this build of VEXA reads no PNG (use BMP)");
}
#endif

PictureSize pngSize(const ByteSource& file) {
    // The signature, then the IHDR chunk: length 13, "IHDR", width, height (big-endian).
    std::array<std::uint8_t, 24> start{};
    if (file.readSome(0, start) != start.size() || std::memcmp(&start[12], "IHDR", 4) != 0)
        refuse(file, "the PNG header is damaged");
    const auto be32 = [&](std::size_t at) {
        return std::uint32_t{start[at]} << 24 | std::uint32_t{start[at + 1]} << 16 |
               std::uint32_t{start[at + 2]} << 8 | start[at + 3];
    };
    return checkedSize(file, be32(16), be32(20));
}

[[noreturn]] void refuseUnknown(const ByteSource& file) {
    refuse(file, "not a PNG or BMP picture");
}

} // namespace

ColourPicture readColourPicture(const ByteSource& file) {
    if (isPng(file)) return readPng(file);
    if (isBmp(file)) return readBmp(file);
    refuseUnknown(file);
}

ColourPicture readColourPicture(const fs::path& path) {
    return readColourPicture(InputFile(path));
}

PictureSize readPictureSize(const ByteSource& file) {
    if (isPng(file)) return pngSize(file);
    if (isBmp(file)) {
        const auto layout = readBmpLayout(file);
        return {layout.width, layout.height};
    }
    refuseUnknown(file);
}

PictureSize readPictureSize(const fs::path& path) {
    return readPictureSize(InputFile(path));
}

} // namespace vexa
