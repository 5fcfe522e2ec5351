#pragma once
// The palette files the program reads and writes: the five sources of the Palettes page, the
// 768-byte palette file, and each game's palette file (its default in the Data folder, or the one
// loaded since).

#include "base/byte_source.h"
#include "images/palette.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace vexa {

namespace fs = std::filesystem;

// Reads entries 0..n (n at most 255) as red, green, blue triples at offset into palette. Fails,
// leaving it untouched, when the file holds fewer than 3 x (n + 1) bytes there. When no byte read
// reaches 64 the source is taken as 6-bit and all 256 entries are widened.
bool ReadPaletteTriples(const ByteSource& file, std::uint64_t offset, int n, PaletteTable& palette);

// The five palette sources. Each returns nullopt when the file holds no palette of its kind; entries
// a source does not give are black. Read from a path, they throw "Cannot open file <path>: <reason>"
// when the file cannot be opened.
std::optional<Palette> LoadPalFile(const ByteSource& file, int n = 255);
std::optional<Palette> LoadPalFile(const fs::path& path, int n = 255);
std::optional<Palette> LoadBmpPalette(const ByteSource& file); // 8-bit BMP colour table, copied unchanged
std::optional<Palette> LoadCmpPalette(const ByteSource& file); // "CMP " colour map, entries from byte 66
std::optional<Palette>
LoadJkBmPalette(const ByteSource& file); // the last 768 bytes of a JK BM with palette flag 2
std::optional<Palette> LoadPltPalette(const ByteSource& file); // byte 1 = last index n, entries from byte 2

// A palette file as a game palette is taken (`--palette GAME=FILE`, the Pal File source, the defaults):
// a table of 768 bytes (red, green, blue; 6-bit values widened as ReadPaletteTriples does), a Doom
// PLAYPAL (its first of several such tables), the 256-colour table at the end of a PCX, or a JASC-PAL
// text file. Any other file throws FormatError naming it and saying what it is not.
Palette readPaletteFile(const ByteSource& file);
Palette readPaletteFile(const fs::path& path);

// Writes palette as a 768-byte palette file (red, green, blue for entries 0..255).
void SavePalFile(const fs::path& path, const PaletteTable& palette);

// ---- Game palettes -------------------------------------------------------------------------------

// The games of the Palettes page, in the order of its items.
enum class Game { DarkForcesBm, JediKnightBm, JediKnightMat, Quake1Bsp, Quake2Wal, Doom, Duke3D };
constexpr std::size_t kGames = 7;

struct GamePaletteInfo {
    Game game;
    std::string_view caption;     // the item's caption on the Palettes page
    std::string_view defaultFile; // in the Data folder
    std::string_view cliName;     // `vexa-cli extract --palette NAME=FILE`
    bool placeholderDefault;      // the default file holds stand-in colours, not the game's
};

const std::array<GamePaletteInfo, kGames>& gamePalettes();
const GamePaletteInfo* findGamePalette(std::string_view cliName);

// The palette file of each game: the window keeps one set, vexa-cli makes one per run.
class GamePalettePaths {
  public:
    // Every game at its default palette file in dataFolder.
    static GamePalettePaths defaults(const fs::path& dataFolder);
    const fs::path& path(Game game) const { return paths_.at(static_cast<std::size_t>(game)); }
    void set(Game game, fs::path path) {
        paths_.at(static_cast<std::size_t>(game)) = std::move(path);
        chosen_.at(static_cast<std::size_t>(game)) = true;
    }
    // Whether game's palette is still its default file (none was loaded or given instead).
    bool isDefault(Game game) const { return !chosen_.at(static_cast<std::size_t>(game)); }

  private:
    std::array<fs::path, kGames> paths_;
    std::array<bool, kGames> chosen_{};
};

// The game's palette; throws when the file cannot be opened or holds fewer than 768 bytes (a
// converter never paints with a palette that did not load). Marked placeholder where it is a
// default file of stand-in colours.
Palette loadGamePalette(Game game, const GamePalettePaths& paths);

// Whether game's palette in paths is a default of stand-in colours.
bool usesPlaceholder(Game game, const GamePalettePaths& paths);
// What the user is told, once, when pictures are painted with palette, a placeholder.
std::string placeholderNotice(const Palette& palette);

// ---- The Palettes page's sources -----------------------------------------------------------------

// In the order of its items.
enum class PaletteSource { PalFile, BmpFile, CmpFile, JkBmFile, PltFile };

struct PaletteSourceInfo {
    PaletteSource source;
    std::string_view caption;
    std::optional<Palette> (*read)(const ByteSource& file);
    // The file at path read as this source; throws when it cannot be opened.
    std::optional<Palette> load(const fs::path& path) const;
};
const std::array<PaletteSourceInfo, 5>& paletteSources();

constexpr std::string_view kWrongPaletteFile =
    "That does not appear to be the correct file type or no palette is in that file";
constexpr std::string_view kPaletteLoadedText = "New Palette Loaded Ok";

// A palette load as the Palettes page does it: loads file with the source's loader; on success
// saves a copy as dataFolder/<file name>.pal, makes it game's palette path in paths, and returns
// the copy's path with the palette as loaded again from it. nullopt when the file holds no
// palette of that kind. Throws when a file cannot be opened or created; paths change only when
// all went well.
struct ImportedPalette {
    fs::path copy;
    Palette palette;
};
std::optional<ImportedPalette> importPalette(PaletteSource source, const fs::path& file,
                                             const fs::path& dataFolder, Game game, GamePalettePaths& paths);

} // namespace vexa
