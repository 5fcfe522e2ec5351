#include "images/Q2_Wal.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "images/picture.h"

#include <algorithm>
#include <cstring>

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

// The WAL written from a picture: the header's name field (32 bytes) takes name cut to 31 bytes, then
// a width, a height, four level offsets, a 32-byte name of the next frame, flags, contents, value.
constexpr std::size_t kWalNameWidth = 32;
constexpr std::size_t kWalLevelOffsets = 40;

std::vector<std::uint8_t> walFileBytes(const std::string& name, const MipImages& levels) {
    std::vector<std::uint8_t> out(TQ2WalReader::kHeaderSize);
    std::memcpy(out.data(), name.data(), std::min(name.size(), kWalNameWidth - 1));
    putU32(&out[TQ2WalReader::kWidthOffset], levels[0].width);
    putU32(&out[TQ2WalReader::kHeightOffset], levels[0].height);
    std::uint64_t at = TQ2WalReader::kHeaderSize;
    for (std::size_t i = 0; i < levels.size(); ++i) {
        putU32(&out[kWalLevelOffsets + 4 * i], static_cast<std::uint32_t>(at));
        at += levels[i].indices.size();
    }
    out.reserve(at);
    for (const auto& level : levels)
        out.insert(out.end(), level.indices.begin(), level.indices.end());
    return out;
}
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
