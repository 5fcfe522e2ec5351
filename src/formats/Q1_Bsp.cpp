#include "formats/Q1_Bsp.h"

#include "core/byte_reader.h"
#include "core/errors.h"
#include "core/text.h"
#include "formats/Wad_common.h"
#include "images/Image_util.h"

namespace vexa {

namespace {

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

TQ1BspReader::TQ1BspReader() {
    LoadGamePalette(Game::Quake1Bsp);
}

void TQ1BspReader::ReadDirectory(const fs::path& path) {
    path_ = path;
    names_.clear();
    textures_.clear();
    open_.reset();
    InputFile map(path);
    const auto file = displayPath(path);

    const auto header = map.readBlock(0, kHeaderSize, "the BSP header");
    const ByteReader fields(header, file);
    const auto lumpOffset = fields.i32(kTextureLumpField);
    const auto lumpLength = fields.i32(kTextureLumpField + 4);
    // A map without textures has an empty texture lump: whatever lies at its offset is another lump's.
    if (lumpLength == 0) return;
    if (lumpOffset < 0)
        throw FormatError(file + ": the texture lump offset " + std::to_string(lumpOffset) + " is negative");
    const auto lump = static_cast<std::uint64_t>(lumpOffset);

    const auto countBytes = map.readBlock(lump, kCountSize, "the texture count");
    const auto count = ByteReader(countBytes, file).i32(0);
    const auto table = readRecords(map, count, lump + kCountSize, kTextureOffsetSize, "texture offset");
    const ByteReader offsets(table, file);

    std::vector<std::string> names;
    std::vector<Texture> textures;
    for (std::size_t slot = 0; slot < static_cast<std::size_t>(count); ++slot) {
        const auto relative = offsets.i32(slot * kTextureOffsetSize);
        if (relative == kAbsentTexture) continue;
        if (relative < 0)
            throw FormatError(file + ": " + textureLabel(slot) + ": its offset " + std::to_string(relative) +
                              " in the texture lump is negative");
        const auto at = lump + static_cast<std::uint64_t>(relative);
        const auto bytes = map.readBlock(at, wad::kMipHeaderSize, textureLabel(slot) + ": its header");
        const ByteReader texture(bytes, file);
        names.push_back(listedName(texture.fixedName(0, wad::kMipNameWidth, wad::kMaxNameLength)));
        textures.push_back({at, texture.i32(wad::kMipWidthField), texture.i32(wad::kMipHeightField),
                            texture.i32(wad::kMipLevel0Field)});
    }
    names_ = std::move(names);
    textures_ = std::move(textures);
}

std::optional<std::uint64_t> TQ1BspReader::EntrySize(std::size_t index) const {
    const auto& t = textures_.at(index);
    if (!isPictureSize(t.width, t.height)) return std::nullopt;
    return wad::kMipHeaderSize + wad::mipLevelsSize(t.width, t.height);
}

std::vector<std::uint8_t> TQ1BspReader::ReadEntryHead(std::size_t index, std::size_t maxBytes) {
    const auto size = EntrySize(index);
    const InputFile map(path_);
    return map.readBlock(textures_.at(index).offset, std::min<std::uint64_t>(size.value_or(0), maxBytes),
                         wad::entryLabel(index, names_.at(index)));
}

void TQ1BspReader::ExtractEntry(const OutputPath& outputPath, std::size_t index) {
    const auto& t = textures_.at(index);
    const auto entry = wad::entryLabel(index, names_.at(index));
    const auto bmp = wad::bitmapPathFor(outputPath);
    if (!open_) open_ = std::make_unique<InputFile>(path_);

    requireImageSize(path_, entry, t.width, t.height);
    // Level 0 follows the header; an offset into the header would paint the header as pixels.
    if (t.level0 < static_cast<std::int32_t>(wad::kMipHeaderSize))
        throw FormatError(displayPath(path_) + ": " + entry + ": mip level 0 at offset " +
                          std::to_string(t.level0) + " lies inside the texture's " +
                          std::to_string(wad::kMipHeaderSize) + "-byte header");
    const FileRows rows(*open_, t.offset + static_cast<std::uint64_t>(t.level0),
                        static_cast<std::size_t>(t.width), static_cast<std::size_t>(t.height),
                        entry + ": mip level 0");
    WriteIndexedBitmap(bmp, static_cast<std::uint32_t>(t.width), static_cast<std::uint32_t>(t.height), rows);
}

} // namespace vexa
