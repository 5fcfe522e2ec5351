#include "media/sound.h"

namespace vexa {

std::uint64_t frameCount(const Sound& sound) {
    const std::uint64_t frameBytes = std::uint64_t{sound.channels} * ((sound.bitsPerSample + 7u) / 8u);
    return frameBytes == 0 ? 0 : sound.samples.size() / frameBytes;
}

double durationSeconds(const Sound& sound) {
    return sound.rate == 0 ? 0.0 : static_cast<double>(frameCount(sound)) / sound.rate;
}

} // namespace vexa
