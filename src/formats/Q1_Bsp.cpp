#include "formats/Q1_Bsp.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/text.h"
#include "formats/Wad_common.h"
#include "formats/entry_checks.h"
#include "images/picture.h"

namespace vexa {

namespace {

constexpr std::size_t kTextureLumpField = 4 + 2 * 8;
constexpr std::size_t kTextureOffsetSize = 4;
// Map compilers write this offset for a texture they could not find: the map holds none.
constexpr std::int32_t kAbsentTexture = -1;
constexpr std::size_t kColourCountSize = 2;
constexpr std::uint32_t kMaxColours = 256;

// "*" marks animated and liquid textures; it cannot stand in a file name.
std::string listedName(const std::string& stored) {
    std::string name;
    for (const char c : stored) {
        if (c == '*')
            name += "animated_";
        else
            name += c;
    }
    return latin1ToUtf8(name);
}

std::string textureLabel(std::size_t slot) {
    return "texture " + std::to_string(slot);
}

bool isPictureSize(std::int64_t width, std::int64_t height) {
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide;
}

} // namespace

void TQ1BspReader::ReadDirectory(std::shared_ptr<const ByteSource> archive) {
    textures_.clear();
    SetArchive(archive->path(), archive);
    const auto& map = *archive;
    const auto file = displayPath(archive->path());

    const auto header = map.readBlock(0, kHeaderSize, "the BSP header");
    const ByteReader fields(header, file);
    const auto lumpOffset = fields.i32(kTextureLumpField);
    const auto lumpLength = fields.i32(kTextureLumpField + 4);
    // A map without textures has an empty texture lump: whatever lies at its offset is another lump's.
    if (lumpLength == 0) return;
    const auto lump = nonNegative(map, lumpOffset, "the texture lump offset");

    const auto countBytes = map.readBlock(lump, kCountSize, "the texture count");
    const auto count = ByteReader(countBytes, file).i32(0);
    const auto table = readRecords(map, count, lump + kCountSize, kTextureOffsetSize, "texture offset");
    const ByteReader offsets(table, file);

    std::vector<EntryRow> rows;
    std::vector<Texture> textures;
    for (std::size_t slot = 0; slot < static_cast<std::size_t>(count); ++slot) {
        const auto relative = offsets.i32(slot * kTextureOffsetSize);
        if (relative == kAbsentTexture) continue;
        const auto at =
            lump + nonNegative(map, relative, textureLabel(slot) + ": its offset in the texture lump");
        const auto bytes = map.readBlock(at, wad::kMipHeaderSize, textureLabel(slot) + ": its header");
        const ByteReader texture(bytes, file);
        const Texture t{at, texture.i32(wad::kMipWidthField), texture.i32(wad::kMipHeightField),
                        texture.i32(wad::kMipLevel0Field), texture.i32(wad::kMipLevel0Field + 12)};
        const auto name = listedName(texture.fixedName(0, wad::kMipNameWidth, wad::kMaxNameLength));
        if (ownPalettes_ && t.level0 == 0) {
            EntryRow row{name, std::nullopt, std::nullopt, {}};
            row.external = true;
            rows.push_back(std::move(row));
            textures.push_back(t);
            continue;
        }
        std::optional<std::uint64_t> size;
        if (isPictureSize(t.width, t.height))
            size = wad::kMipHeaderSize + wad::mipLevelsSize(t.width, t.height) +
                   (ownPalettes_ ? kColourCountSize + 3 * kMaxColours : 0);
        rows.push_back({name, size, at, {}});
        textures.push_back(t);
    }
    SetRows(std::move(rows));
    textures_ = std::move(textures);
}

Pictures TQ1BspReader::DecodePictures(std::size_t index) const {
    const auto& t = textures_.at(index);
    const auto entry = entryLabel(index, EntryName(index));
    const auto& path = ArchivePath();
    if (Rows().at(index).external)
        throw FormatError(displayPath(path) + ": " + entry + " is not in the map: it lives in a WAD");

    requireImageSize(path, entry, t.width, t.height);
    // Level 0 follows the header; an offset into the header would paint the header as pixels.
    if (t.level0 < static_cast<std::int32_t>(wad::kMipHeaderSize))
        throw FormatError(displayPath(path) + ": " + entry + ": mip level 0 at offset " +
                          std::to_string(t.level0) + " lies inside the texture's " +
                          std::to_string(wad::kMipHeaderSize) + "-byte header");
    Pictures out;
    out.pictures.push_back({readImage(*Archive(), t.offset + static_cast<std::uint64_t>(t.level0),
                                      static_cast<std::uint32_t>(t.width),
                                      static_cast<std::uint32_t>(t.height), entry + ": mip level 0"),
                            ".bmp"});
    if (!ownPalettes_) return out;
    // The palette follows level 3: a 16-bit count and as many colours.
    const auto side3 = static_cast<std::uint64_t>(t.width >> 3) * static_cast<std::uint64_t>(t.height >> 3);
    if (t.level3 < static_cast<std::int32_t>(wad::kMipHeaderSize))
        throw FormatError(displayPath(path) + ": " + entry + ": mip level 3 at offset " +
                          std::to_string(t.level3) + " lies inside the texture's header");
    const auto countAt = t.offset + static_cast<std::uint64_t>(t.level3) + side3;
    const auto countBytes = Archive()->readBlock(countAt, kColourCountSize, entry + ": the colour count");
    const auto colours = ByteReader(countBytes, displayPath(path)).u16(0);
    if (colours > kMaxColours)
        throw FormatError(displayPath(path) + ": " + entry + ": the colour count " + std::to_string(colours) +
                          " is more than the " + std::to_string(kMaxColours) + " a palette holds");
    out.palette.from = PaletteNeed::From::Own;
    out.palette.colours =
        Archive()->readBlock(countAt + kColourCountSize, 3u * colours, entry + ": the palette");
    out.palette.source = "the own palette of " + entry + " (" + std::to_string(colours) + " colours)";
    return out;
}

const ContainerKind kQ1BspKind{
    .code = ContainerType::Q1Bsp,
    .name = "Quake 1 BSP",
    .signatures = {std::string_view("\x1D\0\0\0", 4)},
    .createReader = readerOf<TQ1BspReader>,
    .palette = Game::Quake1Bsp,
};

} // namespace vexa
