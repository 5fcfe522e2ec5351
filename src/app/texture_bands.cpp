#include "app/texture_bands.h"

#include "base/errors.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <unordered_map>

namespace vexa {

namespace {

using Rgb = std::array<std::uint8_t, 3>;
constexpr std::size_t kRgba = 4;
// A band's colours are held as read, and the smaller levels made from them: a few MiB at any width.
constexpr std::size_t kBandBytes = std::size_t{4} << 20;
// Pictures of more colours than a palette holds and at most this many pixels are reduced whole by
// libimagequant, whose own remapping also refines the palette; larger ones through its histogram.
constexpr std::size_t kWholeReductionPixels = std::size_t{1} << 20;

// Half-Life's own tools mark the see-through pixels of a "{" texture drawn without alpha in pure blue.
constexpr Rgb kColourKey = {0, 0, 255};

// Quake's and Half-Life's engines draw the last entry of a texture whose name starts with "{" as
// see-through.
bool namedSeeThrough(const std::string& name) {
    return !name.empty() && name.front() == '{';
}

std::uint32_t colourKey(const std::uint8_t* px) {
    return std::uint32_t{px[0]} << 16 | std::uint32_t{px[1]} << 8 | px[2];
}

bool tableMatches(const std::vector<Rgb>& colours, const PaletteTable& palette) {
    if (colours.size() > kPaletteEntries) return false;
    for (std::size_t i = 0; i < colours.size(); ++i)
        if (colours[i] != paletteColour(palette, i)) return false;
    return true;
}

// A picture read band by band, pass after pass. A picture that fits in one band is read once and
// its band handed out again.
class PictureBands {
  public:
    PictureBands(const fs::path& path, std::uint32_t bandRows) : path_(path) {
        open();
        size_ = rows_->size();
        stored_ = rows_->storedColours();
        const std::size_t width = size_.width;
        bandRows_ = bandRows ? bandRows
                             : std::max<std::uint32_t>(8, static_cast<std::uint32_t>(std::min<std::size_t>(
                                                              kBandBytes / (width * kRgba), size_.height)) &
                                                              ~7u);
        const std::size_t held = std::min(bandRows_, size_.height);
        rgba_.resize(held * width * kRgba);
        if (stored_) indices_.resize(held * width);
    }

    PictureSize size() const { return size_; }
    const std::optional<std::vector<Rgb>>& storedColours() const { return stored_; }

    // Starts a pass over the rows (again).
    void restart() {
        if (oneBand()) {
            at_ = 0, count_ = 0;
            return;
        }
        open();
        if (rows_->size().width != size_.width || rows_->size().height != size_.height ||
            rows_->storedColours() != stored_)
            throw FileError(FileAction::Read, path_, "the picture changed while it was read");
        at_ = 0, count_ = 0;
    }

    // Reads the next band; its number of rows, 0 past the last.
    std::uint32_t next() {
        at_ += count_;
        count_ = std::min(bandRows_, size_.height - at_);
        if (count_ && !(oneBand() && read_)) rows_->read(count_, rgba_, indices_);
        read_ = true;
        return count_;
    }

    std::uint32_t firstRow() const { return at_; }
    std::span<std::uint8_t> rgba() { return {rgba_.data(), std::size_t{count_} * size_.width * kRgba}; }
    std::span<const std::uint8_t> indices() const {
        return stored_ ? std::span<const std::uint8_t>(indices_.data(), std::size_t{count_} * size_.width)
                       : std::span<const std::uint8_t>();
    }

  private:
    bool oneBand() const { return bandRows_ >= size_.height; }
    void open() {
        rows_.reset();
        rows_ = std::make_unique<PictureRows>(path_);
    }

