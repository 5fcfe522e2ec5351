#pragma once
// Descent's music (HMP, Human Machine Interfaces), turned into a Standard MIDI File.
//   0  "HMIMIDIP"   0x30  u32 track count   0x38  u32 ticks a second
//   0x308 the tracks, one after the other: u32 number, u32 length (its 12-byte header included),
//   u32 unused, then MIDI events whose delta times are little-endian 7-bit groups with bit 7 set on the
//   last byte. Files marked "HMIMIDIP013195" keep their tracks from 0x388.
// The first track is left out, as the Descent ports leave it; loop marks (controllers 110 and 111)
// are dropped.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexa {

// The first bytes of an HMP file.
inline constexpr std::string_view kHmpMagic{"HMIMIDIP"};
bool isHmp(std::span<const std::uint8_t> bytes);
// A format 1 file: a tempo track (1,000,000 microseconds a quarter note, so that the division is the
// HMP's ticks a second), then the HMP's tracks after the first.
std::vector<std::uint8_t> hmpToMidi(std::span<const std::uint8_t> bytes, const std::string& what);

} // namespace vexa
