#include "images/pcx.h"

#include "base/byte_reader.h"

#include <algorithm>
#include <cstring>

namespace vexa {

namespace {

constexpr std::size_t kHeaderSize = 128;
constexpr std::size_t kManufacturerAt = 0, kVersionAt = 1, kEncodingAt = 2, kBitsAt = 3;
constexpr std::size_t kXMinAt = 4, kYMinAt = 6, kXMaxAt = 8, kYMaxAt = 10;
constexpr std::size_t kPlanesAt = 65, kBytesPerLineAt = 66;
constexpr std::uint8_t kManufacturer = 0x0A, kVersion = 5, kRle = 1, kBits = 8;
constexpr std::uint8_t kIndexedPlanes = 1, kTrueColourPlanes = 3;
// The 256-colour table: a marker byte and 768 bytes, the last of the file.
constexpr std::uint8_t kPaletteMarker = 0x0C;
constexpr std::size_t kPaletteTrailerSize = 1 + 3 * kPaletteEntries;
// A byte with both high bits set counts a run of its low six bits.
constexpr std::uint8_t kRunFlag = 0xC0;
constexpr std::uint8_t kRunMask = 0x3F;
constexpr std::uint64_t kLongestRun = kRunMask;

struct Layout {
    std::uint32_t width = 0, height = 0;
    std::size_t planes = 0, bytesPerLine = 0;
    std::span<const std::uint8_t> data; // the coded lines
};

std::string layoutFault(std::span<const std::uint8_t> entry, Layout& layout) {
    if (entry.size() < kHeaderSize)
        return "a PCX file starts with a 128-byte header, the entry has " + std::to_string(entry.size());
    const ByteReader fields(entry, {});
    if (fields.u8(kManufacturerAt) != kManufacturer) return "it does not start with the PCX byte 0x0A";
    if (fields.u8(kVersionAt) != kVersion)
        return "version " + std::to_string(fields.u8(kVersionAt)) +
               " is not the version 5 this program reads";
    if (fields.u8(kEncodingAt) != kRle)
        return "encoding " + std::to_string(fields.u8(kEncodingAt)) + " is not run-length coding (1)";
    layout.planes = fields.u8(kPlanesAt);
    if (fields.u8(kBitsAt) != kBits ||
        (layout.planes != kIndexedPlanes && layout.planes != kTrueColourPlanes))
        return std::to_string(fields.u8(kBitsAt)) + " bits in " + std::to_string(layout.planes) +
               " planes is neither 256 colours (8 bits, 1 plane) nor true colour (8 bits, 3 planes)";
    const std::int64_t xMin = fields.u16(kXMinAt), xMax = fields.u16(kXMaxAt);
    const std::int64_t yMin = fields.u16(kYMinAt), yMax = fields.u16(kYMaxAt);
    const std::int64_t width = xMax - xMin + 1, height = yMax - yMin + 1;
    if (auto fault = pictureSizeFault(width, height); !fault.empty())
        return "the window " + std::to_string(xMin) + ".." + std::to_string(xMax) + " x " +
               std::to_string(yMin) + ".." + std::to_string(yMax) + ": " + fault;
    layout.width = static_cast<std::uint32_t>(width);
    layout.height = static_cast<std::uint32_t>(height);
    layout.bytesPerLine = fields.u16(kBytesPerLineAt);
    if (layout.bytesPerLine < layout.width)
        return "lines of " + std::to_string(layout.bytesPerLine) + " bytes cannot hold its " +
               std::to_string(width) + " pixels";
    std::size_t end = entry.size();
    if (layout.planes == kIndexedPlanes) {
        if (entry.size() - kHeaderSize < kPaletteTrailerSize ||
            entry[entry.size() - kPaletteTrailerSize] != kPaletteMarker)
            return "no 256-colour table (marker 0x0C and 768 bytes) ends the file";
        end -= kPaletteTrailerSize;
    }
    layout.data = entry.subspan(kHeaderSize, end - kHeaderSize);
    // Two bytes give at most 63: less data than that cannot be the picture.
    const std::uint64_t lines = std::uint64_t{layout.bytesPerLine} * layout.planes * layout.height;
    const std::uint64_t most = (layout.data.size() + 1) / 2 * kLongestRun;
    if (lines > most)
        return std::to_string(layout.data.size()) + " bytes of coded data cannot hold " +
               std::to_string(lines) + " bytes of lines";
    return {};
}

// The coded data as one stream: some writers let a run go on past the end of a line, so a run's
// rest is carried into the next line; nothing is written past the last one.
class RunDecoder {
  public:
    explicit RunDecoder(std::span<const std::uint8_t> data) : data_(data) {}

