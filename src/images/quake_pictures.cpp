#include "images/quake_pictures.h"

#include "base/byte_reader.h"

namespace vexa {

namespace {

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kWidthAt = 0, kHeightAt = 4;
constexpr std::uint8_t kSeeThroughIndex = 255;

constexpr std::size_t kPaletteSize = 3 * kPaletteEntries;
constexpr std::size_t kColormapMaps = 64;
constexpr std::size_t kColormapSize = kColormapMaps * kPaletteEntries + 1;

std::string pictureFault(std::span<const std::uint8_t> entry, std::uint32_t& width, std::uint32_t& height) {
    if (entry.size() < kHeaderSize)
        return "a Quake picture starts with 8 bytes of width and height, the entry has " +
               std::to_string(entry.size());
    const ByteReader fields(entry, {});
    width = fields.u32(kWidthAt);
    height = fields.u32(kHeightAt);
    if (auto fault = pictureSizeFault(width, height); !fault.empty()) return fault;
    const std::uint64_t pixels = std::uint64_t{width} * height;
    if (pixels != entry.size() - kHeaderSize)
        return std::to_string(width) + " x " + std::to_string(height) + " pixels need " +
               std::to_string(kHeaderSize + pixels) + " bytes, the entry has " + std::to_string(entry.size());
    return {};
}

} // namespace

bool isQuakePicture(std::span<const std::uint8_t> entry) noexcept {
    std::uint32_t width = 0, height = 0;
    return pictureFault(entry, width, height).empty();
}

DecodedPictures decodeQuakePicture(std::span<const std::uint8_t> entry, const std::string& what,
                                   bool seeThrough255) {
    std::uint32_t width = 0, height = 0;
    if (auto fault = pictureFault(entry, width, height); !fault.empty()) throwFault(what, fault);
    DecodedPicture picture;
    const auto pixels = entry.subspan(kHeaderSize);
    picture.image = {width, height, {pixels.begin(), pixels.end()}};
    if (seeThrough255) {
        picture.alpha.resize(pixels.size());
        for (std::size_t i = 0; i < pixels.size(); ++i)
            picture.alpha[i] = pixels[i] == kSeeThroughIndex ? kSeeThrough : kOpaque;
        dropOpaqueAlpha(picture);
    }
    DecodedPictures out;
    out.pictures.push_back(std::move(picture));
    return out;
}

bool isQuakePalette(std::span<const std::uint8_t> entry) noexcept {
    return entry.size() == kPaletteSize;
}

DecodedPictures decodeQuakePalette(std::span<const std::uint8_t> entry, const std::string& what) {
    if (!isQuakePalette(entry))
        throwFault(what, "a palette holds 768 bytes, this one " + std::to_string(entry.size()));
    DecodedPictures out;
    out.palette = paletteFromTriples(entry);
    out.pictures.push_back(paletteSwatch({}));
    return out;
}

bool isQuakeColormap(std::span<const std::uint8_t> entry) noexcept {
    return entry.size() == kColormapSize;
}

DecodedPictures decodeQuakeColormap(std::span<const std::uint8_t> entry, const std::string& what) {
    if (!isQuakeColormap(entry))
        throwFault(what, "a colour map holds " + std::to_string(kColormapSize) + " bytes, this one " +
                             std::to_string(entry.size()));
    DecodedPictures out;
    DecodedPicture picture;
    const auto maps = entry.first(kColormapSize - 1);
    picture.image = {static_cast<std::uint32_t>(kPaletteEntries),
                     static_cast<std::uint32_t>(kColormapMaps),
                     {maps.begin(), maps.end()}};
    out.pictures.push_back(std::move(picture));
    return out;
}

} // namespace vexa
