#pragma once
// Standard MIDI Files: recognised, and described for a preview that plays no sound: how long the song
// lasts, its tracks, the instruments it chooses and whether it has drums.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexa {

struct MidiInfo {
    std::uint16_t format = 0;
    std::uint16_t trackCount = 0;
    double seconds = 0; // to the last event of the longest track, with every tempo change
    // The General MIDI programs chosen on melodic channels, each once, in the order they are chosen.
    std::vector<std::uint8_t> programs;
    bool usesDrums = false; // notes on channel 10
};

// The first bytes of a Standard MIDI File.
inline constexpr std::string_view kMidiMagic{"MThd"};
// "MThd" with a header that can be (format 0, 1 or 2; one track for format 0; a division), followed
// by at least its count of "MTrk" chunks, each wholly inside the bytes.
bool isMidi(std::span<const std::uint8_t> bytes);
// What keeps the bytes from being a MIDI file as isMidi sees it; empty when they are one.
std::string midiFault(std::span<const std::uint8_t> bytes);
// Walks every event of every track; a FormatError names the track and the offset of what is wrong.
MidiInfo readMidiInfo(std::span<const std::uint8_t> bytes, const std::string& what);

// The General MIDI name of a program (0-127).
std::string_view generalMidiName(std::uint8_t program);

} // namespace vexa
