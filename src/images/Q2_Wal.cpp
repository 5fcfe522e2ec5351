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

// The header after the level offsets: the 32-byte name of the next frame of an animation, then the
// surface flags, the contents and the value. Both names are read by the engine up to a zero, which
// must therefore fit in the field.
constexpr std::size_t kNameWidth = 32;
constexpr std::size_t kLongestName = kNameWidth - 1;
constexpr std::size_t kLevelOffsets = 40;
constexpr std::size_t kNextOffset = 56;
constexpr std::size_t kFlagsOffset = 88;
constexpr std::size_t kContentsOffset = 92;
constexpr std::size_t kValueOffset = 96;

void putName(std::vector<std::uint8_t>& out, std::size_t at, const std::string& name) {
    std::memcpy(out.data() + at, name.data(), std::min(name.size(), kLongestName));
}

// The header; the levels' indices follow it in order.
std::vector<std::uint8_t> walHead(const TextureFields& fields, const MipImages& levels) {
    std::vector<std::uint8_t> out(TQ2WalReader::kHeaderSize);
    putName(out, 0, fields.name);
    putU32(&out[TQ2WalReader::kWidthOffset], levels[0].width);
    putU32(&out[TQ2WalReader::kHeightOffset], levels[0].height);
    std::uint64_t at = TQ2WalReader::kHeaderSize;
    for (std::size_t i = 0; i < levels.size(); ++i) {
        putU32(&out[kLevelOffsets + 4 * i], static_cast<std::uint32_t>(at));
        at += levels[i].indices.size();
    }
    putName(out, kNextOffset, fields.next);
    putU32(&out[kFlagsOffset], fields.flags);
    putU32(&out[kContentsOffset], fields.contents);
    putU32(&out[kValueOffset], fields.value);
    return out;
}

std::vector<std::uint8_t> walFileBytes(const TextureFields& fields, const MipImages& levels) {
    auto out = walHead(fields, levels);
    for (const auto& level : levels)
        out.insert(out.end(), level.indices.begin(), level.indices.end());
    return out;
}

std::string terminatedName(const ByteSource& file, const ByteReader& fields, std::size_t offset,
                           const char* what) {
    const auto field = fields.bytes(offset, kNameWidth);
    if (std::find(field.begin(), field.end(), 0) == field.end())
        throw FormatError(displayPath(file.path()) + ": the " + what +
                          " fills its 32 bytes with no closing zero");
    return fields.fixedName(offset, kNameWidth, kNameWidth);
}

// An old WAL whose fields a new one keeps: its header whole, its level 0 inside the file and its
// names closed, so that what is kept is what the game reads.
TextureFields walFields(const ByteSource& file) {
    if (file.size() < TQ2WalReader::kHeaderSize)
        throw FormatError(displayPath(file.path()) + ": not a whole WAL (" + std::to_string(file.size()) +
                          " bytes, its header alone is " + std::to_string(TQ2WalReader::kHeaderSize) + ")");
    const auto header = file.readBlock(0, TQ2WalReader::kHeaderSize, "the WAL header");
    const ByteReader fields(header, displayPath(file.path()));
    const auto width = fields.u32(TQ2WalReader::kWidthOffset),
               height = fields.u32(TQ2WalReader::kHeightOffset);
    requireImageSize(file.path(), "the texture", width, height);
    const auto level0 = fields.u32(kLevelOffsets);
    if (level0 > file.size() || std::uint64_t{width} * height > file.size() - level0)
        throw FormatError(displayPath(file.path()) + ": mip level 0 (" + std::to_string(width) + " x " +
                          std::to_string(height) + " at offset " + std::to_string(level0) +
                          ") runs past the end of the file (" + std::to_string(file.size()) + " bytes)");
    return {terminatedName(file, fields, 0, "name"),
            terminatedName(file, fields, kNextOffset, "next frame's name"), fields.u32(kFlagsOffset),
            fields.u32(kContentsOffset), fields.u32(kValueOffset)};
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
    .nameLength = kLongestName,
    .rules =
        [](const std::string&, bool, bool) {
            return TextureRules{{0, kWalSeeThrough - 1, kWalSeeThrough}, false};
        },
    .fileBytes = [](const TextureFields& fields, const MipImages& levels,
                    bool) { return walFileBytes(fields, levels); },
    .fileHead = [](const TextureFields& fields, const MipImages& levels,
                   bool) { return walHead(fields, levels); },
    .fieldsOf = walFields,
    .nextLength = kLongestName,
};

} // namespace vexa
