#pragma once
// Dark Forces sprites: an FME is one frame (a header and its cell), a WAX the actions of an
// enemy or object, each seen from up to 32 views as sequences of frames, the frames sharing cells.
// Every field is a 32-bit little-endian word; every offset counts from the start of the file.

#include "images/decoded_picture.h"

#include <span>
#include <string>

namespace vexa {

// The frame header (its cell past it, flip 0 or 1), the cell header (sizes, compression 0 or 1)
// and the cell's pixels or column table inside the file, each column offset inside too.
bool isDfFme(std::span<const std::uint8_t> entry) noexcept;
// The cell as stored (index 0 see-through), with the insertion point as its offset; a frame drawn
// mirrored says so in a note.
DecodedPictures decodeDfFme(std::span<const std::uint8_t> entry, const std::string& what);

// The header and, through the actions, views and frames it leads to (offsets of 0 are unused
// slots), every cell header inside the file; at least one cell.
bool isDfWax(std::span<const std::uint8_t> entry) noexcept;
// The distinct cells in the order their frames are first met, named "cell00", "cell01", ..., each
// with the insertion point of that first frame as its offset.
DecodedPictures decodeDfWax(std::span<const std::uint8_t> entry, const std::string& what);

} // namespace vexa
