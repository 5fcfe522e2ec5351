// MUS and HMP turned into MIDI, read back by the tests' own MIDI reader and held against hand-written
// tables of events; the MIDI inside a GMD; what the preview says of a MIDI file.

#include "base/errors.h"
#include "media/gmd.h"
#include "media/hmp.h"
#include "media/media_builders.h"
#include "media/midi.h"
#include "media/midi_reading.h"
#include "media/mus.h"

#include <gtest/gtest.h>

#include <functional>

namespace vexa {
namespace {

using test::Bytes;
using test::TimedEvent;

using Events = std::vector<TimedEvent>;

void expectRefused(const std::string& fault, const Bytes& bytes, const std::string& expected, bool claimed,
                   const std::function<bool(std::span<const std::uint8_t>)>& claim,
                   const std::function<void(std::span<const std::uint8_t>, const std::string&)>& convert) {
    EXPECT_EQ(claim(bytes), claimed) << fault;
    try {
        convert(bytes, "music.wad: entry 2 'D_E1M1'");
        ADD_FAILURE() << fault << " was converted";
    } catch (const FormatError& e) {
        const std::string message = e.what();
        EXPECT_EQ(message.rfind("music.wad: entry 2 'D_E1M1': ", 0), 0u) << fault << ": " << message;
        EXPECT_NE(message.find(expected), std::string::npos) << fault << ": " << message;
    }
}

// ---- MUS ----

// An event descriptor: type, channel, and whether a delay follows.
std::uint8_t mus(std::uint8_t type, std::uint8_t channel, bool delay = false) {
    return static_cast<std::uint8_t>((delay ? 0x80 : 0) | (type << 4) | channel);
}

// The single track of a converted MUS: the tempo that makes 70 ticks a quarter note 140 ticks a
// second first, the end of track last.
Events musEvents(const Bytes& lump) {
    EXPECT_TRUE(isMus(lump));
    const auto midi = test::readMidiForTest(musToMidi(lump, "x"));
    EXPECT_EQ(midi.format, 0);
    EXPECT_EQ(midi.division, 70);
    EXPECT_EQ(midi.tracks.size(), 1u);
    auto events = midi.tracks.at(0);
    EXPECT_EQ(events.front(), (TimedEvent{0, {0xFF, 0x51, 3, 0x07, 0xA1, 0x20}}));
    events.erase(events.begin());
    return events;
}

// Events one after the other.
Bytes joined(const std::vector<Bytes>& events) {
    Bytes out;
    for (const auto& e : events)
        out.insert(out.end(), e.begin(), e.end());
    return out;
}

TEST(Mus, EventsChannelsVolumesAndTimes) {
    const auto events = joined({
        {mus(1, 0), 0x80 | 60, 100},           // play with a volume
        {mus(1, 15, true), 36, 70},            // percussion, no volume: the default 127; wait 70
        {mus(4, 3), 0, 30},                    // instrument 30 on the second channel used
        {mus(4, 3, true), 3, 200, 0x81, 0x00}, // volume, held to 127; wait 128
        {mus(1, 0), 62},                       // no volume: the channel's last, 100
        {mus(0, 0), 60},                       // release
        {mus(2, 3), 255},                      // pitch bend, highest
        {mus(2, 3, true), 128, 2},             // centre; wait 2
        {mus(3, 0), 11},                       // all notes off
        {mus(3, 0), 9},                        // no system event: nothing
        {mus(4, 0), 8, 127},                   // sustain
        {mus(4, 0), 2, 5},                     // modulation
        {mus(4, 0), 4, 64},                    // pan
        {mus(4, 0), 5, 1},                     // expression
        {mus(4, 0), 6, 2},                     // reverb
        {mus(4, 0), 7, 3},                     // chorus
        {mus(4, 0), 9, 4},                     // soft pedal
        {mus(4, 0), 1, 6},                     // bank select
        {mus(5, 0)},                           // end of a measure: nothing
        {mus(0, 1), 1, mus(0, 2), 1, mus(0, 4), 1, mus(0, 5), 1, mus(0, 6), 1, mus(0, 7), 1, mus(0, 8), 1},
        {mus(0, 9), 1}, // the ninth melodic channel passes over MIDI 9
        {mus(3, 0), 10, mus(3, 0), 12, mus(3, 0), 13, mus(3, 0), 14},
        {mus(6, 0)},     // score end
        {mus(1, 0), 61}, // after the end: not played
    });
    const Events expected = {
        {0, {0x90, 60, 100}},   {0, {0x99, 36, 127}},   {70, {0xC1, 30}},          {70, {0xB1, 7, 127}},
        {198, {0x90, 62, 100}}, {198, {0x80, 60, 0}},   {198, {0xE1, 0x40, 0x7F}}, {198, {0xE1, 0x00, 0x40}},
        {200, {0xB0, 123, 0}},  {200, {0xB0, 64, 127}}, {200, {0xB0, 1, 5}},       {200, {0xB0, 10, 64}},
        {200, {0xB0, 11, 1}},   {200, {0xB0, 91, 2}},   {200, {0xB0, 93, 3}},      {200, {0xB0, 67, 4}},
        {200, {0xB0, 0, 6}},    {200, {0x82, 1, 0}},    {200, {0x83, 1, 0}},       {200, {0x84, 1, 0}},
        {200, {0x85, 1, 0}},    {200, {0x86, 1, 0}},    {200, {0x87, 1, 0}},       {200, {0x88, 1, 0}},
        {200, {0x8A, 1, 0}},    {200, {0xB0, 120, 0}},  {200, {0xB0, 126, 0}},     {200, {0xB0, 127, 0}},
        {200, {0xB0, 121, 0}},  {200, {0xFF, 0x2F, 0}},
    };
    EXPECT_EQ(musEvents(test::musLump(events, {30, 135})), expected);
}

TEST(Mus, AScoreThatNeverEndsStopsAtItsLastByte) {
    struct Case {
        std::string name;
        Bytes score;
        Events expected;
    };
    Events bends(200, TimedEvent{0, {0xE0, 0x00, 0x10}});
    bends.push_back({0, {0xFF, 0x2F, 0}});
    const std::vector<Case> cases = {
        {"empty score", {}, {{0, {0xFF, 0x2F, 0}}}},
        {"no score end", {mus(1, 0, true), 60, 5}, {{0, {0x90, 60, 127}}, {5, {0xFF, 0x2F, 0}}}},
        {"volume cut off",
         {mus(1, 0, true), 60, 5, mus(1, 0), 0x80 | 61},
         {{0, {0x90, 60, 127}}, {5, {0xFF, 0x2F, 0}}}},
        {"controller cut off", {mus(1, 0), 60, mus(4, 0), 3}, {{0, {0x90, 60, 127}}, {0, {0xFF, 0x2F, 0}}}},
        {"delay cut off", {mus(1, 0, true), 60, 0x81}, {{0, {0x90, 60, 127}}, {0, {0xFF, 0x2F, 0}}}},
        {"events without delays to the end", Bytes(400, mus(2, 0)), bends},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(musEvents(test::musLump(c.score)), c.expected);
    }
    // The score ends where its length says, though more bytes follow.
    auto lump = test::musLump({mus(1, 0), 60, mus(1, 0), 61});
    lump[4] = 2;
    EXPECT_EQ(musEvents(lump), (Events{{0, {0x90, 60, 127}}, {0, {0xFF, 0x2F, 0}}}));
}

TEST(Mus, RefusesHeadersThatCannotBeAndEventsThatAreNone) {
    const auto good = test::musLump({mus(1, 0), 60, mus(6, 0)}, {1, 2});
    auto scorePastEnd = good;
    scorePastEnd[4] = 30;
    auto startInInstruments = good;
    startInInstruments[6] = 18;
    auto tooManyChannels = good;
    tooManyChannels[8] = 17;
    struct Case {
        std::string fault;
        Bytes bytes;
        std::string expected;
        bool claimed;
    };
    const std::vector<Case> cases = {
        {"score past the end", scorePastEnd,
         "score start 20 + length 30 runs past the end of the lump (23 bytes)", false},
        {"start inside the instruments", startInInstruments,
         "score start 18 lies inside the list of 2 instruments", false},
        {"channels", tooManyChannels, "17 primary and 0 secondary channels", false},
        {"header cut off", Bytes(good.begin(), good.begin() + 15), "no MUS header in its 15 bytes", false},
        {"not MUS",
         test::bytesOf("MUS\x1B"
                       "0123456789abcdef"),
         "no MUS header", false},
        {"event type 7", test::musLump({mus(1, 0), 60, 0x70, 1}), "offset 18: event type 7 is no MUS event",
         true},
        {"a wait past what MIDI holds", test::musLump({mus(1, 0, true), 60, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F}),
         "offset 16: a wait of more than 268435455 ticks", true},
        {"waits that add up past what MIDI holds",
         test::musLump({mus(5, 0, true), 0xFF, 0xFF, 0xFF, 0x7F, mus(5, 0, true), 1, mus(1, 0), 60}),
         "offset 21: a wait of more than", true},
    };
    for (const auto& c : cases)
        expectRefused(c.fault, c.bytes, c.expected, c.claimed, isMus,
                      [](auto bytes, const auto& what) { (void)musToMidi(bytes, what); });
}

// ---- HMP ----

TEST(Hmp, TracksAfterTheFirstWithTheirTimesAndWithoutLoopMarks) {
    const Bytes first = {0x80, 0xC0, 0x01, 0x80, 0xFF, 0x2F, 0x00}; // left out, as the ports leave it
    const auto second = joined({
        {0x80, 0x90, 60, 64},      // delta 0
        {0xE4, 0xB0, 110, 1},      // delta 100: a loop mark, dropped; its time goes on to the next event
        {0x48, 0x81, 0x80, 60, 0}, // delta 200 in two groups, the low one first
        {0x80, 0xC0, 5},           // program change
        {0x80, 0xB0, 7, 100},      // another controller stays
        {0x83, 0xFF, 0x01, 3, 'a', 'b', 'c'}, // delta 3: a text event
        {0x80, 0xB0, 111, 0},                 // loop end, dropped
        {0x81, 0xFF, 0x2F, 0x00},             // end of track
        {0x80, 0x90, 1, 1},                   // after the end: not played
    });
    // No end of track: the track ends with its bytes.
    const Bytes third = {0x80, 0x99, 36, 127, 0x85, 0xF0, 2, 0x43, 0xF7};
    const auto file = test::hmpFile(120, {first, second, third});
    ASSERT_TRUE(isHmp(file));
    const auto midi = test::readMidiForTest(hmpToMidi(file, "GAME01.HMP"));
    EXPECT_EQ(midi.format, 1);
    EXPECT_EQ(midi.division, 120);
    ASSERT_EQ(midi.tracks.size(), 3u);
    EXPECT_EQ(midi.tracks[0], (Events{{0, {0xFF, 0x51, 3, 0x0F, 0x42, 0x40}}, {0, {0xFF, 0x2F, 0}}}));
    EXPECT_EQ(midi.tracks[1], (Events{{0, {0x90, 60, 64}},
                                      {300, {0x80, 60, 0}},
                                      {300, {0xC0, 5}},
                                      {300, {0xB0, 7, 100}},
                                      {303, {0xFF, 0x01, 3, 'a', 'b', 'c'}},
                                      {304, {0xFF, 0x2F, 0}}}));
    ASSERT_EQ(midi.tracks[2].size(), 3u);
    EXPECT_EQ(midi.tracks[2][0], (TimedEvent{0, {0x99, 36, 127}}));
    EXPECT_EQ(midi.tracks[2][1].tick, 5u);
    EXPECT_EQ(midi.tracks[2][1].bytes.front(), 0xF0);

    // The later layout keeps its tracks from 0x388.
    auto later = test::hmpFile(60, {first, {0x80, 0x90, 1, 2}});
    std::copy_n("013195", 6, later.begin() + 8);
    later.insert(later.begin() + 0x308, 0x80, 0);
    const auto laterMidi = test::readMidiForTest(hmpToMidi(later, "x"));
    EXPECT_EQ(laterMidi.tracks.at(1), (Events{{0, {0x90, 1, 2}}, {0, {0xFF, 0x2F, 0}}}));
}

TEST(Hmp, RefusesCountsAndSizesThatLie) {
    const Bytes track = {0x80, 0x90, 60, 64, 0x80, 0xFF, 0x2F, 0};
    const auto good = test::hmpFile(120, {track, track});
    const auto with = [&](std::size_t at, std::uint32_t value) {
        auto b = good;
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
        return b;
    };
    const auto secondTrack = [&](const Bytes& events) { return test::hmpFile(120, {track, events}); };
    struct Case {
        std::string fault;
        Bytes bytes;
        std::string expected;
        bool claimed;
    };
    const std::vector<Case> cases = {
        {"no tracks", with(0x30, 0), "track count 0 is not between 1 and 65535", false},
        {"more tracks than the file holds", with(0x30, 5), "track 2 of 5 at offset 816 runs past the end",
         false},
        {"a count past 65535", with(0x30, 70000), "track count 70000", false},
        {"track length past the end", with(0x308 + 4, 9000),
         "length 9000 is shorter than its header or runs past", false},
        {"track length shorter than its header", with(0x308 + 4, 11), "length 11", false},
        {"no ticks", with(0x38, 0), "0 ticks a second", false},
        {"ticks past a MIDI division", with(0x38, 40000), "40000 ticks a second", false},
        {"cut before the tracks", Bytes(good.begin(), good.begin() + 0x300),
         "end before the tracks at offset 776", false},
        {"not HMP", test::bytesOf("HMIMIDIX"), "no \"HMIMIDIP\"", false},
        {"running status", secondTrack({0x80, 0x90, 60, 64, 0x80, 61, 64}),
         "track 1, offset 813: byte 61 where an event should start", true},
        {"data byte with its top bit", secondTrack({0x80, 0x90, 0xBC, 64}),
         "data byte 188 has its top bit set", true},
        {"delta of five bytes", secondTrack({0, 0, 0, 0, 0x81, 0x90, 1, 1}),
         "a delta time longer than four bytes", true},
        {"event cut by the track's end", secondTrack({0x80, 0x90, 60}),
         "an event runs past the end of the track", true},
        {"meta data past the track", secondTrack({0x80, 0xFF, 0x01, 9, 'a'}),
         "data of 9 bytes runs past the end of the track", true},
        {"system common byte", secondTrack({0x80, 0xF2, 1, 2}), "status byte 242", true},
    };
    for (const auto& c : cases)
        expectRefused(c.fault, c.bytes, c.expected, c.claimed, isHmp,
                      [](auto bytes, const auto& what) { (void)hmpToMidi(bytes, what); });
}

// ---- GMD ----

TEST(Gmd, GivesTheMidiInsideWithoutTheFormsOtherChunksAndPads) {
    const Bytes oddTrack = {0x00, 0xC0, 0x05, 0x00, 0xFF, 0x2F, 0x00}; // 7 bytes: IFF pads it
    const Bytes track = {0x00, 0x90, 60, 64, 0x10, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00};
    const auto midi = test::midiFile(1, 96, {oddTrack, track});
    const auto header = Bytes(midi.begin(), midi.begin() + 14);
    const auto trackChunk = [](const Bytes& t) { return test::chunk("MTrk", t); };
    // Dark Forces puts a chunk of its own before the MIDI.
    const auto padded =
        test::gmdForm({test::chunk("MDpg", {1, 2, 3}), header, trackChunk(oddTrack), trackChunk(track)});
    ASSERT_TRUE(isGmd(padded));
    EXPECT_EQ(gmdToMidi(padded, "STALK-01.GMD"), midi);
    // A writer that did not pad: the tracks follow each other directly.
    Bytes inner = test::chunk("MDpg", {1, 2, 3, 4});
    inner.insert(inner.end(), midi.begin(), midi.end());
    const auto unpadded = test::chunk("FORM", [&] {
        Bytes body{'M', 'I', 'D', 'I'};
        body.insert(body.end(), inner.begin(), inner.end());
        return body;
    }());
    EXPECT_EQ(gmdToMidi(unpadded, "x"), midi);
    // The MIDI inside is given as it is, like a MIDI entry: a damaged event is the player's to meet.
    const auto damaged = test::midiFile(0, 96, {{0x00, 0xFA, 0x00, 0xFF, 0x2F, 0x00}});
    EXPECT_EQ(gmdToMidi(test::gmdForm({test::chunk("MDpg", {}), damaged}), "x"), damaged);
    EXPECT_THROW(readMidiInfo(damaged, "x"), FormatError);

    struct Case {
        std::string fault;
        Bytes bytes;
        std::string expected;
        bool claimed;
    };
    auto trackPastForm = test::chunk("MTrk", Bytes(4, 0));
    trackPastForm[7] = 50;
    auto formPastEnd = padded;
    formPastEnd[7] += 40;
    const std::vector<Case> cases = {
        {"no MThd", test::gmdForm({test::chunk("MDpg", {1})}), "holds no \"MThd\"", false},
        {"form size past the end", formPastEnd, "no IFF \"FORM\" of type \"MIDI\"", false},
        {"not a MIDI form", test::chunk("FORM", test::bytesOf("ILBMxxxx")), "no IFF", false},
        {"fewer tracks than the header says", test::gmdForm({header, trackChunk(track)}),
         "the form ends after 1 of its 2 tracks", true},
        {"a track past the form", test::gmdForm({header, trackPastForm}),
         "of 50 bytes runs past the end of the form", true},
    };
    for (const auto& c : cases)
        expectRefused(c.fault, c.bytes, c.expected, c.claimed, isGmd,
                      [](auto bytes, const auto& what) { (void)gmdToMidi(bytes, what); });
}

// ---- MIDI ----

TEST(Midi, LengthFollowsEveryTempoChangeAndNamesInstrumentsAndDrums) {
    // Two quarter notes at 500,000 microseconds (1 s), then at 250,000: 192 more ticks are 0.5 s more.
    const Bytes tempoTrack = {0x00, 0xFF, 0x51, 3,    0x07, 0xA1, 0x20, 0x81, 0x40, 0xFF,
                              0x51, 3,    0x03, 0xD0, 0x90, 0x81, 0x40, 0xFF, 0x2F, 0x00};
    const auto notes = joined({
        {0x00, 0xC0, 5},                   // Electric Piano 2
        {0x00, 0x90, 60, 64, 0x10, 60, 0}, // running status
        {0x00, 0xC1, 5},                   // the same program again
        {0x00, 0xC2, 33},                  // Electric Bass (finger)
        {0x00, 0xC9, 40},                  // a program on the drum channel is no instrument
        {0x00, 0x99, 36, 0},               // a drum note of no velocity is none
        {0x81, 0x00, 0xFF, 0x2F, 0x00},
    });
    const auto file = test::midiFile(1, 96, {tempoTrack, notes});
    ASSERT_TRUE(isMidi(file));
    auto info = readMidiInfo(file, "x");
    EXPECT_EQ(info.format, 1);
    EXPECT_EQ(info.trackCount, 2);
    EXPECT_DOUBLE_EQ(info.seconds, 1.5);
    EXPECT_EQ(info.programs, (std::vector<std::uint8_t>{5, 33}));
    EXPECT_EQ(generalMidiName(info.programs[0]), "Electric Piano 2");
    EXPECT_EQ(generalMidiName(33), "Electric Bass (finger)");
    EXPECT_EQ(generalMidiName(127), "Gunshot");
    EXPECT_FALSE(info.usesDrums);

    Bytes longer = notes;
    longer.insert(longer.end() - 5, {0x00, 0x99, 36, 1, 0x83, 0x00, 0x89, 36, 0}); // ends at tick 528
    info = readMidiInfo(test::midiFile(1, 96, {tempoTrack, longer}), "x");
    EXPECT_TRUE(info.usesDrums);
    EXPECT_DOUBLE_EQ(info.seconds, 1.0 + (528 - 192) / 96.0 * 0.25);

    // SMPTE time: 25 frames of 40 ticks a second; format 2: songs one after the other, each its tempo.
    EXPECT_DOUBLE_EQ(readMidiInfo(test::midiFile(0, 0xE728, {{0x93, 0x44, 0xFF, 0x2F, 0x00}}), "x").seconds,
                     2.5);
    EXPECT_DOUBLE_EQ(
        readMidiInfo(test::midiFile(2, 96, {tempoTrack, {0x81, 0x40, 0xFF, 0x2F, 0x00}}), "x").seconds,
        1.5 + 2 * 0.5);
}

TEST(Midi, RefusesHeadersThatCannotBeAndTracksThatRunOut) {
    const Bytes end = {0x00, 0xFF, 0x2F, 0x00};
    const auto good = test::midiFile(1, 96, {end, end});
    const auto with = [&](std::size_t at, std::uint8_t value) {
        auto b = good;
        b[at] = value;
        return b;
    };
    struct Case {
        std::string fault;
        Bytes bytes;
        std::string expected;
        bool claimed;
    };
    const std::vector<Case> cases = {
        {"header length past the end", with(7, 200), "header length 200 does not fit", false},
        {"format 3", with(9, 3), "format 3 with 2 tracks", false},
        {"format 0 with two tracks", with(9, 0), "format 0 with 2 tracks", false},
        {"no tracks", test::midiFile(1, 96, {}), "format 1 with 0 tracks", false},
        {"division 0", test::midiFile(0, 0, {end}), "division 0 is no time base", false},
        {"SMPTE of 20 frames", test::midiFile(0, 0xEC28, {end}), "division 60456", false},
        {"a track missing", with(11, 3), "track 2 of 3 is missing", false},
        {"a track past the end", with(33, 40), "chunk at offset 26 of 40 bytes runs past the end of the file",
         false},
        {"data with no status", test::midiFile(0, 96, {{0x00, 60, 64}}),
         "track 0, offset 23: a data byte with no status", true},
        {"an event past its track", test::midiFile(0, 96, {{0x00, 0x90, 60}}),
         "the event data runs past the end", true},
        {"a delta of five bytes", test::midiFile(0, 96, {{0x81, 0x81, 0x81, 0x81, 0x01}}),
         "a delta time longer than four bytes", true},
        {"meta data past its track", test::midiFile(0, 96, {{0x00, 0xFF, 0x01, 5, 'a'}}),
         "data of 5 bytes runs past the end of the track", true},
        {"a real-time byte", test::midiFile(0, 96, {{0x00, 0xF8, 0x00, 0xFF, 0x2F, 0x00}}), "status byte 248",
         true},
    };
    for (const auto& c : cases)
        expectRefused(c.fault, c.bytes, c.expected, c.claimed, isMidi,
                      [](auto bytes, const auto& what) { (void)readMidiInfo(bytes, what); });
}

} // namespace
} // namespace vexa
