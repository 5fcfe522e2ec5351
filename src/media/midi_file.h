#pragma once
// The parts of Standard MIDI Files that the music decoders share: big-endian fields, variable-length
// quantities, and a writer that lays out a file track by track into one buffer.

#include "base/errors.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

namespace vexa {

constexpr std::size_t kMidiChunkHeaderSize = 8; // id, u32 big-endian size
constexpr std::size_t kMidiHeaderSize = 14;     // "MThd", 6, format, tracks, division
// A delta time is at most four 7-bit groups.
constexpr std::uint32_t kMaxMidiDelta = 0x0FFFFFFF;
constexpr std::uint8_t kMetaEvent = 0xFF;
constexpr std::uint8_t kMetaTempo = 0x51;
constexpr std::uint8_t kMetaEndOfTrack = 0x2F;

// Callers check the bounds first.
inline std::uint16_t bigEndian16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}
inline std::uint32_t bigEndian32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return (std::uint32_t{bytes[at]} << 24) | (std::uint32_t{bytes[at + 1]} << 16) |
           (std::uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
}

class MidiFileWriter {
  public:
    // expectedBytes: reserved once, so that the events go in without growing the buffer.
    MidiFileWriter(std::uint16_t format, std::uint16_t trackCount, std::uint16_t division,
                   std::size_t expectedBytes);

    void beginTrack();
    // Ticks before the next event; false when they add up past what one delta can hold.
    bool wait(std::uint64_t ticks);
    std::uint64_t pendingTicks() const { return pending_; }
    void event(std::initializer_list<std::uint8_t> bytes);
    // A meta or system-exclusive event: its leading bytes, then a length and the data.
    void eventWithData(std::initializer_list<std::uint8_t> lead, std::span<const std::uint8_t> data);
    // Writes the end of track and the track's length.
    void endTrack();

    std::vector<std::uint8_t> finish() && { return std::move(bytes_); }

  private:
    void delta();
    void quantity(std::uint32_t value);

    std::vector<std::uint8_t> bytes_;
    std::size_t trackStart_ = 0;
    std::uint64_t pending_ = 0;
};

} // namespace vexa
