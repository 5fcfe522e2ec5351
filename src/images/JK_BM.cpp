#include "images/JK_BM.h"

#include "core/byte_reader.h"
#include "core/errors.h"
#include "images/Image_util.h"

namespace vexa {

namespace {

struct Image {
    std::int32_t width, height;
    std::uint64_t pixels;
};

// Walks the count images that follow the header, checking each against end (the file's end, or
// the start of its own palette) before any is written.
std::vector<Image> readImages(const InputFile& file, std::int32_t count, std::uint64_t end) {
    const auto name = displayPath(file.path());
    std::vector<Image> images;
    std::uint64_t at = TJKBmReader::kHeaderSize;
    for (std::int32_t k = 0; k < count; ++k) {
        const auto what = "image " + std::to_string(k);
        if (at > end || TJKBmReader::kImageHeaderSize > end - at)
            throw FormatError(name + ": " + what + " of " + std::to_string(count) + ": its size at offset " +
                              std::to_string(at) + " lies past the end of the pictures (" +
                              std::to_string(end) + " bytes)");
        const auto sizes = file.readBlock(at, TJKBmReader::kImageHeaderSize, "the size of " + what);
        const ByteReader fields(sizes, name);
        const Image image{fields.i32(0), fields.i32(4), at + TJKBmReader::kImageHeaderSize};
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

void TJKBmReader::ConvertToBitmap(const OutputPath& outputPath, const fs::path& inputPath) {
    InputFile file(inputPath);
    const auto header = file.readBlock(0, kHeaderSize, "the BM header");
    const ByteReader fields(header, displayPath(inputPath));
    const bool ownPalette = fields.i32(kPaletteFlagOffset) == kHasPalette;
    const auto count = fields.i32(kCountOffset);
    if (count < 0)
        throw FormatError(displayPath(inputPath) + ": the image count " + std::to_string(count) +
                          " is negative");
    const bool eightBit = fields.i32(kBitsPerPixelOffset) == 8;

    constexpr std::uint64_t kPaletteBytes = 3 * 256;
    if (ownPalette && file.size() - kHeaderSize < kPaletteBytes)
        throw FormatError(displayPath(inputPath) + ": the palette flag is set but the file (" +
                          std::to_string(file.size()) + " bytes) has no room for a 768-byte palette");
    const std::uint64_t picturesEnd = ownPalette ? file.size() - kPaletteBytes : file.size();
    // Only 8-bit BMs are turned into pictures; a 16-bit one gives nothing.
    const auto images = eightBit ? readImages(file, count, picturesEnd) : std::vector<Image>{};

    if (ownPalette) {
        ReadPaletteTriples(file, picturesEnd, 255); // all 256 entries: nothing of the last palette stays
        SetCurrentPaletteSource("the own palette of " + displayPath(inputPath));
    } else
        LoadGamePalette(Game::JediKnightBm);

    for (std::size_t k = 0; k < images.size(); ++k) {
        const auto& image = images[k];
        const auto what = "image " + std::to_string(k);
        const auto name = images.size() < 2 ? withExtension(outputPath, ".bmp")
                                            : withExtension(outputPath, "_" + std::to_string(k) + ".bmp");
        FileRows rows(file, image.pixels, static_cast<std::size_t>(image.width),
                      static_cast<std::size_t>(image.height), what);
        WriteIndexedBitmap(name, static_cast<std::uint32_t>(image.width),
                           static_cast<std::uint32_t>(image.height), rows);
    }
}

} // namespace vexa
