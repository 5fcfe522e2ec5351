#include "media/gmd.h"

#include "base/errors.h"
#include "media/midi.h"
#include "media/midi_file.h"

#include <cstring>
#include <optional>

namespace vexa {

namespace {

constexpr std::size_t kFormHeaderSize = 12; // "FORM", u32 big-endian size, type

bool idAt(std::span<const std::uint8_t> bytes, std::size_t at, const char* id) {
    return at <= bytes.size() && bytes.size() - at >= 4 && std::memcmp(bytes.data() + at, id, 4) == 0;
}

// The form's body (without its header), or nothing when the header cannot be.
std::optional<std::span<const std::uint8_t>> formOf(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kFormHeaderSize || !idAt(bytes, 0, "FORM") || !idAt(bytes, 8, "MIDI"))
        return std::nullopt;
    const std::uint64_t size = bigEndian32(bytes, 4);
    if (size < 4 || size > bytes.size() - 8) return std::nullopt;
    return bytes.subspan(kFormHeaderSize, size - 4);
}

// The offset of the "MThd" chunk within the form's body: the chunks before it are walked as IFF lays
// them out, each padded to an even size.
std::optional<std::size_t> midiHeaderIn(std::span<const std::uint8_t> form) {
    std::uint64_t at = 0;
    while (form.size() - at >= kMidiChunkHeaderSize) {
        if (idAt(form, at, "MThd")) return at;
        const std::uint64_t size = bigEndian32(form, at + 4);
        if (size > form.size() - at - kMidiChunkHeaderSize) return std::nullopt;
        at += kMidiChunkHeaderSize + size + (size & 1);
        if (at > form.size()) return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

bool isGmd(std::span<const std::uint8_t> bytes) {
    const auto form = formOf(bytes);
    return form && midiHeaderIn(*form);
}

std::vector<std::uint8_t> gmdToMidi(std::span<const std::uint8_t> bytes, const std::string& what) {
    const auto form = formOf(bytes);
    if (!form)
        throw FormatError(what + ": no IFF \"FORM\" of type \"MIDI\" whose size fits its " +
                          std::to_string(bytes.size()) + " bytes");
    const auto header = midiHeaderIn(*form);
    if (!header) throw FormatError(what + ": its form holds no \"MThd\" chunk");
    const auto midi = form->subspan(*header);
    const std::uint64_t headerSize = kMidiChunkHeaderSize + std::uint64_t{bigEndian32(midi, 4)};
    if (midi.size() < kMidiHeaderSize || headerSize < kMidiHeaderSize || headerSize > midi.size())
        throw FormatError(what + ": the \"MThd\" chunk of " + std::to_string(headerSize) +
                          " bytes at offset " + std::to_string(kFormHeaderSize + *header) +
                          " does not fit the form");
    const std::uint16_t tracks = bigEndian16(midi, 10);
    std::vector<std::uint8_t> out;
    out.reserve(midi.size());
    out.insert(out.end(), midi.begin(), midi.begin() + static_cast<std::ptrdiff_t>(headerSize));
    std::uint64_t at = headerSize;
    for (std::uint16_t found = 0; found < tracks;) {
        // A writer that kept to IFF put a pad byte after a chunk of odd size; a MIDI writer did not.
        if (!idAt(midi, at, "MTrk") && idAt(midi, at + 1, "MTrk")) ++at;
        if (at > midi.size() || midi.size() - at < kMidiChunkHeaderSize)
            throw FormatError(what + ": the form ends after " + std::to_string(found) + " of its " +
                              std::to_string(tracks) + " tracks");
        const std::uint64_t size = bigEndian32(midi, at + 4);
        if (size > midi.size() - at - kMidiChunkHeaderSize)
            throw FormatError(what + ": the chunk at offset " +
                              std::to_string(kFormHeaderSize + *header + at) + " of " + std::to_string(size) +
                              " bytes runs past the end of the form");
        const auto chunk = midi.subspan(at, kMidiChunkHeaderSize + size);
        if (idAt(midi, at, "MTrk")) {
            out.insert(out.end(), chunk.begin(), chunk.end());
            ++found;
        }
        at += chunk.size();
    }
    if (const auto fault = midiFault(out); !fault.empty())
        throw FormatError(what + ": the MIDI file inside: " + fault);
    return out;
}

} // namespace vexa
