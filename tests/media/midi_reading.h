#pragma once
// A small reader of Standard MIDI Files for the tests, written apart from the program's: every event
// of every track with its absolute tick, running status spelled out.

#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace vexa::test {

struct TimedEvent {
    std::uint64_t tick;
    Bytes bytes; // status and data; a meta event as FF, type, length, data
    bool operator==(const TimedEvent&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const TimedEvent& e) {
    os << "{" << e.tick << ":";
    for (const auto b : e.bytes)
        os << " " << std::hex << int(b) << std::dec;
    return os << "}";
}

struct ReadMidi {
    int format = -1, division = -1;
    std::vector<std::vector<TimedEvent>> tracks;
};

inline ReadMidi readMidiForTest(const Bytes& file) {
    std::size_t at = 0;
    const auto need = [&](std::size_t n) {
        if (file.size() - at < n) throw std::runtime_error("MIDI cut off at " + std::to_string(at));
    };
    const auto be = [&](int n) {
        need(n);
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i)
            v = (v << 8) | file[at++];
        return v;
    };
    const auto id = [&] {
        need(4);
        at += 4;
        return std::string(file.begin() + static_cast<long>(at) - 4, file.begin() + static_cast<long>(at));
    };
    ReadMidi midi;
    if (id() != "MThd" || be(4) != 6) throw std::runtime_error("no MThd of 6 bytes");
    midi.format = static_cast<int>(be(2));
    const auto tracks = be(2);
    midi.division = static_cast<int>(be(2));
    for (std::uint32_t t = 0; t < tracks; ++t) {
        if (id() != "MTrk") throw std::runtime_error("no MTrk");
        const std::size_t end = at + be(4);
        if (end > file.size()) throw std::runtime_error("track past the end");
        std::vector<TimedEvent> events;
        std::uint64_t tick = 0;
        std::uint8_t running = 0;
        const auto quantity = [&] {
            std::uint32_t v = 0;
            for (;;) {
                need(1);
                const auto b = file[at++];
                v = (v << 7) | (b & 0x7F);
                if (!(b & 0x80)) return v;
            }
        };
        bool ended = false;
        while (at < end) {
            tick += quantity();
            need(1);
            std::uint8_t status = file[at];
            if (status & 0x80)
                ++at;
            else
                status = running;
            TimedEvent e{tick, {status}};
            if (status == 0xFF) {
                need(1);
                e.bytes.push_back(file[at++]);
                const auto length = quantity();
                need(length);
                e.bytes.push_back(static_cast<std::uint8_t>(length));
                e.bytes.insert(e.bytes.end(), file.begin() + static_cast<long>(at),
                               file.begin() + static_cast<long>(at + length));
                at += length;
                ended = e.bytes[1] == 0x2F;
            } else if (status == 0xF0 || status == 0xF7) {
                const auto length = quantity();
                need(length);
                e.bytes.push_back(static_cast<std::uint8_t>(length));
                e.bytes.insert(e.bytes.end(), file.begin() + static_cast<long>(at),
                               file.begin() + static_cast<long>(at + length));
                at += length;
            } else {
                running = status;
                const int n = (status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0 ? 1 : 2;
                need(n);
                for (int i = 0; i < n; ++i)
                    e.bytes.push_back(file[at++]);
            }
            events.push_back(e);
        }
        if (at != end || !ended) throw std::runtime_error("a track that does not end with its end of track");
        midi.tracks.push_back(events);
    }
    if (at != file.size()) throw std::runtime_error("bytes after the last track");
    return midi;
}

} // namespace vexa::test
