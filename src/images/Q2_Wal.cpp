#include "images/Q2_Wal.h"
#include "images/texture_layouts.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "images/picture.h"

namespace vexa {

namespace {

constexpr std::size_t kMip0Offset = 40;

} // namespace

Pictures TQ2WalReader::Decode(const ByteSource& file) const {
    const auto header = file.readBlock(0, kHeaderSize, "the WAL header");
    const ByteReader fields(header, displayPath(file.path()));
    const auto width = fields.u32(kWidthOffset), height = fields.u32(kHeightOffset);
    requireImageSize(file.path(), "the texture", width, height);
    Pictures out;
    out.pictures.push_back({readImage(file, fields.u32(kMip0Offset), width, height, "mip level 0"), ".bmp"});
    return out;
}

namespace {
constexpr std::uint8_t kWalSeeThrough = 255;
constexpr std::size_t kWalNameLength = 31;
} // namespace

const TextureKindInfo kWalTextures{
    .kind = TextureKind::Wal,
    .cliName = "wal",
    .caption = "Quake 2 WAL texture",
    .extension = ".wal",
    .manyPictures = false,
    .mipLevels = true,
    .game = Game::Quake2Wal,
    .nameLength = kWalNameLength,
    .rules =
        [](const std::string&, bool) {
            return TextureRules{{0, kWalSeeThrough - 1, kWalSeeThrough}, false};
        },
    .fileBytes = [](const std::string& name, const MipImages& levels,
                    bool) { return walFileBytes(name, levels); },
};

} // namespace vexa
