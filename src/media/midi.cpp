#include "media/midi.h"

#include "base/errors.h"
#include "media/midi_file.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace vexa {

namespace {

constexpr std::size_t kFormatAt = 8, kTrackCountAt = 10, kDivisionAt = 12;
constexpr std::uint32_t kDefaultTempo = 500000; // microseconds per quarter note
constexpr std::uint8_t kDrumChannel = 9;

struct Header {
    std::uint16_t format = 0;
    std::uint16_t trackCount = 0;
    std::uint16_t division = 0;
};

bool idAt(std::span<const std::uint8_t> bytes, std::size_t at, const char* id) {
    return at <= bytes.size() && bytes.size() - at >= 4 && std::memcmp(bytes.data() + at, id, 4) == 0;
}

// Checks the header and the chunks up to the last track, handing each track's bytes to onTrack.
// On a fault it returns false and, when asked, says what it is.
template <class OnTrack>
bool walkChunks(std::span<const std::uint8_t> bytes, Header& header, std::string* fault, OnTrack&& onTrack) {
    const auto fail = [&](const std::string& message) {
        if (fault) *fault = message;
        return false;
    };
    if (bytes.size() < kMidiHeaderSize || !idAt(bytes, 0, "MThd"))
        return fail("no \"MThd\" header in its " + std::to_string(bytes.size()) + " bytes");
    const std::uint64_t headerLength = bigEndian32(bytes, 4);
    header = {bigEndian16(bytes, kFormatAt), bigEndian16(bytes, kTrackCountAt),
              bigEndian16(bytes, kDivisionAt)};
    if (headerLength < kMidiHeaderSize - kMidiChunkHeaderSize ||
        headerLength > bytes.size() - kMidiChunkHeaderSize)
        return fail("header length " + std::to_string(headerLength) + " does not fit the file (" +
                    std::to_string(bytes.size()) + " bytes)");
    if (header.format > 2 || header.trackCount == 0 || (header.format == 0 && header.trackCount != 1))
        return fail("format " + std::to_string(header.format) + " with " + std::to_string(header.trackCount) +
                    " tracks");
    // A division is ticks per quarter note, or (top bit set) SMPTE frames per second and ticks per frame.
    const int smpteFrames = -static_cast<std::int8_t>(header.division >> 8);
    if ((header.division & 0x7FFF) == 0 ||
        ((header.division & 0x8000) &&
         ((smpteFrames != 24 && smpteFrames != 25 && smpteFrames != 29 && smpteFrames != 30) ||
          (header.division & 0xFF) == 0)))
        return fail("division " + std::to_string(header.division) + " is no time base");
    std::uint64_t at = kMidiChunkHeaderSize + headerLength;
    std::size_t found = 0;
    while (found < header.trackCount) {
        if (bytes.size() - at < kMidiChunkHeaderSize)
            return fail("track " + std::to_string(found) + " of " + std::to_string(header.trackCount) +
                        " is missing: the file ends at " + std::to_string(bytes.size()) + " bytes");
        const std::uint64_t length = bigEndian32(bytes, at + 4);
        const std::uint64_t body = at + kMidiChunkHeaderSize;
        if (length > bytes.size() - body)
            return fail("the chunk at offset " + std::to_string(at) + " of " + std::to_string(length) +
                        " bytes runs past the end of the file (" + std::to_string(bytes.size()) + " bytes)");
        if (idAt(bytes, at, "MTrk")) onTrack(found++, bytes.subspan(body, length), body);
        at = body + length;
    }
    return true;
}

// One track's events: its last tick, its tempo changes, its instruments and drums.
class TrackReader {
  public:
    TrackReader(const std::string& what, MidiInfo& info,
                std::vector<std::pair<std::uint64_t, std::uint32_t>>& tempos)
        : what_(what), info_(info), tempos_(tempos) {}

    // Returns the tick of the track's last event.
    std::uint64_t read(std::size_t track, std::span<const std::uint8_t> bytes, std::size_t fileOffset) {
        track_ = track;
        bytes_ = bytes;
        fileOffset_ = fileOffset;
        at_ = 0;
        std::uint64_t tick = 0;
        std::uint8_t running = 0;
        while (at_ < bytes_.size()) {
            tick += quantity("delta time");
            const std::size_t eventAt = at_;
            std::uint8_t status = next("event");
            if (status < 0x80) {
                if (running == 0) fault(eventAt, "a data byte with no status before it");
                status = running;
                --at_;
            }
            if (status < 0xF0) {
                running = status;
                const std::uint8_t kind = status & 0xF0, channel = status & 0x0F;
                const std::uint8_t first = next("event data");
                if (kind == 0xC0 || kind == 0xD0) {
                    if (kind == 0xC0 && channel != kDrumChannel) addProgram(first & 0x7F);
                    continue;
                }
                const std::uint8_t second = next("event data");
                if (kind == 0x90 && second != 0 && channel == kDrumChannel) info_.usesDrums = true;
            } else if (status == kMetaEvent) {
                const std::uint8_t type = next("meta event");
                const auto data = block();
                if (type == kMetaEndOfTrack) break;
                if (type == kMetaTempo && data.size() == 3)
                    tempos_.emplace_back(tick, (std::uint32_t{data[0]} << 16) | (data[1] << 8) | data[2]);
            } else if (status == 0xF0 || status == 0xF7) {
                (void)block();
            } else {
                fault(eventAt, "status byte " + std::to_string(status) + ", which a file cannot hold");
            }
        }
        return tick;
    }

