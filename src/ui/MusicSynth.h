#pragma once
// Songs heard in the preview: a Standard MIDI File rendered by FluidSynth with a General MIDI sound
// font into PCM in memory, for the same player as sounds. Only the window has a synthesizer: the
// core describes songs and converts them, it never plays them.

#include "media/sound.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

namespace vexa::ui {

// Debian's General MIDI fonts (timgm6mb-soundfont, the alternative default-GM, fluid-soundfont-gm),
// the first that exists.
std::optional<std::filesystem::path> findSoundFont();

struct SynthesisLimits {
    std::uint32_t rate = 44100;
    // A song plays from its start to here at most: 10 minutes of 16-bit stereo are about 100 MiB,
    // and a song that never ends (a MIDI loop, a huge delay) stops here.
    double maxSeconds = 600;
    // The most kept after the song's last event while its notes ring out.
    double tailSeconds = 3;
};

struct SynthesizedSong {
    Sound sound;      // 16-bit stereo at limits.rate
    bool cut = false; // the song ran on past limits.maxSeconds
};

// Throws Error where the font does not load or the synthesizer refuses the song or plays no note of
// it, and Cancelled as
// soon as stop turns true (it is looked at between blocks of a few milliseconds of sound).
SynthesizedSong synthesizeMidi(std::span<const std::uint8_t> midi, const std::filesystem::path& font,
                               const SynthesisLimits& limits = {}, const std::atomic<bool>* stop = nullptr);

} // namespace vexa::ui
