#pragma once
// Decoded sound as a value: PCM samples laid out as a WAV file stores them, and its rate.

#include "base/errors.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace vexa {

struct Sound {
    std::uint32_t rate = 0;
    std::uint16_t channels = 1;
    std::uint16_t bitsPerSample = 8;
    // 8-bit unsigned or 16-bit signed little-endian, channels interleaved.
    std::vector<std::uint8_t> samples;
};

// The highest rate a decoded sound may have: no device plays more, and a file that gives more (VOC and
// WAV hold 32-bit rates) is damaged. It also keeps a WAV's byte rate within its 32 bits.
constexpr std::uint32_t kMaxSampleRate = 1000000;

// Whole frames (one sample of every channel) in the sound.
std::uint64_t frameCount(const Sound& sound);
double durationSeconds(const Sound& sound);

// A sound in an encoding the program does not decode (ADPCM, A-law, ...). It is a FormatError, so a
// caller that only knows those reports it as any refusal and keeps the entry's bytes as they are;
// encoding() names it for a caller that wants to say more.
class UnsupportedEncoding : public FormatError {
  public:
    UnsupportedEncoding(const std::string& what, std::string encoding)
        : FormatError(what + ": " + encoding + " is not decoded; the sound is left as it is"),
          encoding_(std::move(encoding)) {}
    const std::string& encoding() const { return encoding_; }

  private:
    std::string encoding_;
};

} // namespace vexa
