#include "formats/SW_Grp.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/text.h"
#include "formats/entry_checks.h"
#include "formats/output_names.h"

namespace vexa {

std::vector<EntryRow> TSWGrpReader::ParseDirectory(const ByteSource& archive) {
    const auto file = displayPath(archive.path());
    const auto headerBytes = archive.readBlock(0, kHeaderSize, "the GRP header");
    const auto count = ByteReader(headerBytes, file).i32(kCountOffset);

    RecordTable table(archive, count, kHeaderSize, kRecordSize, "directory");
    std::vector<EntryRow> records;
    records.reserve(table.size());
    // Each entry starts where the one before it ends; 64-bit, so no sum of 32-bit sizes can wrap.
    std::uint64_t position = kHeaderSize + table.size() * kRecordSize;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const auto& record = table[i];
        auto name = latin1ToUtf8(record.fixedNameView(0, kNameWidth, kNameWidth));
        const auto size = nonNegativeSize(archive, i, name, record.i32(kSizeOffset));
        records.push_back(recordRow(std::move(name), position, size));
        position += size;
    }

    SetOutputNames(flatOutputNames(records));
    return records;
}

const ContainerKind kGrpKind{
    .code = ContainerType::Grp,
    .name = "GRP",
    .extension = ".GRP",
    .createReader = readerOf<TSWGrpReader>,
    .namesIgnoreCase = true,
};

} // namespace vexa
