#include "cli/picture_options.h"

#include "cli/command_line.h"
#include "cli/opening.h"

#include <array>
#include <charconv>

namespace vexa::cli {

namespace {

WaterFog fogOption(const std::string& text) {
    std::array<std::uint8_t, 4> values{};
    const auto* at = text.data();
    const auto* end = text.data() + text.size();
    for (std::size_t k = 0; k < values.size(); ++k) {
        unsigned value = 0;
        const auto [next, error] = std::from_chars(at, end, value);
        const bool last = k + 1 == values.size();
        if (error != std::errc() || next == at || value > 255 ||
            (last ? next != end : next == end || *next != ','))
            throw UsageError{"--fog takes R,G,B,DENSITY, four numbers from 0 to 255, not " + text};
        values[k] = static_cast<std::uint8_t>(value);
        at = next + (last ? 0 : 1);
    }
    return {values[0], values[1], values[2], values[3]};
}

} // namespace

void addPictureOptions(CLI::App& command, PictureOptionValues& values) {
    addRepeatable(command, "--palette", values.palettes, "GAME=FILE", "map onto this palette file for GAME");
    command.add_flag("--dither", values.dither, "spread the error of each pixel (Floyd-Steinberg)");
    command.add_flag("--fullbright", values.fullbright,
                     "wad2: any texture may take Quake's fullbright colours");
    values.fogOption =
        addSingle(command, "--fog", values.fog, "R,G,B,DENSITY", "wad3: the fog of the water (!) textures");
    command
        .add_option("--speed", values.speed, "how hard to work at an own palette: 1 (best) to 10 (fastest)")
        ->type_name("1..10");
}

std::optional<std::string> pictureOptionGiven(const CLI::App& command) {
    for (const auto* name : {"--palette", "--dither", "--fullbright", "--fog", "--speed"})
        if (const auto* option = command.get_option_no_throw(name); option && option->count()) return name;
    return std::nullopt;
}

PictureChoices pictureChoices(const PictureOptionValues& values) {
    PictureChoices choices;
    for (const auto& palette : values.palettes)
        choices.palettes.push_back(gamePalette(palette));
    choices.dither = values.dither;
    choices.fullbright = values.fullbright;
    if (values.fogOption && values.fogOption->count()) choices.fog = fogOption(values.fog);
    if (values.speed < 1 || values.speed > 10) throw UsageError{"--speed takes 1 to 10"};
    choices.speed = values.speed;
    return choices;
}

ImportOptions importOptions(const PictureChoices& choices, const ProgramFolders& folders) {
    ImportOptions options{defaultPalettes(folders), choices.dither};
    options.fullbright = choices.fullbright;
    options.fog = choices.fog;
    options.speed = choices.speed;
    Palette unused;
    for (const auto& [game, file] : choices.palettes)
        usePaletteFile(game, file, options.palettes, unused);
    return options;
}

void requireKindTakes(TextureKind kind, const std::string& option, TextureKind takes) {
    if (kind != takes)
        throw UsageError{option + " is for " + std::string(textureKindInfo(takes).cliName) + ", not " +
                         std::string(textureKindInfo(kind).cliName)};
}

} // namespace vexa::cli
