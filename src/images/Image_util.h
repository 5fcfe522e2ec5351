#pragma once
// The program's one palette, the palette files it reads and writes, the game palette paths, and
// the one 8-bit BMP writer every image conversion goes through.

#include "core/file_io.h"

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

// ---- CurrentPalette ------------------------------------------------------------------------------

constexpr std::size_t kPaletteEntries = 256;
constexpr std::size_t kPaletteTableSize = 4 * kPaletteEntries; // blue, green, red, 0 per entry
constexpr std::size_t kPalFileSize = 3 * kPaletteEntries;      // red, green, blue per entry

using PaletteTable = std::array<std::uint8_t, kPaletteTableSize>;

// The palette every BMP is written with; all zero until the first load.
//
// There is one for the process, and loads, clears and conversions change it. Work off the window's
// thread (opening, extraction, conversion, preview) runs inside a PaletteScope seeded from a
// SnapshotPalette() taken on the window's thread; the window applies the job's final state with
// RestorePalette() when the job has ended, if the job's changes are to stay. Only one such job
// runs at a time, and the window neither loads palettes nor changes the game palette paths while
// one runs, so the process palette and the paths are only ever touched from one thread.
PaletteTable& CurrentPalette();
void ClearPalette();

// CurrentPalette with the words that say where its colours came from, for a preview to show.
struct PaletteState {
    PaletteTable table{};
    std::string source;
};

// "Quake1 BSP palette: /opt/vexa/Data/default_quake1.pal", "palette file x.pal", ...
const std::string& CurrentPaletteSource();
void SetCurrentPaletteSource(std::string source);
PaletteState SnapshotPalette();
void RestorePalette(const PaletteState& state);

// While it lives, CurrentPalette() on this thread is a private palette seeded from start: every
// load, clear and conversion made on this thread uses and changes that copy, never the process's.
class PaletteScope {
  public:
    explicit PaletteScope(PaletteState start);
    ~PaletteScope();
    PaletteScope(const PaletteScope&) = delete;
    PaletteScope& operator=(const PaletteScope&) = delete;
    const PaletteState& state() const { return state_; }

  private:
    PaletteState state_;
    PaletteState* previous_;
};

// 6-bit palette sources are stretched to 8 bits: value x 4.047, rounded (63 -> 255, 32 -> 130).
std::uint8_t widenSixBit(std::uint8_t value);

// Reads entries 0..n (n at most 255) as red, green, blue triples at offset. Fails, leaving the
// palette untouched, when the file holds fewer than 3 x (n + 1) bytes there. When no byte read
// reaches 64 the source is taken as 6-bit and all 256 entries are widened.
bool ReadPaletteTriples(const InputFile& file, std::uint64_t offset, int n);

// The five palette sources. Each throws "Cannot open file <path>" when the file cannot be opened
// and returns false when the file holds no palette of its kind.
bool LoadPalFile(const fs::path& path, int n = 255); // clears first: black after a failure
bool LoadBmpPalette(const fs::path& path);           // 8-bit BMP colour table, copied unchanged
bool LoadCmpPalette(const fs::path& path);           // "CMP " colour map, entries from byte 66
bool LoadJkBmPalette(const fs::path& path);          // the last 768 bytes of a JK BM with palette flag 2
bool LoadPltPalette(const fs::path& path);           // byte 1 = last index n, entries from byte 2

// Writes CurrentPalette as a 768-byte palette file (red, green, blue for entries 0..255).
void SavePalFile(const fs::path& path);

// ---- Palette preview -----------------------------------------------------------------------------

// One square of the 16 x 16 preview grid: a filled rectangle with a one-pixel black outline,
// corners inclusive, at an 11-pixel pitch. Entry 0 is top left, entries in reading order.
struct PreviewCell {
    int left, top, right, bottom;
    std::uint8_t red, green, blue;
};
constexpr int kPreviewPitch = 11;
constexpr int kPreviewSide = 10;
std::array<PreviewCell, kPaletteEntries> PaintPalettePreview();

// ---- Game palettes -------------------------------------------------------------------------------

// The games of the Palettes page, in the order of its items.
enum class Game { DarkForcesBm, JediKnightBm, JediKnightMat, Quake1Bsp, Quake2Wal };

struct GamePaletteInfo {
    Game game;
    std::string_view caption;     // the item's caption on the Palettes page
    std::string_view defaultFile; // in the Data folder
    std::string_view cliName;     // `vexa-cli extract --palette NAME=FILE`
};

const std::array<GamePaletteInfo, 5>& gamePalettes();
const GamePaletteInfo* findGamePalette(std::string_view cliName);

const fs::path& GamePalettePath(Game game);
void SetGamePalettePath(Game game, const fs::path& path);
// Points every game at its default palette file in dataFolder.
void SetDefaultPalettes(const fs::path& dataFolder);
// Loads the game's palette into CurrentPalette; throws when the file cannot be opened or holds
// fewer than 768 bytes (a converter never paints with a palette that did not load).
void LoadGamePalette(Game game);

