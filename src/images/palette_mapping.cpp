// Colours onto palettes. Distances are measured in Oklab: it is nearly perceptually uniform, so
// the nearest entry is the one that looks nearest (plain RGB distance favours greys and muddy
// greens over the dark saturated colours game palettes are rich in), and it costs little more than
// a weighted RGB metric once each colour is looked up in a cache.

#include "base/errors.h"
#include "images/picture_import.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#if VEXA_IMAGEQUANT
#include <libimagequant.h>
#endif
#include <limits>
#include <memory>
#include <unordered_map>

#if VEXA_IMAGEQUANT
#include "base/one_openmp_thread.h"
#endif

namespace vexa {

namespace {

constexpr std::size_t kRgba = 4;
using Rgb = std::array<std::uint8_t, 3>;

struct Lab {
    float l, a, b;
};

struct LinearTables {
    std::array<float, 256> linear;     // sRGB byte -> linear light
    std::array<float, 255> roundingUp; // linear value at which the nearest sRGB byte becomes i + 1
};

float srgbToLinear(float v) {
    return v <= 0.04045f ? v / 12.92f : std::pow((v + 0.055f) / 1.055f, 2.4f);
}

const LinearTables& linearTables() {
    static const LinearTables tables = [] {
        LinearTables t{};
        for (int i = 0; i < 256; ++i)
            t.linear[i] = srgbToLinear(static_cast<float>(i) / 255.0f);
        for (int i = 0; i < 255; ++i)
            t.roundingUp[i] = srgbToLinear((static_cast<float>(i) + 0.5f) / 255.0f);
        return t;
    }();
    return tables;
}

std::uint8_t linearToSrgb(float v) {
    const auto& up = linearTables().roundingUp;
    return static_cast<std::uint8_t>(std::upper_bound(up.begin(), up.end(), v) - up.begin());
}

Lab toOklab(const Rgb& c) {
    const auto& lin = linearTables().linear;
    const float r = lin[c[0]], g = lin[c[1]], b = lin[c[2]];
    const float l = std::cbrt(0.4122214708f * r + 0.5363325363f * g + 0.0514459929f * b);
    const float m = std::cbrt(0.2119034982f * r + 0.6806995451f * g + 0.1073969566f * b);
    const float s = std::cbrt(0.0883024619f * r + 0.2817188376f * g + 0.6299787005f * b);
    return {0.2104542553f * l + 0.7936177850f * m - 0.0040720468f * s,
            1.9779984951f * l - 2.4285922050f * m + 0.4505937099f * s,
            0.0259040371f * l + 0.7827717662f * m - 0.8086757660f * s};
}

// The nearest allowed entry of a palette (the lowest index of equally near ones), with a
// direct-mapped cache of colours already looked up (pictures repeat their colours; dithering and
// mip levels make new ones, which simply miss). Entries are kept sorted by lightness, so a search
// walks out from the colour's lightness and stops where lightness alone is farther than the best.
class NearestColour {
  public:
    NearestColour(const PaletteTable& palette, int first, int last) {
        for (int i = std::max(first, 0); i <= std::min(last, 255); ++i)
            entries_.push_back(
                {toOklab(paletteColour(palette, static_cast<std::size_t>(i))), static_cast<std::uint8_t>(i)});
        if (entries_.empty()) throw Error("no palette entry is left to map colours to");
        std::stable_sort(entries_.begin(), entries_.end(),
                         [](const Entry& a, const Entry& b) { return a.lab.l < b.lab.l; });
        cache_ = std::make_unique<std::array<std::uint64_t, kCacheSize>>();
        cache_->fill(0);
    }

    std::uint8_t operator()(const Rgb& c) {
        const std::uint32_t key = std::uint32_t{c[0]} << 16 | std::uint32_t{c[1]} << 8 | c[2];
        auto& slot = (*cache_)[(key * 2654435761u) >> (32 - kCacheBits)];
        // A slot holds the colour plus one (0: empty), then the index in its low byte.
        if ((slot >> 8) == std::uint64_t{key} + 1) return static_cast<std::uint8_t>(slot & 0xFF);
        const auto index = search(toOklab(c));
        slot = (std::uint64_t{key} + 1) << 8 | index;
        return index;
    }

  private:
    static constexpr int kCacheBits = 15;
    static constexpr std::size_t kCacheSize = std::size_t{1} << kCacheBits;

