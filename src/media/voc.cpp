#include "media/voc.h"

#include "base/byte_reader.h"

#include <cstring>
#include <optional>
#include <vector>

namespace vexa {

namespace {

constexpr std::size_t kFirstBlockAt = 20, kVersionAt = 22, kCheckAt = 24;
constexpr std::size_t kBlockHeaderSize = 4; // type, u24 size

enum BlockType : std::uint8_t {
    kTerminator = 0,
    kSoundData = 1,
    kContinuation = 2,
    kSilence = 3,
    kExtended = 8,
    kNewFormat = 9,
};
// The bodies' fixed parts.
constexpr std::size_t kSoundDataHeader = 2;  // time constant, codec
constexpr std::size_t kSilenceSize = 3;      // u16 length - 1, time constant
constexpr std::size_t kExtendedSize = 4;     // u16 time constant, codec, mode
constexpr std::size_t kNewFormatHeader = 12; // u32 rate, bits, channels, u16 codec, 4 reserved

constexpr std::uint16_t kCodecPcm8 = 0;
constexpr std::uint16_t kCodecPcm16 = 4;

// Silence is a few bytes that stand for many samples: its total is held to a bound so that a small
// file cannot ask for gigabytes.
constexpr std::uint64_t kMaxSilenceBytes = 16u << 20;

std::string codecName(std::uint16_t codec) {
    switch (codec) {
    case 1:
        return "Creative 4-bit ADPCM";
    case 2:
        return "Creative 2.6-bit ADPCM";
    case 3:
        return "Creative 2-bit ADPCM";
    case 4:
        return "16-bit PCM in an 8-bit block";
    case 6:
        return "A-law";
    case 7:
        return "mu-law";
    case 0x200:
        return "Creative 16-bit ADPCM";
    default:
        return "VOC codec " + std::to_string(codec);
    }
}

// The rate of a time constant of blocks 1 and 3 (256 - 1000000 / rate), and of block 8's 16-bit one
// (65536 - 256000000 / (rate x channels)); rounded to the nearest hertz.
std::uint32_t rateOf(std::uint32_t timeConstant) {
    const std::uint32_t divisor = 256 - timeConstant;
    return (1000000 + divisor / 2) / divisor;
}
std::uint32_t extendedRateOf(std::uint32_t timeConstant, std::uint32_t channels) {
    const std::uint64_t divisor = std::uint64_t{65536 - timeConstant} * channels;
    return static_cast<std::uint32_t>((256000000 + divisor / 2) / divisor);
}

struct Format {
    std::uint32_t rate;
    std::uint16_t channels;
    std::uint16_t bits;
    bool operator==(const Format&) const = default;
};

std::string describe(const Format& f) {
    return std::to_string(f.rate) + " Hz " + std::to_string(f.bits) + "-bit " +
           (f.channels == 1 ? std::string("mono") : std::to_string(f.channels) + " channels");
}

// A stretch of the sound: samples from the file, or silence of a length at a rate.
struct Piece {
    std::span<const std::uint8_t> samples;
    std::uint32_t silentSamples = 0;
    std::uint32_t silenceRate = 0;
};

class BlockWalk {
  public:
    BlockWalk(std::span<const std::uint8_t> bytes, const std::string& what)
        : bytes_(bytes), what_(what), reader_(bytes, what) {}

    Sound run(std::size_t firstBlock) {
        std::size_t at = firstBlock;
        for (std::size_t index = 0; at < bytes_.size(); ++index) {
            const std::uint8_t type = bytes_[at];
            if (type == kTerminator) break;
            if (bytes_.size() - at < kBlockHeaderSize)
                throw FormatError(what_ + ": block " + std::to_string(index) + " at offset " +
                                  std::to_string(at) + " is cut off after " +
                                  std::to_string(bytes_.size() - at) + " bytes");
            const std::size_t size = reader_.u16(at + 1) | (std::size_t{reader_.u8(at + 3)} << 16);
            const std::size_t bodyAt = at + kBlockHeaderSize;
            if (size > bytes_.size() - bodyAt)
                throw FormatError(what_ + ": block " + std::to_string(index) + " (type " +
                                  std::to_string(type) + ") at offset " + std::to_string(at) + ": size " +
                                  std::to_string(size) + " runs past the end of the file (" +
                                  std::to_string(bytes_.size()) + " bytes)");
            block_ = index;
            readBlock(type, bodyAt, size);
            at = bodyAt + size;
        }
        return assemble();
    }

  private:
    void requireSize(std::size_t size, std::size_t needed, const char* kind) const {
        if (size < needed)
            throw FormatError(what_ + ": block " + std::to_string(block_) + " (" + kind + ") of " +
                              std::to_string(size) + " bytes is shorter than its " + std::to_string(needed) +
                              "-byte header");
    }

