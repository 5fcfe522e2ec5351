#include "formats/Q1_Wad2.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "formats/Wad_common.h"
#include "images/Image_util.h"

namespace vexa {

std::vector<EntryRecord> TQuakeWadReader::ParseDirectory(const InputFile& archive) {
    auto lumps = wad::ReadLumpDirectory(archive);
    types_ = std::move(lumps.types);
    return std::move(lumps.records);
}

std::string TQuakeWadReader::RecordType(std::size_t index) const {
    static constexpr wad::LumpTypeName kKnown[] = {{0x40, "palette"}, {0x42, "picture"}, {0x43, "sound"}, {0x44, "mip texture"}};
    return wad::lumpTypeText(types_.at(index), kKnown);
}

Pictures TQuakeWadReader::DecodePictures(std::size_t index) const {
    Pictures out;
    if (types_.at(index) != wad::kPlainPicture) return out;
    const auto& row = Rows().at(index);
    const std::uint64_t lumpOffset = row.offset.value_or(0);
    const auto entry = wad::entryLabel(index, row.name);
    const auto& archive = *Archive();
    const auto header = archive.readBlock(lumpOffset, kPictureHeaderSize, entry + ": the picture size");
    const ByteReader fields(header, displayPath(archive.path()));
    const auto width = fields.i32(0), height = fields.i32(4);
    requireImageSize(archive.path(), entry, width, height);
    out.pictures.push_back(
        {readImage(archive, lumpOffset + kPictureHeaderSize, static_cast<std::uint32_t>(width),
                   static_cast<std::uint32_t>(height), entry),
         ".bmp"});
    return out;
}

} // namespace vexa
