#include "images/bmp.h"

#include "base/byte_reader.h"
#include "base/errors.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace vexa {

namespace {

// The file header (14 bytes), then an info header of 40 bytes at least (124 at most: BITMAPV5HEADER),
// then the colour table of 8-bit pictures (blue, green, red, 0 per entry).
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kLargestInfoHeader = 124;
constexpr std::size_t kDataOffsetField = 10;
constexpr std::size_t kInfoSizeField = 14;
constexpr std::size_t kWidthField = 18;
constexpr std::size_t kHeightField = 22;
constexpr std::size_t kBitCountField = 28;
constexpr std::size_t kCompressionField = 30;
constexpr std::size_t kColoursUsedField = 46;
constexpr std::size_t kColourTableOffset = kFileHeaderSize + kInfoHeaderSize; // 54, in what is written
constexpr std::size_t kMasksOffset = kFileHeaderSize + kInfoHeaderSize;       // red, green, blue, alpha masks
constexpr std::uint32_t kUncompressed = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kJpeg = 4, kPngInside = 5,
                        kAlphaBitFields = 6;

// Rows are read and written in bands of about this many bytes: never a whole image in memory.
constexpr std::size_t kBandBytes = 64 * 1024;

std::size_t rowStride(std::size_t width) {
    return (width + 3) & ~std::size_t{3};
}

void requireWritableSize(std::uint32_t width, std::uint32_t height) {
    if (width == 0 || height == 0 || width > kMaxImageSide || height > kMaxImageSide)
        throw Error("Cannot write a picture of " + std::to_string(width) + " x " + std::to_string(height) +
                    " pixels");
}

// Lays out the whole BMP and hands it to sink in bounded pieces: header, then bands of rows from
// the bottom of the image up, each row padded with zeros.
template <class Sink>
void emitBitmap(std::uint32_t width, std::uint32_t height, const PixelRows& source,
                const PaletteTable& palette, Sink&& sink) {
    requireWritableSize(width, height);
    const auto header = WriteBitmapHeader(width, height, palette);
    sink(std::span<const std::uint8_t>(header));

    const std::size_t stride = rowStride(width);
    const std::size_t band = std::max<std::size_t>(1, kBandBytes / stride);
    std::vector<std::uint8_t> in(std::min<std::size_t>(band, height) * width);
    std::vector<std::uint8_t> out(std::min<std::size_t>(band, height) * stride, 0); // padding stays 0
    std::size_t end = height;
    while (end > 0) {
        const std::size_t count = std::min(band, end);
        const std::size_t first = end - count;
        source.readRows(first, std::span(in.data(), count * width));
        for (std::size_t i = 0; i < count; ++i)
            std::memcpy(out.data() + i * stride, in.data() + (count - 1 - i) * width, width);
        sink(std::span<const std::uint8_t>(out.data(), count * stride));
        end = first;
    }
}

[[noreturn]] void refuse(const ByteSource& file, const std::string& reason) {
    throw FormatError(displayPath(file.path()) + ": " + reason);
}

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

std::uint8_t maskedChannel(std::uint32_t pixel, std::uint32_t mask, std::uint8_t missing) {
    if (mask == 0) return missing;
    const auto shift = std::countr_zero(mask);
    const auto top = mask >> shift;
    return static_cast<std::uint8_t>((std::uint64_t{(pixel & mask) >> shift} * 255 + top / 2) / top);
}

} // namespace

// ---- Writing -------------------------------------------------------------------------------------

std::array<std::uint8_t, kBitmapHeaderSize> WriteBitmapHeader(std::uint32_t width, std::uint32_t height,
                                                              const PaletteTable& palette) {
    std::array<std::uint8_t, kBitmapHeaderSize> h{};
    const auto imageBytes = static_cast<std::uint64_t>(rowStride(width)) * height;
    h[0] = 'B';
    h[1] = 'M';
    putU32(&h[2], static_cast<std::uint32_t>(kBitmapHeaderSize + imageBytes));
    putU32(&h[kDataOffsetField], static_cast<std::uint32_t>(kBitmapHeaderSize));
    putU32(&h[kInfoSizeField], static_cast<std::uint32_t>(kInfoHeaderSize));
    putU32(&h[kWidthField], width);
    putU32(&h[kHeightField], height); // positive: rows stored bottom to top
    putU16(&h[26], 1);                // planes
    putU16(&h[kBitCountField], 8);    // compression, sizes and colour counts stay 0
    std::copy(palette.begin(), palette.end(), h.begin() + kColourTableOffset);
    return h;
}

