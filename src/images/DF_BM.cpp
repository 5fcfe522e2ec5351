#include "images/DF_BM.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/records.h"
#include "images/decoded_picture.h"
#include "images/df_columns.h"
#include "images/picture.h"

#include <bit>
#include <cstring>

namespace vexa {

namespace {

constexpr std::size_t kSubHeaderSize = 28;
constexpr std::size_t kOffsetSize = 4;
constexpr std::uint16_t kMultipleWidth = 1;
constexpr std::uint16_t kMultipleMarker = 0xFFFE;
constexpr std::size_t kMaxSubImages = 50;

constexpr std::size_t kWidthOffset = 4;
constexpr std::size_t kHeightOffset = 6; // in a multiple BM: the bytes after the header
constexpr std::size_t kMarkerOffset = 8;
constexpr std::size_t kCountOffset = 10;
constexpr std::size_t kCompressionOffset = 14;
constexpr std::size_t kDataSizeOffset = 16;  // of a compressed BM: the coded columns after the header
constexpr std::size_t kMultipleLeadSize = 2; // the two unused bytes before the offset table

struct SubImage {
    std::uint16_t width, height;
    std::uint64_t pixels; // offset of its first pixel byte
};

// The pixels of a BM are stored by columns, bottom pixel first: byte c x h + r is column c, row r
// counted from the bottom. The picture holds them as rows from the top.
Picture columnsPicture(const ByteSource& file, const SubImage& image, std::string suffix,
                       const std::string& what) {
    const std::size_t width = image.width, height = image.height;
    const auto columns = file.readBlock(image.pixels, std::uint64_t{width} * height, what);
    IndexedImage picture{image.width, image.height, std::vector<std::uint8_t>(width * height)};
    for (std::size_t row = 0; row < height; ++row)
        for (std::size_t c = 0; c < width; ++c)
            picture.indices[row * width + c] = columns[c * height + (height - 1 - row)];
    return {std::move(picture), std::move(suffix)};
}

// A compressed BM: after the header the coded columns (data size bytes), then a table of width
// offsets, each from the start of the coded data.
Picture compressedPicture(const ByteSource& file, std::uint16_t compression, std::uint16_t width,
                          std::uint16_t height, std::uint64_t dataSize) {
    const auto name = displayPath(file.path());
    if (compression != 1 && compression != 2)
        throw FormatError(name + ": compression " + std::to_string(compression) +
                          " is none of the BM's (0 none, 1 runs, 2 runs of index 0)");
    // Columns may share their runs: the bytes present do not bound the pixels.
    if (auto fault = pictureSizeFault(width, height); !fault.empty()) throw FormatError(name + ": " + fault);
    const std::uint64_t tableBytes = std::uint64_t{kOffsetSize} * width;
    const std::uint64_t after = file.size() - TDFBMReader::kHeaderSize;
    if (dataSize > after || tableBytes > after - dataSize)
        throw FormatError(name + ": " + std::to_string(dataSize) + " bytes of coded columns and a table of " +
                          std::to_string(width) + " column offsets run past the end of the file (" +
                          std::to_string(file.size()) + " bytes)");
    const auto block = file.readBlock(TDFBMReader::kHeaderSize, dataSize + tableBytes, "the coded columns");
    const auto data = std::span<const std::uint8_t>(block).first(static_cast<std::size_t>(dataSize));
    const ByteReader table(std::span<const std::uint8_t>(block).subspan(data.size()), name);
    const auto coding = compression == 1 ? DfColumnCoding::Runs : DfColumnCoding::ZeroRuns;

    IndexedImage picture{width, height, std::vector<std::uint8_t>(std::size_t{width} * height)};
    std::vector<std::uint8_t> column(height);
    for (std::size_t c = 0; c < width; ++c) {
        const std::uint64_t offset = table.u32(kOffsetSize * c);
        if (offset >= dataSize)
            throw FormatError(name + ": column " + std::to_string(c) + " offset " + std::to_string(offset) +
                              " lies outside the " + std::to_string(dataSize) + " bytes of coded columns");
        if (auto fault = decodeDfColumn(data, static_cast<std::size_t>(offset), coding, column);
            !fault.empty())
            throw FormatError(name + ": column " + std::to_string(c) + ": " + fault +
                              " (counted from the end of the header)");
        placeDfColumn(column, c, width, picture.indices);
    }
    return {std::move(picture), ".bmp"};
}

// Walks the sub-images of a multiple BM, checking each against the file before any is written.
std::vector<SubImage> readSubImages(const ByteSource& file, std::size_t count) {
    const auto name = displayPath(file.path());
    if (count > kMaxSubImages)
        throw FormatError(name + ": " + std::to_string(count) + " sub-images, more than the " +
                          std::to_string(kMaxSubImages) + " a multiple BM may hold");
    const std::uint64_t tableAt = TDFBMReader::kHeaderSize + kMultipleLeadSize;
    checkRecordsFit(file, static_cast<std::int64_t>(count), tableAt, kOffsetSize, "sub-image offset");

    std::vector<SubImage> images;
    std::uint64_t at = tableAt + count * kOffsetSize;
    for (std::size_t i = 0; i < count; ++i) {
        const auto what = "sub-image " + std::to_string(i);
        const auto header = file.readBlock(at, kSubHeaderSize, "the header of " + what);
        const ByteReader fields(header, name);
        const SubImage image{fields.u16(0), fields.u16(2), at + kSubHeaderSize};
        requireImageSize(file.path(), what, image.width, image.height);
        const std::uint64_t bytes = std::uint64_t{image.width} * image.height;
        if (bytes > file.size() - image.pixels)
            throw FormatError(name + ": " + what + ": " + std::to_string(image.width) + " x " +
                              std::to_string(image.height) + " pixels at offset " +
                              std::to_string(image.pixels) + " run past the end of the file (" +
                              std::to_string(file.size()) + " bytes)");
        images.push_back(image);
        at = image.pixels + bytes;
    }
    return images;
}

} // namespace

Pictures TDFBMReader::Decode(const ByteSource& file) const {
    const auto header = file.readBlock(0, kHeaderSize, "the BM header");
    const ByteReader fields(header, displayPath(file.path()));
    const auto width = fields.u16(kWidthOffset), height = fields.u16(kHeightOffset);

    Pictures out;
    if (width != kMultipleWidth) {
        if (const auto compression = fields.u16(kCompressionOffset); compression != 0) {
            out.pictures.push_back(
                compressedPicture(file, compression, width, height, fields.u32(kDataSizeOffset)));
            return out;
        }
        if (height > TDFBMReader::kMaxPlainHeight || fields.u16(kMarkerOffset) == kMultipleMarker)
            return out; // a kind of BM this converter does not turn
        requireImageSize(file.path(), "the image", width, height);
        out.pictures.push_back(columnsPicture(file, {width, height, kHeaderSize}, ".bmp", "the image"));
        return out;
    }
    if (file.size() - kHeaderSize != height) return out; // not a multiple BM either

    const auto images = readSubImages(file, fields.u16(kCountOffset));
    for (std::size_t i = 0; i < images.size(); ++i)
        out.pictures.push_back(columnsPicture(file, images[i], "_" + std::to_string(i) + ".bmp",
                                              "sub-image " + std::to_string(i)));
    return out;
}

namespace {
// Dark Forces and Jedi Knight leave index 0 undrawn in a texture marked transparent.
TextureRules jediRules(const std::string&, bool seeThrough, bool) {
    constexpr std::uint8_t kSeeThrough = 0;
    if (seeThrough) return {{kSeeThrough + 1, 255, kSeeThrough}, true};
    return {{0, 255, std::nullopt}, false};
}

// The plain BM written from a picture. Its header: "BM " 0x1E, width, height, the same two again (a
// multiple BM marks itself there), the transparency byte, log2 of the height, compression, the pixel
// bytes, 12 bytes of padding.
constexpr std::uint8_t kBmMagic[4] = {'B', 'M', ' ', 0x1E};
constexpr std::size_t kBmSameWidth = 8, kBmSameHeight = 10, kBmTransparency = 12, kBmLogHeight = 13;
constexpr std::uint8_t kBmTransparent = 0x36, kBmOpaque = 0x3E;

// Pixels column by column from the bottom up. transparent sets the header's transparency flag (index
// 0 is then not drawn).
std::vector<std::uint8_t> dfBmFileBytes(const IndexedImage& image, bool transparent) {
    const std::size_t width = image.width, height = image.height;
    std::vector<std::uint8_t> out(TDFBMReader::kHeaderSize + width * height);
    std::memcpy(out.data(), kBmMagic, sizeof kBmMagic);
    putU16(&out[kWidthOffset], static_cast<std::uint16_t>(width));
    putU16(&out[kHeightOffset], static_cast<std::uint16_t>(height));
    putU16(&out[kBmSameWidth], static_cast<std::uint16_t>(width));
    putU16(&out[kBmSameHeight], static_cast<std::uint16_t>(height));
    out[kBmTransparency] = transparent ? kBmTransparent : kBmOpaque;
    out[kBmLogHeight] = std::has_single_bit(height) ? static_cast<std::uint8_t>(std::countr_zero(height)) : 0;
    putU32(&out[kDataSizeOffset], static_cast<std::uint32_t>(width * height));
    auto* pixels = &out[TDFBMReader::kHeaderSize];
    for (std::size_t c = 0; c < width; ++c)
        for (std::size_t r = 0; r < height; ++r)
            pixels[c * height + r] = image.indices[(height - 1 - r) * width + c];
    return out;
}
} // namespace

const TextureKindInfo kDfBmTextures{
    .kind = TextureKind::DfBm,
    .cliName = "df-bm",
    .caption = "Dark Forces BM texture",
    .extension = ".bm",
    .manyPictures = false,
    .mipLevels = false,
    .game = Game::DarkForcesBm,
    .rules = jediRules,
    .requireSize =
        [](const fs::path& picture, PictureSize size) {
            // 1-pixel-wide pictures are the marker of a multiple BM.
            if (size.width < 2 || size.height > TDFBMReader::kMaxPlainHeight)
                throw FormatError(displayPath(picture) + ": " + std::to_string(size.width) + " x " +
                                  std::to_string(size.height) +
                                  " pixels; a Dark Forces BM is 2 pixels wide or more and " +
                                  std::to_string(TDFBMReader::kMaxPlainHeight) + " high at most");
        },
    .fileBytes = [](const TextureFields&, const MipImages& levels,
                    bool transparent) { return dfBmFileBytes(levels[0], transparent); },
};

} // namespace vexa
