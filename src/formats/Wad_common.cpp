#include "formats/Wad_common.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/text.h"
#include "formats/entry_checks.h"
#include "images/Image_util.h"

namespace vexa::wad {

DirectoryTable readDirectoryTable(const InputFile& archive, std::size_t recordSize) {
    const auto header = archive.readBlock(0, kHeaderSize, "the WAD header");
    const ByteReader fields(header, displayPath(archive.path()));
    const auto count = fields.i32(kCountOffset);
    const auto dirOffset = nonNegative(archive, fields.i32(kDirectoryOffsetField), "the directory offset");
    auto bytes = readRecords(archive, count, dirOffset, recordSize, "lump");
    return {std::move(bytes), static_cast<std::size_t>(count)};
}

Lumps readLumpDirectory(const InputFile& archive) {
    const auto table = readDirectoryTable(archive, kRecordSize);
    const ByteReader dir(table.bytes, displayPath(archive.path()));
    Lumps lumps;
    lumps.records.reserve(table.count);
    lumps.types.reserve(table.count);
    for (std::size_t i = 0; i < table.count; ++i) {
        const auto at = i * kRecordSize;
        lumps.records.push_back(signedRecord(
            archive, i, latin1ToUtf8(dir.fixedName(at + kNameOffset, kNameWidth, kMaxNameLength)),
            dir.i32(at + kRecordOffsetField), dir.i32(at + kRecordSizeField)));
        lumps.types.push_back(dir.u8(at + kRecordTypeField));
    }
    return lumps;
}

PicturePlace mipTexturePlace(const InputFile& archive, std::uint64_t lumpOffset, const std::string& entry) {
    const auto header = archive.readBlock(lumpOffset, kMipHeaderSize, entry + ": the texture header");
    const ByteReader fields(header, displayPath(archive.path()));
    const PicturePlace place{fields.i32(kMipWidthField), fields.i32(kMipHeightField),
                             lumpOffset + kMipHeaderSize};
    requireImageSize(archive.path(), entry, place.width, place.height);
    return place;
}

PicturePlace plainPicturePlace(const InputFile& archive, std::uint64_t lumpOffset, const std::string& entry) {
    const auto header = archive.readBlock(lumpOffset, kPictureHeaderSize, entry + ": the picture size");
    const ByteReader fields(header, displayPath(archive.path()));
    const PicturePlace place{fields.i32(0), fields.i32(4), lumpOffset + kPictureHeaderSize};
    requireImageSize(archive.path(), entry, place.width, place.height);
    return place;
}

std::uint64_t mipLevelsSize(std::int64_t width, std::int64_t height) {
    std::uint64_t total = 0;
    for (int level = 0; level < 4; ++level)
        total += static_cast<std::uint64_t>(width >> level) * static_cast<std::uint64_t>(height >> level);
    return total;
}

std::string lumpTypeText(std::uint8_t type, std::span<const LumpTypeName> known) {
    for (const auto& k : known)
        if (k.type == type) return k.word;
    static constexpr char kHex[] = "0123456789ABCDEF";
    return std::string("0x") + kHex[type >> 4] + kHex[type & 0xF];
}

} // namespace vexa::wad
