#include "media/mus.h"

#include "base/byte_reader.h"
#include "media/midi_file.h"

#include <array>
#include <cstring>
#include <optional>

namespace vexa {

namespace {

constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kScoreLengthAt = 4, kScoreStartAt = 6, kPrimaryAt = 8, kSecondaryAt = 10,
                      kInstrumentCountAt = 12;
constexpr std::uint16_t kMaxChannels = 16;
constexpr std::uint8_t kMusPercussion = 15;
constexpr std::uint8_t kMidiPercussion = 9;

// 140 ticks a second: 70 ticks a quarter note of 500,000 microseconds.
constexpr std::uint16_t kDivision = 70;
constexpr std::uint8_t kTempo[] = {0x07, 0xA1, 0x20};
constexpr std::uint8_t kDefaultVolume = 127;

enum EventType : std::uint8_t {
    kRelease = 0,
    kPlay = 1,
    kPitchBend = 2,
    kSystem = 3,
    kController = 4,
    kMeasureEnd = 5,
    kScoreEnd = 6,
};

// MUS controllers 1-9 as MIDI controllers (0, a program change, is apart).
constexpr std::array<std::uint8_t, 10> kControllers = {0, 0, 1, 7, 10, 11, 91, 93, 64, 67};
// MUS system events 10-14: all sounds off, all notes off, mono, poly, reset all controllers.
constexpr std::uint8_t kFirstSystemEvent = 10;
constexpr std::array<std::uint8_t, 5> kSystemControllers = {120, 123, 126, 127, 121};

struct Score {
    std::size_t start;
    std::size_t length;
};

// The score's place, or nothing (and, when asked, why) when the header cannot be.
std::optional<Score> scoreOf(std::span<const std::uint8_t> bytes, std::string* fault = nullptr) {
    const auto fail = [&](const std::string& message) -> std::optional<Score> {
        if (fault) *fault = message;
        return std::nullopt;
    };
    if (bytes.size() < kHeaderSize || std::memcmp(bytes.data(), kMusMagic.data(), kMusMagic.size()) != 0)
        return fail("no MUS header in its " + std::to_string(bytes.size()) + " bytes");
    const ByteReader header(bytes, "MUS");
    const std::size_t start = header.u16(kScoreStartAt), length = header.u16(kScoreLengthAt);
    const std::size_t instruments = header.u16(kInstrumentCountAt);
    if (header.u16(kPrimaryAt) > kMaxChannels || header.u16(kSecondaryAt) > kMaxChannels)
        return fail(std::to_string(header.u16(kPrimaryAt)) + " primary and " +
                    std::to_string(header.u16(kSecondaryAt)) + " secondary channels, of " +
                    std::to_string(kMaxChannels));
    if (start < kHeaderSize + 2 * instruments)
        return fail("score start " + std::to_string(start) + " lies inside the list of " +
                    std::to_string(instruments) + " instruments");
    if (start > bytes.size() || length > bytes.size() - start)
        return fail("score start " + std::to_string(start) + " + length " + std::to_string(length) +
                    " runs past the end of the lump (" + std::to_string(bytes.size()) + " bytes)");
    return Score{start, length};
}

class Converter {
  public:
    Converter(std::span<const std::uint8_t> score, std::size_t scoreStart, const std::string& what)
        : score_(score), scoreStart_(scoreStart), what_(what), out_(0, 1, kDivision, 3 * score.size() + 32) {
        midiChannels_.fill(-1);
        volumes_.fill(kDefaultVolume);
    }

    std::vector<std::uint8_t> run() && {
        out_.beginTrack();
        out_.eventWithData({kMetaEvent, kMetaTempo}, kTempo);
        while (at_ < score_.size()) {
            const std::size_t eventAt = at_;
            const std::uint8_t descriptor = score_[at_++];
            const std::uint8_t type = (descriptor >> 4) & 7, channel = descriptor & 0x0F;
            if (type == kScoreEnd || !event(eventAt, type, channel)) break;
            if ((descriptor & 0x80) && !delay(eventAt)) break;
        }
        out_.endTrack();
        return std::move(out_).finish();
    }

