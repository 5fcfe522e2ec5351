#include "formats/SW_Grp.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/text.h"
#include "formats/entry_checks.h"
#include "formats/output_names.h"

namespace vexa {

std::vector<EntryRecord> TSWGrpReader::ParseDirectory(const InputFile& archive) {
    const auto file = displayPath(archive.path());
    const auto headerBytes = archive.readBlock(0, kHeaderSize, "the GRP header");
    const auto count = ByteReader(headerBytes, file).i32(kCountOffset);

    const auto table = readRecords(archive, count, kHeaderSize, kRecordSize, "directory");
    const ByteReader dir(table, file);
    std::vector<EntryRecord> records;
    records.reserve(static_cast<std::size_t>(count));
    // Each entry starts where the one before it ends; 64-bit, so no sum of 32-bit sizes can wrap.
    std::uint64_t position = kHeaderSize + table.size();
    for (std::size_t i = 0; i < static_cast<std::size_t>(count); ++i) {
        const auto at = i * kRecordSize;
        auto name = latin1ToUtf8(dir.fixedNameView(at, kNameWidth, kNameWidth));
        const auto size = nonNegativeSize(archive, i, name, dir.i32(at + kSizeOffset));
        records.push_back({std::move(name), position, size});
        position += size;
    }

    SetOutputNames(flatOutputNames(records));
    return records;
}

} // namespace vexa
