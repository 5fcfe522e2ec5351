#pragma once
// Creative Voice files (.VOC; Dark Forces LFD "VOIC" entries hold the same bytes).
//   0  "Creative Voice File\x1A"   20  u16 offset of the first block   22  u16 version
//   24 u16 check (~version + 0x1234), then blocks: u8 type, u24 size, the body; type 0 ends them.
// Blocks read: 1 sound data (8-bit, rate from a time constant), 2 continuation, 3 silence, 8 extended
// (applies to the next block 1), 9 new format (8- or 16-bit PCM, any rate, mono or stereo). Markers,
// text and repeats are passed over: the sound is played once.

#include "media/sound.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace vexa {

constexpr std::size_t kVocHeaderSize = 26;

// The first bytes of a VOC file.
inline constexpr std::string_view kVocMagic{"Creative Voice File\x1A"};
bool isVoc(std::span<const std::uint8_t> bytes);
// The blocks' samples in file order. Compressed blocks (ADPCM, A-law, mu-law) and blocks that change
// the format midway throw UnsupportedEncoding; a block that runs past the end, a FormatError.
Sound decodeVoc(std::span<const std::uint8_t> bytes, const std::string& what);

} // namespace vexa
