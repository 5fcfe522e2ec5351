#pragma once
// Dark Forces music (GMD): an IFF "FORM" of type "MIDI" that holds a Standard MIDI File among its
// chunks ("MThd" and its "MTrk"s, beside chunks of the game's own).

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexa {

// The first bytes of a GMD file (an IFF form, "MIDI" at 8).
inline constexpr std::string_view kGmdMagic{"FORM"};
// "FORM" whose size fits the bytes, of type "MIDI", with an "MThd" chunk inside.
bool isGmd(std::span<const std::uint8_t> bytes);
// The MIDI file inside: its header chunk and its tracks, without the form's other chunks or the pad
// bytes IFF puts after a chunk of odd size.
std::vector<std::uint8_t> gmdToMidi(std::span<const std::uint8_t> bytes, const std::string& what);

} // namespace vexa
