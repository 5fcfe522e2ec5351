#include "formats/Wad_common.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/text.h"
#include "formats/entry_checks.h"
#include "formats/writer.h"
#include "images/picture.h"

#include <array>

namespace vexa::wad {

RecordTable readDirectoryTable(const ByteSource& archive, std::size_t recordSize) {
    const auto header = archive.readBlock(0, kHeaderSize, "the WAD header");
    const ByteReader fields(header, displayPath(archive.path()));
    const auto count = fields.i32(kCountOffset);
    const auto dirOffset = nonNegative(archive, fields.i32(kDirectoryOffsetField), "the directory offset");
    return RecordTable(archive, count, dirOffset, recordSize, "lump");
}

Lumps readLumpDirectory(const ByteSource& archive) {
    auto table = readDirectoryTable(archive, kRecordSize);
    Lumps lumps;
    lumps.records.reserve(table.size());
    lumps.types.reserve(table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        const auto& record = table[i];
        lumps.records.push_back(signedRecord(
            archive, i, latin1ToUtf8(record.fixedNameView(kNameOffset, kNameWidth, kMaxNameLength)),
            record.i32(kRecordOffsetField), record.i32(kRecordSizeField)));
        lumps.types.push_back(record.u8(kRecordTypeField));
        lumps.stored.push_back(lumpFields(record.u8(kRecordTypeField), record.u8(kRecordCompressionField),
                                          static_cast<std::uint32_t>(record.i32(kRecordMemorySizeField))));
    }
    return lumps;
}

std::optional<std::uint8_t> storedLumpType(const StoredFields& stored) {
    if (!stored.code) return std::nullopt;
    return (*stored.code)[0];
}

StoredFields lumpFields(std::uint8_t type, std::uint8_t compression, std::uint32_t memorySize) {
    StoredFields fields;
    fields.code = std::array<std::uint8_t, 4>{type, compression, 0, 0};
    fields.flags = memorySize;
    return fields;
}

std::string nameLimit() {
    return "names of at most " + std::to_string(kMaxNameLength) + " characters";
}

std::string lumpKey(const WriterEntry& entry, const fs::path& newPath) {
    return toUpperAscii(storedNameWithin(entry.name, kMaxNameLength, newPath));
}

ContainerLayout layoutLumps(std::string_view magic, const std::vector<WriterEntry>& entries,
                            const fs::path& newPath) {
    requireSizesFit32(entries, newPath);
    ContainerLayout layout;
    layout.head.assign(kHeaderSize, 0);
    std::copy(magic.begin(), magic.end(), layout.head.begin());
    layout.tail.assign(kRecordSize * entries.size(), 0);
    std::uint64_t at = kHeaderSize;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& entry = entries[i];
        const auto type = storedLumpType(entry.stored);
        if (!type)
            throw FileError(FileAction::Create, newPath,
                            "'" + entry.name + "' has no lump type; only PNG and BMP pictures become lumps");
        const auto compression = (*entry.stored.code)[1];
        requireArchiveFits32(at + entry.size, newPath);
        auto* record = &layout.tail[i * kRecordSize];
        putU32(record + kRecordOffsetField, static_cast<std::uint32_t>(at));
        putU32(record + kRecordSizeField, static_cast<std::uint32_t>(entry.size));
        // A compressed lump's size in memory is its record's; an uncompressed one's is its size.
        putU32(record + kRecordMemorySizeField,
               compression ? entry.stored.flags : static_cast<std::uint32_t>(entry.size));
        record[kRecordTypeField] = *type;
        record[kRecordCompressionField] = compression;
        putName(record + kNameOffset, kNameWidth, storedNameWithin(entry.name, kMaxNameLength, newPath));
        at += entry.size;
    }
    requireArchiveFits32(at + layout.tail.size(), newPath);
    putU32(&layout.head[kCountOffset], static_cast<std::uint32_t>(entries.size()));
    putU32(&layout.head[kDirectoryOffsetField], static_cast<std::uint32_t>(at));
    return layout;
}

PicturePlace mipTexturePlace(const ByteSource& archive, std::uint64_t lumpOffset, const std::string& entry) {
    const auto header = archive.readBlock(lumpOffset, kMipHeaderSize, entry + ": the texture header");
    const ByteReader fields(header, displayPath(archive.path()));
    const PicturePlace place{fields.i32(kMipWidthField), fields.i32(kMipHeightField),
                             lumpOffset + kMipHeaderSize};
    requireImageSize(archive.path(), entry, place.width, place.height);
    return place;
}

PicturePlace plainPicturePlace(const ByteSource& archive, std::uint64_t lumpOffset,
                               const std::string& entry) {
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

const char* lumpTypeText(std::uint8_t type, std::span<const LumpTypeName> known) {
    for (const auto& k : known)
        if (k.type == type) return k.word;
    // "0x00" to "0xFF", made once.
    static constexpr auto kValues = [] {
        constexpr char kHex[] = "0123456789ABCDEF";
        std::array<std::array<char, 5>, 256> values{};
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = {'0', 'x', kHex[i >> 4], kHex[i & 0xF], '\0'};
        return values;
    }();
    return kValues[type].data();
}

} // namespace vexa::wad