    fs::path path_;
    std::unique_ptr<PictureRows> rows_;
    PictureSize size_;
    std::optional<std::vector<Rgb>> stored_;
    std::uint32_t bandRows_ = 0, at_ = 0, count_ = 0;
    bool read_ = false;
    std::vector<std::uint8_t> rgba_, indices_;
};

// What a first pass tells of a picture.
struct PictureLook {
    bool seeThrough = false; // a pixel of alpha under 128
    bool keyBlue = false;    // a pixel of the colour key
};

PictureLook lookAt(PictureBands& bands) {
    PictureLook look;
    while (bands.next()) {
        const auto rgba = bands.rgba();
        for (std::size_t p = 0; p < rgba.size(); p += kRgba) {
            look.seeThrough |= rgba[p + 3] < 128;
            look.keyBlue |=
                rgba[p] == kColourKey[0] && rgba[p + 1] == kColourKey[1] && rgba[p + 2] == kColourKey[2];
        }
    }
    bands.restart();
    return look;
}

// Pixels of the colour key made see-through, where the picture's name asks for it and it has no
// see-through pixels of its own.
void applyKey(std::span<std::uint8_t> rgba) {
    for (std::size_t p = 0; p < rgba.size(); p += kRgba)
        if (rgba[p] == kColourKey[0] && rgba[p + 1] == kColourKey[1] && rgba[p + 2] == kColourKey[2])
            rgba[p + 3] = 0;
}

// The picture's colours as they are, in order of first appearance, when there are at most
// maxColours of them (see-through pixels left out where seeThrough is set).
std::optional<std::vector<Rgb>> exactColours(PictureBands& bands, bool keyed, std::size_t maxColours,
                                             bool seeThrough) {
    std::unordered_map<std::uint32_t, std::uint8_t> seen;
    std::vector<Rgb> colours;
    bool fits = true;
    while (fits && bands.next()) {
        auto rgba = bands.rgba();
        if (keyed) applyKey(rgba);
        for (std::size_t p = 0; p < rgba.size(); p += kRgba) {
            if (seeThrough && rgba[p + 3] < 128) continue;
            if (seen.contains(colourKey(&rgba[p]))) continue;
            if (seen.size() == maxColours) {
                fits = false;
                break;
            }
            seen.emplace(colourKey(&rgba[p]), static_cast<std::uint8_t>(seen.size()));
            colours.push_back({rgba[p], rgba[p + 1], rgba[p + 2]});
        }
    }
    bands.restart();
    if (!fits) return std::nullopt;
    return colours;
}

// How level 0 is made from each band.
struct LevelZero {
    enum class Way { KeepIndices, Exact, Map, Done } way = Way::Map;
    std::optional<PaletteRowMapper> mapper;
    std::unordered_map<std::uint32_t, std::uint8_t> exact;
    std::optional<std::uint8_t> seeThroughIndex; // Exact: the index see-through pixels take
};

void makeLevelZeroRows(LevelZero& zero, PictureBands& bands, IndexedImage& level) {
    const std::size_t width = bands.size().width;
    auto* out = &level.indices[std::size_t{bands.firstRow()} * width];
    const auto rgba = bands.rgba();
    switch (zero.way) {
    case LevelZero::Way::KeepIndices:
        std::copy(bands.indices().begin(), bands.indices().end(), out);
        break;
    case LevelZero::Way::Exact:
        for (std::size_t p = 0; p < rgba.size() / kRgba; ++p) {
            const auto* px = &rgba[p * kRgba];
            out[p] =
                zero.seeThroughIndex && px[3] < 128 ? *zero.seeThroughIndex : zero.exact.at(colourKey(px));
        }
        break;
    case LevelZero::Way::Map:
        for (std::size_t r = 0; r < rgba.size() / (width * kRgba); ++r)
            zero.mapper->mapRow(&rgba[r * width * kRgba], out + r * width);
        break;
    case LevelZero::Way::Done:
        break;
    }
}

ColourPicture wholePicture(PictureBands& bands, bool keyed) {
    const auto size = bands.size();
    ColourPicture picture{size.width, size.height, {}, {}};
    picture.rgba.reserve(std::size_t{size.width} * size.height * kRgba);
    while (bands.next()) {
        if (keyed) applyKey(bands.rgba());
        picture.rgba.insert(picture.rgba.end(), bands.rgba().begin(), bands.rgba().end());
    }
    bands.restart();
    return picture;
}

std::vector<Rgb> histogramColours(PictureBands& bands, bool keyed, bool seeThrough, int speed) {
    OwnPaletteHistogram histogram(seeThrough, speed);
    while (const auto rows = bands.next()) {
        if (keyed) applyKey(bands.rgba());
        histogram.add(bands.rgba(), bands.size().width, rows);
    }
    bands.restart();
    return histogram.colours();
}

} // namespace

TextureImages textureFromPicture(const TextureKindInfo& info, const std::string& name, const fs::path& path,
                                 const PaletteTable* gamePalette, bool dither, bool withMips,
                                 std::uint32_t bandRows, int speed, bool fullbright) {
    if (withMips && bandRows % 8 != 0) throw Error("mip levels are made from bands of 8 rows");
    PictureBands bands(path, bandRows);
    const auto size = bands.size();
    const auto look = lookAt(bands);
    const bool keyed = namedSeeThrough(name) && !look.seeThrough && look.keyBlue;
    // The file's own indices would be kept as they are, blue and all.
    const auto& stored = keyed ? std::nullopt : bands.storedColours();

    TextureImages out;
    const int levelCount = withMips ? kMipLevels : 1;
    for (int level = 0; level < levelCount; ++level)
        out.levels[level] = {
            size.width >> level, size.height >> level,
            std::vector<std::uint8_t>(std::size_t{size.width >> level} * (size.height >> level))};

    PaletteTable palette{};
    PaletteRules rules;
    LevelZero zero;
    bool markStoredSeeThrough = false; // the smaller levels see through where the stored index is the last
    if (gamePalette) {
        const auto kindRules = info.rules(name, look.seeThrough || keyed, fullbright);
        rules = kindRules.rules;
        out.transparent = kindRules.transparent;
        palette = *gamePalette;
        if (stored && tableMatches(*stored, palette))
            zero.way = LevelZero::Way::KeepIndices;
        else
            zero.mapper.emplace(palette, rules, dither, size.width);
    } else {
        const bool seeThrough = namedSeeThrough(name);
        const auto maxColours = seeThrough ? kPaletteEntries - 1 : kPaletteEntries;
        std::optional<std::vector<Rgb>> exact;
        if (stored) {
            zero.way = LevelZero::Way::KeepIndices;
            out.colours = *stored;
            markStoredSeeThrough = seeThrough;
        } else if ((exact = exactColours(bands, keyed, maxColours, seeThrough))) {
            zero.way = LevelZero::Way::Exact;
            for (std::size_t i = 0; i < exact->size(); ++i)
                zero.exact.emplace(colourKey((*exact)[i].data()), static_cast<std::uint8_t>(i));
            if (seeThrough) zero.seeThroughIndex = kOwnSeeThroughEntry;
            out.colours = std::move(*exact);
        } else if (std::size_t{size.width} * size.height <= kWholeReductionPixels) {
            auto reduced = reduceToOwnPalette(wholePicture(bands, keyed), dither, seeThrough, speed);
            out.levels[0] = std::move(reduced.image);
            out.colours = std::move(reduced.colours);
            zero.way = LevelZero::Way::Done;
        } else {
            out.colours = histogramColours(bands, keyed, seeThrough, speed);
            const auto count = static_cast<int>(out.colours.size());
            std::optional<std::uint8_t> seeThroughIndex;
            if (seeThrough) seeThroughIndex = kOwnSeeThroughEntry;
            zero.mapper.emplace(paletteTableOf(out.colours), PaletteRules{0, count - 1, seeThroughIndex},
                                dither, size.width);
        }
        if (seeThrough && zero.way != LevelZero::Way::Done) {
            out.colours.resize(kOwnSeeThroughEntry, {0, 0, 0});
            out.colours.push_back(kOwnSeeThroughColour);
            if (zero.way == LevelZero::Way::KeepIndices) zero.seeThroughIndex = kOwnSeeThroughEntry;
        }
        palette = paletteTableOf(out.colours);
        const auto colours = static_cast<int>(out.colours.size());
        rules = {0, colours - 1, std::nullopt};
        if (seeThrough) rules = {0, std::min<int>(colours, kOwnSeeThroughEntry) - 1, kOwnSeeThroughEntry};
    }

    std::array<std::optional<PaletteRowMapper>, kMipLevels - 1> smaller;
    if (withMips)
        for (std::size_t level = 1; level < kMipLevels; ++level)
            smaller[level - 1].emplace(palette, rules, dither, size.width >> level);

    while (const auto rows = bands.next()) {
        auto rgba = bands.rgba();
        if (keyed) applyKey(rgba);
        makeLevelZeroRows(zero, bands, out.levels[0]);
        if (zero.way == LevelZero::Way::KeepIndices && zero.seeThroughIndex) {
            // A stored picture on its own palette: its see-through pixels take the last entry.
            auto* indices = &out.levels[0].indices[std::size_t{bands.firstRow()} * size.width];
            for (std::size_t p = 0; p < rgba.size() / kRgba; ++p)
                if (rgba[p * kRgba + 3] < 128) indices[p] = *zero.seeThroughIndex;
        }
        if (!withMips) continue;
        if (markStoredSeeThrough) {
            const auto indices = bands.indices();
            for (std::size_t p = 0; p < indices.size(); ++p)
                if (indices[p] == kOwnSeeThroughEntry) rgba[p * kRgba + 3] = 0;
        }
        const auto levels = smallerMipBands(rgba, size.width, rows);
        for (std::size_t level = 1; level < kMipLevels; ++level) {
            const std::size_t width = size.width >> level, first = bands.firstRow() >> level;
            auto* indices = &out.levels[level].indices[first * width];
            const auto& band = levels[level - 1];
            for (std::size_t r = 0; r < band.size() / (width * kRgba); ++r)
                smaller[level - 1]->mapRow(&band[r * width * kRgba], indices + r * width);
        }
    }
    return out;
}

} // namespace vexa