void WriteIndexedBitmap(const OutputPath& path, std::uint32_t width, std::uint32_t height,
                        const PixelRows& source, const PaletteTable& palette) {
    requireWritableSize(width, height);
    // A failed write leaves no partial file: OutputFile puts it in place only when whole.
    OutputFile out(path);
    // A texture's few kilobytes go out in one write; larger pictures stream in bands.
    const std::uint64_t fileSize = kBitmapHeaderSize + std::uint64_t{rowStride(width)} * height;
    std::vector<std::uint8_t> whole;
    if (fileSize <= kBandBytes) whole.reserve(static_cast<std::size_t>(fileSize));
    emitBitmap(width, height, source, palette, [&](std::span<const std::uint8_t> bytes) {
        if (whole.capacity() != 0)
            whole.insert(whole.end(), bytes.begin(), bytes.end());
        else
            out.write(bytes);
    });
    if (!whole.empty()) out.write(whole);
    out.close();
}

std::vector<std::uint8_t> WriteIndexedBitmap(std::uint32_t width, std::uint32_t height,
                                             const PixelRows& source, const PaletteTable& palette) {
    std::vector<std::uint8_t> bytes;
    emitBitmap(width, height, source, palette, [&](std::span<const std::uint8_t> piece) {
        bytes.insert(bytes.end(), piece.begin(), piece.end());
    });
    return bytes;
}

// ---- Reading -------------------------------------------------------------------------------------

bool isBmp(const ByteSource& file) {
    std::array<std::uint8_t, 2> start{};
    return file.readSome(0, start) == start.size() && start[0] == 'B' && start[1] == 'M';
}

bool isIndexedBmp(const ByteSource& file) {
    std::array<std::uint8_t, kFileHeaderSize + kInfoHeaderSize> headers{};
    try {
        if (file.readSome(0, headers) != headers.size() || headers[0] != 'B' || headers[1] != 'M')
            return false;
    } catch (const Error&) {
        return false;
    }
    const ByteReader fields(headers, displayPath(file.path()));
    return fields.u32(kInfoSizeField) >= kInfoHeaderSize && fields.u16(kBitCountField) == 8 &&
           fields.u32(kCompressionField) == kUncompressed;
}

BmpLayout readBmpLayout(const ByteSource& file) {
    std::array<std::uint8_t, kFileHeaderSize + kLargestInfoHeader> bytes{};
    const auto got = file.readSome(0, bytes);
    if (got < kFileHeaderSize + kInfoHeaderSize) refuse(file, "the BMP header is cut short");
    const ByteReader fields(std::span(bytes.data(), got), displayPath(file.path()));
    const auto infoSize = fields.u32(kInfoSizeField);
    if (infoSize < kInfoHeaderSize || infoSize > kLargestInfoHeader)
        refuse(file,
               "a BMP info header of " + std::to_string(infoSize) + " bytes is not handled (40 to 124 are)");
    BmpLayout h;
    const auto rawHeight = static_cast<std::int64_t>(fields.i32(kHeightField));
    h.topDown = rawHeight < 0;
    const std::int64_t width = fields.i32(kWidthField), height = h.topDown ? -rawHeight : rawHeight;
    requireSidesInRange(file, width, height);
    h.width = static_cast<std::uint32_t>(width);
    h.height = static_cast<std::uint32_t>(height);
    h.bits = fields.u16(kBitCountField);
    const auto compression = fields.u32(kCompressionField);
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
        const auto used = fields.u32(kColoursUsedField);
        if (used > kPaletteEntries)
            refuse(file,
                   "the BMP colour table claims " + std::to_string(used) + " entries; at most 256 are taken");
        h.colourCount = used == 0 ? kPaletteEntries : used;
        h.coloursAt = kFileHeaderSize + infoSize;
    }
    h.dataOffset = fields.u32(kDataOffsetField);
    h.stride = (std::uint64_t{h.width} * static_cast<std::uint64_t>(h.bits) + 31) / 32 * 4;
    const auto pixelBytes = h.stride * h.height;
    if (!rangeFits(file.size(), h.dataOffset, pixelBytes))
        refuse(file, std::to_string(h.width) + " x " + std::to_string(h.height) + " pixels at offset " +
                         std::to_string(h.dataOffset) + " (" + std::to_string(pixelBytes) +
                         " bytes) run past the end of the file (" + std::to_string(file.size()) + " bytes)");
    return h;
}

