#include "images/picture.h"

#include "base/errors.h"

#include <algorithm>

namespace vexa {

void requireImageSize(const fs::path& file, const std::string& what, std::int64_t width,
                      std::int64_t height) {
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide)
        throw FormatError(displayPath(file) + ": " + what + ": " + std::to_string(width) + " x " +
                          std::to_string(height) +
                          " pixels is not a picture size this program converts (1 x 1 to " +
                          std::to_string(kMaxImageSide) + " x " + std::to_string(kMaxImageSide) + ")");
}

void requireSidesInRange(const ByteSource& file, std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0 || width > kMaxImageSide || height > kMaxImageSide)
        throw FormatError(displayPath(file.path()) + ": a picture of " + std::to_string(width) + " x " +
                          std::to_string(height) + " pixels; pictures from 1 to " +
                          std::to_string(kMaxImageSide) + " pixels a side are taken");
}

IndexedImage readImage(const ByteSource& file, std::uint64_t offset, std::uint32_t width,
                       std::uint32_t height, const std::string& what) {
    const std::uint64_t available = offset <= file.size() ? file.size() - offset : 0;
    if (offset > file.size() || (height != 0 && width > available / height))
        throw FormatError(displayPath(file.path()) + ": " + what + ": " + std::to_string(width) + " x " +
                          std::to_string(height) + " pixels at offset " + std::to_string(offset) +
                          " run past the end of the file (" + std::to_string(file.size()) + " bytes)");
    return {width, height, file.readBlock(offset, std::uint64_t{width} * height, what)};
}

const Palette& applyPaletteNeed(const PaletteNeed& need, const GamePalettePaths& paths, Palette& current) {
    switch (need.from) {
    case PaletteNeed::From::Current:
        break;
    case PaletteNeed::From::Game:
        current = Palette{}; // a game palette that does not load leaves black, as a failed load does
        current = loadGamePalette(need.game, paths);
        break;
    case PaletteNeed::From::Own: {
        // Entries past the picture's own colours keep the current palette's.
        const std::size_t count = std::min(need.colours.size() / 3, kPaletteEntries);
        for (std::size_t k = 0; k < count; ++k) {
            current.table[4 * k] = need.colours[3 * k + 2];
            current.table[4 * k + 1] = need.colours[3 * k + 1];
            current.table[4 * k + 2] = need.colours[3 * k];
            current.table[4 * k + 3] = 0;
        }
        current.source = need.source;
        current.placeholder = false;
        break;
    }
    }
    return current;
}

MemoryRows::MemoryRows(std::span<const std::uint8_t> pixels, std::size_t width, std::size_t height)
    : pixels_(pixels), width_(width) {
    if (height != 0 && width > pixels.size() / height)
        throw Error("An image of " + std::to_string(width) + " x " + std::to_string(height) +
                    " needs more than the " + std::to_string(pixels.size()) + " bytes given");
}

void MemoryRows::readRows(std::size_t first, std::span<std::uint8_t> rows) const {
    if (first > pixels_.size() / std::max<std::size_t>(width_, 1) ||
        rows.size() > pixels_.size() - first * width_)
        throw Error("Rows " + std::to_string(first) + " and on lie outside the image in memory");
    const auto from = pixels_.subspan(first * width_, rows.size());
    std::copy(from.begin(), from.end(), rows.begin());
}

} // namespace vexa
