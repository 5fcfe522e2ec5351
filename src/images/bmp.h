#pragma once
// The 8-bit BMP writer of the converters and the preview.

#include "base/file_io.h"
#include "images/picture.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vexa {

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

} // namespace vexa
