#include "media/hmp.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "media/midi_file.h"

#include <cstring>
#include <optional>

namespace vexa {

namespace {

constexpr std::string_view kNewerMagic{"HMIMIDIP013195"};
constexpr std::size_t kTrackCountAt = 0x30, kTicksPerSecondAt = 0x38;
constexpr std::size_t kTracksAt = 0x308, kNewerTracksAt = 0x388;
constexpr std::size_t kTrackHeaderSize = 12;
constexpr std::size_t kTrackLengthAt = 4;
constexpr std::uint8_t kTempo[] = {0x0F, 0x42, 0x40}; // 1,000,000 microseconds a quarter note
constexpr std::uint8_t kLoopStart = 110, kLoopEnd = 111;

struct Layout {
    std::size_t firstTrack;
    std::uint32_t trackCount;
    std::uint16_t division;
};

// The header and every track header checked against the size, or nothing (and why, when asked).
std::optional<Layout> layoutOf(std::span<const std::uint8_t> bytes, std::string* fault = nullptr) {
    const auto fail = [&](const std::string& message) -> std::optional<Layout> {
        if (fault) *fault = message;
        return std::nullopt;
    };
    const auto has = [&](std::string_view magic) {
        return bytes.size() >= magic.size() && std::memcmp(bytes.data(), magic.data(), magic.size()) == 0;
    };
    if (!has(kHmpMagic)) return fail("no \"HMIMIDIP\" at its start");
    const std::size_t firstTrack = has(kNewerMagic) ? kNewerTracksAt : kTracksAt;
    if (bytes.size() < firstTrack)
        return fail(std::to_string(bytes.size()) + " bytes end before the tracks at offset " +
                    std::to_string(firstTrack));
    const ByteReader header(bytes, "HMP");
    const std::uint32_t count = header.u32(kTrackCountAt), ticks = header.u32(kTicksPerSecondAt);
    if (count == 0 || count > 0xFFFF)
        return fail("track count " + std::to_string(count) + " is not between 1 and 65535");
    if (ticks == 0 || ticks > 0x7FFF)
        return fail(std::to_string(ticks) + " ticks a second cannot be a MIDI division (1 to 32767)");
    std::uint64_t at = firstTrack;
    for (std::uint32_t track = 0; track < count; ++track) {
        if (bytes.size() - at < kTrackHeaderSize)
            return fail("track " + std::to_string(track) + " of " + std::to_string(count) + " at offset " +
                        std::to_string(at) + " runs past the end of the file (" +
                        std::to_string(bytes.size()) + " bytes)");
        const std::uint64_t length = header.u32(at + kTrackLengthAt);
        if (length < kTrackHeaderSize || length > bytes.size() - at)
            return fail("track " + std::to_string(track) + " at offset " + std::to_string(at) + ": length " +
                        std::to_string(length) +
                        " is shorter than its header or runs past the end of the file (" +
                        std::to_string(bytes.size()) + " bytes)");
        at += length;
    }
    return Layout{firstTrack, count, static_cast<std::uint16_t>(ticks)};
}

class TrackConverter {
  public:
    TrackConverter(MidiFileWriter& out, const std::string& what) : out_(out), what_(what) {}

