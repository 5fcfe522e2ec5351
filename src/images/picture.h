#pragma once
// Decoded pictures as values: palette indices, top row first, and the palette they need; the image
// kinds that decode a file into them; the rows the sinks (BMP, PNG) write.

#include "base/byte_source.h"
#include "images/palette_files.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace vexa {

namespace fs = std::filesystem;

// The largest side of a picture the program converts or reads.
constexpr std::int64_t kMaxImageSide = 16384;

// Throws a FormatError naming file and what when width x height is not a picture that can be
// written: zero, negative or larger than kMaxImageSide on a side.
void requireImageSize(const fs::path& file, const std::string& what, std::int64_t width, std::int64_t height);

// Throws a FormatError naming file when the picture it holds would be width x height pixels: a side
// of 0 or over kMaxImageSide.
void requireSidesInRange(const ByteSource& file, std::int64_t width, std::int64_t height);

// One decoded picture: palette indices, top row first, width bytes a row.
struct IndexedImage {
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint8_t> indices;
};

// A picture file's own colour table and indices, for a file that stores indices (8-bit BMP,
// paletted PNG): red, green, blue per entry, in the file's order (at most 256 entries).
struct StoredIndices {
    IndexedImage image;
    std::vector<std::array<std::uint8_t, 3>> colours;
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

// The rows of an index image, top row first, each exactly width bytes: what the sinks write.
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

} // namespace vexa
