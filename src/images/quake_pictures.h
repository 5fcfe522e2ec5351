#pragma once
// Quake's pictures: the `.lmp` pictures of gfx/ (a width, a height and the indices), the palette
// (gfx/palette.lmp) and the light maps (gfx/colormap.lmp).

#include "images/decoded_picture.h"

#include <span>
#include <string>

namespace vexa {

// u32 width, u32 height, then width x height indices: exactly 8 + width x height bytes.
bool isQuakePicture(std::span<const std::uint8_t> entry) noexcept;
// Index 255 is see-through when seeThrough255 (the pictures of gfx/, as the engine draws them).
DecodedPictures decodeQuakePicture(std::span<const std::uint8_t> entry, const std::string& what,
                                   bool seeThrough255);

// 768 bytes of red, green, blue: the set's palette, and a 16 x 16 picture of it.
bool isQuakePalette(std::span<const std::uint8_t> entry) noexcept;
DecodedPictures decodeQuakePalette(std::span<const std::uint8_t> entry, const std::string& what);

// 64 maps of 256 indices and one byte more: a picture 256 x 64, row r map r.
bool isQuakeColormap(std::span<const std::uint8_t> entry) noexcept;
DecodedPictures decodeQuakeColormap(std::span<const std::uint8_t> entry, const std::string& what);

} // namespace vexa
