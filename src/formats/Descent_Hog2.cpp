#include "formats/Descent_Hog2.h"

#include "base/byte_reader.h"
#include "base/text.h"
#include "formats/entry_checks.h"
#include "formats/writer.h"

#include <algorithm>

namespace vexa {

namespace {
constexpr std::uint8_t kMagic[4] = {'H', 'O', 'G', '2'};
constexpr std::size_t kCountField = 4;
constexpr std::size_t kDataPositionField = 8;
// The reserved bytes are written as 55 "F" and one zero.
constexpr std::size_t kReservedField = 12;
constexpr std::size_t kReservedFill = 55;
} // namespace

std::vector<EntryRow> TDescentHog2Reader::ParseDirectory(const InputFile& archive) {
    const auto header = archive.readBlock(0, kHeaderSize, "the HOG2 header");
    const ByteReader head(header, displayPath(archive.path()));
    const auto count = head.i32(kCountField);
    auto running = nonNegative(archive, head.i32(kDataPositionField), "the data position");

    const auto n = static_cast<std::size_t>(count);
    RecordTable table(archive, count, kHeaderSize, kRecordSize, "directory");
    std::vector<EntryRow> records;
    records.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const auto& record = table[i];
        auto name = latin1ToUtf8(record.fixedNameView(0, kNameWidth, kMaxNameLength));
        const auto size = nonNegativeSize(archive, i, name, record.i32(kSizeField));
        records.push_back(recordRow(std::move(name), running, size));
        running += size;
    }
    return records;
}

void TDescentHog2Reader::WriteContainer(const fs::path& newPath, const fs::path& sourceFolder,
                                        const SourceFileList& files, ProgressSink* progress) {
    requireSizesFit32(files, newPath);
    const std::uint64_t dataStart = kHeaderSize + kRecordSize * files.size();
    requireArchiveFits32(dataStart, newPath);

    ContainerLayout layout;
    layout.head.assign(dataStart, 0);
    std::copy(std::begin(kMagic), std::end(kMagic), layout.head.begin());
    putU32(&layout.head[kCountField], static_cast<std::uint32_t>(files.size()));
    putU32(&layout.head[kDataPositionField], static_cast<std::uint32_t>(dataStart));
    std::fill_n(&layout.head[kReservedField], kReservedFill, std::uint8_t{'F'});
    std::vector<std::string> stored;
    stored.reserve(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        auto* record = &layout.head[kHeaderSize + i * kRecordSize];
        auto name = storedName(files[i], newPath);
        if (name.size() > kMaxNameLength) name.resize(kMaxNameLength); // the field keeps a zero at its end
        putName(record, kNameWidth, name);
        putU32(record + kFlagsField, 0);
        putU32(record + kSizeField, static_cast<std::uint32_t>(files[i].size));
        putU32(record + kTimeField, files[i].time);
        stored.push_back(std::move(name));
    }
    requireDistinctStoredNames(files, stored, newPath);
    writeContainerFile(newPath, sourceFolder, files, layout, progress);
}

} // namespace vexa
