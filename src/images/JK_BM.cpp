#include "images/JK_BM.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "images/picture.h"

namespace vexa {

namespace {

constexpr std::size_t kPaletteFlagOffset = 12;
constexpr std::size_t kBitsPerPixelOffset = 36;
constexpr std::size_t kImageHeaderSize = 8;
constexpr std::int32_t kHasPalette = 2;

struct Image {
    std::int32_t width, height;
    std::uint64_t pixels;
};

// Walks the count images that follow the header, checking each against end (the file's end, or
// the start of its own palette) before any is written.
std::vector<Image> readImages(const ByteSource& file, std::int32_t count, std::uint64_t end) {
    const auto name = displayPath(file.path());
    std::vector<Image> images;
    std::uint64_t at = TJKBmReader::kHeaderSize;
    for (std::int32_t k = 0; k < count; ++k) {
        const auto what = "image " + std::to_string(k);
        if (at > end || kImageHeaderSize > end - at)
            throw FormatError(name + ": " + what + " of " + std::to_string(count) + ": its size at offset " +
                              std::to_string(at) + " lies past the end of the pictures (" +
                              std::to_string(end) + " bytes)");
        const auto sizes = file.readBlock(at, kImageHeaderSize, "the size of " + what);
        const ByteReader fields(sizes, name);
        const Image image{fields.i32(0), fields.i32(4), at + kImageHeaderSize};
        requireImageSize(file.path(), what, image.width, image.height);
        const auto bytes = static_cast<std::uint64_t>(image.width) * static_cast<std::uint64_t>(image.height);
        if (bytes > end - image.pixels)
            throw FormatError(name + ": " + what + ": " + std::to_string(image.width) + " x " +
                              std::to_string(image.height) + " pixels at offset " +
                              std::to_string(image.pixels) + " run past the end of the pictures (" +
                              std::to_string(end) + " bytes)");
        images.push_back(image);
        at = image.pixels + bytes;
    }
    return images;
}

} // namespace

Pictures TJKBmReader::Decode(const ByteSource& file) const {
    const auto path = displayPath(file.path());
    const auto header = file.readBlock(0, kHeaderSize, "the BM header");
    const ByteReader fields(header, path);
    const bool ownPalette = fields.i32(kPaletteFlagOffset) == kHasPalette;
    const auto count = fields.i32(kCountOffset);
    if (count < 0) throw FormatError(path + ": the image count " + std::to_string(count) + " is negative");
    const bool eightBit = fields.i32(kBitsPerPixelOffset) == 8;

    if (ownPalette && file.size() - kHeaderSize < kPalFileSize)
        throw FormatError(path + ": the palette flag is set but the file (" + std::to_string(file.size()) +
                          " bytes) has no room for a 768-byte palette");
    const std::uint64_t picturesEnd = ownPalette ? file.size() - kPalFileSize : file.size();
    // Only 8-bit BMs are turned into pictures; a 16-bit one gives nothing.
    const auto images = eightBit ? readImages(file, count, picturesEnd) : std::vector<Image>{};

    Pictures out;
    if (ownPalette) {
        // All 256 entries, widened when 6-bit: nothing of the last palette stays.
        PaletteTable own{};
        ReadPaletteTriples(file, picturesEnd, 255, own);
        out.palette.from = PaletteNeed::From::Own;
        for (std::size_t i = 0; i < kPaletteEntries; ++i)
            out.palette.colours.insert(out.palette.colours.end(),
                                       {own[4 * i + 2], own[4 * i + 1], own[4 * i]});
        out.palette.source = "the own palette of " + path;
    } else {
        out.palette.from = PaletteNeed::From::Game;
        out.palette.game = Game::JediKnightBm;
    }

    for (std::size_t k = 0; k < images.size(); ++k) {
        const auto& image = images[k];
        out.pictures.push_back(
            {readImage(file, image.pixels, static_cast<std::uint32_t>(image.width),
                       static_cast<std::uint32_t>(image.height), "image " + std::to_string(k)),
             images.size() < 2 ? ".bmp" : "_" + std::to_string(k) + ".bmp"});
    }
    return out;
}

} // namespace vexa
