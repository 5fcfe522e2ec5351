#pragma once
// Palettes as values, the palette files the program reads and writes, the game palette paths,
// decoded pictures, and the sinks that write a picture with a palette passed in.

#include "base/file_io.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexa {

namespace fs = std::filesystem;

// ---- Palettes ------------------------------------------------------------------------------------

constexpr std::size_t kPaletteEntries = 256;
constexpr std::size_t kPaletteTableSize = 4 * kPaletteEntries; // blue, green, red, 0 per entry
constexpr std::size_t kPalFileSize = 3 * kPaletteEntries;      // red, green, blue per entry

using PaletteTable = std::array<std::uint8_t, kPaletteTableSize>;

// A palette with the words that say where its colours came from, for a preview to show. The
// window's CurrentPalette is one of these, kept by the window and handed by value to each job.
struct Palette {
    PaletteTable table{};
    std::string source = "no palette loaded (all black)";
};

// 6-bit palette sources are stretched to 8 bits: value x 4.047, rounded (63 -> 255, 32 -> 130).
std::uint8_t widenSixBit(std::uint8_t value);

// Reads entries 0..n (n at most 255) as red, green, blue triples at offset into palette. Fails,
// leaving it untouched, when the file holds fewer than 3 x (n + 1) bytes there. When no byte read
// reaches 64 the source is taken as 6-bit and all 256 entries are widened.
bool ReadPaletteTriples(const ByteSource& file, std::uint64_t offset, int n, PaletteTable& palette);

// The five palette sources. Each throws "Cannot open file <path>" when the file cannot be opened
// and returns nullopt when the file holds no palette of its kind. Entries a source does not give
// are black.
std::optional<Palette> LoadPalFile(const fs::path& path, int n = 255);
std::optional<Palette> LoadBmpPalette(const fs::path& path); // 8-bit BMP colour table, copied unchanged
std::optional<Palette> LoadCmpPalette(const fs::path& path); // "CMP " colour map, entries from byte 66
std::optional<Palette>
LoadJkBmPalette(const fs::path& path); // the last 768 bytes of a JK BM with palette flag 2
std::optional<Palette> LoadPltPalette(const fs::path& path); // byte 1 = last index n, entries from byte 2

// Writes palette as a 768-byte palette file (red, green, blue for entries 0..255).
void SavePalFile(const fs::path& path, const PaletteTable& palette);

// ---- Palette preview -----------------------------------------------------------------------------

// One square of the 16 x 16 preview grid: a filled rectangle with a one-pixel black outline,
// corners inclusive, at an 11-pixel pitch. Entry 0 is top left, entries in reading order.
struct PreviewCell {
    int left, top, right, bottom;
    std::uint8_t red, green, blue;
};
constexpr int kPreviewPitch = 11;
constexpr int kPreviewSide = 10;
std::array<PreviewCell, kPaletteEntries> PaintPalettePreview(const PaletteTable& palette);

// ---- Game palettes -------------------------------------------------------------------------------

// The games of the Palettes page, in the order of its items.
enum class Game { DarkForcesBm, JediKnightBm, JediKnightMat, Quake1Bsp, Quake2Wal, Doom, Duke3D };
constexpr std::size_t kGames = 7;

struct GamePaletteInfo {
    Game game;
    std::string_view caption;     // the item's caption on the Palettes page
    std::string_view defaultFile; // in the Data folder
    std::string_view cliName;     // `vexa-cli extract --palette NAME=FILE`
};

const std::array<GamePaletteInfo, kGames>& gamePalettes();
const GamePaletteInfo* findGamePalette(std::string_view cliName);

// The palette file of each game: the window keeps one set, vexa-cli makes one per run.
class GamePalettePaths {
  public:
    // Every game at its default palette file in dataFolder.
    static GamePalettePaths defaults(const fs::path& dataFolder);
    const fs::path& path(Game game) const { return paths_.at(static_cast<std::size_t>(game)); }
    void set(Game game, fs::path path) { paths_.at(static_cast<std::size_t>(game)) = std::move(path); }

  private:
    std::array<fs::path, kGames> paths_;
};

// The game's palette; throws when the file cannot be opened or holds fewer than 768 bytes (a
// converter never paints with a palette that did not load).
Palette loadGamePalette(Game game, const GamePalettePaths& paths);

// The Palettes page's sources, in the order of its items.
enum class PaletteSource { PalFile, BmpFile, CmpFile, JkBmFile, PltFile };

