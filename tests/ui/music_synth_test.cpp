// Songs rendered by the synthesizer into the samples the preview plays: their length, that they are
// heard, the cap on a song that would never end, and the refusals.

#include "base/errors.h"
#include "media/media_builders.h"
#include "ui/MusicSynth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace vexa {
namespace {

using test::Bytes;

// At 96 ticks a quarter note and MIDI's default 120 beats a minute, 192 ticks last a second.
constexpr std::uint8_t kDivision = 96;

// One track: a piano note from the start for `ticks` (as a variable-length delta), then the end.
Bytes noteSongTrack(const Bytes& ticks = {0x83, 0x00}) {
    Bytes track{0x00, 0xC0, 0x00, 0x00, 0x90, 0x3C, 0x64};
    track.insert(track.end(), ticks.begin(), ticks.end());
    for (const std::uint8_t b : {0x80, 0x3C, 0x40, 0x00, 0xFF, 0x2F, 0x00})
        track.push_back(b);
    return track;
}
Bytes noteSong(const Bytes& ticks) {
    return test::midiFile(0, kDivision, {noteSongTrack(ticks)});
}

// The loudest sample of frames [from, to) of 16-bit stereo.
int peak(const Sound& sound, double from, double to) {
    const auto frames = frameCount(sound);
    const auto first = std::min<std::uint64_t>(frames, static_cast<std::uint64_t>(from * sound.rate));
    const auto last = std::min<std::uint64_t>(frames, static_cast<std::uint64_t>(to * sound.rate));
    int loudest = 0;
    for (auto i = 2 * first; i < 2 * last; ++i) {
        const auto value = static_cast<std::int16_t>(sound.samples[2 * i] | (sound.samples[2 * i + 1] << 8));
        loudest = std::max(loudest, std::abs(static_cast<int>(value)));
    }
    return loudest;
}

class MusicSynth : public ::testing::Test {
  protected:
    void SetUp() override {
        font = ui::findSoundFont();
        if (!font) GTEST_SKIP() << "no General MIDI sound font installed (Debian's timgm6mb-soundfont)";
    }
    std::optional<std::filesystem::path> font;
};

TEST_F(MusicSynth, ASongRendersToSoundAsLongAsItsNotesAndARunawaySongStopsAtTheCap) {
    const struct {
        const char* song;
        Bytes midi;
        double maxSeconds;
        bool cut;
        double shortest, longest; // seconds
    } cases[] = {
        // Two seconds of a note, then at most the tail while it rings out.
        {"two seconds", noteSong({0x83, 0x00}), 600, false, 2.0, 2.0 + ui::SynthesisLimits{}.tailSeconds},
        // The same song cut to its first second.
        {"cut", noteSong({0x83, 0x00}), 1, true, 1.0, 1.0},
        // A note held for 2^28 ticks (about 16 days): it ends where the cap says.
        {"endless", noteSong({0xFF, 0xFF, 0xFF, 0x7F}), 1.5, true, 1.5, 1.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.song);
        ui::SynthesisLimits limits;
        limits.maxSeconds = c.maxSeconds;
        const auto song = ui::synthesizeMidi(c.midi, *font, limits);
        EXPECT_EQ(song.sound.rate, limits.rate);
        EXPECT_EQ(song.sound.channels, 2);
        EXPECT_EQ(song.sound.bitsPerSample, 16);
        EXPECT_EQ(song.cut, c.cut);
        const auto seconds = durationSeconds(song.sound);
        // Within a few blocks of the synthesizer's either way.
        EXPECT_GE(seconds, c.shortest - 0.05);
        EXPECT_LE(seconds, c.longest + 0.05);
        // The note is heard while it is held, far above the dither of silence (-1 to 1).
        EXPECT_GT(peak(song.sound, 0.1, std::min(seconds, 1.0)), 200);
    }
}

// Threads of this process now (Linux lists them under /proc/self/task).
std::size_t threadCount() {
    std::error_code error;
    std::size_t count = 0;
    for (std::filesystem::directory_iterator it("/proc/self/task", error), end; !error && it != end;
         it.increment(error))
        ++count;
    return count;
}

TEST_F(MusicSynth, LeavesNoThreadsBehind) {
    if (threadCount() == 0) GTEST_SKIP() << "this system lists no threads under /proc/self/task";
    // FluidSynth loads a font on OpenMP threads unless told otherwise; a pool left by one render
    // would stay for the life of the window.
    const auto before = threadCount();
    ui::synthesizeMidi(noteSong({0x60}), *font);
    EXPECT_LE(threadCount(), before);
}

TEST_F(MusicSynth, RefusesWhatItCannotRenderAndStopsWhenAsked) {
    const auto song = noteSong({0x83, 0x00});
    // Not a song: the program's own reader refuses it before FluidSynth sees it.
    EXPECT_THROW(ui::synthesizeMidi(Bytes(song.begin(), song.begin() + 20), *font), FormatError);
    try {
        ui::synthesizeMidi(song, "/nonexistent/font.sf2");
        ADD_FAILURE() << "rendered without a font";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("No sound font"), std::string::npos) << e.what();
    }
    // Songs FluidSynth plays nothing of: none of its notes, and more tracks than its player takes.
    const Bytes end{0x00, 0xFF, 0x2F, 0x00};
    const struct {
        const char* song;
        Bytes midi;
    } silent[] = {
        {"no note", test::midiFile(0, kDivision, {end})},
        {"300 tracks", test::midiFile(1, kDivision, std::vector<Bytes>(300, noteSongTrack()))},
    };
    for (const auto& c : silent) {
        SCOPED_TRACE(c.song);
        try {
            ui::synthesizeMidi(c.midi, *font);
            ADD_FAILURE() << "a silent rendering passed for a song";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("no note"), std::string::npos) << e.what();
        }
    }
    const std::atomic<bool> stop = true;
    EXPECT_THROW(ui::synthesizeMidi(song, *font, {}, &stop), Cancelled);
}

} // namespace
} // namespace vexa
