#pragma once
// WAV files (RIFF/WAVE): recognised, described for a preview and played as they are; a decoded Sound
// is written as one.

#include "media/sound.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexa {

struct WavInfo {
    std::uint16_t formatTag = 0; // 1: PCM
    std::uint16_t channels = 0;
    std::uint32_t rate = 0;
    std::uint16_t bitsPerSample = 0;
    // The samples: the data chunk's bytes within the file.
    std::uint64_t dataOffset = 0;
    std::uint64_t dataSize = 0;
    double seconds = 0;
};

// The first bytes of a WAV file (a RIFF file, "WAVE" at 8).
inline constexpr std::string_view kWavMagic{"RIFF"};
// "RIFF" .. "WAVE" holding a whole "fmt " chunk and the header of a "data" chunk.
bool isWav(std::span<const std::uint8_t> bytes);
// The format and the place of the samples; a FormatError when a chunk runs past the end or the
// format cannot be.
WavInfo readWavInfo(std::span<const std::uint8_t> bytes, const std::string& what);
// The samples of an 8- or 16-bit PCM WAV; UnsupportedEncoding for any other encoding.
Sound decodeWav(std::span<const std::uint8_t> bytes, const std::string& what);

// A canonical WAV file: the 44-byte header (RIFF, a 16-byte PCM "fmt ", "data"), then the samples
// and the pad byte RIFF asks after an odd-sized chunk.
std::vector<std::uint8_t> encodeWav(const Sound& sound);

} // namespace vexa
