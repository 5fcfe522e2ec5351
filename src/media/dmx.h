#pragma once
// Doom's digitised sounds (DMX format 3): 8-bit unsigned mono samples at the rate the lump gives.
//   0  u16 format (3)   2  u16 rate   4  u32 sample count   8  the samples
// The count includes 16 padding bytes before and 16 after the sound, which the game does not play;
// they are left out. PC-speaker lumps (format 0) are not DMX sounds.

#include "media/sound.h"

#include <cstddef>
#include <span>
#include <string>

namespace vexa {

constexpr std::size_t kDmxHeaderSize = 8;
constexpr std::size_t kDmxPadding = 16;

bool isDmxSound(std::span<const std::uint8_t> bytes);
Sound decodeDmxSound(std::span<const std::uint8_t> bytes, const std::string& what);

} // namespace vexa
