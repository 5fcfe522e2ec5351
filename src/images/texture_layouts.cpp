#include "images/texture_layouts.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "images/DF_BM.h"
#include "images/JK_Mat.h"
#include "images/Q2_Wal.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace vexa {

namespace {

void append(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

std::uint64_t levelBytes(const MipImages& levels) {
    std::uint64_t total = 0;
    for (const auto& level : levels)
        total += level.indices.size();
    return total;
}

// WAL header: a 32-byte name, width, height, four level offsets, a 32-byte name of the next frame,
// flags, contents, value.
constexpr std::size_t kWalNameWidth = 32;
constexpr std::size_t kWalLevelOffsets = 40;

// BM header: "BM " 0x1E, width, height, the same two again (a multiple BM marks itself there), the
// transparency byte, log2 of the height, compression, the pixel bytes, 12 bytes of padding.
constexpr std::uint8_t kBmMagic[4] = {'B', 'M', ' ', 0x1E};
constexpr std::size_t kBmSameWidth = 8, kBmSameHeight = 10, kBmTransparency = 12, kBmLogHeight = 13,
                      kBmDataSize = 16;
constexpr std::uint8_t kBmTransparent = 0x36, kBmOpaque = 0x3E;

// MAT header fields: "MAT ", version, type (2: textures), record count, texture count, colour mode
// (0: indexed), bits a pixel.
constexpr std::uint8_t kMatMagic[4] = {'M', 'A', 'T', ' '};
constexpr std::int32_t kMatVersion = 0x32, kMatTextures = 2, kMatBits = 8;
constexpr std::size_t kMatTypeField = 8, kMatTextureCountField = 16, kMatBitsField = 24;
// Texture record: type 8 (texture), transparent colour, four tiling factors 1.0, two zeros, a
// constant the game's own files hold, the texture's number.
constexpr std::int32_t kMatTextureRecord = 8;
constexpr std::uint32_t kOneAsFloat = 0x3F800000, kRecordConstant = 0xBFF78482;
// Texture header: width, height, transparency, two unused, mip level count.
constexpr std::size_t kMatTextureHeaderSize = 24, kMatTransparencyField = 8, kMatLevelCountField = 20;

} // namespace

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
        append(out, level.indices);
    return out;
}

std::vector<std::uint8_t> dfBmFileBytes(const IndexedImage& image, bool transparent) {
    const std::size_t width = image.width, height = image.height;
    std::vector<std::uint8_t> out(TDFBMReader::kHeaderSize + width * height);
    std::memcpy(out.data(), kBmMagic, sizeof kBmMagic);
    putU16(&out[4], static_cast<std::uint16_t>(width));
    putU16(&out[6], static_cast<std::uint16_t>(height));
    putU16(&out[kBmSameWidth], static_cast<std::uint16_t>(width));
    putU16(&out[kBmSameHeight], static_cast<std::uint16_t>(height));
    out[kBmTransparency] = transparent ? kBmTransparent : kBmOpaque;
    out[kBmLogHeight] = std::has_single_bit(height) ? static_cast<std::uint8_t>(std::countr_zero(height)) : 0;
    putU32(&out[kBmDataSize], static_cast<std::uint32_t>(width * height));
    // Column by column, each from the bottom row up.
    auto* pixels = &out[TDFBMReader::kHeaderSize];
    for (std::size_t c = 0; c < width; ++c)
        for (std::size_t r = 0; r < height; ++r)
            pixels[c * height + r] = image.indices[(height - 1 - r) * width + c];
    return out;
}

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
    out.reserve(out.size() + levelBytes(levels));
    for (const auto& level : levels)
        append(out, level.indices);
    return out;
}

} // namespace vexa
