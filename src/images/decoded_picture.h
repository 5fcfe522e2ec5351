#pragma once
// What the picture decoders of an entry's content return: the pictures of one entry (palette
// indices or true colour, which pixels are see-through, Doom's offsets), the palette the entry
// carries itself and the notes on what could not be shown.
//
// Every decoder comes with a claim, `bool isXxx(bytes)`: it checks the whole header against the
// entry's size without allocating for the picture and never throws, so a wrong guess is refused
// before anything is decoded. A decoder throws a FormatError naming the entry and the values.

#include "images/picture.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vexa {

// Doom's left and top offsets: where the picture's origin lies, counted from its top-left corner.
struct PictureOffset {
    std::int32_t x = 0, y = 0;
    bool operator==(const PictureOffset&) const = default;
};

constexpr std::uint8_t kSeeThrough = 0;
constexpr std::uint8_t kOpaque = 255;

struct DecodedPicture {
    // Palette indices, rows top first. A true-colour picture has its width and height here and no
    // indices.
    IndexedImage image;
    // True-colour pictures only: red, green, blue, alpha for each pixel, rows top first.
    std::vector<std::uint8_t> rgba;
    // Indexed pictures: empty when every pixel is opaque, else one byte a pixel, kSeeThrough or
    // kOpaque.
    std::vector<std::uint8_t> alpha;
    std::optional<PictureOffset> offset;
    // The colours of this picture alone, over the set's and the caller's: each palette of a
    // PLAYPAL is shown in its own colours.
    std::optional<PaletteTable> palette;
    // Within an entry of several pictures: "BIGDOOR1", "0042", "cell00", "00".
    std::string name;

    bool trueColour() const { return !rgba.empty(); }
};

struct DecodedPictures {
    std::vector<DecodedPicture> pictures;
    // The entry's own colours (PCX, a palette entry); else the caller paints with its palette.
    std::optional<PaletteTable> palette;
    // What was left out, e.g. "texture BIGDOOR1: patch W13_1 is missing".
    std::vector<std::string> notes;
};

// The palette picture is painted with: its own, else the set's, else the caller's.
const PaletteTable& paletteFor(const DecodedPictures& set, const DecodedPicture& picture,
                               const PaletteTable& fallback);

// The largest picture a decoder makes: the sides the sinks write, and few enough pixels that a
// damaged header cannot ask for gigabytes.
constexpr std::uint64_t kMaxPicturePixels = std::uint64_t{1} << 24;

// Empty when a picture of width x height pixels can be decoded, else what is wrong with it.
std::string pictureSizeFault(std::int64_t width, std::int64_t height);

// Throws the FormatError "<what>: <fault>".
[[noreturn]] void throwFault(const std::string& what, const std::string& fault);

// A picture of width x height pixels of index 0, each see-through when seeThrough.
DecodedPicture blankPicture(std::uint32_t width, std::uint32_t height, bool seeThrough);

// Drops the alpha of a picture whose pixels are all opaque.
void dropOpaqueAlpha(DecodedPicture& picture);

// A palette table from 768 bytes of red, green, blue triples.
PaletteTable paletteFromTriples(std::span<const std::uint8_t> rgb);

// 16 x 16 pixels, pixel i of index i in reading order: a palette shown as a picture.
DecodedPicture paletteSwatch(std::string name);

// "7" -> "0007" for digits 4: numbers in names that sort as they count.
std::string zeroPadded(std::uint64_t number, int digits);

} // namespace vexa