    struct Entry {
        Lab lab;
        std::uint8_t index;
    };

    std::uint8_t search(const Lab& lab) const {
        float best = std::numeric_limits<float>::max();
        std::uint8_t found = 0;
        const auto consider = [&](const Entry& e) {
            const float dl = e.lab.l - lab.l, da = e.lab.a - lab.a, db = e.lab.b - lab.b;
            const float d = dl * dl + da * da + db * db;
            if (d < best || (d == best && e.index < found)) best = d, found = e.index;
            return dl * dl <= best;
        };
        const auto start = std::lower_bound(entries_.begin(), entries_.end(), lab.l,
                                            [](const Entry& e, float l) { return e.lab.l < l; });
        for (auto it = start; it != entries_.end() && consider(*it); ++it) {
        }
        for (auto it = start; it != entries_.begin() && consider(*--it);) {
        }
        return found;
    }

    std::vector<Entry> entries_;
    std::unique_ptr<std::array<std::uint64_t, kCacheSize>> cache_;
};

bool tableMatches(const std::vector<Rgb>& colours, const PaletteTable& palette) {
    if (colours.size() > kPaletteEntries) return false;
    for (std::size_t i = 0; i < colours.size(); ++i)
        if (colours[i] != paletteColour(palette, i)) return false;
    return true;
}

std::uint8_t clampByte(float v) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0l, 255l));
}

IndexedImage mapPixels(const ColourPicture& picture, const PaletteTable& palette, const PaletteRules& rules,
                       bool dither) {
    PaletteRowMapper mapper(palette, rules, dither, picture.width);
    const std::size_t width = picture.width;
    IndexedImage out{picture.width, picture.height, std::vector<std::uint8_t>(width * picture.height)};
    for (std::size_t r = 0; r < picture.height; ++r)
        mapper.mapRow(&picture.rgba[r * width * kRgba], &out.indices[r * width]);
    return out;
}

#if VEXA_IMAGEQUANT

template <typename T, void (*Destroy)(T*)> struct LiqDeleter {
    void operator()(T* p) const {
        if (p) Destroy(p);
    }
};
using LiqAttr = std::unique_ptr<liq_attr, LiqDeleter<liq_attr, liq_attr_destroy>>;
using LiqImage = std::unique_ptr<liq_image, LiqDeleter<liq_image, liq_image_destroy>>;
using LiqResult = std::unique_ptr<liq_result, LiqDeleter<liq_result, liq_result_destroy>>;

OwnPaletteImage quantize(const ColourPicture& picture, bool dither, std::size_t maxColours, bool seeThrough,
                         int speed) {
    const std::size_t pixels = std::size_t{picture.width} * picture.height;
    std::vector<std::uint8_t> opaque(picture.rgba);
    for (std::size_t p = 0; p < pixels; ++p)
        opaque[p * kRgba + 3] = 255;
    OneOpenMpThread oneThread; // the callers asked for no threads
    LiqAttr attr(liq_attr_create());
    if (!attr) throw Error("out of memory reducing the colours of a picture");
    liq_set_max_colors(attr.get(), static_cast<int>(maxColours));
    liq_set_speed(attr.get(), std::clamp(speed, 1, 10));
    LiqImage image(liq_image_create_rgba(attr.get(), opaque.data(), static_cast<int>(picture.width),
                                         static_cast<int>(picture.height), 0));
    if (image && seeThrough) {
        // See-through pixels take an entry of their own: their colours must not take one of the others.
        std::vector<std::uint8_t> importance(pixels, 255);
        for (std::size_t p = 0; p < pixels; ++p)
            if (isSeeThrough(picture, p)) importance[p] = 0;
        liq_image_set_importance_map(image.get(), importance.data(), importance.size(), LIQ_COPY_PIXELS);
    }
    liq_result* raw = nullptr;
    if (!image || liq_image_quantize(image.get(), attr.get(), &raw) != LIQ_OK)
        throw Error("the colours of a picture could not be reduced to " + std::to_string(maxColours));
    LiqResult result(raw);
    liq_set_dithering_level(result.get(), dither ? 1.0f : 0.0f);
    OwnPaletteImage out{{picture.width, picture.height, std::vector<std::uint8_t>(pixels)}, {}};
    if (liq_write_remapped_image(result.get(), image.get(), out.image.indices.data(), pixels) != LIQ_OK)
        throw Error("the colours of a picture could not be reduced to " + std::to_string(maxColours));
    const auto* palette = liq_get_palette(result.get());
    for (unsigned i = 0; i < palette->count && i < maxColours; ++i)
        out.colours.push_back({palette->entries[i].r, palette->entries[i].g, palette->entries[i].b});
    return out;
}
#else
// A build without libimagequant (the Windows one) keeps pictures of at most 256 colours only.
OwnPaletteImage quantize(const ColourPicture&, bool, std::size_t maxColours, bool, int) {
    throw Error("the picture has more than " + std::to_string(maxColours) +
                " colours, and this build of VEXA reduces none");
}
#endif

} // namespace