    // Fills line; empty when the data held enough.
    std::string fill(std::span<std::uint8_t> line) {
        std::size_t filled = 0;
        while (filled < line.size()) {
            if (left_ == 0) {
                if (at_ >= data_.size())
                    return "the coded data ends at byte " + std::to_string(kHeaderSize + at_) +
                           " before the last line";
                const std::uint8_t code = data_[at_++];
                if ((code & kRunFlag) != kRunFlag) {
                    value_ = code;
                    left_ = 1;
                } else {
                    if (at_ >= data_.size())
                        return "a run at byte " + std::to_string(kHeaderSize + at_ - 1) + " has no value";
                    value_ = data_[at_++];
                    left_ = code & kRunMask;
                }
            }
            const std::size_t count = std::min(left_, line.size() - filled);
            std::memset(line.data() + filled, value_, count);
            filled += count;
            left_ -= count;
        }
        return {};
    }

    std::size_t pending() const { return left_; }
    std::size_t position() const { return kHeaderSize + at_; }

  private:
    std::span<const std::uint8_t> data_;
    std::size_t at_ = 0;
    std::size_t left_ = 0;
    std::uint8_t value_ = 0;
};

} // namespace

bool isPcx(std::span<const std::uint8_t> entry) noexcept {
    Layout layout;
    return layoutFault(entry, layout).empty();
}

DecodedPictures decodePcx(std::span<const std::uint8_t> entry, const std::string& what) {
    Layout layout;
    if (auto fault = layoutFault(entry, layout); !fault.empty()) throwFault(what, fault);
    const std::size_t width = layout.width, bpl = layout.bytesPerLine;
    const bool indexed = layout.planes == kIndexedPlanes;
    DecodedPicture picture;
    picture.image.width = layout.width;
    picture.image.height = layout.height;
    if (indexed)
        picture.image.indices.resize(width * layout.height);
    else
        picture.rgba.resize(4 * width * layout.height);

    std::vector<std::uint8_t> line(bpl * layout.planes);
    RunDecoder runs(layout.data);
    for (std::size_t y = 0; y < layout.height; ++y) {
        if (auto fault = runs.fill(line); !fault.empty())
            throwFault(what, "line " + std::to_string(y) + ": " + fault);
        if (indexed) {
            std::copy_n(line.begin(), width,
                        picture.image.indices.begin() + static_cast<std::ptrdiff_t>(y * width));
            continue;
        }
        auto* out = picture.rgba.data() + 4 * y * width;
        for (std::size_t x = 0; x < width; ++x) {
            out[4 * x] = line[x];
            out[4 * x + 1] = line[bpl + x];
            out[4 * x + 2] = line[2 * bpl + x];
            out[4 * x + 3] = kOpaque;
        }
    }
    if (runs.pending() != 0)
        throwFault(what, "a run ending at byte " + std::to_string(runs.position()) + " goes " +
                             std::to_string(runs.pending()) + " bytes past the last line");

    DecodedPictures out;
    if (indexed) out.palette = paletteFromTriples(entry.last(kPaletteTrailerSize - 1));
    out.pictures.push_back(std::move(picture));
    return out;
}

} // namespace vexa
