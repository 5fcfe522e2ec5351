#include "images/JK_Mat.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/records.h"
#include "images/picture.h"

#include <cstring>

namespace vexa {

namespace {

constexpr std::size_t kTypeOffset = 8;
constexpr std::int32_t kTextureMaterial = 2;
constexpr std::size_t kTextureHeaderSize = 24;
constexpr std::size_t kMipCountOffset = 20;
constexpr std::size_t kColourRecordSize = 24;
constexpr std::size_t kColourIndexOffset = 4;
constexpr std::uint32_t kColourSide = 64;

struct Texture {
    std::int32_t width, height;
    std::uint64_t pixels; // mip level 0
};

// Bytes of mip levels 1..levels-1, each halving both sides; levels past a side of 0 hold nothing.
std::uint64_t smallerMipBytes(std::int32_t width, std::int32_t height, std::int32_t levels) {
    std::uint64_t total = 0;
    for (std::int32_t j = 1; j < levels; ++j) {
        const auto w = static_cast<std::uint64_t>(width) >> j, h = static_cast<std::uint64_t>(height) >> j;
        if (w == 0 || h == 0) break;
        total += w * h;
    }
    return total;
}

// Walks the textures, checking each whole mip chain against the file before any is written.
std::vector<Texture> readTextures(const ByteSource& file, std::int32_t count) {
    const auto name = displayPath(file.path());
    checkRecordsFit(file, count, TJKMatReader::kHeaderSize, TJKMatReader::kRecordSize, "material");
    std::uint64_t at =
        TJKMatReader::kHeaderSize + static_cast<std::uint64_t>(count) * TJKMatReader::kRecordSize;
    std::vector<Texture> textures;
    for (std::int32_t k = 1; k <= count; ++k) {
        const auto what = "texture " + std::to_string(k);
        const auto header = file.readBlock(at, kTextureHeaderSize, "the header of " + what);
        const ByteReader fields(header, name);
        const auto width = fields.i32(0), height = fields.i32(4), levels = fields.i32(kMipCountOffset);
        requireImageSize(file.path(), what, width, height);
        const Texture texture{width, height, at + kTextureHeaderSize};
        const auto bytes = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) +
                           smallerMipBytes(width, height, levels);
        if (bytes > file.size() - texture.pixels)
            throw FormatError(name + ": " + what + ": " + std::to_string(width) + " x " +
                              std::to_string(height) + " pixels in " + std::to_string(levels) +
                              " mip levels (" + std::to_string(bytes) + " bytes) at offset " +
                              std::to_string(texture.pixels) + " run past the end of the file (" +
                              std::to_string(file.size()) + " bytes)");
        textures.push_back(texture);
        at = texture.pixels + bytes;
    }
    return textures;
}

} // namespace

Pictures TJKMatReader::Decode(const ByteSource& file) const {
    const auto path = displayPath(file.path());
    const auto header = file.readBlock(0, kHeaderSize, "the MAT header");
    const ByteReader fields(header, path);

    Pictures out;
    if (fields.i32(kTypeOffset) != kTextureMaterial) {
        const auto record = file.readBlock(kHeaderSize, kColourRecordSize, "the colour record");
        out.pictures.push_back(
            {{kColourSide, kColourSide,
              std::vector<std::uint8_t>(std::size_t{kColourSide} * kColourSide, record[kColourIndexOffset])},
             ".bmp"});
        return out;
    }

    const auto count = fields.i32(kCountOffset);
    if (count < 0) throw FormatError(path + ": the texture count " + std::to_string(count) + " is negative");
    if (count == 0) return out; // a material without textures gives nothing
    const auto textures = readTextures(file, count);
    for (std::size_t i = 0; i < textures.size(); ++i) {
        const auto& t = textures[i];
        out.pictures.push_back(
            {readImage(file, t.pixels, static_cast<std::uint32_t>(t.width),
                       static_cast<std::uint32_t>(t.height), "texture " + std::to_string(i + 1)),
             textures.size() == 1 ? ".bmp" : "_" + std::to_string(i + 1) + ".bmp"});
    }
    return out;
}

namespace {
// Dark Forces and Jedi Knight leave index 0 undrawn in a texture marked transparent.
TextureRules jediRules(const std::string&, bool seeThrough, bool) {
    constexpr std::uint8_t kSeeThrough = 0;
    if (seeThrough) return {{kSeeThrough + 1, 255, kSeeThrough}, true};
    return {{0, 255, std::nullopt}, false};
}

// The MAT written from a picture: one texture record and one texture (its four levels), 8 bits a
// pixel. Header fields: "MAT ", version, type (2: textures), record count, texture count, colour
// mode (0: indexed), bits a pixel.
constexpr std::uint8_t kMatMagic[4] = {'M', 'A', 'T', ' '};
constexpr std::int32_t kMatVersion = 0x32, kMatTextures = 2, kMatBits = 8;
constexpr std::size_t kMatTypeField = 8, kMatTextureCountField = 16, kMatBitsField = 24;
// Texture record: type 8 (texture), transparent colour, four tiling factors 1.0, two zeros, a
// constant the game's own files hold, the texture's number.
constexpr std::int32_t kMatTextureRecord = 8;
constexpr std::uint32_t kOneAsFloat = 0x3F800000, kRecordConstant = 0xBFF78482;
// Texture header: width, height, transparency, two unused, mip level count.
constexpr std::size_t kMatTextureHeaderSize = 24, kMatTransparencyField = 8, kMatLevelCountField = 20;

// transparent sets the texture's transparency (index 0 is then not drawn).
std::vector<std::uint8_t> jkMatFileBytes(const MipImages& levels, bool transparent) {
    std::vector<std::uint8_t> out(TJKMatReader::kHeaderSize + TJKMatReader::kRecordSize +
                                  kMatTextureHeaderSize);
    std::memcpy(out.data(), kMatMagic, sizeof kMatMagic);
    putI32(&out[4], kMatVersion);
    putI32(&out[kMatTypeField], kMatTextures);
    putI32(&out[TJKMatReader::kCountOffset], 1);
    putI32(&out[kMatTextureCountField], 1);
    putI32(&out[kMatBitsField], kMatBits);

    auto* record = &out[TJKMatReader::kHeaderSize];
    putI32(record, kMatTextureRecord);
    for (std::size_t i = 0; i < 4; ++i)
        putU32(record + 8 + 4 * i, kOneAsFloat);
    putU32(record + 32, kRecordConstant);

    auto* texture = record + TJKMatReader::kRecordSize;
    putU32(texture, levels[0].width);
    putU32(texture + 4, levels[0].height);
    putI32(texture + kMatTransparencyField, transparent ? 1 : 0);
    putI32(texture + kMatLevelCountField, static_cast<std::int32_t>(levels.size()));
    std::size_t levelBytes = 0;
    for (const auto& level : levels)
        levelBytes += level.indices.size();
    out.reserve(out.size() + levelBytes);
    for (const auto& level : levels)
        out.insert(out.end(), level.indices.begin(), level.indices.end());
    return out;
}
} // namespace

const TextureKindInfo kJkMatTextures{
    .kind = TextureKind::JkMat,
    .cliName = "jk-mat",
    .caption = "Jedi Knight MAT texture",
    .extension = ".mat",
    .manyPictures = false,
    .mipLevels = true,
    .game = Game::JediKnightMat,
    .rules = jediRules,
    .fileBytes = [](const TextureFields&, const MipImages& levels,
                    bool transparent) { return jkMatFileBytes(levels, transparent); },
};

} // namespace vexa
