// PNG and BMP files read into colours for import. Every field of either header is checked before
// anything is sized by it.

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/file_io.h"
#include "images/picture_import.h"

#include <algorithm>
#include <array>
#include <bit>
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

bool isBmp(const ByteSource& file) {
    std::array<std::uint8_t, 2> start{};
    return file.readSome(0, start) == start.size() && start[0] == 'B' && start[1] == 'M';
}

PictureSize checkedSize(const ByteSource& file, std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide)
        refuse(file, "a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                         " pixels; pictures from 1 to " + std::to_string(kMaxImageSide) +
                         " pixels a side are taken");
    return {static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height)};
}

// ---- BMP ---------------------------------------------------------------------------------------

constexpr std::size_t kBmpFileHeaderSize = 14;
constexpr std::size_t kDataOffsetField = 10;
constexpr std::size_t kInfoHeaderSize = 40; // the smallest header taken (BITMAPINFOHEADER)
constexpr std::size_t kLargestInfoHeader = 124;
constexpr std::size_t kMasksOffset = kBmpFileHeaderSize + kInfoHeaderSize; // red, green, blue, alpha masks
constexpr std::uint32_t kUncompressed = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kJpeg = 4, kPngInside = 5,
                        kAlphaBitFields = 6;

struct BmpHeader {
    PictureSize size;
    bool topDown = false;
    int bits = 0;
    std::uint64_t dataOffset = 0;
    std::uint64_t stride = 0;
    std::size_t colourCount = 0; // 8-bit pictures
    std::uint64_t coloursAt = 0;
    std::array<std::uint32_t, 4> masks{}; // 32-bit pictures: red, green, blue, alpha
};

std::string compressionName(std::uint32_t compression) {
    switch (compression) {
    case kRle8:
        return "RLE8 compression";
    case kRle4:
        return "RLE4 compression";
    case kJpeg:
        return "JPEG data";
    case kPngInside:
        return "PNG data";
    default:
        return "compression " + std::to_string(compression);
    }
}

BmpHeader readBmpHeader(const ByteSource& file) {
    std::array<std::uint8_t, kBmpFileHeaderSize + kLargestInfoHeader> bytes{};
    const auto got = file.readSome(0, bytes);
    if (got < kBmpFileHeaderSize + kInfoHeaderSize) refuse(file, "the BMP header is cut short");
    const ByteReader fields(std::span(bytes.data(), got), displayPath(file.path()));
    const auto infoSize = fields.u32(kBmpFileHeaderSize);
    if (infoSize < kInfoHeaderSize || infoSize > kLargestInfoHeader)
        refuse(file,
               "a BMP info header of " + std::to_string(infoSize) + " bytes is not handled (40 to 124 are)");
    BmpHeader h;
    const auto rawHeight = static_cast<std::int64_t>(fields.i32(22));
    h.topDown = rawHeight < 0;
    h.size = checkedSize(file, fields.i32(18), h.topDown ? -rawHeight : rawHeight);
    h.bits = fields.u16(28);
    const auto compression = fields.u32(30);
    if (h.bits != 8 && h.bits != 24 && h.bits != 32)
        refuse(file, std::to_string(h.bits) + "-bit BMP pictures are not handled (8, 24 and 32 bits are)");
    const bool masked = compression == kBitFields || compression == kAlphaBitFields;
    if (compression != kUncompressed && !(masked && h.bits == 32))
        refuse(file, "BMP pictures with " + compressionName(compression) + " are not handled");

    if (h.bits == 32) {
        h.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0};
        if (masked) {
            const auto count = compression == kAlphaBitFields ? 4u : 3u;
            const auto at = kMasksOffset;
            // Masks follow a 40-byte header, or are its fields in the larger ones.
            for (unsigned i = 0; i < count; ++i)
                h.masks[i] = fields.u32(at + 4 * i);
            if (infoSize >= 56 && count == 3) h.masks[3] = fields.u32(at + 12);
        } else if (infoSize >= 56) {
            h.masks[3] = fields.u32(kMasksOffset + 12);
        }
        for (const auto mask : h.masks)
            if (mask != 0 && !std::has_single_bit((mask >> std::countr_zero(mask)) + 1))
                refuse(file, "a BMP colour mask that is not one run of bits is not handled");
    }
    if (h.bits == 8) {
        const auto used = fields.u32(46);
        if (used > kPaletteEntries)
            refuse(file,
                   "the BMP colour table claims " + std::to_string(used) + " entries; at most 256 are taken");
        h.colourCount = used == 0 ? kPaletteEntries : used;
        h.coloursAt = kBmpFileHeaderSize + infoSize;
    }
    h.dataOffset = fields.u32(kDataOffsetField);
    h.stride = (std::uint64_t{h.size.width} * static_cast<std::uint64_t>(h.bits) + 31) / 32 * 4;
    const auto pixelBytes = h.stride * h.size.height;
    if (h.dataOffset > file.size() || pixelBytes > file.size() - h.dataOffset)
        refuse(file, std::to_string(h.size.width) + " x " + std::to_string(h.size.height) + " pixels (" +
                         std::to_string(pixelBytes) + " bytes) at offset " + std::to_string(h.dataOffset) +
                         " run past the end of the file (" + std::to_string(file.size()) + " bytes)");
    return h;
}

