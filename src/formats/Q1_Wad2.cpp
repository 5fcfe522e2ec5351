#include "formats/Q1_Wad2.h"

#include "core/byte_reader.h"
#include "core/errors.h"
#include "formats/Wad_common.h"
#include "images/Image_util.h"

namespace vexa {

TQuakeWadReader::TQuakeWadReader() {
    LoadGamePalette(Game::Quake1Bsp);
}

std::vector<EntryRecord> TQuakeWadReader::ParseDirectory(const InputFile& archive) {
    auto lumps = wad::ReadLumpDirectory(archive);
    types_ = std::move(lumps.types);
    return std::move(lumps.records);
}

std::string TQuakeWadReader::EntryType(std::size_t index) const {
    static constexpr wad::LumpTypeName kKnown[] = {{0x40, "palette"}, {0x42, "picture"}, {0x43, "sound"}, {0x44, "mip texture"}};
    return wad::lumpTypeText(types_.at(index), kKnown);
}

void TQuakeWadReader::ExtractEntry(const OutputPath& outputPath, std::size_t index) {
    if (types_.at(index) != wad::kPlainPicture) return;
    const auto& lump = Ranges().at(index);
    const auto entry = wad::entryLabel(index, EntryNames().at(index));
    const auto bmp = wad::bitmapPathFor(outputPath);

    const auto& archive = OpenArchive();
    const auto header = archive.readBlock(lump.offset, kPictureHeaderSize, entry + ": the picture size");
    const ByteReader fields(header, displayPath(archive.path()));
    const auto width = fields.i32(0), height = fields.i32(4);
    requireImageSize(archive.path(), entry, width, height);
    const FileRows rows(archive, lump.offset + kPictureHeaderSize, static_cast<std::size_t>(width),
                        static_cast<std::size_t>(height), entry);
    WriteIndexedBitmap(bmp, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), rows);
}

} // namespace vexa