  private:
    // Writes one event; false when its data is cut off by the end of the score.
    bool event(std::size_t eventAt, std::uint8_t type, std::uint8_t channel) {
        if (type > kScoreEnd)
            throw FormatError(what_ + ": offset " + std::to_string(scoreStart_ + eventAt) + ": event type " +
                              std::to_string(type) + " is no MUS event");
        std::uint8_t data[2] = {};
        const std::size_t needed = type == kController ? 2 : type == kMeasureEnd ? 0 : 1;
        if (score_.size() - at_ < needed) return false;
        for (std::size_t i = 0; i < needed; ++i)
            data[i] = score_[at_++];
        switch (type) {
        case kRelease:
            out_.event({status(0x80, channel), static_cast<std::uint8_t>(data[0] & 0x7F), 0});
            break;
        case kPlay:
            if (data[0] & 0x80) {
                if (at_ == score_.size()) return false;
                volumes_[channel] = score_[at_++] & 0x7F;
            }
            out_.event({status(0x90, channel), static_cast<std::uint8_t>(data[0] & 0x7F), volumes_[channel]});
            break;
        case kPitchBend: // 0-255 with 128 the centre, as 14 bits with 8192 the centre
            out_.event({status(0xE0, channel), static_cast<std::uint8_t>((data[0] & 1) << 6),
                        static_cast<std::uint8_t>(data[0] >> 1)});
            break;
        case kSystem:
            if (data[0] >= kFirstSystemEvent && data[0] - kFirstSystemEvent < int(kSystemControllers.size()))
                out_.event({status(0xB0, channel), kSystemControllers[data[0] - kFirstSystemEvent], 0});
            break;
        case kController: {
            const auto value = static_cast<std::uint8_t>(data[1] > 127 ? 127 : data[1]);
            if (data[0] == 0)
                out_.event({status(0xC0, channel), value});
            else if (data[0] < kControllers.size())
                out_.event({status(0xB0, channel), kControllers[data[0]], value});
            break;
        }
        default:
            break; // end of a measure: nothing to play
        }
        return true;
    }

    // Reads the delay after an event; false when it is cut off by the end of the score.
    bool delay(std::size_t eventAt) {
        std::uint64_t ticks = 0;
        for (;;) {
            if (at_ == score_.size()) return false;
            const std::uint8_t byte = score_[at_++];
            ticks = (ticks << 7) | (byte & 0x7F);
            if (ticks > kMaxMidiDelta || !(byte & 0x80)) break;
        }
        if (!out_.wait(ticks))
            throw FormatError(what_ + ": offset " + std::to_string(scoreStart_ + eventAt) +
                              ": a wait of more than " + std::to_string(kMaxMidiDelta) +
                              " ticks, more than a MIDI file can hold");
        return true;
    }

    std::uint8_t status(std::uint8_t kind, std::uint8_t musChannel) {
        auto& midi = midiChannels_[musChannel];
        if (midi < 0) {
            if (musChannel == kMusPercussion) {
                midi = kMidiPercussion;
            } else {
                midi = nextChannel_++;
                if (nextChannel_ == kMidiPercussion) ++nextChannel_;
            }
        }
        return static_cast<std::uint8_t>(kind | midi);
    }

    std::span<const std::uint8_t> score_;
    std::size_t scoreStart_;
    const std::string& what_;
    MidiFileWriter out_;
    std::size_t at_ = 0;
    std::array<int, 16> midiChannels_;
    std::array<std::uint8_t, 16> volumes_;
    int nextChannel_ = 0;
};

} // namespace

bool isMus(std::span<const std::uint8_t> bytes) {
    return scoreOf(bytes).has_value();
}

std::vector<std::uint8_t> musToMidi(std::span<const std::uint8_t> bytes, const std::string& what) {
    std::string fault;
    const auto score = scoreOf(bytes, &fault);
    if (!score) throw FormatError(what + ": " + fault);
    return Converter(bytes.subspan(score->start, score->length), score->start, what).run();
}

} // namespace vexa
