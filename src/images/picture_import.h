#pragma once
// Pictures drawn elsewhere, on their way into a game texture: PNG and BMP files read into colours,
// those colours mapped onto a 256-colour palette, and the smaller mip levels the texture kinds carry.

#include "images/picture.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace vexa {

// ---- Reading -------------------------------------------------------------------------------------

struct PictureSize {
    std::uint32_t width = 0, height = 0;
};

// A picture as read: red, green, blue, alpha per pixel, top row first, 4 x width bytes a row.
struct ColourPicture {
    std::uint32_t width = 0, height = 0;
    std::vector<std::uint8_t> rgba;
    std::optional<StoredIndices> stored; // when the file holds palette indices
};

// PNG (every colour type and depth; 16-bit samples are cut to 8, an alpha channel or tRNS kept)
// and BMP (8, 24 and 32 bits uncompressed or BI_BITFIELDS, rows bottom-up or top-down), told
// apart by their first bytes. Throws a FormatError naming the file and the reason for anything
// else, a damaged file, or a side of 0 or over kMaxImageSide.
ColourPicture readColourPicture(const ByteSource& file);
ColourPicture readColourPicture(const fs::path& path);
// Only the size from the header (the same checks on it), without reading the pixels.
PictureSize readPictureSize(const ByteSource& file);
PictureSize readPictureSize(const fs::path& path);

// The same files read a few rows at a time, top row first, so that a texture can be made a band at
// a time without the whole picture in memory (an interlaced PNG, which gives no row whole before its
// last pass, is the exception: it is read whole when opened). The same checks and messages as
// readColourPicture; a second pass over a picture opens it again.
class PictureRows {
  public:
    explicit PictureRows(const fs::path& path);
    explicit PictureRows(const ByteSource& file); // file must outlive this
    ~PictureRows();
    PictureRows(const PictureRows&) = delete;
    PictureRows& operator=(const PictureRows&) = delete;

    PictureSize size() const;
    // The colour table of a file that stores indices (a paletted PNG, an 8-bit BMP).
    const std::optional<std::vector<std::array<std::uint8_t, 3>>>& storedColours() const;
    // The next count rows as red, green, blue, alpha (4 x width bytes a row) and, where the file stores
    // indices, the indices as stored (width bytes a row).
    void read(std::uint32_t count, std::span<std::uint8_t> rgba, std::span<std::uint8_t> indices);

  private:
    struct State;
    void open(const ByteSource& file);
    std::unique_ptr<State> state_;
};

// ---- Mapping onto a palette ----------------------------------------------------------------------

// Which entries of a game palette a picture may be mapped to. Entries outside [firstOpaque,
// lastOpaque] are never chosen for an opaque pixel (fullbright or reserved colours); a pixel
// whose alpha is under 128 becomes transparentIndex where the texture has one, else it is mapped
// as opaque.
struct PaletteRules {
    int firstOpaque = 0;
    int lastOpaque = 255;
    std::optional<std::uint8_t> transparentIndex;
};

// Colours as a palette table holds them (blue, green, red, 0 per entry) and as RGB triples.
std::array<std::uint8_t, 3> paletteColour(const PaletteTable& palette, std::size_t index);
// The table of up to 256 RGB colours, the entries past them black.
PaletteTable paletteTableOf(const std::vector<std::array<std::uint8_t, 3>>& colours);

// Maps picture onto palette: each pixel to its nearest allowed entry (distance in Oklab), with
// Floyd-Steinberg error diffusion when dither is set. A picture whose stored colour table equals
// the palette's first entries keeps its indices as they are (no mapping at all).
IndexedImage mapToPalette(const ColourPicture& picture, const PaletteTable& palette,
                          const PaletteRules& rules, bool dither);

