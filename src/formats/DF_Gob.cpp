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

std::vector<EntryRow> TDFGobReader::ParseDirectory(const InputFile& archive) {
    const auto header = archive.readBlock(0, kHeaderSize, "the GOB header");
    const auto dirOffset =
        nonNegative(archive, ByteReader(header, displayPath(archive.path())).i32(4), "the directory offset");

    const auto countBytes = archive.readBlock(dirOffset, kCountSize, "the entry count");
    const auto count = ByteReader(countBytes, displayPath(archive.path())).i32(0);
    const std::uint64_t recordsAt = dirOffset + kCountSize;

    RecordTable table(archive, count, recordsAt, kRecordSize, "directory");
    std::vector<EntryRow> records;
    records.reserve(table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        const auto& record = table[i];
        records.push_back(signedRecord(
            archive, i, latin1ToUtf8(record.fixedNameView(kNameOffset, kNameWidth, kMaxNameLength)),
            record.i32(0), record.i32(4)));
    }
    return records;
}

void TDFGobReader::WriteContainer(const fs::path& newPath, const fs::path& sourceFolder,
                                  const SourceFileList& files, ProgressSink* progress) {
    requireSizesFit32(files, newPath);
    const std::uint64_t dataEnd = kHeaderSize + SourceTotalSize(files);
    requireArchiveFits32(dataEnd + kCountSize + kRecordSize * files.size(), newPath);

    ContainerLayout layout;
    layout.head.assign(kHeaderSize, 0);
    std::copy(std::begin(kMagic), std::end(kMagic), layout.head.begin());
    putU32(&layout.head[4], static_cast<std::uint32_t>(dataEnd));

    layout.tail.assign(kCountSize + kRecordSize * files.size(), 0);
    putU32(&layout.tail[0], static_cast<std::uint32_t>(files.size()));
    std::uint64_t offset = kHeaderSize;
    std::vector<std::string> stored;
    stored.reserve(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        auto* record = &layout.tail[kCountSize + i * kRecordSize];
        putU32(record, static_cast<std::uint32_t>(offset));
        putU32(record + 4, static_cast<std::uint32_t>(files[i].size));
        auto name = storedName(files[i], newPath);
        // Names of 13 characters or more keep their first 11, as the game's own tools did.
        if (name.size() > kMaxNameLength) name.resize(kMaxNameLength - 1);
        putName(record + kNameOffset, kNameWidth, name);
        stored.push_back(std::move(name));
        offset += files[i].size;
    }
    requireDistinctStoredNames(files, stored, newPath);
    writeContainerFile(newPath, sourceFolder, files, layout, progress);
}

} // namespace vexa
