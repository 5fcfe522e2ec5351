#pragma once
// The sinks of decoded pictures: a PNG or BMP file's bytes, painted with the palette passed in
// (paletteFor picks it), and the 768-byte palette file.
//
// An indexed picture keeps its indices and the palette its order. See-through pixels take the
// highest palette entry no opaque pixel uses: in a PNG it is made transparent (tRNS), in a BMP it
// becomes cyan (0, 255, 255). When the picture uses all 256 entries, it is written in true colour
// with alpha instead. Doom's offsets go in a PNG's grAb chunk, as Doom's ports and editors read
// them.

#include "images/decoded_picture.h"

#include <cstdint>
#include <vector>

namespace vexa {

// 8-bit paletted (with tRNS when see-through), or RGBA; a true-colour picture as RGB, or RGBA when
// some pixel is not opaque. Throws an Error with kNoPngOutput in a build without libpng.
std::vector<std::uint8_t> encodePicturePng(const DecodedPicture& picture, const PaletteTable& palette);

// 8-bit, or 32-bit with alpha (a BITMAPV4HEADER with bit fields); a true-colour picture as 24-bit,
// or 32-bit when some pixel is not opaque.
std::vector<std::uint8_t> encodePictureBmp(const DecodedPicture& picture, const PaletteTable& palette);

// Red, green, blue for entries 0..255.
std::vector<std::uint8_t> encodePaletteFile(const PaletteTable& palette);

} // namespace vexa