// mapToPalette's mapping (without the kept indices) a row at a time, top row first: the dither error
// is carried from each row to the next, so a picture mapped a band at a time gets the indices of the
// whole.
class PaletteRowMapper {
  public:
    PaletteRowMapper(const PaletteTable& palette, const PaletteRules& rules, bool dither,
                     std::uint32_t width);
    ~PaletteRowMapper();
    PaletteRowMapper(const PaletteRowMapper&) = delete;
    PaletteRowMapper& operator=(const PaletteRowMapper&) = delete;
    // rgba: 4 x width bytes; indices: width bytes.
    void mapRow(const std::uint8_t* rgba, std::uint8_t* indices);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Whether a pixel counts as see-through where a texture has a see-through entry: alpha under 128.
inline bool isSeeThrough(const ColourPicture& picture, std::size_t pixel) {
    return picture.rgba[pixel * 4 + 3] < 128;
}

// A picture with its own palette (WAD3): stored indices and colours as they are; a picture of at
// most 256 distinct colours gets exactly those colours (in order of first appearance); more are
// reduced to 256 (libimagequant; dither adds its error diffusion). Alpha is ignored, but with
// seeThroughLast (Half-Life's "{" textures) see-through pixels take the last entry, stored as
// kOwnSeeThroughColour, and the other pixels the first 255.
// How hard libimagequant works at an own palette: 1 (slowest, best) to 10 (fastest). 4 is pngquant's
// own default.
constexpr int kDefaultReductionSpeed = 4;
struct OwnPaletteImage {
    IndexedImage image;
    std::vector<std::array<std::uint8_t, 3>> colours; // at most 256
};
constexpr std::uint8_t kOwnSeeThroughEntry = 255;
constexpr std::array<std::uint8_t, 3> kOwnSeeThroughColour = {0, 0, 255}; // the blue the engine's tools use
OwnPaletteImage reduceToOwnPalette(const ColourPicture& picture, bool dither, bool seeThroughLast = false,
                                   int speed = kDefaultReductionSpeed);

// The colours libimagequant would reduce a picture to, gathered a band at a time (its histogram),
// for pictures too large to hold whole. Alpha is ignored; with seeThroughLast see-through pixels
// give no colour and at most 255 come out. Throws Error from colours() in a build without
// libimagequant.
class OwnPaletteHistogram {
  public:
    explicit OwnPaletteHistogram(bool seeThroughLast, int speed = kDefaultReductionSpeed);
    ~OwnPaletteHistogram();
    OwnPaletteHistogram(const OwnPaletteHistogram&) = delete;
    OwnPaletteHistogram& operator=(const OwnPaletteHistogram&) = delete;
    // rows rows of width pixels, red, green, blue, alpha each.
    void add(std::span<const std::uint8_t> rgba, std::uint32_t width, std::uint32_t rows);
    std::vector<std::array<std::uint8_t, 3>> colours();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// ---- Mip levels ----------------------------------------------------------------------------------

constexpr int kMipLevels = 4;
constexpr std::uint32_t kMipSideMultiple = 16;

// Throws a FormatError naming file when a side is not a multiple of 16 (the mip texture kinds).
void requireMipSides(const fs::path& file, PictureSize size);

// Levels 1 to 3 of picture: each halves both sides, every pixel the average in linear light of the
// opaque pixels (alpha 128 and over) of a 2 x 2 block of the level above, and opaque; a block with
// none is see-through (alpha 0). The sides are multiples of 16.
std::array<ColourPicture, kMipLevels - 1> smallerMipLevels(const ColourPicture& picture);

// The same a band at a time: rows (a multiple of 8) of level 0, width pixels wide, give rows / 2 rows
// of level 1, rows / 4 of level 2 and rows / 8 of level 3, as smallerMipLevels gives them.
std::array<std::vector<std::uint8_t>, kMipLevels - 1>
smallerMipBands(std::span<const std::uint8_t> rgba, std::uint32_t width, std::uint32_t rows);

// An indexed level 0 and three smaller levels: level n is (width >> n) x (height >> n).
using MipImages = std::array<IndexedImage, kMipLevels>;

} // namespace vexa