    void convert(std::uint32_t track, std::span<const std::uint8_t> events, std::size_t fileOffset) {
        track_ = track;
        events_ = events;
        fileOffset_ = fileOffset;
        at_ = 0;
        out_.beginTrack();
        while (at_ < events_.size()) {
            const std::size_t deltaAt = at_;
            if (!out_.wait(delta()))
                fault(deltaAt, "the time since the last event passes what a MIDI file can hold");
            const std::size_t eventAt = at_;
            const std::uint8_t status = next();
            if (status < 0xF0) {
                if (status < 0x80)
                    fault(eventAt, "byte " + std::to_string(status) + " where an event should start");
                const std::uint8_t kind = status & 0xF0;
                const std::uint8_t first = data(eventAt);
                if (kind == 0xC0 || kind == 0xD0) {
                    out_.event({status, first});
                    continue;
                }
                const std::uint8_t second = data(eventAt);
                if (kind == 0xB0 && (first == kLoopStart || first == kLoopEnd)) continue;
                out_.event({status, first, second});
            } else if (status == kMetaEvent) {
                const std::uint8_t type = data(eventAt);
                const auto body = block();
                if (type == kMetaEndOfTrack) break;
                out_.eventWithData({kMetaEvent, type}, body);
            } else if (status == 0xF0 || status == 0xF7) {
                out_.eventWithData({status}, block());
            } else {
                fault(eventAt, "status byte " + std::to_string(status) + ", which a file cannot hold");
            }
        }
        out_.endTrack();
    }

  private:
    [[noreturn]] void fault(std::size_t at, const std::string& message) const {
        throw FormatError(what_ + ": track " + std::to_string(track_) + ", offset " +
                          std::to_string(fileOffset_ + at) + ": " + message);
    }
    std::uint8_t next() {
        if (at_ >= events_.size())
            fault(at_, "an event runs past the end of the track (" + std::to_string(events_.size()) +
                           " bytes of events)");
        return events_[at_++];
    }
    std::uint8_t data(std::size_t eventAt) {
        const std::uint8_t byte = next();
        if (byte >= 0x80) fault(eventAt, "data byte " + std::to_string(byte) + " has its top bit set");
        return byte;
    }
    // HMP's delta time: the lowest 7 bits first, bit 7 set on the last byte.
    std::uint32_t delta() {
        const std::size_t start = at_;
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const std::uint8_t byte = next();
            value |= std::uint32_t{byte & 0x7Fu} << (7 * i);
            if (byte & 0x80) return value;
        }
        fault(start, "a delta time longer than four bytes");
    }
    // A length as MIDI writes it (bit 7 set on all but the last byte), then that many bytes.
    std::span<const std::uint8_t> block() {
        const std::size_t start = at_;
        std::uint32_t length = 0;
        for (int i = 0;; ++i) {
            if (i == 4) fault(start, "a length longer than four bytes");
            const std::uint8_t byte = next();
            length = (length << 7) | (byte & 0x7F);
            if (!(byte & 0x80)) break;
        }
        if (length > events_.size() - at_)
            fault(start, "data of " + std::to_string(length) + " bytes runs past the end of the track");
        at_ += length;
        return events_.subspan(at_ - length, length);
    }

    MidiFileWriter& out_;
    const std::string& what_;
    std::span<const std::uint8_t> events_;
    std::uint32_t track_ = 0;
    std::size_t fileOffset_ = 0, at_ = 0;
};

} // namespace

bool isHmp(std::span<const std::uint8_t> bytes) {
    return layoutOf(bytes).has_value();
}

std::vector<std::uint8_t> hmpToMidi(std::span<const std::uint8_t> bytes, const std::string& what) {
    std::string fault;
    const auto layout = layoutOf(bytes, &fault);
    if (!layout) throw FormatError(what + ": not an HMP file: " + fault);
    MidiFileWriter out(1, static_cast<std::uint16_t>(layout->trackCount), layout->division,
                       bytes.size() + 16 * std::size_t{layout->trackCount});
    out.beginTrack();
    out.eventWithData({kMetaEvent, kMetaTempo}, kTempo);
    out.endTrack();
    const ByteReader reader(bytes, what);
    TrackConverter converter(out, what);
    std::size_t at = layout->firstTrack;
    for (std::uint32_t track = 0; track < layout->trackCount; ++track) {
        const std::size_t length = reader.u32(at + kTrackLengthAt);
        if (track > 0)
            converter.convert(track, bytes.subspan(at + kTrackHeaderSize, length - kTrackHeaderSize),
                              at + kTrackHeaderSize);
        at += length;
    }
    return std::move(out).finish();
}

} // namespace vexa
