#include "ui/MusicSynth.h"

#include "base/errors.h"
#include "base/one_openmp_thread.h"
#include "media/midi.h"

#include <fluidsynth.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <system_error>
#include <vector>

namespace vexa::ui {

namespace {

struct SettingsDeleter {
    void operator()(fluid_settings_t* settings) const { delete_fluid_settings(settings); }
};
struct SynthDeleter {
    void operator()(fluid_synth_t* synth) const { delete_fluid_synth(synth); }
};
struct PlayerDeleter {
    void operator()(fluid_player_t* player) const { delete_fluid_player(player); }
};

// About 23 ms at 44.1 kHz: how often a stop is looked at, and the step of the quiet test at the end.
constexpr int kBlockFrames = 1024;
// The dither of FluidSynth's 16-bit output leaves silence at -1..1; a block within this has rung out.
constexpr int kQuietLevel = 2;

std::uint64_t framesOf(double seconds, std::uint32_t rate) {
    return seconds <= 0 ? 0 : static_cast<std::uint64_t>(std::llround(seconds * rate));
}

} // namespace

std::optional<std::filesystem::path> findSoundFont() {
    for (const char* path : {"/usr/share/sounds/sf2/TimGM6mb.sf2", "/usr/share/sounds/sf2/default-GM.sf2",
                             "/usr/share/sounds/sf2/FluidR3_GM.sf2"}) {
        std::error_code error;
        if (std::filesystem::is_regular_file(path, error)) return std::filesystem::path(path);
    }
    return std::nullopt;
}

SynthesizedSong synthesizeMidi(std::span<const std::uint8_t> midi, const std::filesystem::path& font,
                               const SynthesisLimits& limits, const std::atomic<bool>* stop) {
    // Checked here too: FluidSynth's own reader is not the one the rest of the program trusts.
    const auto info = readMidiInfo(midi, "the song");
    if (limits.rate == 0 || limits.rate > kMaxSampleRate)
        throw Error("The synthesizer cannot render at " + std::to_string(limits.rate) + " Hz");
    std::error_code error;
    if (!std::filesystem::is_regular_file(font, error)) throw Error("No sound font at " + displayPath(font));

    const std::unique_ptr<fluid_settings_t, SettingsDeleter> settings(new_fluid_settings());
    if (!settings) throw Error("The synthesizer could not start");
    // Every setting is this synthesizer's own: one thread (the caller's), no memory locked into the
    // process, and a player driven by the samples rendered rather than by a timer thread of its own.
    fluid_settings_setnum(settings.get(), "synth.sample-rate", limits.rate);
    fluid_settings_setint(settings.get(), "synth.cpu-cores", 1);
    fluid_settings_setint(settings.get(), "synth.lock-memory", 0);
    fluid_settings_setstr(settings.get(), "player.timing-source", "sample");
    const std::unique_ptr<fluid_synth_t, SynthDeleter> synth(new_fluid_synth(settings.get()));
    if (!synth) throw Error("The synthesizer could not start");
    {
        // FluidSynth loads a font's samples on OpenMP threads: here on this one alone, so no pool of
        // threads is left behind for a preview.
        const OneOpenMpThread oneThread;
        if (fluid_synth_sfload(synth.get(), font.c_str(), 1) == FLUID_FAILED)
            throw Error("The sound font " + displayPath(font) + " does not load");
    }
    const std::unique_ptr<fluid_player_t, PlayerDeleter> player(new_fluid_player(synth.get()));
    if (!player || fluid_player_add_mem(player.get(), midi.data(), midi.size()) != FLUID_OK ||
        fluid_player_play(player.get()) != FLUID_OK)
        throw Error("The synthesizer refuses the song");

    const auto maxFrames = framesOf(limits.maxSeconds, limits.rate);
    const auto tailFrames = framesOf(limits.tailSeconds, limits.rate);
    SynthesizedSong out;
    out.sound.rate = limits.rate;
    out.sound.channels = 2;
    out.sound.bitsPerSample = 16;
    // The song's own length is known: one allocation, not a doubling past the cap.
    out.sound.samples.reserve(4 * std::min(maxFrames, framesOf(info.seconds, limits.rate) + tailFrames));

    // FluidSynth's player goes on for seconds of silence after the last event; the song ends there.
    const auto songEnded = [&] {
        const auto lastTick = fluid_player_get_total_ticks(player.get());
        return fluid_player_get_status(player.get()) != FLUID_PLAYER_PLAYING ||
               (lastTick > 0 && fluid_player_get_current_tick(player.get()) >= lastTick);
    };
    std::array<std::int16_t, 2 * kBlockFrames> block{};
    std::uint64_t frames = 0, rungOut = 0;
    bool heard = false;
    while (frames < maxFrames) {
        if (stop && stop->load(std::memory_order_relaxed))
            throw Cancelled("The song's rendering was stopped");
        const bool ended = songEnded();
        if (ended && rungOut >= tailFrames) break;
        const auto count = static_cast<int>(std::min<std::uint64_t>(kBlockFrames, maxFrames - frames));
        if (fluid_synth_write_s16(synth.get(), count, block.data(), 0, 2, block.data(), 1, 2) != FLUID_OK)
            throw Error("The synthesizer failed while rendering the song");
        const auto samples = std::span(block).first(2 * static_cast<std::size_t>(count));
        const bool quiet = std::all_of(samples.begin(), samples.end(), [](std::int16_t s) {
            return std::abs(static_cast<int>(s)) <= kQuietLevel;
        });
        heard = heard || !quiet;
        for (const auto sample : samples) {
            const auto bits = static_cast<std::uint16_t>(sample);
            out.sound.samples.push_back(static_cast<std::uint8_t>(bits & 0xFF));
            out.sound.samples.push_back(static_cast<std::uint8_t>(bits >> 8));
        }
        frames += static_cast<std::uint64_t>(count);
        if (ended) {
            rungOut += static_cast<std::uint64_t>(count);
            if (quiet) break;
        }
    }
    // FluidSynth skips a song it cannot take (more tracks than it plays, ...) and plays nothing.
    if (!heard) throw Error("no note of it sounds");
    out.cut = frames >= maxFrames && !songEnded();
    return out;
}

} // namespace vexa::ui
