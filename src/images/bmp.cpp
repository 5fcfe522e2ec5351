#include "images/bmp.h"

#include "base/byte_reader.h"
#include "base/errors.h"

#include <algorithm>
#include <cstring>

namespace vexa {

namespace {

// The file header (14 bytes), then an info header of 40 bytes, then the colour table (blue, green,
// red, 0 per entry) and the rows.
constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kDataOffsetField = 10;
constexpr std::size_t kInfoSizeField = 14;
constexpr std::size_t kWidthField = 18;
constexpr std::size_t kHeightField = 22;
constexpr std::size_t kBitCountField = 28;
constexpr std::size_t kColourTableOffset = kFileHeaderSize + kInfoHeaderSize; // 54

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

} // namespace

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

} // namespace vexa
