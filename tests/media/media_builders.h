#pragma once
// Builders for the sound, music and text tests (and the fuzz seeds): files laid out by hand, field by
// field, from the layouts the games use.

#include "support/test_files.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vexa::test {

// ---- sounds ----

// A DMX lump: header, then body as the lump holds it (the count says how much of it is sound).
inline Bytes dmxLump(std::uint16_t format, std::uint16_t rate, std::uint32_t count, const Bytes& body) {
    ByteBuilder b;
    b.u16(format).u16(rate).u32(count).raw(body);
    return b.bytes();
}
// A DMX sound of these samples, with 16 padding bytes of its own on each side.
inline Bytes dmxSound(std::uint16_t rate, const Bytes& samples) {
    Bytes body(16, 0x11);
    body.insert(body.end(), samples.begin(), samples.end());
    body.insert(body.end(), 16, 0x22);
    return dmxLump(3, rate, static_cast<std::uint32_t>(body.size()), body);
}

struct VocBlock {
    std::uint8_t type;
    Bytes body;
};
// The 26-byte header (version 1.10 and its check), the blocks, then a terminator when asked.
inline Bytes vocFile(const std::vector<VocBlock>& blocks, bool terminator = true) {
    ByteBuilder b;
    b.raw("Creative Voice File\x1A").u16(26).u16(0x010A).u16(static_cast<std::uint16_t>(~0x010A + 0x1234));
    for (const auto& block : blocks) {
        const auto size = static_cast<std::uint32_t>(block.body.size());
        b.u8(block.type).u16(static_cast<std::uint16_t>(size)).u8(static_cast<std::uint8_t>(size >> 16));
        b.raw(block.body);
    }
    if (terminator) b.u8(0);
    return b.bytes();
}
inline VocBlock vocSoundData(std::uint8_t timeConstant, std::uint8_t codec, const Bytes& samples) {
    Bytes body{timeConstant, codec};
    body.insert(body.end(), samples.begin(), samples.end());
    return {1, body};
}
inline VocBlock vocNewFormat(std::uint32_t rate, std::uint8_t bits, std::uint8_t channels,
                             std::uint16_t codec, const Bytes& samples) {
    ByteBuilder b;
    b.u32(rate).u8(bits).u8(channels).u16(codec).zeros(4).raw(samples);
    return {9, b.bytes()};
}

// ---- music ----

// A MUS lump: header, instrument list, score.
inline Bytes musLump(const Bytes& score, const std::vector<std::uint16_t>& instruments = {}) {
    ByteBuilder b;
    const auto start = static_cast<std::uint16_t>(16 + 2 * instruments.size());
    b.raw("MUS\x1A").u16(static_cast<std::uint16_t>(score.size())).u16(start).u16(2).u16(0);
    b.u16(static_cast<std::uint16_t>(instruments.size())).u16(0);
    for (const auto i : instruments)
        b.u16(i);
    b.raw(score);
    return b.bytes();
}

// An HMP file: the header (track count, ticks a second) padded to 0x308, then each track with its
// 12-byte header.
inline Bytes hmpFile(std::uint32_t ticksPerSecond, const std::vector<Bytes>& tracks) {
    ByteBuilder b;
    b.raw("HMIMIDIP").zeros(0x30 - 8).u32(static_cast<std::uint32_t>(tracks.size())).zeros(4);
    b.u32(ticksPerSecond).zeros(0x308 - 0x3C);
    for (std::size_t i = 0; i < tracks.size(); ++i)
        b.u32(static_cast<std::uint32_t>(i))
            .u32(static_cast<std::uint32_t>(12 + tracks[i].size()))
            .u32(0)
            .raw(tracks[i]);
    return b.bytes();
}

inline void bigEndian32(Bytes& out, std::uint32_t v) {
    for (int i = 3; i >= 0; --i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
// A chunk of a MIDI or IFF file: id, big-endian size, body.
inline Bytes chunk(std::string_view id, const Bytes& body) {
    Bytes out(id.begin(), id.end());
    bigEndian32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}
// A Standard MIDI File of these tracks' events (each already ending with its end of track).
inline Bytes midiFile(std::uint16_t format, std::uint16_t division, const std::vector<Bytes>& tracks) {
    const auto count = static_cast<std::uint16_t>(tracks.size());
    Bytes out =
        chunk("MThd", {static_cast<std::uint8_t>(format >> 8), static_cast<std::uint8_t>(format),
                       static_cast<std::uint8_t>(count >> 8), static_cast<std::uint8_t>(count),
                       static_cast<std::uint8_t>(division >> 8), static_cast<std::uint8_t>(division)});
    for (const auto& t : tracks) {
        const auto c = chunk("MTrk", t);
        out.insert(out.end(), c.begin(), c.end());
    }
    return out;
}
// An IFF form of type "MIDI" around these chunks, each padded to an even size as IFF asks.
inline Bytes gmdForm(const std::vector<Bytes>& chunks) {
    Bytes body{'M', 'I', 'D', 'I'};
    for (const auto& c : chunks) {
        body.insert(body.end(), c.begin(), c.end());
        if (c.size() % 2) body.push_back(0);
    }
    return chunk("FORM", body);
}

// ---- text ----

// An ENDOOM screen of spaces in grey on black, with text written from the start of some rows.
inline Bytes endoomScreen(const std::vector<std::pair<std::size_t, Bytes>>& rows = {}) {
    Bytes screen;
    for (int i = 0; i < 2000; ++i) {
        screen.push_back(' ');
        screen.push_back(0x07);
    }
    for (const auto& [row, text] : rows)
        for (std::size_t c = 0; c < text.size(); ++c)
            screen[2 * (row * 80 + c)] = text[c];
    return screen;
}

} // namespace vexa::test
