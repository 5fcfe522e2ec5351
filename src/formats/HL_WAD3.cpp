#include "formats/HL_WAD3.h"

#include "core/byte_reader.h"
#include "core/errors.h"
#include "formats/Wad_common.h"
#include "images/Image_util.h"

namespace vexa {

std::vector<EntryRecord> TWadReader::ParseDirectory(const InputFile& archive) {
    auto lumps = wad::ReadLumpDirectory(archive);
    types_ = std::move(lumps.types);
    return std::move(lumps.records);
}

std::string TWadReader::EntryType(std::size_t index) const {
    static constexpr wad::LumpTypeName kKnown[] = {{0x42, "picture"}, {0x43, "mip texture"}, {0x46, "font"}};
    return wad::lumpTypeText(types_.at(index), kKnown);
}

void TWadReader::ExtractEntry(const OutputPath& outputPath, std::size_t index) {
    const auto type = types_.at(index);
    if (type != wad::kMipTexture && type != wad::kPlainPicture) return;
    const auto& lump = Ranges().at(index);
    const auto entry = wad::entryLabel(index, EntryNames().at(index));
    const auto bmp = wad::bitmapPathFor(outputPath);
    const auto& archive = OpenArchive();
    const auto file = displayPath(archive.path());

    // Where the pixels start, how large the picture is and where its colour count follows.
    std::int32_t width = 0, height = 0;
    std::uint64_t pixels = 0, colourCountAt = 0;
    if (type == wad::kMipTexture) {
        const auto header =
            archive.readBlock(lump.offset, wad::kMipHeaderSize, entry + ": the texture header");
        const ByteReader fields(header, file);
        width = fields.i32(wad::kMipWidthField);
        height = fields.i32(wad::kMipHeightField);
        requireImageSize(archive.path(), entry, width, height);
        pixels = lump.offset + wad::kMipHeaderSize;
        colourCountAt = pixels + wad::mipLevelsSize(width, height);
    } else {
        const auto header = archive.readBlock(lump.offset, kPictureHeaderSize, entry + ": the picture size");
        const ByteReader fields(header, file);
        width = fields.i32(0);
        height = fields.i32(4);
        requireImageSize(archive.path(), entry, width, height);
        pixels = lump.offset + kPictureHeaderSize;
        colourCountAt = pixels + static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    }
    const FileRows rows(archive, pixels, static_cast<std::size_t>(width), static_cast<std::size_t>(height),
                        entry);

    const auto countBytes = archive.readBlock(colourCountAt, kColourCountSize, entry + ": the colour count");
    const auto colours = ByteReader(countBytes, file).u16(0);
    // CurrentPalette holds 256 colours; a larger count cannot come from a sound lump.
    if (colours > kMaxColours)
        throw FormatError(file + ": " + entry + ": the colour count " + std::to_string(colours) +
                          " at offset " + std::to_string(colourCountAt) + " is more than the " +
                          std::to_string(kMaxColours) + " a palette holds");
    const auto triples =
        archive.readBlock(colourCountAt + kColourCountSize, 3u * colours, entry + ": the palette");

    // Everything is checked: only now is CurrentPalette changed. Entries past the count keep theirs.
    auto& palette = CurrentPalette();
    for (std::size_t k = 0; k < colours; ++k) {
        palette[4 * k] = triples[3 * k + 2];
        palette[4 * k + 1] = triples[3 * k + 1];
        palette[4 * k + 2] = triples[3 * k];
        palette[4 * k + 3] = 0;
    }
    SetCurrentPaletteSource("the own palette of " + entry + " (" + std::to_string(colours) + " colours)");
    WriteIndexedBitmap(bmp, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), rows);
}

} // namespace vexa
