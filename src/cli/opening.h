#pragma once
// How vexa-cli's commands open the files they are given and find the game palettes.

#include "app/Global.h"
#include "app/container_edit.h"
#include "formats/container.h"
#include "images/palette_files.h"
#include "images/picture.h"

#include <memory>
#include <string>
#include <vector>

namespace vexa::cli {

struct Opened {
    ContainerType code;
    std::shared_ptr<const ContainerReader> object;
    bool nested = false; // an entry of another container ("pak0.pak/gfx.wad")
};

// Opens path as the window does, a path into containers inside containers too: a kind with a game
// palette makes it the current one (with games and current given; without, none is loaded, as for a
// listing, which paints nothing).
Opened openFile(const std::string& path, const GamePalettePaths* games = nullptr, Palette* current = nullptr);

// The container at path as an edit; a kind that cannot be edited is refused naming those that can.
// A container inside another is refused unless forConvert (written elsewhere, it is only read).
// Pictures added to a texture WAD take the game palettes of folders.
ContainerEdit openForEdit(const std::string& path, const ProgramFolders& folders, bool forConvert = false);

// Says on stderr each name a container of kind stores cut to its fields: the name given, the name
// stored, and the kind's limit, one line each.
void reportCutNames(const std::vector<CutName>& cut, ContainerType kind);

// Says on stderr each path a gathering left out ("skipping PATH: not a regular file", as rsync does).
void reportSkipped(const std::vector<fs::path>& skipped);

// The game palette files of this run: the defaults of the program's folders.
GamePalettePaths defaultPalettes(const ProgramFolders& folders);

// As a load of a 768-byte palette file on the Palettes page, minus the copy in the Data folder:
// a command-line run leaves the installation as it found it.
void usePaletteFile(Game game, const std::string& file, GamePalettePaths& games, Palette& current);

} // namespace vexa::cli
