#include "formats/Q1_Wad2.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/text.h"
#include "formats/Wad_common.h"
#include "formats/entry_checks.h"
#include "images/picture.h"

namespace vexa {

namespace {

// True for a type 'D' lump of exactly 128 x 128 bytes whose first bytes do not read as a mip
// texture header describing a level 0 that fits the lump: the raw console font.
bool isRawFont(const ByteSource& archive, std::uint64_t offset, std::uint64_t size) {
    constexpr auto side = static_cast<std::uint64_t>(TQuakeWadReader::kRawFontSide);
    if (size != side * side) return false;
    const auto header = archive.readBlock(offset, wad::kMipHeaderSize, "the texture header");
    const ByteReader fields(header, displayPath(archive.path()));
    const std::int64_t width = fields.i32(wad::kMipWidthField), height = fields.i32(wad::kMipHeightField);
    const bool picture = width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide;
    return !picture || wad::kMipHeaderSize + static_cast<std::uint64_t>(width * height) > size;
}

} // namespace

std::vector<EntryRow> TQuakeWadReader::ParseDirectory(const ByteSource& archive) {
    auto lumps = wad::readLumpDirectory(archive);
    types_ = std::move(lumps.types);
    SetStoredFields(std::move(lumps.stored));
    return std::move(lumps.records);
}

std::string TQuakeWadReader::NameLimit() const {
    return wad::nameLimit();
}

std::string TQuakeWadReader::StoredKey(const WriterEntry& entry, const fs::path& newPath) const {
    return wad::lumpKey(entry, newPath);
}

ContainerLayout TQuakeWadReader::Layout(const std::vector<WriterEntry>& entries,
                                        const fs::path& newPath) const {
    return wad::layoutLumps("WAD2", entries, newPath);
}

std::optional<std::size_t> TQuakeWadReader::DirectoryOffsetField() const {
    return wad::kDirectoryOffsetField;
}

StaticWord TQuakeWadReader::RecordType(std::size_t index) const {
    static constexpr wad::LumpTypeName kKnown[] = {
        {0x40, "palette"}, {0x42, "picture"}, {0x43, "sound"}, {0x44, "mip texture"}};
    return wad::lumpTypeText(types_.at(index), kKnown);
}

Pictures TQuakeWadReader::DecodePictures(std::size_t index) const {
    Pictures out;
    const auto type = types_.at(index);
    if (type != wad::kPlainPicture && type != wad::kQuakeMipTexture) return out;
    RequireWhole(index);
    const auto& row = Rows().at(index);
    const std::uint64_t offset = row.offset.value_or(0), size = row.size.value_or(0);
    const auto entry = entryLabel(index, row.name);
    const auto& archive = *Archive();
    wad::PicturePlace picture{kRawFontSide, kRawFontSide, offset};
    if (type == wad::kPlainPicture)
        picture = wad::plainPicturePlace(archive, offset, entry);
    else if (!isRawFont(archive, offset, size))
        picture = wad::mipTexturePlace(archive, offset, entry);
    out.pictures.push_back({readImage(archive, picture.pixels, static_cast<std::uint32_t>(picture.width),
                                      static_cast<std::uint32_t>(picture.height), entry),
                            ".bmp"});
    return out;
}

const ContainerKind kQ1Wad2Kind{
    .code = ContainerType::Q1Wad2,
    .name = "Quake WAD2",
    .signatures = {"WAD2"},
    .createReader = readerOf<TQuakeWadReader>,
    .createWriter = writerOf<TQuakeWadReader>,
    .palette = Game::Quake1Bsp,
    .newItems = {{11, "WAD2 textures (built in)", "New_Q1_Textures.Wad", "wad2", Gathering::Pictures,
                  TextureKind::Wad2}},
    .namesIgnoreCase = true,
};

// Quake's last 32 entries are fullbright (drawn at full light in the dark) and its last one is the
// see-through colour of "{" textures.
const TextureKindInfo kWad2Textures{
    .kind = TextureKind::Wad2,
    .cliName = "wad2",
    .caption = "Quake WAD2 textures",
    .extension = ".wad",
    .manyPictures = true,
    .mipLevels = true,
    .game = Game::Quake1Bsp,
    .nameLength = wad::kMaxNameLength,
    .rules =
        [](const std::string& name, bool, bool fullbright) {
            constexpr int kLastLit = 223;
            constexpr int kLastFullbright = 254;
            constexpr std::uint8_t kSeeThrough = 255;
            // A texture named "..._fbr" glows on purpose: it may take the fullbright colours.
            const bool glows =
                fullbright || (name.size() >= 4 && toLowerAscii(name.substr(name.size() - 4)) == "_fbr");
            const int last = glows ? kLastFullbright : kLastLit;
            if (!name.empty() && name.front() == '{') return TextureRules{{0, last, kSeeThrough}, true};
            return TextureRules{{0, last, std::nullopt}, false};
        },
};

} // namespace vexa