std::uint8_t maskedChannel(std::uint32_t pixel, std::uint32_t mask, std::uint8_t missing) {
    if (mask == 0) return missing;
    const auto shift = std::countr_zero(mask);
    const auto top = mask >> shift;
    return static_cast<std::uint8_t>((std::uint64_t{(pixel & mask) >> shift} * 255 + top / 2) / top);
}

ColourPicture readBmp(const ByteSource& file) {
    const auto h = readBmpHeader(file);
    const std::size_t width = h.size.width, height = h.size.height;
    ColourPicture out{h.size.width, h.size.height, std::vector<std::uint8_t>(width * height * kRgba), {}};

    std::vector<std::array<std::uint8_t, 3>> colours;
    if (h.bits == 8) {
        const auto table =
            file.readBlock(h.coloursAt, 4 * std::uint64_t{h.colourCount}, "the BMP colour table");
        for (std::size_t i = 0; i < h.colourCount; ++i)
            colours.push_back({table[4 * i + 2], table[4 * i + 1], table[4 * i]});
        out.stored =
            StoredIndices{{h.size.width, h.size.height, std::vector<std::uint8_t>(width * height)}, colours};
    }
    bool indicesInTable = true;
    std::vector<std::uint8_t> row(h.stride);
    for (std::size_t r = 0; r < height; ++r) {
        const auto stored = h.topDown ? r : height - 1 - r;
        file.readExact(h.dataOffset + stored * h.stride, row,
                       "row " + std::to_string(stored) + " of the pixels");
        auto* rgba = out.rgba.data() + r * width * kRgba;
        for (std::size_t c = 0; c < width; ++c, rgba += kRgba) {
            if (h.bits == 8) {
                const auto index = row[c];
                out.stored->image.indices[r * width + c] = index;
                // An index past the table is black, and the file's indices are not kept as they are.
                const auto known = index < colours.size();
                indicesInTable = indicesInTable && known;
                const std::array<std::uint8_t, 3> colour =
                    known ? colours[index] : std::array<std::uint8_t, 3>{};
                std::memcpy(rgba, colour.data(), 3);
                rgba[3] = 255;
            } else if (h.bits == 24) {
                rgba[0] = row[3 * c + 2], rgba[1] = row[3 * c + 1], rgba[2] = row[3 * c], rgba[3] = 255;
            } else {
                const auto* at = &row[4 * c];
                const auto pixel = std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 |
                                   std::uint32_t{at[2]} << 16 | std::uint32_t{at[3]} << 24;
                rgba[0] = maskedChannel(pixel, h.masks[0], 0);
                rgba[1] = maskedChannel(pixel, h.masks[1], 0);
                rgba[2] = maskedChannel(pixel, h.masks[2], 0);
                rgba[3] = maskedChannel(pixel, h.masks[3], 255);
            }
        }
    }
    if (!indicesInTable) out.stored.reset();
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
    if (isBmp(file)) return readBmpHeader(file).size;
    refuseUnknown(file);
}

PictureSize readPictureSize(const fs::path& path) {
    return readPictureSize(InputFile(path));
}

} // namespace vexa
