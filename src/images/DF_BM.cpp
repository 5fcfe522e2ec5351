#include "images/DF_BM.h"

#include "core/byte_reader.h"
#include "core/errors.h"
#include "images/Image_util.h"

namespace vexa {

namespace {

constexpr std::size_t kWidthOffset = 4;
constexpr std::size_t kHeightOffset = 6; // in a multiple BM: the bytes after the header
constexpr std::size_t kMarkerOffset = 8;
constexpr std::size_t kCountOffset = 10;
constexpr std::size_t kCompressionOffset = 14;
constexpr std::size_t kMultipleLeadSize = 2; // the two unused bytes before the offset table

// The pixels of a BM are stored by columns, bottom pixel first: byte c x h + r is column c, row r
// counted from the bottom. This hands them out as rows from the top.
class ColumnRows : public PixelRows {
  public:
    ColumnRows(std::vector<std::uint8_t> columns, std::size_t width, std::size_t height)
        : columns_(std::move(columns)), width_(width), height_(height) {}

    void readRows(std::size_t first, std::span<std::uint8_t> rows) const override {
        const std::size_t count = rows.size() / width_;
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t fromBottom = height_ - 1 - (first + i);
            for (std::size_t c = 0; c < width_; ++c)
                rows[i * width_ + c] = columns_[c * height_ + fromBottom];
        }
    }

  private:
    std::vector<std::uint8_t> columns_;
    std::size_t width_, height_;
};

struct SubImage {
    std::uint16_t width, height;
    std::uint64_t pixels; // offset of its first pixel byte
};

void writeColumns(const InputFile& file, const SubImage& image, const OutputPath& output,
                  const std::string& what) {
    const std::uint64_t count = std::uint64_t{image.width} * image.height;
    ColumnRows rows(file.readBlock(image.pixels, count, what), image.width, image.height);
    WriteIndexedBitmap(output, image.width, image.height, rows);
}

// Walks the sub-images of a multiple BM, checking each against the file before any is written.
std::vector<SubImage> readSubImages(const InputFile& file, std::size_t count) {
    const auto name = displayPath(file.path());
    if (count > TDFBMReader::kMaxSubImages)
        throw FormatError(name + ": " + std::to_string(count) + " sub-images, more than the " +
                          std::to_string(TDFBMReader::kMaxSubImages) + " a multiple BM may hold");
    const std::uint64_t tableAt = TDFBMReader::kHeaderSize + kMultipleLeadSize;
    checkRecordsFit(file, static_cast<std::int64_t>(count), tableAt, TDFBMReader::kOffsetSize,
                    "sub-image offset");

    std::vector<SubImage> images;
    std::uint64_t at = tableAt + count * TDFBMReader::kOffsetSize;
    for (std::size_t i = 0; i < count; ++i) {
        const auto what = "sub-image " + std::to_string(i);
        const auto header = file.readBlock(at, TDFBMReader::kSubHeaderSize, "the header of " + what);
        const ByteReader fields(header, name);
        const SubImage image{fields.u16(0), fields.u16(2), at + TDFBMReader::kSubHeaderSize};
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

TDFBMReader::TDFBMReader() {
    LoadGamePalette(Game::DarkForcesBm);
}

void TDFBMReader::ConvertToBitmap(const OutputPath& outputPath, const fs::path& inputPath) {
    const auto base = withExtension(outputPath, ".bmp");
    InputFile file(inputPath);
    const auto header = file.readBlock(0, kHeaderSize, "the BM header");
    const ByteReader fields(header, displayPath(inputPath));
    const auto width = fields.u16(kWidthOffset), height = fields.u16(kHeightOffset);

    if (width != kMultipleWidth) {
        if (height > kMaxPlainHeight || fields.u16(kMarkerOffset) == kMultipleMarker ||
            fields.u16(kCompressionOffset) != 0)
            return; // a kind of BM this converter does not turn
        requireImageSize(inputPath, "the image", width, height);
        writeColumns(file, {width, height, kHeaderSize}, base, "the image");
        return;
    }
    if (file.size() - kHeaderSize != height) return; // not a multiple BM either

    const auto images = readSubImages(file, fields.u16(kCountOffset));
    for (std::size_t i = 0; i < images.size(); ++i)
        writeColumns(file, images[i], withExtension(base, "_" + std::to_string(i) + ".bmp"),
                     "sub-image " + std::to_string(i));
}

} // namespace vexa
