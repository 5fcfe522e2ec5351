#include "images/decoded_picture.h"

#include "base/errors.h"

#include <algorithm>
#include <cstring>

namespace vexa {

const PaletteTable& paletteFor(const DecodedPictures& set, const DecodedPicture& picture,
                               const PaletteTable& fallback) {
    if (picture.palette) return *picture.palette;
    if (set.palette) return *set.palette;
    return fallback;
}

std::string pictureSizeFault(std::int64_t width, std::int64_t height) {
    const auto size = std::to_string(width) + " x " + std::to_string(height) + " pixels";
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide)
        return size + " is not a picture size (1 to " + std::to_string(kMaxImageSide) + " on a side)";
    if (static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > kMaxPicturePixels)
        return size + " is more than the " + std::to_string(kMaxPicturePixels) + " pixels a picture may have";
    return {};
}

void throwFault(const std::string& what, const std::string& fault) {
    throw FormatError(what + ": " + fault);
}

DecodedPicture blankPicture(std::uint32_t width, std::uint32_t height, bool seeThrough) {
    DecodedPicture picture;
    const std::size_t pixels = std::size_t{width} * height;
    picture.image = {width, height, std::vector<std::uint8_t>(pixels, 0)};
    if (seeThrough) picture.alpha.assign(pixels, kSeeThrough);
    return picture;
}

void dropOpaqueAlpha(DecodedPicture& picture) {
    if (!picture.alpha.empty() && !std::memchr(picture.alpha.data(), kSeeThrough, picture.alpha.size()))
        picture.alpha.clear();
}

PaletteTable paletteFromTriples(std::span<const std::uint8_t> rgb) {
    PaletteTable table{};
    const std::size_t entries = std::min(rgb.size() / 3, kPaletteEntries);
    for (std::size_t i = 0; i < entries; ++i) {
        table[4 * i] = rgb[3 * i + 2];
        table[4 * i + 1] = rgb[3 * i + 1];
        table[4 * i + 2] = rgb[3 * i];
    }
    return table;
}

DecodedPicture paletteSwatch(std::string name) {
    constexpr std::uint32_t kSide = 16;
    DecodedPicture picture = blankPicture(kSide, kSide, false);
    for (std::size_t i = 0; i < kPaletteEntries; ++i)
        picture.image.indices[i] = static_cast<std::uint8_t>(i);
    picture.name = std::move(name);
    return picture;
}

std::string zeroPadded(std::uint64_t number, int digits) {
    auto text = std::to_string(number);
    if (text.size() < static_cast<std::size_t>(digits))
        text.insert(0, static_cast<std::size_t>(digits) - text.size(), '0');
    return text;
}

} // namespace vexa
