#include "images/build_art.h"

#include "base/byte_reader.h"

#include <algorithm>

namespace vexa {

namespace {

constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kVersionAt = 0, kFirstTileAt = 8, kLastTileAt = 12;
constexpr std::int32_t kVersion = 1;
// Per tile: a width (i16), a height (i16) and an animation word (i32), in three tables.
constexpr std::size_t kSideSize = 2, kAnimationSize = 4;
constexpr std::size_t kPerTileSize = 2 * kSideSize + kAnimationSize;
constexpr std::uint8_t kSeeThroughIndex = 255;
constexpr int kTileNumberDigits = 4;

constexpr std::size_t kPaletteSize = 3 * kPaletteEntries;
constexpr std::size_t kShadeCountSize = 2;
constexpr std::uint8_t kSixBitLimit = 64;

struct Layout {
    std::int32_t first = 0;
    std::size_t tiles = 0;
    std::size_t widthsAt = 0, heightsAt = 0, pixelsAt = 0;
};

std::int32_t i16(const ByteReader& reader, std::size_t at) {
    return static_cast<std::int16_t>(reader.u16(at));
}

std::string layoutFault(std::span<const std::uint8_t> entry, Layout& layout) {
    if (entry.size() < kHeaderSize)
        return "an ART file starts with a 16-byte header, the entry has " + std::to_string(entry.size());
    const ByteReader fields(entry, {});
    if (fields.i32(kVersionAt) != kVersion)
        return "version " + std::to_string(fields.i32(kVersionAt)) + " is not the ART version 1";
    const std::int64_t first = fields.i32(kFirstTileAt), last = fields.i32(kLastTileAt);
    if (first < 0 || last < first)
        return "tiles " + std::to_string(first) + " to " + std::to_string(last) +
               " are not a range of tile numbers";
    const std::uint64_t tiles = static_cast<std::uint64_t>(last - first) + 1;
    if (tiles > (entry.size() - kHeaderSize) / kPerTileSize)
        return "the tables of " + std::to_string(tiles) + " tiles (" + std::to_string(first) + " to " +
               std::to_string(last) + ") run past the end of the entry (" + std::to_string(entry.size()) +
               " bytes)";
    layout.first = static_cast<std::int32_t>(first);
    layout.tiles = static_cast<std::size_t>(tiles);
    layout.widthsAt = kHeaderSize;
    layout.heightsAt = layout.widthsAt + kSideSize * layout.tiles;
    layout.pixelsAt = kHeaderSize + kPerTileSize * layout.tiles;

    std::uint64_t left = entry.size() - layout.pixelsAt;
    for (std::size_t i = 0; i < layout.tiles; ++i) {
        const std::int32_t width = i16(fields, layout.widthsAt + kSideSize * i);
        const std::int32_t height = i16(fields, layout.heightsAt + kSideSize * i);
        const auto tile = "tile " + std::to_string(first + static_cast<std::int64_t>(i));
        if (width < 0 || height < 0)
            return tile + " has a negative size, " + std::to_string(width) + " x " + std::to_string(height);
        if (width == 0 || height == 0) continue;
        if (auto fault = pictureSizeFault(width, height); !fault.empty()) return tile + ": " + fault;
        const std::uint64_t pixels = std::uint64_t(width) * std::uint64_t(height);
        if (pixels > left)
            return tile + ": its " + std::to_string(width) + " x " + std::to_string(height) +
                   " pixels run past the end of the entry (" + std::to_string(entry.size()) + " bytes)";
        left -= pixels;
    }
    return {};
}

std::string paletteFault(std::span<const std::uint8_t> entry) {
    if (entry.size() < kPaletteSize)
        return "a palette holds 768 bytes, the entry has " + std::to_string(entry.size());
    const auto colours = entry.first(kPaletteSize);
    if (const auto it =
            std::find_if(colours.begin(), colours.end(), [](std::uint8_t c) { return c >= kSixBitLimit; });
        it != colours.end())
        return "byte " + std::to_string(it - colours.begin()) + " is " + std::to_string(*it) +
               ", more than a 6-bit colour holds";
    if (entry.size() == kPaletteSize) return {};
    if (entry.size() - kPaletteSize < kShadeCountSize) return "the shade count after the colours is cut off";
    const std::int32_t shades = i16(ByteReader(entry, {}), kPaletteSize);
    if (shades < 0 || std::uint64_t(shades) * kPaletteEntries > entry.size() - kPaletteSize - kShadeCountSize)
        return std::to_string(shades) + " shade tables run past the end of the entry (" +
               std::to_string(entry.size()) + " bytes)";
    return {};
}

} // namespace

bool isBuildArt(std::span<const std::uint8_t> entry) noexcept {
    Layout layout;
    return layoutFault(entry, layout).empty();
}

DecodedPictures decodeBuildArt(std::span<const std::uint8_t> entry, const std::string& what) {
    Layout layout;
    if (auto fault = layoutFault(entry, layout); !fault.empty()) throwFault(what, fault);
    const ByteReader fields(entry, what);
    DecodedPictures out;
    std::size_t at = layout.pixelsAt;
    for (std::size_t i = 0; i < layout.tiles; ++i) {
        const auto width = static_cast<std::uint32_t>(i16(fields, layout.widthsAt + kSideSize * i));
        const auto height = static_cast<std::uint32_t>(i16(fields, layout.heightsAt + kSideSize * i));
        if (width == 0 || height == 0) continue;
        // Stored column by column, each from the top.
        const auto columns = fields.bytes(at, std::size_t{width} * height);
        at += columns.size();
        DecodedPicture tile = blankPicture(width, height, false);
        tile.alpha.resize(columns.size());
        for (std::size_t x = 0; x < width; ++x)
            for (std::size_t y = 0; y < height; ++y) {
                const std::uint8_t pixel = columns[x * height + y];
                tile.image.indices[y * width + x] = pixel;
                tile.alpha[y * width + x] = pixel == kSeeThroughIndex ? kSeeThrough : kOpaque;
            }
        dropOpaqueAlpha(tile);
        tile.name = zeroPadded(static_cast<std::uint64_t>(layout.first) + i, kTileNumberDigits);
        out.pictures.push_back(std::move(tile));
    }
    return out;
}

bool isBuildPalette(std::span<const std::uint8_t> entry) noexcept {
    return paletteFault(entry).empty();
}

DecodedPictures decodeBuildPalette(std::span<const std::uint8_t> entry, const std::string& what) {
    if (auto fault = paletteFault(entry); !fault.empty()) throwFault(what, fault);
    std::array<std::uint8_t, kPaletteSize> wide{};
    for (std::size_t i = 0; i < kPaletteSize; ++i)
        wide[i] = widenSixBit(entry[i]);
    DecodedPictures out;
    out.palette = paletteFromTriples(wide);
    out.pictures.push_back(paletteSwatch({}));
    return out;
}

} // namespace vexa