    // The block's fields are read at their offsets from its body (at).
    void readBlock(std::uint8_t type, std::size_t at, std::size_t size) {
        const auto field8 = [&](std::size_t offset) { return reader_.u8(at + offset); };
        const auto field16 = [&](std::size_t offset) { return reader_.u16(at + offset); };
        switch (type) {
        case kSoundData: {
            requireSize(size, kSoundDataHeader, "sound data");
            Format format{rateOf(field8(0)), 1, 8};
            std::uint16_t codec = field8(1);
            if (extended_) {
                format = extended_->first;
                codec = extended_->second;
                extended_.reset();
            }
            if (codec != kCodecPcm8) throw UnsupportedEncoding(what_, codecName(codec));
            addSamples(format, bytes_.subspan(at + kSoundDataHeader, size - kSoundDataHeader));
            break;
        }
        case kContinuation:
            if (!current_)
                throw FormatError(what_ + ": block " + std::to_string(block_) +
                                  " continues a sound that no block before it starts");
            addSamples(*current_, bytes_.subspan(at, size));
            break;
        case kSilence:
            requireSize(size, kSilenceSize, "silence");
            pieces_.push_back({{}, std::uint32_t{field16(0)} + 1, rateOf(field8(2))});
            break;
        case kExtended: {
            requireSize(size, kExtendedSize, "extended");
            const std::uint16_t channels = field8(3) == 0 ? 1 : 2;
            extended_.emplace(Format{extendedRateOf(field16(0), channels), channels, 8}, field8(2));
            break;
        }
        case kNewFormat: {
            requireSize(size, kNewFormatHeader, "new format");
            const Format format{reader_.u32(at), field8(5), field8(4)};
            const std::uint16_t codec = field16(6);
            if (codec != kCodecPcm8 && codec != kCodecPcm16)
                throw UnsupportedEncoding(what_, codecName(codec));
            if (format.bits != (codec == kCodecPcm8 ? 8 : 16) || format.rate == 0 || format.channels == 0 ||
                format.channels > 2)
                throw FormatError(what_ + ": block " + std::to_string(block_) + " gives PCM of " +
                                  std::to_string(format.bits) + " bits (codec " + std::to_string(codec) +
                                  ") in " + std::to_string(format.channels) + " channels at " +
                                  std::to_string(format.rate) + " Hz");
            addSamples(format, bytes_.subspan(at + kNewFormatHeader, size - kNewFormatHeader));
            break;
        }
        default:
            break; // markers, text, repeats and types this program does not know
        }
    }

    void addSamples(const Format& format, std::span<const std::uint8_t> samples) {
        if (format.rate > kMaxSampleRate)
            throw FormatError(what_ + ": block " + std::to_string(block_) + " gives a rate of " +
                              std::to_string(format.rate) + " Hz, past the " +
                              std::to_string(kMaxSampleRate) + " Hz of any sound");
        if (format_ && *format_ != format)
            throw UnsupportedEncoding(what_, "a change of format in block " + std::to_string(block_) +
                                                 " (from " + describe(*format_) + " to " + describe(format) +
                                                 ")");
        format_ = format;
        current_ = format;
        pieces_.push_back({samples, 0, 0});
        sampleBytes_ += samples.size();
    }

    Sound assemble() const {
        if (pieces_.empty()) throw FormatError(what_ + ": a Creative Voice file that holds no sound");
        // Silence before any samples, or a file of silence alone: 8-bit mono at the silence's rate.
        const Format format = format_ ? *format_ : Format{pieces_.front().silenceRate, 1, 8};
        const std::uint64_t frameBytes = std::uint64_t{format.channels} * (format.bits / 8u);
        std::uint64_t silenceBytes = 0;
        for (const auto& piece : pieces_) {
            silenceBytes += silentFrames(piece, format) * frameBytes;
            if (silenceBytes > kMaxSilenceBytes)
                throw FormatError(what_ + ": its silence blocks add up to more than " +
                                  std::to_string(kMaxSilenceBytes) + " bytes of samples");
        }
        Sound sound{format.rate, format.channels, format.bits, {}};
        sound.samples.reserve(sampleBytes_ + silenceBytes);
        const std::uint8_t silence = format.bits == 8 ? 0x80 : 0x00;
        for (const auto& piece : pieces_) {
            sound.samples.insert(sound.samples.end(), piece.samples.begin(), piece.samples.end());
            sound.samples.insert(sound.samples.end(), silentFrames(piece, format) * frameBytes, silence);
        }
        // A stereo or 16-bit sound cut inside its last frame keeps its whole frames.
        sound.samples.resize(sound.samples.size() / frameBytes * frameBytes);
        return sound;
    }

    // The silence's length at the sound's own rate.
    static std::uint64_t silentFrames(const Piece& piece, const Format& format) {
        if (piece.silentSamples == 0) return 0;
        return std::uint64_t{piece.silentSamples} * format.rate / piece.silenceRate;
    }

    std::span<const std::uint8_t> bytes_;
    const std::string& what_;
    ByteReader reader_;
    std::size_t block_ = 0;
    std::optional<Format> format_;                             // of the first samples: the sound's
    std::optional<Format> current_;                            // of the last samples: a continuation's
    std::optional<std::pair<Format, std::uint16_t>> extended_; // block 8's format and codec
    std::vector<Piece> pieces_;
    std::uint64_t sampleBytes_ = 0;
};

} // namespace

bool isVoc(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kVocHeaderSize || std::memcmp(bytes.data(), kVocMagic.data(), kVocMagic.size()) != 0)
        return false;
    const ByteReader header(bytes, "VOC");
    const std::uint16_t version = header.u16(kVersionAt);
    const std::size_t firstBlock = header.u16(kFirstBlockAt);
    return firstBlock >= kVocHeaderSize && firstBlock <= bytes.size() &&
           header.u16(kCheckAt) == static_cast<std::uint16_t>(~version + 0x1234);
}

Sound decodeVoc(std::span<const std::uint8_t> bytes, const std::string& what) {
    if (!isVoc(bytes))
        throw FormatError(what + ": no Creative Voice File header (magic, first block inside the " +
                          std::to_string(bytes.size()) + " bytes, version check)");
    return BlockWalk(bytes, what).run(ByteReader(bytes, what).u16(kFirstBlockAt));
}

} // namespace vexa
