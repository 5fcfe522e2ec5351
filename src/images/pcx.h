#pragma once
// ZSoft PCX pictures of version 5, run-length coded: 8 bits in one plane with the 256-colour table
// at the end of the file (Quake 2, Descent, Outlaws, FreeSpace), or 8 bits in three planes (true
// colour).

#include "images/decoded_picture.h"

#include <span>
#include <string>
#include <string_view>

namespace vexa {

// The first bytes of every file isPcx takes: the PCX byte, version 5, run-length coding.
inline constexpr std::string_view kPcxMagic{"\x0A\x05\x01", 3};
// The 128-byte header (version 5, RLE, 8 bits in 1 or 3 planes, the window inside the bytes of a
// line), the colour table's marker for one plane, and coded data enough for every line.
bool isPcx(std::span<const std::uint8_t> entry) noexcept;
// One plane: indices and the file's palette as the set's; three planes: true colour. The lines'
// padding bytes are dropped.
DecodedPictures decodePcx(std::span<const std::uint8_t> entry, const std::string& what);

} // namespace vexa
