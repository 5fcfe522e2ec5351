#pragma once
// Build engine tiles (Duke Nukem 3D, Shadow Warrior, Blood): the ART files of a GRP, and the
// game's PALETTE.DAT.

#include "images/decoded_picture.h"

#include <span>
#include <string>

namespace vexa {

// The header (version 1, a tile count nobody reads, the first and last tile numbers), the tables
// of widths, heights and animation words, and the pixels of every tile inside the file.
bool isBuildArt(std::span<const std::uint8_t> entry) noexcept;
// The tiles that have pixels, named by tile number in four digits ("0042"); index 255 see-through.
DecodedPictures decodeBuildArt(std::span<const std::uint8_t> entry, const std::string& what);

// 768 bytes of 6-bit colour, then (when the file goes on) the shade tables.
bool isBuildPalette(std::span<const std::uint8_t> entry) noexcept;
// The colours widened to 8 bits as the set's palette, and a 16 x 16 picture of them.
DecodedPictures decodeBuildPalette(std::span<const std::uint8_t> entry, const std::string& what);

} // namespace vexa