struct PaletteRowMapper::State {
    State(const PaletteTable& palette, const PaletteRules& rules, bool dither, std::uint32_t width)
        : nearest(palette, rules.firstOpaque, rules.lastOpaque), palette(palette), rules(rules),
          dither(dither), width(width), carried(dither ? 2 * 3 * (std::size_t{width} + 2) : 0) {}
    NearestColour nearest;
    PaletteTable palette;
    PaletteRules rules;
    bool dither;
    std::size_t width;
    // Floyd-Steinberg: the error of each pixel goes 7/16 right, 3/16 down left, 5/16 down, 1/16 down
    // right; two rows of carried error (one column of margin each side).
    std::vector<float> carried;
    std::size_t row = 0;
};

PaletteRowMapper::PaletteRowMapper(const PaletteTable& palette, const PaletteRules& rules, bool dither,
                                   std::uint32_t width)
    : state_(std::make_unique<State>(palette, rules, dither, width)) {}

PaletteRowMapper::~PaletteRowMapper() = default;

void PaletteRowMapper::mapRow(const std::uint8_t* rgba, std::uint8_t* indices) {
    auto& s = *state_;
    const std::size_t width = s.width, r = s.row++;
    const bool dither = s.dither;
    float* here = dither ? &s.carried[(r % 2) * 3 * (width + 2)] : nullptr;
    float* below = dither ? &s.carried[((r + 1) % 2) * 3 * (width + 2)] : nullptr;
    if (dither) std::fill(below, below + 3 * (width + 2), 0.0f);
    for (std::size_t c = 0; c < width; ++c) {
        const auto* px = &rgba[c * kRgba];
        auto& index = indices[c];
        if (s.rules.transparentIndex && px[3] < 128) {
            index = *s.rules.transparentIndex;
            continue;
        }
        if (!dither) {
            index = s.nearest({px[0], px[1], px[2]});
            continue;
        }
        float* e = here + 3 * (c + 1);
        const float want[3] = {px[0] + e[0], px[1] + e[1], px[2] + e[2]};
        index = s.nearest({clampByte(want[0]), clampByte(want[1]), clampByte(want[2])});
        const auto got = paletteColour(s.palette, index);
        for (int k = 0; k < 3; ++k) {
            const float error = want[k] - got[k];
            e[3 + k] += error * 7 / 16;
            below[3 * c + k] += error * 3 / 16;
            below[3 * (c + 1) + k] += error * 5 / 16;
            below[3 * (c + 2) + k] += error * 1 / 16;
        }
    }
    if (dither) std::fill(here, here + 3 * (width + 2), 0.0f);
}

std::array<std::uint8_t, 3> paletteColour(const PaletteTable& palette, std::size_t index) {
    return {palette[4 * index + 2], palette[4 * index + 1], palette[4 * index]};
}

PaletteTable paletteTableOf(const std::vector<std::array<std::uint8_t, 3>>& colours) {
    PaletteTable table{};
    for (std::size_t i = 0; i < colours.size() && i < kPaletteEntries; ++i) {
        table[4 * i] = colours[i][2];
        table[4 * i + 1] = colours[i][1];
        table[4 * i + 2] = colours[i][0];
    }
    return table;
}

IndexedImage mapToPalette(const ColourPicture& picture, const PaletteTable& palette,
                          const PaletteRules& rules, bool dither) {
    if (picture.stored && tableMatches(picture.stored->colours, palette)) return picture.stored->image;
    return mapPixels(picture, palette, rules, dither);
}