struct PaletteSourceInfo {
    PaletteSource source;
    std::string_view caption;
    std::optional<Palette> (*load)(const fs::path& path);
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

// ---- BMP writer ----------------------------------------------------------------------------------

constexpr std::size_t kBitmapHeaderSize = 14 + 40 + kPaletteTableSize; // 1078
constexpr std::int64_t kMaxImageSide = 16384;

// The rows of an index image, top row first, each exactly width bytes.
class PixelRows {
  public:
    virtual ~PixelRows() = default;
    // Fills rows.size() / width consecutive rows starting at row first.
    virtual void readRows(std::size_t first, std::span<std::uint8_t> rows) const = 0;
};

// Rows in memory; throws when pixels holds fewer than width x height bytes.
class MemoryRows : public PixelRows {
  public:
    MemoryRows(std::span<const std::uint8_t> pixels, std::size_t width, std::size_t height);
    void readRows(std::size_t first, std::span<std::uint8_t> rows) const override;

  private:
    std::span<const std::uint8_t> pixels_;
    std::size_t width_;
};

// Throws a FormatError naming file and what when width x height is not a picture that can be
// written: zero, negative or larger than kMaxImageSide on a side.
void requireImageSize(const fs::path& file, const std::string& what, std::int64_t width, std::int64_t height);

// The 1078 bytes before the pixel rows: file header, info header and palette.
std::array<std::uint8_t, kBitmapHeaderSize> WriteBitmapHeader(std::uint32_t width, std::uint32_t height,
                                                              const PaletteTable& palette);

// Writes an 8-bit BMP of source to a new file at path (create-or-replace): bottom row first, rows
// padded with zeros to a multiple of 4 bytes. A failed write leaves no partial file.
void WriteIndexedBitmap(const OutputPath& path, std::uint32_t width, std::uint32_t height,
                        const PixelRows& source, const PaletteTable& palette);
// The same bytes in memory.
std::vector<std::uint8_t> WriteIndexedBitmap(std::uint32_t width, std::uint32_t height,
                                             const PixelRows& source, const PaletteTable& palette);

// ---- Pictures ------------------------------------------------------------------------------------

// One decoded picture: palette indices, top row first, width bytes a row.
struct IndexedImage {
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint8_t> indices;
};

// A picture with the ending that replaces its entry's extension in the output name (".bmp",
// "_0.bmp" ...).
struct Picture {
    IndexedImage image;
    std::string suffix;
};

// Which colours pictures are painted with. Current: the palette the program holds (the game
// palette its kind loaded when opened, or what was loaded since). Game: that game's palette,
// loaded for this entry. Own: the entry's own colours (red, green, blue triples), laid over the
// first entries of the current palette. Game and Own palettes become the current one.
struct PaletteNeed {
    enum class From { Current, Game, Own };
    From from = From::Current;
    Game game = Game::DarkForcesBm;
    std::vector<std::uint8_t> colours;
    std::string source;
};

struct Pictures {
    std::vector<Picture> pictures;
    PaletteNeed palette;
};

// An image kind: one image file decoded into its pictures.
class ImageDecoder {
  public:
    virtual ~ImageDecoder() = default;
    virtual Pictures Decode(const ByteSource& file) const = 0;
};

// The width x height indices stored in file from offset, rows top first; throws a FormatError
// naming the file and what when the file holds fewer bytes there.
IndexedImage readImage(const ByteSource& file, std::uint64_t offset, std::uint32_t width,
                       std::uint32_t height, const std::string& what);

// Makes current the palette need asks for and returns it; throws when a game palette cannot be
// loaded (current is black then).
const Palette& applyPaletteNeed(const PaletteNeed& need, const GamePalettePaths& paths, Palette& current);

// The formats pictures are written in: 8-bit BMP, or 8-bit paletted PNG (the same indices and
// the palette in the same order).
enum class PictureFormat { Bmp, Png };

// Writes image to path in format, path's ".bmp" becoming ".png" for PNG; returns where it went.
OutputPath writePicture(const OutputPath& path, const IndexedImage& image, const PaletteTable& palette,
                        PictureFormat format);
// Where a picture meant for bmpPath is written in format.
OutputPath pictureOutputPath(const OutputPath& bmpPath, PictureFormat format);

// An output name with its extension replaced by suffix, e.g. ("dir/wall.bm", "_0.bmp") -> dir/wall_0.bmp.
fs::path withExtension(const fs::path& path, std::string_view suffix);
OutputPath withExtension(const OutputPath& path, std::string_view suffix);

} // namespace vexa
