#include "images/Q2_Wal.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "images/Image_util.h"

namespace vexa {

namespace {

constexpr std::size_t kMip0Offset = 40;

} // namespace

Pictures TQ2WalReader::Decode(const InputFile& file) const {
    const auto header = file.readBlock(0, kHeaderSize, "the WAL header");
    const ByteReader fields(header, displayPath(file.path()));
    const auto width = fields.u32(kWidthOffset), height = fields.u32(kHeightOffset);
    requireImageSize(file.path(), "the texture", width, height);
    Pictures out;
    out.pictures.push_back({readImage(file, fields.u32(kMip0Offset), width, height, "mip level 0"), ".bmp"});
    return out;
}

} // namespace vexa