namespace {

// The picture's colours as they are, when there are at most maxColours of them (see-through
// pixels left out where seeThrough is set).
std::optional<OwnPaletteImage> exactColours(const ColourPicture& picture, std::size_t maxColours,
                                            bool seeThrough) {
    const std::size_t pixels = std::size_t{picture.width} * picture.height;
    OwnPaletteImage out{{picture.width, picture.height, std::vector<std::uint8_t>(pixels)}, {}};
    std::unordered_map<std::uint32_t, std::uint8_t> seen;
    for (std::size_t p = 0; p < pixels; ++p) {
        if (seeThrough && isSeeThrough(picture, p)) continue;
        const auto* px = &picture.rgba[p * kRgba];
        const std::uint32_t key = std::uint32_t{px[0]} << 16 | std::uint32_t{px[1]} << 8 | px[2];
        auto found = seen.find(key);
        if (found == seen.end()) {
            if (seen.size() == maxColours) return std::nullopt;
            found = seen.emplace(key, static_cast<std::uint8_t>(seen.size())).first;
            out.colours.push_back({px[0], px[1], px[2]});
        }
        out.image.indices[p] = found->second;
    }
    return out;
}

} // namespace

#if VEXA_IMAGEQUANT
struct OwnPaletteHistogram::State {
    bool seeThrough;
    LiqAttr attr{liq_attr_create()};
    std::unique_ptr<liq_histogram, LiqDeleter<liq_histogram, liq_histogram_destroy>> histogram;
};

OwnPaletteHistogram::OwnPaletteHistogram(bool seeThroughLast, int speed) : state_(std::make_unique<State>()) {
    state_->seeThrough = seeThroughLast;
    if (!state_->attr) throw Error("out of memory reducing the colours of a picture");
    liq_set_max_colors(state_->attr.get(), seeThroughLast ? kOwnSeeThroughEntry : 256);
    liq_set_speed(state_->attr.get(), std::clamp(speed, 1, 10));
    state_->histogram.reset(liq_histogram_create(state_->attr.get()));
    if (!state_->histogram) throw Error("out of memory reducing the colours of a picture");
}

OwnPaletteHistogram::~OwnPaletteHistogram() = default;

void OwnPaletteHistogram::add(std::span<const std::uint8_t> rgba, std::uint32_t width, std::uint32_t rows) {
    const std::size_t pixels = std::size_t{width} * rows;
    std::vector<std::uint8_t> opaque(rgba.begin(),
                                     rgba.begin() + static_cast<std::ptrdiff_t>(pixels * kRgba));
    for (std::size_t p = 0; p < pixels; ++p)
        opaque[p * kRgba + 3] = 255;
    OneOpenMpThread oneThread; // the callers asked for no threads
    LiqImage image(liq_image_create_rgba(state_->attr.get(), opaque.data(), static_cast<int>(width),
                                         static_cast<int>(rows), 0));
    if (image && state_->seeThrough) {
        std::vector<std::uint8_t> importance(pixels, 255);
        for (std::size_t p = 0; p < pixels; ++p)
            if (rgba[p * kRgba + 3] < 128) importance[p] = 0;
        liq_image_set_importance_map(image.get(), importance.data(), importance.size(), LIQ_COPY_PIXELS);
    }
    if (!image || liq_histogram_add_image(state_->histogram.get(), state_->attr.get(), image.get()) != LIQ_OK)
        throw Error("the colours of a picture could not be counted");
}

std::vector<std::array<std::uint8_t, 3>> OwnPaletteHistogram::colours() {
    OneOpenMpThread oneThread; // the callers asked for no threads
    liq_result* raw = nullptr;
    if (liq_histogram_quantize(state_->histogram.get(), state_->attr.get(), &raw) != LIQ_OK)
        throw Error("the colours of a picture could not be reduced");
    LiqResult result(raw);
    const auto* palette = liq_get_palette(result.get());
    std::vector<std::array<std::uint8_t, 3>> out;
    for (unsigned i = 0; i < palette->count && i < kPaletteEntries; ++i)
        out.push_back({palette->entries[i].r, palette->entries[i].g, palette->entries[i].b});
    return out;
}
#else
struct OwnPaletteHistogram::State {};
OwnPaletteHistogram::OwnPaletteHistogram(bool, int) : state_(std::make_unique<State>()) {}
OwnPaletteHistogram::~OwnPaletteHistogram() = default;
void OwnPaletteHistogram::add(std::span<const std::uint8_t>, std::uint32_t, std::uint32_t) {}
std::vector<std::array<std::uint8_t, 3>> OwnPaletteHistogram::colours() {
    throw Error("the picture has more than 256 colours, and this build of VEXA reduces none");
}
#endif

