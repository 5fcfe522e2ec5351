#include "formats/DF_Gob.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/text.h"
#include "formats/entry_checks.h"
#include "formats/writer.h"

namespace vexa {

namespace {
constexpr std::uint8_t kMagic[4] = {'G', 'O', 'B', 0x0A};
constexpr std::size_t kCountSize = 4;
} // namespace

std::vector<EntryRow> TDFGobReader::ParseDirectory(const ByteSource& archive) {
    const auto header = archive.readBlock(0, kHeaderSize, "the GOB header");
    const auto dirOffset =
        nonNegative(archive, ByteReader(header, displayPath(archive.path())).i32(kDirectoryOffsetField),
                    "the directory offset");

    const auto countBytes = archive.readBlock(dirOffset, kCountSize, "the entry count");
    const auto count = ByteReader(countBytes, displayPath(archive.path())).i32(0);
    const std::uint64_t recordsAt = dirOffset + kCountSize;

    RecordTable table(archive, count, recordsAt, kRecordSize, "directory");
    return offsetSizeNameRows(archive, table, kNameOffset, kNameWidth, kMaxNameLength);
}

std::string TDFGobReader::StoredKey(const WriterEntry& entry, const fs::path& newPath) const {
    auto name = storedName(entry.name, newPath);
    // Names of 13 characters or more keep their first 11, as the game's own tools did.
    if (name.size() > kMaxNameLength) name.resize(kMaxNameLength - 1);
    return name;
}

ContainerLayout TDFGobReader::Layout(const std::vector<WriterEntry>& entries, const fs::path& newPath) const {
    requireSizesFit32(entries, newPath);
    const std::uint64_t dataEnd = kHeaderSize + totalSize(entries);
    requireArchiveFits32(dataEnd + kCountSize + kRecordSize * entries.size(), newPath);

    ContainerLayout layout;
    layout.head.assign(kHeaderSize, 0);
    std::copy(std::begin(kMagic), std::end(kMagic), layout.head.begin());
    putU32(&layout.head[kDirectoryOffsetField], static_cast<std::uint32_t>(dataEnd));

    layout.tail.assign(kCountSize + kRecordSize * entries.size(), 0);
    putU32(&layout.tail[0], static_cast<std::uint32_t>(entries.size()));
    std::uint64_t offset = kHeaderSize;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        auto* record = &layout.tail[kCountSize + i * kRecordSize];
        putU32(record, static_cast<std::uint32_t>(offset));
        putU32(record + 4, static_cast<std::uint32_t>(entries[i].size));
        putName(record + kNameOffset, kNameWidth, StoredKey(entries[i], newPath));
        offset += entries[i].size;
    }
    return layout;
}

const ContainerKind kDFGobKind{
    .code = ContainerType::DFGob,
    .name = "Dark Forces GOB",
    .signatures = {"GOB\n"},
    .createReader = readerOf<TDFGobReader>,
    .createWriter = writerOf<TDFGobReader>,
    .newItems = {{0, "GOB            DarkForces", "New_DF.Gob", "df-gob", Gathering::Flat}},
    .namesIgnoreCase = true,
};

} // namespace vexa
