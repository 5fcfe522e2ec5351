#pragma once
// The options that say how a picture becomes a texture, shared by import (which builds a texture) and
// add (whose PNG and BMP pictures become a texture WAD's mip textures).

#include "app/Global.h"
#include "app/texture_import.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace CLI {
class App;
class Option;
} // namespace CLI

namespace vexa::cli {

// What the options hold as typed, until the command line is read.
struct PictureOptionValues {
    std::vector<std::string> palettes;
    bool dither = false, fullbright = false;
    std::string fog;
    int speed = kDefaultReductionSpeed;
    CLI::Option* fogOption = nullptr;
};

// --palette, --dither, --fullbright, --fog and --speed on command.
void addPictureOptions(CLI::App& command, PictureOptionValues& values);
// The name of the first of them given on command ("--speed"), or nullopt.
std::optional<std::string> pictureOptionGiven(const CLI::App& command);

// The options checked (a UsageError names what is wrong) and in the form they are used in.
struct PictureChoices {
    std::vector<std::pair<Game, std::string>> palettes;
    bool dither = false, fullbright = false;
    std::optional<WaterFog> fog;
    int speed = kDefaultReductionSpeed;
};
PictureChoices pictureChoices(const PictureOptionValues& values);

// The import options they make: the program's default palettes, each one given in its place (a
// file that is no palette is refused with the reason).
ImportOptions importOptions(const PictureChoices& choices, const ProgramFolders& folders);

// Refuses an option of one texture kind (--fullbright, --fog ...) given for another.
void requireKindTakes(TextureKind kind, const std::string& option, TextureKind takes);

} // namespace vexa::cli