OwnPaletteImage reduceToOwnPalette(const ColourPicture& picture, bool dither, bool seeThroughLast,
                                   int speed) {
    if (picture.stored) return {picture.stored->image, picture.stored->colours};
    const auto maxColours = seeThroughLast ? kPaletteEntries - 1 : kPaletteEntries;
    auto out = exactColours(picture, maxColours, seeThroughLast);
    if (!out) out = quantize(picture, dither, maxColours, seeThroughLast, speed);
    if (seeThroughLast) {
        for (std::size_t p = 0; p < out->image.indices.size(); ++p)
            if (isSeeThrough(picture, p)) out->image.indices[p] = kOwnSeeThroughEntry;
        out->colours.resize(kOwnSeeThroughEntry, {0, 0, 0});
        out->colours.push_back(kOwnSeeThroughColour);
    }
    return std::move(*out);
}

void requireMipSides(const fs::path& file, PictureSize size) {
    if (size.width % kMipSideMultiple != 0 || size.height % kMipSideMultiple != 0)
        throw FormatError(displayPath(file) + ": " + std::to_string(size.width) + " x " +
                          std::to_string(size.height) +
                          " pixels; textures with mip levels need sides that are " + "multiples of " +
                          std::to_string(kMipSideMultiple));
}

namespace {

// One row of the level below from two rows of the level above (outWidth pixels from 2 x outWidth).
void halveRows(const std::uint8_t* top, const std::uint8_t* bottom, std::size_t outWidth, std::uint8_t* out) {
    const auto& lin = linearTables().linear;
    for (std::size_t c = 0; c < outWidth; ++c, out += kRgba) {
        const std::uint8_t* quad[4] = {&top[2 * c * kRgba], &top[(2 * c + 1) * kRgba], &bottom[2 * c * kRgba],
                                       &bottom[(2 * c + 1) * kRgba]};
        // Only the opaque pixels of a block give its colour: the colour under see-through ones
        // would bleed into the smaller levels. A block with none stays see-through.
        int opaque = 0;
        for (const auto* p : quad)
            opaque += p[3] >= 128;
        for (int k = 0; k < 3; ++k) {
            float sum = 0;
            for (const auto* p : quad)
                if (opaque == 0 || p[3] >= 128) sum += lin[p[k]];
            out[k] = linearToSrgb(sum / static_cast<float>(opaque == 0 ? 4 : opaque));
        }
        out[3] = opaque == 0 ? 0 : 255;
    }
}

// rows / 2 rows of the level below from rows rows, width pixels wide.
std::vector<std::uint8_t> halved(std::span<const std::uint8_t> rgba, std::size_t width, std::size_t rows) {
    const std::size_t outWidth = width / 2, outRows = rows / 2;
    std::vector<std::uint8_t> out(outWidth * outRows * kRgba);
    for (std::size_t r = 0; r < outRows; ++r)
        halveRows(&rgba[2 * r * width * kRgba], &rgba[(2 * r + 1) * width * kRgba], outWidth,
                  &out[r * outWidth * kRgba]);
    return out;
}

} // namespace

std::array<ColourPicture, kMipLevels - 1> smallerMipLevels(const ColourPicture& picture) {
    std::array<ColourPicture, kMipLevels - 1> levels;
    const ColourPicture* above = &picture;
    for (auto& level : levels) {
        level.width = above->width / 2;
        level.height = above->height / 2;
        level.rgba = halved(above->rgba, above->width, above->height);
        above = &level;
    }
    return levels;
}

std::array<std::vector<std::uint8_t>, kMipLevels - 1>
smallerMipBands(std::span<const std::uint8_t> rgba, std::uint32_t width, std::uint32_t rows) {
    if (rows % 8 != 0 || rgba.size() < std::size_t{width} * rows * kRgba)
        throw Error("mip levels are made from bands of 8 rows");
    std::array<std::vector<std::uint8_t>, kMipLevels - 1> levels;
    levels[0] = halved(rgba, width, rows);
    levels[1] = halved(levels[0], width / 2, rows / 2);
    levels[2] = halved(levels[1], width / 4, rows / 4);
    return levels;
}

} // namespace vexa