  private:
    [[noreturn]] void fault(std::size_t at, const std::string& message) const {
        throw FormatError(what_ + ": track " + std::to_string(track_) + ", offset " +
                          std::to_string(fileOffset_ + at) + ": " + message);
    }
    std::uint8_t next(const char* part) {
        if (at_ >= bytes_.size())
            fault(at_, std::string("the ") + part + " runs past the end of the track (" +
                           std::to_string(bytes_.size()) + " bytes)");
        return bytes_[at_++];
    }
    std::uint32_t quantity(const char* part) {
        const std::size_t start = at_;
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i) {
            const std::uint8_t byte = next(part);
            value = (value << 7) | (byte & 0x7F);
            if (!(byte & 0x80)) return value;
        }
        fault(start, std::string("a ") + part + " longer than four bytes");
    }
    std::span<const std::uint8_t> block() {
        const std::size_t start = at_;
        const std::uint32_t length = quantity("length");
        if (length > bytes_.size() - at_)
            fault(start, "data of " + std::to_string(length) + " bytes runs past the end of the track (" +
                             std::to_string(bytes_.size()) + " bytes)");
        at_ += length;
        return bytes_.subspan(at_ - length, length);
    }
    void addProgram(std::uint8_t program) {
        if (std::find(info_.programs.begin(), info_.programs.end(), program) == info_.programs.end())
            info_.programs.push_back(program);
    }

    const std::string& what_;
    MidiInfo& info_;
    std::vector<std::pair<std::uint64_t, std::uint32_t>>& tempos_;
    std::span<const std::uint8_t> bytes_;
    std::size_t track_ = 0, fileOffset_ = 0, at_ = 0;
};

// Seconds from the start to a tick, through the tempo changes (sorted by tick).
double secondsTo(std::uint64_t endTick, std::uint16_t division,
                 const std::vector<std::pair<std::uint64_t, std::uint32_t>>& tempos) {
    if (division & 0x8000) {
        const int frames = -static_cast<std::int8_t>(division >> 8);
        const double framesPerSecond = frames == 29 ? 30000.0 / 1001.0 : frames;
        return static_cast<double>(endTick) / (framesPerSecond * (division & 0xFF));
    }
    double microseconds = 0;
    std::uint64_t tick = 0;
    std::uint32_t tempo = kDefaultTempo;
    for (const auto& [at, value] : tempos) {
        if (at >= endTick) break;
        microseconds += static_cast<double>(at - tick) * tempo;
        tick = at;
        tempo = value;
    }
    microseconds += static_cast<double>(endTick - tick) * tempo;
    return microseconds / division / 1e6;
}

