#include "media/dmx.h"

#include "base/byte_reader.h"

namespace vexa {

namespace {

constexpr std::uint16_t kDigitisedFormat = 3;
constexpr std::size_t kFormatAt = 0, kRateAt = 2, kCountAt = 4;

} // namespace

bool isDmxSound(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kDmxHeaderSize) return false;
    const ByteReader header(bytes, "DMX");
    const std::uint64_t count = header.u32(kCountAt);
    return header.u16(kFormatAt) == kDigitisedFormat && header.u16(kRateAt) != 0 &&
           count >= 2 * kDmxPadding && count <= bytes.size() - kDmxHeaderSize;
}

Sound decodeDmxSound(std::span<const std::uint8_t> bytes, const std::string& what) {
    if (bytes.size() < kDmxHeaderSize)
        throw FormatError(what + ": " + std::to_string(bytes.size()) + " bytes hold no " +
                          std::to_string(kDmxHeaderSize) + "-byte DMX sound header");
    const ByteReader header(bytes, what);
    if (const auto format = header.u16(kFormatAt); format != kDigitisedFormat)
        throw FormatError(what + ": format " + std::to_string(format) + " is not a digitised DMX sound (3)");
    const std::uint32_t rate = header.u16(kRateAt);
    if (rate == 0) throw FormatError(what + ": a DMX sound at 0 Hz");
    // Real lumps hold exactly their count, so a count past the lump is damage, not a habit to put up with.
    const std::uint64_t count = header.u32(kCountAt);
    if (count > bytes.size() - kDmxHeaderSize)
        throw FormatError(what + ": sample count " + std::to_string(count) +
                          " runs past the end of the lump (" + std::to_string(bytes.size()) + " bytes)");
    if (count < 2 * kDmxPadding)
        throw FormatError(what + ": sample count " + std::to_string(count) + " is shorter than its " +
                          std::to_string(2 * kDmxPadding) + " padding bytes");
    const auto played = bytes.subspan(kDmxHeaderSize + kDmxPadding, count - 2 * kDmxPadding);
    return Sound{rate, 1, 8, {played.begin(), played.end()}};
}

} // namespace vexa
