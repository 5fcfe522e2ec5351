#include "formats/HL_WAD3.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "formats/Wad_common.h"
#include "formats/entry_checks.h"
#include "images/picture.h"

namespace vexa {

namespace {

constexpr std::size_t kColourCountSize = 2;
constexpr std::uint32_t kMaxColours = 256;

} // namespace

std::vector<EntryRow> TWadReader::ParseDirectory(const ByteSource& archive) {
    auto lumps = wad::readLumpDirectory(archive);
    types_ = std::move(lumps.types);
    SetStoredFields(std::move(lumps.stored));
    return std::move(lumps.records);
}

std::string TWadReader::NameLimit() const {
    return wad::nameLimit();
}

std::string TWadReader::StoredKey(const WriterEntry& entry, const fs::path& newPath) const {
    return wad::lumpKey(entry, newPath);
}

ContainerLayout TWadReader::Layout(const std::vector<WriterEntry>& entries, const fs::path& newPath) const {
    return wad::layoutLumps("WAD3", entries, newPath);
}

std::optional<std::size_t> TWadReader::DirectoryOffsetField() const {
    return wad::kDirectoryOffsetField;
}

StaticWord TWadReader::RecordType(std::size_t index) const {
    static constexpr wad::LumpTypeName kKnown[] = {{0x42, "picture"}, {0x43, "mip texture"}, {0x46, "font"}};
    return wad::lumpTypeText(types_.at(index), kKnown);
}

Pictures TWadReader::DecodePictures(std::size_t index) const {
    Pictures out;
    const auto type = types_.at(index);
    if (type != wad::kMipTexture && type != wad::kPlainPicture) return out;
    RequireWhole(index);
    const auto& row = Rows().at(index);
    const std::uint64_t lumpOffset = row.offset.value_or(0);
    const auto entry = entryLabel(index, row.name);
    const auto& archive = *Archive();
    const auto file = displayPath(archive.path());

    // Where the pixels start, how large the picture is and where its colour count follows.
    const auto mip = type == wad::kMipTexture;
    const auto [width, height, pixels] = mip ? wad::mipTexturePlace(archive, lumpOffset, entry)
                                             : wad::plainPicturePlace(archive, lumpOffset, entry);
    const auto colourCountAt =
        pixels + (mip ? wad::mipLevelsSize(width, height)
                      : static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height));
    auto image = readImage(archive, pixels, static_cast<std::uint32_t>(width),
                           static_cast<std::uint32_t>(height), entry);

    const auto countBytes = archive.readBlock(colourCountAt, kColourCountSize, entry + ": the colour count");
    const auto colours = ByteReader(countBytes, file).u16(0);
    // A palette holds 256 colours; a larger count cannot come from a sound lump.
    if (colours > kMaxColours)
        throw FormatError(file + ": " + entry + ": the colour count " + std::to_string(colours) +
                          " at offset " + std::to_string(colourCountAt) + " is more than the " +
                          std::to_string(kMaxColours) + " a palette holds");
    out.palette.from = PaletteNeed::From::Own;
    out.palette.colours =
        archive.readBlock(colourCountAt + kColourCountSize, 3u * colours, entry + ": the palette");
    out.palette.source = "the own palette of " + entry + " (" + std::to_string(colours) + " colours)";
    out.pictures.push_back({std::move(image), ".bmp"});
    return out;
}

const ContainerKind kHLWad3Kind{
    .code = ContainerType::HLWad3,
    .name = "Half-Life WAD3",
    .signatures = {"WAD3"},
    .createReader = readerOf<TWadReader>,
    .createWriter = writerOf<TWadReader>,
    .newItems = {{5, "WAD           HalfLife ", "New_HL_Wad.Wad", "hl-wad", Gathering::None},
                 {10, "WAD3 textures (built in)", "New_HL_Textures.Wad", "wad3", Gathering::Pictures,
                  TextureKind::Wad3}},
    .namesIgnoreCase = true,
};

const TextureKindInfo kWad3Textures{
    .kind = TextureKind::Wad3,
    .cliName = "wad3",
    .caption = "Half-Life WAD3 textures",
    .extension = ".wad",
    .manyPictures = true,
    .mipLevels = true,
    .game = std::nullopt,
    .nameLength = wad::kMaxNameLength,
};

} // namespace vexa