std::vector<std::array<std::uint8_t, 3>> readBmpColourTable(const ByteSource& file, const BmpLayout& layout) {
    const auto table =
        file.readBlock(layout.coloursAt, 4 * std::uint64_t{layout.colourCount}, "the BMP colour table");
    std::vector<std::array<std::uint8_t, 3>> colours;
    for (std::size_t i = 0; i < layout.colourCount; ++i)
        colours.push_back({table[4 * i + 2], table[4 * i + 1], table[4 * i]});
    return colours;
}

void readBmpRow(const ByteSource& file, const BmpLayout& layout, std::uint32_t row,
                std::vector<std::uint8_t>& stored) {
    stored.resize(static_cast<std::size_t>(layout.stride));
    const auto at = layout.topDown ? row : layout.height - 1 - row;
    file.readExact(layout.dataOffset + std::uint64_t{at} * layout.stride, stored,
                   "row " + std::to_string(at) + " of the pixels");
}

void bmpRowColours(const BmpLayout& layout, std::span<const std::uint8_t> row, std::uint8_t* out) {
    for (std::size_t c = 0; c < layout.width; ++c, out += 4) {
        if (layout.bits == 24) {
            out[0] = row[3 * c + 2], out[1] = row[3 * c + 1], out[2] = row[3 * c], out[3] = 255;
        } else {
            const auto* at = &row[4 * c];
            const auto pixel = std::uint32_t{at[0]} | std::uint32_t{at[1]} << 8 | std::uint32_t{at[2]} << 16 |
                               std::uint32_t{at[3]} << 24;
            out[0] = maskedChannel(pixel, layout.masks[0], 0);
            out[1] = maskedChannel(pixel, layout.masks[1], 0);
            out[2] = maskedChannel(pixel, layout.masks[2], 0);
            out[3] = maskedChannel(pixel, layout.masks[3], 255);
        }
    }
}

StoredIndices readIndexedBmp(const ByteSource& file, const BmpLayout& layout) {
    if (layout.bits != 8) refuse(file, "not an 8-bit BMP picture");
    const std::size_t width = layout.width;
    StoredIndices out{{layout.width, layout.height, std::vector<std::uint8_t>(width * layout.height)},
                      readBmpColourTable(file, layout)};
    std::vector<std::uint8_t> row;
    for (std::uint32_t r = 0; r < layout.height; ++r) {
        readBmpRow(file, layout, r, row);
        std::copy_n(row.begin(), width, out.image.indices.begin() + static_cast<std::ptrdiff_t>(r * width));
    }
    return out;
}

std::vector<std::uint8_t> readBmpColours(const ByteSource& file, const BmpLayout& layout) {
    if (layout.bits != 24 && layout.bits != 32) refuse(file, "not a 24- or 32-bit BMP picture");
    const std::size_t width = layout.width;
    std::vector<std::uint8_t> rgba(width * layout.height * 4);
    std::vector<std::uint8_t> row;
    for (std::uint32_t r = 0; r < layout.height; ++r) {
        readBmpRow(file, layout, r, row);
        bmpRowColours(layout, row, rgba.data() + r * width * 4);
    }
    return rgba;
}

} // namespace vexa
