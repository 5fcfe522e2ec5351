#include "formats/Wad_common.h"

#include "core/byte_reader.h"
#include "core/errors.h"
#include "core/text.h"
#include "images/Image_util.h"

namespace vexa::wad {

Lumps ReadLumpDirectory(const InputFile& archive) {
    const auto file = displayPath(archive.path());
    const auto header = archive.readBlock(0, kHeaderSize, "the WAD header");
    const ByteReader fields(header, file);
    const auto count = fields.i32(kCountOffset);
    const auto dirOffset = fields.i32(kDirectoryOffsetField);
    if (dirOffset < 0)
        throw FormatError(file + ": the directory offset " + std::to_string(dirOffset) + " is negative");

    const auto table = readRecords(archive, count, static_cast<std::uint64_t>(dirOffset), kRecordSize, "lump");
    const ByteReader dir(table, file);
    Lumps lumps;
    lumps.records.reserve(static_cast<std::size_t>(count));
    lumps.types.reserve(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        const auto at = i * kRecordSize;
        const auto offset = dir.i32(at + kRecordOffsetField);
        const auto size = dir.i32(at + kRecordSizeField);
        auto name = latin1ToUtf8(dir.fixedName(at + kNameOffset, kNameWidth, kMaxNameLength));
        if (offset < 0 || size < 0)
            throw FormatError(file + ": " + entryLabel(i, name) + ": offset " + std::to_string(offset) +
                              " or size " + std::to_string(size) + " is negative");
        lumps.records.push_back(
            {std::move(name), static_cast<std::uint64_t>(offset), static_cast<std::uint64_t>(size)});
        lumps.types.push_back(dir.u8(at + kRecordTypeField));
    }
    return lumps;
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

std::string entryLabel(std::size_t index, const std::string& name) {
    return "entry " + std::to_string(index) + " '" + name + "'";
}

OutputPath bitmapPathFor(const OutputPath& outputPath) {
    return pictureOutputPath(withExtension(outputPath, ".bmp"));
}

} // namespace vexa::wad
