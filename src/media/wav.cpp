#include "media/wav.h"

#include "base/byte_reader.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace vexa {

namespace {

constexpr std::size_t kRiffHeaderSize = 12; // "RIFF", size, "WAVE"
constexpr std::size_t kChunkHeaderSize = 8; // id, size
constexpr std::size_t kPcmFormatSize = 16;
constexpr std::size_t kExtensibleFormatSize = 40;
constexpr std::size_t kCanonicalHeaderSize = kRiffHeaderSize + kChunkHeaderSize + kPcmFormatSize + 8;
// Offsets within the "fmt " chunk's body.
constexpr std::size_t kTagAt = 0, kChannelsAt = 2, kRateAt = 4, kByteRateAt = 8, kBlockAlignAt = 12,
                      kBitsAt = 14, kSubFormatAt = 24;
constexpr std::uint16_t kPcmTag = 1;
constexpr std::uint16_t kExtensibleTag = 0xFFFE;

bool idAt(std::span<const std::uint8_t> bytes, std::size_t at, const char* id) {
    return bytes.size() >= 4 && at <= bytes.size() - 4 && std::memcmp(bytes.data() + at, id, 4) == 0;
}

struct Chunk {
    std::uint64_t offset; // of its body
    std::uint64_t size;   // as stored: it may run past the end
};

struct WavChunks {
    std::optional<Chunk> format, data;
};

// Every chunk header after "WAVE" that lies wholly in the bytes; each step moves on by at least the
// 8 bytes of a header, so the walk ends.
WavChunks findChunks(std::span<const std::uint8_t> bytes) {
    WavChunks found;
    if (bytes.size() < kRiffHeaderSize || !idAt(bytes, 0, "RIFF") || !idAt(bytes, 8, "WAVE")) return found;
    const ByteReader reader(bytes, "WAV");
    std::uint64_t at = kRiffHeaderSize;
    while (at <= bytes.size() && bytes.size() - at >= kChunkHeaderSize && !(found.format && found.data)) {
        const std::uint64_t size = reader.u32(at + 4);
        const Chunk chunk{at + kChunkHeaderSize, size};
        if (idAt(bytes, at, "fmt ") && !found.format) found.format = chunk;
        if (idAt(bytes, at, "data") && !found.data) found.data = chunk;
        at += kChunkHeaderSize + size + (size & 1);
    }
    return found;
}

std::string encodingName(std::uint16_t tag) {
    switch (tag) {
    case 0x0002:
        return "Microsoft ADPCM";
    case 0x0003:
        return "IEEE floating-point";
    case 0x0006:
        return "A-law";
    case 0x0007:
        return "mu-law";
    case 0x0011:
        return "IMA ADPCM";
    case 0x0055:
        return "MPEG layer 3";
    default:
        return "WAV format " + std::to_string(tag);
    }
}

} // namespace

bool isWav(std::span<const std::uint8_t> bytes) {
    const auto chunks = findChunks(bytes);
    return chunks.format && chunks.data && chunks.format->size >= kPcmFormatSize &&
           chunks.format->size <= bytes.size() - chunks.format->offset;
}

