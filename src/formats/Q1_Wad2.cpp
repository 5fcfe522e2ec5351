#include "formats/Q1_Wad2.h"

#include "core/byte_reader.h"
#include "core/entry_checks.h"
#include "core/errors.h"
#include "formats/Wad_common.h"
#include "images/Image_util.h"

namespace vexa {

namespace {

// True for a type 'D' lump of exactly 128 x 128 bytes whose first bytes do not read as a mip
// texture header describing a level 0 that fits the lump: the raw console font.
bool isRawFont(const InputFile& archive, const EntryRange& lump) {
    constexpr auto side = static_cast<std::uint64_t>(TQuakeWadReader::kRawFontSide);
    if (lump.size != side * side) return false;
    const auto header = archive.readBlock(lump.offset, wad::kMipHeaderSize, "the texture header");
    const ByteReader fields(header, displayPath(archive.path()));
    const std::int64_t width = fields.i32(wad::kMipWidthField), height = fields.i32(wad::kMipHeightField);
    const bool picture = width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide;
    return !picture || wad::kMipHeaderSize + static_cast<std::uint64_t>(width * height) > lump.size;
}

} // namespace

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

void TQuakeWadReader::ExtractEntry(const fs::path& outputPath, std::size_t index) {
    const auto type = types_.at(index);
    if (type != wad::kPlainPicture && type != wad::kQuakeMipTexture) return;
    RequireWhole(index);
    const auto& lump = Ranges().at(index);
    const auto entry = entryLabel(index, EntryNames().at(index));
    const auto bmp = wad::bitmapPathFor(outputPath, ArchivePath(), entry);

    const auto& archive = OpenArchive();
    wad::PicturePlace picture{kRawFontSide, kRawFontSide, lump.offset};
    if (type == wad::kPlainPicture)
        picture = wad::plainPicturePlace(archive, lump, entry);
    else if (!isRawFont(archive, lump))
        picture = wad::mipTexturePlace(archive, lump, entry);
    const FileRows rows(archive, picture.pixels, static_cast<std::size_t>(picture.width),
                        static_cast<std::size_t>(picture.height), entry);
    WriteIndexedBitmap(bmp, static_cast<std::uint32_t>(picture.width),
                       static_cast<std::uint32_t>(picture.height), rows);
}

} // namespace vexa