constexpr std::array<std::string_view, 128> kGeneralMidiNames = {"Acoustic Grand Piano",
                                                                 "Bright Acoustic Piano",
                                                                 "Electric Grand Piano",
                                                                 "Honky-tonk Piano",
                                                                 "Electric Piano 1",
                                                                 "Electric Piano 2",
                                                                 "Harpsichord",
                                                                 "Clavi",
                                                                 "Celesta",
                                                                 "Glockenspiel",
                                                                 "Music Box",
                                                                 "Vibraphone",
                                                                 "Marimba",
                                                                 "Xylophone",
                                                                 "Tubular Bells",
                                                                 "Dulcimer",
                                                                 "Drawbar Organ",
                                                                 "Percussive Organ",
                                                                 "Rock Organ",
                                                                 "Church Organ",
                                                                 "Reed Organ",
                                                                 "Accordion",
                                                                 "Harmonica",
                                                                 "Tango Accordion",
                                                                 "Acoustic Guitar (nylon)",
                                                                 "Acoustic Guitar (steel)",
                                                                 "Electric Guitar (jazz)",
                                                                 "Electric Guitar (clean)",
                                                                 "Electric Guitar (muted)",
                                                                 "Overdriven Guitar",
                                                                 "Distortion Guitar",
                                                                 "Guitar Harmonics",
                                                                 "Acoustic Bass",
                                                                 "Electric Bass (finger)",
                                                                 "Electric Bass (pick)",
                                                                 "Fretless Bass",
                                                                 "Slap Bass 1",
                                                                 "Slap Bass 2",
                                                                 "Synth Bass 1",
                                                                 "Synth Bass 2",
                                                                 "Violin",
                                                                 "Viola",
                                                                 "Cello",
                                                                 "Contrabass",
                                                                 "Tremolo Strings",
                                                                 "Pizzicato Strings",
                                                                 "Orchestral Harp",
                                                                 "Timpani",
                                                                 "String Ensemble 1",
                                                                 "String Ensemble 2",
                                                                 "Synth Strings 1",
                                                                 "Synth Strings 2",
                                                                 "Choir Aahs",
                                                                 "Voice Oohs",
                                                                 "Synth Voice",
                                                                 "Orchestra Hit",
                                                                 "Trumpet",
                                                                 "Trombone",
                                                                 "Tuba",
                                                                 "Muted Trumpet",
                                                                 "French Horn",
                                                                 "Brass Section",
                                                                 "Synth Brass 1",
                                                                 "Synth Brass 2",
                                                                 "Soprano Sax",
                                                                 "Alto Sax",
                                                                 "Tenor Sax",
                                                                 "Baritone Sax",
                                                                 "Oboe",
                                                                 "English Horn",
                                                                 "Bassoon",
                                                                 "Clarinet",
                                                                 "Piccolo",
                                                                 "Flute",
                                                                 "Recorder",
                                                                 "Pan Flute",
                                                                 "Blown Bottle",
                                                                 "Shakuhachi",
                                                                 "Whistle",
                                                                 "Ocarina",
                                                                 "Lead 1 (square)",
                                                                 "Lead 2 (sawtooth)",
                                                                 "Lead 3 (calliope)",
                                                                 "Lead 4 (chiff)",
                                                                 "Lead 5 (charang)",
                                                                 "Lead 6 (voice)",
                                                                 "Lead 7 (fifths)",
                                                                 "Lead 8 (bass + lead)",
                                                                 "Pad 1 (new age)",
                                                                 "Pad 2 (warm)",
                                                                 "Pad 3 (polysynth)",
                                                                 "Pad 4 (choir)",
                                                                 "Pad 5 (bowed)",
                                                                 "Pad 6 (metallic)",
                                                                 "Pad 7 (halo)",
                                                                 "Pad 8 (sweep)",
                                                                 "FX 1 (rain)",
                                                                 "FX 2 (soundtrack)",
                                                                 "FX 3 (crystal)",
                                                                 "FX 4 (atmosphere)",
                                                                 "FX 5 (brightness)",
                                                                 "FX 6 (goblins)",
                                                                 "FX 7 (echoes)",
                                                                 "FX 8 (sci-fi)",
                                                                 "Sitar",
                                                                 "Banjo",
                                                                 "Shamisen",
                                                                 "Koto",
                                                                 "Kalimba",
                                                                 "Bagpipe",
                                                                 "Fiddle",
                                                                 "Shanai",
                                                                 "Tinkle Bell",
                                                                 "Agogo",
                                                                 "Steel Drums",
                                                                 "Woodblock",
                                                                 "Taiko Drum",
                                                                 "Melodic Tom",
                                                                 "Synth Drum",
                                                                 "Reverse Cymbal",
                                                                 "Guitar Fret Noise",
                                                                 "Breath Noise",
                                                                 "Seashore",
                                                                 "Bird Tweet",
                                                                 "Telephone Ring",
                                                                 "Helicopter",
                                                                 "Applause",
                                                                 "Gunshot"};

} // namespace

bool isMidi(std::span<const std::uint8_t> bytes) {
    Header header;
    return walkChunks(bytes, header, nullptr, [](std::size_t, std::span<const std::uint8_t>, std::size_t) {});
}

std::string midiFault(std::span<const std::uint8_t> bytes) {
    Header header;
    std::string fault;
    walkChunks(bytes, header, &fault, [](std::size_t, std::span<const std::uint8_t>, std::size_t) {});
    return fault;
}

MidiInfo readMidiInfo(std::span<const std::uint8_t> bytes, const std::string& what) {
    Header header;
    std::string fault;
    if (!walkChunks(bytes, header, &fault, [](std::size_t, std::span<const std::uint8_t>, std::size_t) {}))
        throw FormatError(what + ": not a MIDI file: " + fault);
    MidiInfo info;
    info.format = header.format;
    info.trackCount = header.trackCount;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> tempos;
    TrackReader reader(what, info, tempos);
    // Format 2 holds independent songs one after the other, each with its own tempo; in the others the
    // tracks play together and a tempo change in any of them holds for all.
    std::uint64_t longest = 0;
    walkChunks(bytes, header, nullptr,
               [&](std::size_t track, std::span<const std::uint8_t> body, std::size_t at) {
                   const auto end = reader.read(track, body, at);
                   if (header.format == 2) {
                       std::stable_sort(tempos.begin(), tempos.end(),
                                        [](const auto& a, const auto& b) { return a.first < b.first; });
                       info.seconds += secondsTo(end, header.division, tempos);
                       tempos.clear();
                   }
                   longest = std::max(longest, end);
               });
    if (header.format != 2) {
        std::stable_sort(tempos.begin(), tempos.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        info.seconds = secondsTo(longest, header.division, tempos);
    }
    return info;
}

std::string_view generalMidiName(std::uint8_t program) {
    return program < kGeneralMidiNames.size() ? kGeneralMidiNames[program] : std::string_view("(no program)");
}

} // namespace vexa