WavInfo readWavInfo(std::span<const std::uint8_t> bytes, const std::string& what) {
    const auto chunks = findChunks(bytes);
    if (!chunks.format || !chunks.data)
        throw FormatError(what + ": not a WAV file with a \"fmt \" and a \"data\" chunk");
    const auto& format = *chunks.format;
    const auto& data = *chunks.data;
    if (format.size < kPcmFormatSize || format.size > bytes.size() - format.offset)
        throw FormatError(what + ": the \"fmt \" chunk of " + std::to_string(format.size) +
                          " bytes at offset " + std::to_string(format.offset) + " is shorter than " +
                          std::to_string(kPcmFormatSize) + " or runs past the end of the file (" +
                          std::to_string(bytes.size()) + " bytes)");
    if (data.size > bytes.size() - data.offset)
        throw FormatError(what + ": the \"data\" chunk of " + std::to_string(data.size) +
                          " bytes at offset " + std::to_string(data.offset) +
                          " runs past the end of the file (" + std::to_string(bytes.size()) + " bytes)");
    const ByteReader fields(bytes.subspan(format.offset, format.size), what);
    WavInfo info;
    info.formatTag = fields.u16(kTagAt);
    info.channels = fields.u16(kChannelsAt);
    info.rate = fields.u32(kRateAt);
    info.bitsPerSample = fields.u16(kBitsAt);
    info.dataOffset = data.offset;
    info.dataSize = data.size;
    // WAVE_FORMAT_EXTENSIBLE names the real encoding in the first two bytes of its sub-format GUID.
    if (info.formatTag == kExtensibleTag && format.size >= kExtensibleFormatSize)
        info.formatTag = fields.u16(kSubFormatAt);
    if (info.channels == 0 || info.rate == 0 || info.rate > kMaxSampleRate)
        throw FormatError(what + ": " + std::to_string(info.channels) + " channels at " +
                          std::to_string(info.rate) + " Hz");
    if (info.formatTag == kPcmTag) {
        const std::uint32_t frameBytes = std::uint32_t{info.channels} * ((info.bitsPerSample + 7u) / 8u);
        if (info.bitsPerSample == 0 || info.bitsPerSample > 32 || fields.u16(kBlockAlignAt) != frameBytes)
            throw FormatError(what + ": PCM of " + std::to_string(info.bitsPerSample) + " bits in " +
                              std::to_string(info.channels) + " channels cannot have frames of " +
                              std::to_string(fields.u16(kBlockAlignAt)) + " bytes");
        info.seconds = static_cast<double>(data.size / frameBytes) / info.rate;
    } else if (const auto byteRate = fields.u32(kByteRateAt); byteRate != 0) {
        info.seconds = static_cast<double>(data.size) / byteRate;
    }
    return info;
}

Sound decodeWav(std::span<const std::uint8_t> bytes, const std::string& what) {
    const auto info = readWavInfo(bytes, what);
    if (info.formatTag != kPcmTag) throw UnsupportedEncoding(what, encodingName(info.formatTag));
    if (info.bitsPerSample != 8 && info.bitsPerSample != 16)
        throw UnsupportedEncoding(what, std::to_string(info.bitsPerSample) + "-bit PCM");
    const std::uint64_t frameBytes = std::uint64_t{info.channels} * (info.bitsPerSample / 8u);
    const auto samples = bytes.subspan(info.dataOffset, info.dataSize / frameBytes * frameBytes);
    return Sound{info.rate, info.channels, info.bitsPerSample, {samples.begin(), samples.end()}};
}

std::vector<std::uint8_t> encodeWav(const Sound& sound) {
    if (sound.channels == 0 || (sound.bitsPerSample != 8 && sound.bitsPerSample != 16))
        throw Error("a sound of " + std::to_string(sound.channels) + " channels of " +
                    std::to_string(sound.bitsPerSample) + " bits cannot be written as a WAV file");
    const std::uint64_t dataSize = sound.samples.size();
    const std::uint64_t pad = dataSize & 1;
    if (dataSize > 0xFFFFFFFFu - (kCanonicalHeaderSize - 8) - pad)
        throw Error("a sound of " + std::to_string(dataSize) + " bytes is too long for a WAV file");
    const std::uint16_t blockAlign = static_cast<std::uint16_t>(sound.channels * (sound.bitsPerSample / 8));
    const std::uint64_t byteRate = std::uint64_t{sound.rate} * blockAlign;
    if (sound.rate == 0 || byteRate > 0xFFFFFFFFu)
        throw Error("a sound of " + std::to_string(sound.rate) + " Hz cannot be written as a WAV file");
    std::vector<std::uint8_t> out(kCanonicalHeaderSize + dataSize + pad);
    auto* at = out.data();
    std::memcpy(at, "RIFF", 4);
    putU32(at + 4, static_cast<std::uint32_t>(out.size() - 8));
    std::memcpy(at + 8, "WAVEfmt ", 8);
    putU32(at + 16, kPcmFormatSize);
    at += kRiffHeaderSize + kChunkHeaderSize;
    putU16(at + kTagAt, kPcmTag);
    putU16(at + kChannelsAt, sound.channels);
    putU32(at + kRateAt, sound.rate);
    putU32(at + kByteRateAt, static_cast<std::uint32_t>(byteRate));
    putU16(at + kBlockAlignAt, blockAlign);
    putU16(at + kBitsAt, sound.bitsPerSample);
    at += kPcmFormatSize;
    std::memcpy(at, "data", 4);
    putU32(at + 4, static_cast<std::uint32_t>(dataSize));
    std::copy(sound.samples.begin(), sound.samples.end(), at + 8);
    return out;
}

} // namespace vexa