// The Palettes page's sources, in the order of its items.
enum class PaletteSource { PalFile, BmpFile, CmpFile, JkBmFile, PltFile };

struct PaletteSourceInfo {
    PaletteSource source;
    std::string_view caption;
    bool (*load)(const fs::path& path);
};
const std::array<PaletteSourceInfo, 5>& paletteSources();

constexpr std::string_view kWrongPaletteFile =
    "That does not appear to be the correct file type or no palette is in that file";
constexpr std::string_view kPaletteLoadedText = "New Palette Loaded Ok";

// A palette load as the Palettes page does it: loads file with the source's loader; on success
// saves a copy as dataFolder/<file name>.pal, makes it game's palette path, loads it again and
// returns the copy's path. nullopt when the file holds no palette of that kind. Throws when a
// file cannot be opened or created. After a failure the paths and CurrentPalette are as before.
std::optional<fs::path> ImportPalette(PaletteSource source, const fs::path& file, const fs::path& dataFolder,
                                      Game game);

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

// Rows stored in a file from offset; throws a FormatError naming the file and what when the file
// holds fewer than width x height bytes there, so nothing is written from a short source.
class FileRows : public PixelRows {
  public:
    FileRows(const InputFile& file, std::uint64_t offset, std::size_t width, std::size_t height,
             const std::string& what);
    void readRows(std::size_t first, std::span<std::uint8_t> rows) const override;

  private:
    const InputFile& file_;
    std::uint64_t offset_;
    std::size_t width_;
    std::string what_;
};

// Throws a FormatError naming file and what when width x height is not a picture that can be
// written: zero, negative or larger than kMaxImageSide on a side.
void requireImageSize(const fs::path& file, const std::string& what, std::int64_t width, std::int64_t height);

// The 1078 bytes before the pixel rows: file header, info header and CurrentPalette.
std::array<std::uint8_t, kBitmapHeaderSize> WriteBitmapHeader(std::uint32_t width, std::uint32_t height);

// Writes an 8-bit BMP of source to a new file at path (create-or-replace): bottom row first, rows
// padded with zeros to a multiple of 4 bytes. A failed write leaves no partial file. Every
// conversion writes its pictures through here, so this is where the thread's PictureFormatScope
// (PNG at pictureOutputPath(path)) and PictureCapture (no file at all) take effect.
void WriteIndexedBitmap(const OutputPath& path, std::uint32_t width, std::uint32_t height,
                        const PixelRows& source);
// The same bytes in memory.
std::vector<std::uint8_t> WriteIndexedBitmap(std::uint32_t width, std::uint32_t height,
                                             const PixelRows& source);

// ---- Where pictures go ---------------------------------------------------------------------------

// The conversions write BMP unless a PictureFormatScope asks for PNG (8-bit paletted, the same
// indices and the palette in the same order).
enum class PictureFormat { Bmp, Png };

// While it lives, the pictures written on this thread are in format; nested scopes restore the
// previous one.
class PictureFormatScope {
  public:
    explicit PictureFormatScope(PictureFormat format);
    ~PictureFormatScope();
    PictureFormatScope(const PictureFormatScope&) = delete;
    PictureFormatScope& operator=(const PictureFormatScope&) = delete;

  private:
    PictureFormat previous_;
};
PictureFormat CurrentPictureFormat();

// Where a picture meant for bmpPath is written on this thread: the same path, or for PNG the path
// with ".bmp" replaced by ".png".
OutputPath pictureOutputPath(const OutputPath& bmpPath);

// While it lives, no picture written on this thread reaches a file: the first is kept as the bytes
// of the BMP that would have been written, with the palette source it was written with, and the
// others are only counted. A first picture of more than maxPixels pixels is not laid out: its
// bitmap() stays empty (its size is kept, for the message).
class PictureCapture {
  public:
    explicit PictureCapture(std::uint64_t maxPixels);
    ~PictureCapture();
    PictureCapture(const PictureCapture&) = delete;
    PictureCapture& operator=(const PictureCapture&) = delete;

    std::size_t count() const { return count_; }
    const std::vector<std::uint8_t>& bitmap() const { return bitmap_; }
    std::uint32_t width() const { return width_; }
    std::uint32_t height() const { return height_; }
    const std::string& paletteSource() const { return palette_; }

    // Called by WriteIndexedBitmap in place of writing a file.
    void take(std::uint32_t width, std::uint32_t height, const PixelRows& source);

  private:
    std::uint64_t maxPixels_;
    std::size_t count_ = 0;
    std::vector<std::uint8_t> bitmap_;
    std::uint32_t width_ = 0, height_ = 0;
    std::string palette_;
    PictureCapture* previous_;
};

// An output name with its extension replaced by suffix, e.g. ("dir/wall.bm", "_0.bmp") -> dir/wall_0.bmp.
fs::path withExtension(const fs::path& path, std::string_view suffix);
OutputPath withExtension(const OutputPath& path, std::string_view suffix);

} // namespace vexa
