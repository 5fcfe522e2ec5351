#pragma once
// Doom's music (MUS), turned into a Standard MIDI File of one track.
//   0  "MUS\x1A"   4  u16 score length   6  u16 score start   8  u16 primary channels
//   10 u16 secondary channels   12  u16 instrument count   14  u16 reserved   16  the instruments (u16 each)
// Events: a byte (bit 7: a delay follows the event; bits 4-6 the type; bits 0-3 the channel), its data,
// then the delay in 7-bit groups, bit 7 set on all but the last; 140 ticks a second.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexa {

// The first bytes of a MUS file.
inline constexpr std::string_view kMusMagic{"MUS\x1A"};
bool isMus(std::span<const std::uint8_t> bytes);
// MUS channel 15 (percussion) becomes MIDI channel 10 (9 counted from 0); the others take MIDI channels
// in the order they are first used, passing over 9. A score that never ends stops at its last byte.
std::vector<std::uint8_t> musToMidi(std::span<const std::uint8_t> bytes, const std::string& what);

} // namespace vexa
