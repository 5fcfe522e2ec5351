#pragma once
// BMP files: the 8-bit BMP writer of the converters and the preview, and the one BMP picture
// reader (the preview's BMP entries and the pictures import reads).

#include "base/file_io.h"
#include "images/picture.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vexa {

// ---- Writing -------------------------------------------------------------------------------------

constexpr std::size_t kBitmapHeaderSize = 14 + 40 + kPaletteTableSize; // 1078

// The 1078 bytes before the pixel rows: file header, info header and palette.
std::array<std::uint8_t, kBitmapHeaderSize> WriteBitmapHeader(std::uint32_t width, std::uint32_t height,
                                                              const PaletteTable& palette);

// Writes an 8-bit BMP of source to a new file at path (create-or-replace): bottom row first, rows
// padded with zeros to a multiple of 4 bytes. A failed write leaves no partial file.
void WriteIndexedBitmap(const OutputPath& path, std::uint32_t width, std::uint32_t height,
                        const PixelRows& source, const PaletteTable& palette);
// The same bytes in memory.
std::vector<std::uint8_t> WriteIndexedBitmap(std::uint32_t width, std::uint32_t height,
                                             const PixelRows& source, const PaletteTable& palette);

// ---- Reading -------------------------------------------------------------------------------------

// Whether file starts as a BMP does ("BM").
bool isBmp(const ByteSource& file);
// Whether file's headers say an uncompressed 8-bit BMP: what a preview shows as a picture (any other
// BMP as bytes). Looks at the headers only; never throws.
bool isIndexedBmp(const ByteSource& file);

// Where a BMP's pixels lie and how they are stored: 8, 24 or 32 bits a pixel, uncompressed (32 bits
// with bit fields too), rows bottom-up or top-down.
struct BmpLayout {
    std::uint32_t width = 0, height = 0;
    bool topDown = false;
    int bits = 0;
    std::uint64_t dataOffset = 0;
    std::uint64_t stride = 0;
    std::size_t colourCount = 0; // 8-bit pictures
    std::uint64_t coloursAt = 0;
    std::array<std::uint32_t, 4> masks{}; // 32-bit pictures: red, green, blue, alpha
};

// Checks every field of the headers against the file: throws a FormatError naming the file and the
// reason for a kind of BMP not read, a side of 0 or over kMaxImageSide, or pixels past the end.
BmpLayout readBmpLayout(const ByteSource& file);

// An 8-bit BMP's indices and colour table as stored (an index past the table kept as it is).
StoredIndices readIndexedBmp(const ByteSource& file, const BmpLayout& layout);
// A 24- or 32-bit BMP's pixels: red, green, blue, alpha each, rows top first.
std::vector<std::uint8_t> readBmpColours(const ByteSource& file, const BmpLayout& layout);

// The same a row at a time, for pictures read in bands: an 8-bit BMP's colour table, row r (top
// first) as stored with its padding, and a stored 24- or 32-bit row as red, green, blue, alpha.
std::vector<std::array<std::uint8_t, 3>> readBmpColourTable(const ByteSource& file, const BmpLayout& layout);
void readBmpRow(const ByteSource& file, const BmpLayout& layout, std::uint32_t row,
                std::vector<std::uint8_t>& stored);
void bmpRowColours(const BmpLayout& layout, std::span<const std::uint8_t> row, std::uint8_t* out);

} // namespace vexa
