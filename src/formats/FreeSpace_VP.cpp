#include "formats/FreeSpace_VP.h"

#include "base/byte_reader.h"
#include "formats/entry_checks.h"
#include "base/text.h"
#include "formats/writer.h"

namespace vexa {

namespace {
constexpr std::uint8_t kMagic[4] = {'V', 'P', 'V', 'P'};
constexpr std::size_t kVersionField = 4;
constexpr std::size_t kDirectoryField = 8;
constexpr std::size_t kCountField = 12;
} // namespace

std::vector<EntryRecord> TFreeSpaceVPReader::ParseDirectory(const InputFile& archive) {
    const auto header = archive.readBlock(0, kHeaderSize, "the VP header");
    const ByteReader head(header, displayPath(archive.path()));
    const auto directory = nonNegativePosition(archive, head.i32(kDirectoryField), "directory position");
    const auto count = head.i32(kCountField);

    const auto n = static_cast<std::size_t>(count);
    const auto table = readRecords(archive, count, directory, kRecordSize, "directory");
    const ByteReader dir(table, displayPath(archive.path()));
    std::vector<EntryRecord> records;
    records.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const auto at = i * kRecordSize;
        records.push_back(signedRecord(
            archive, i, latin1ToUtf8(dir.fixedNameView(at + kNameOffset, kNameWidth, kMaxNameLength)),
            dir.i32(at), dir.i32(at + 4)));
    }
    return records;
}

void TFreeSpaceVPReader::WriteContainer(const fs::path& newPath, const fs::path& sourceFolder,
                                        const SourceFileList& files, ProgressSink* progress) {
    requireSizesFit32(files, newPath);
    const std::uint64_t dataStart = kHeaderSize + kRecordSize * files.size();
    requireArchiveFits32(dataStart + SourceTotalSize(files), newPath);

    ContainerLayout layout;
    layout.head.assign(dataStart, 0);
    std::copy(std::begin(kMagic), std::end(kMagic), layout.head.begin());
    putU32(&layout.head[kVersionField], kVersion);
    putU32(&layout.head[kDirectoryField], kHeaderSize);
    putU32(&layout.head[kCountField], static_cast<std::uint32_t>(files.size()));
    std::uint64_t offset = dataStart;
    for (std::size_t i = 0; i < files.size(); ++i) {
        auto* record = &layout.head[kHeaderSize + i * kRecordSize];
        putU32(record, static_cast<std::uint32_t>(offset));
        putU32(record + 4, static_cast<std::uint32_t>(files[i].size));
        auto name = storedName(files[i], newPath);
        if (name.size() > kMaxNameLength) name.resize(kMaxNameLength); // the field keeps a zero at its end
        putName(record + kNameOffset, kNameWidth, name);
        putU32(record + kTimeOffset, files[i].time);
        offset += files[i].size;
    }
    writeContainerFile(newPath, sourceFolder, files, layout, progress);
}

} // namespace vexa
