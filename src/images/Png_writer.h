#pragma once
// The PNG form of the pictures the converters write: 8-bit paletted, the palette passed in as its PLTE
// in the same order, the same indices as the BMP would hold.

#include "base/file_io.h"
#include "images/picture.h"

namespace vexa {

// Writes source to a new file at path (create-or-replace), row by row. A failed write leaves no
// partial file.
// Whether this build writes PNG (the Windows build has no libpng); without it writeIndexedPng
// refuses with kNoPngOutput.
bool pngOutputBuilt();
constexpr const char* kNoPngOutput = "this build of VEXA writes no PNG (use BMP)";
void writeIndexedPng(const OutputPath& path, std::uint32_t width, std::uint32_t height,
                     const PixelRows& source, const PaletteTable& palette);

} // namespace vexa
