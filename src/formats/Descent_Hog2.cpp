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

std::vector<EntryRow> TDescentHog2Reader::ParseDirectory(const ByteSource& archive) {
    const auto header = archive.readBlock(0, kHeaderSize, "the HOG2 header");
    const ByteReader head(header, displayPath(archive.path()));
    const auto count = head.i32(kCountField);
    auto running = nonNegative(archive, head.i32(kDataPositionField), "the data position");

    const auto n = static_cast<std::size_t>(count);
    RecordTable table(archive, count, kHeaderSize, kRecordSize, "directory");
    std::vector<StoredFields> fields;
    std::vector<EntryRow> records;
    records.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const auto& record = table[i];
        auto name = latin1ToUtf8(record.fixedNameView(0, kNameWidth, kMaxNameLength));
        const auto size = nonNegativeSize(archive, i, name, record.i32(kSizeField));
        records.push_back(recordRow(std::move(name), running, size));
        fields.push_back({record.u32(kTimeField), record.u32(kFlagsField), std::nullopt});
        running += size;
    }
    SetStoredFields(std::move(fields));
    return records;
}

std::string TDescentHog2Reader::StoredKey(const WriterEntry& entry, const fs::path& newPath) const {
    return storedNameCut(entry.name, kMaxNameLength, newPath); // the field keeps a zero at its end
}

ContainerLayout TDescentHog2Reader::Layout(const std::vector<WriterEntry>& entries,
                                           const fs::path& newPath) const {
    requireSizesFit32(entries, newPath);
    const std::uint64_t dataStart = kHeaderSize + kRecordSize * entries.size();
    requireArchiveFits32(dataStart, newPath);

    ContainerLayout layout;
    layout.head.assign(dataStart, 0);
    std::copy(std::begin(kMagic), std::end(kMagic), layout.head.begin());
    putU32(&layout.head[kCountField], static_cast<std::uint32_t>(entries.size()));
    putU32(&layout.head[kDataPositionField], static_cast<std::uint32_t>(dataStart));
    std::fill_n(&layout.head[kReservedField], kReservedFill, std::uint8_t{'F'});
    for (std::size_t i = 0; i < entries.size(); ++i) {
        auto* record = &layout.head[kHeaderSize + i * kRecordSize];
        putName(record, kNameWidth, StoredKey(entries[i], newPath));
        putU32(record + kFlagsField, entries[i].stored.flags);
        putU32(record + kSizeField, static_cast<std::uint32_t>(entries[i].size));
        putU32(record + kTimeField, entries[i].stored.time);
    }
    return layout;
}

const ContainerKind kDescentHog2Kind{
    .code = ContainerType::DescentHog2,
    .name = "Descent 3 HOG2",
    .signatures = {"HOG2"},
    .createReader = readerOf<TDescentHog2Reader>,
    .createWriter = writerOf<TDescentHog2Reader>,
    .newItems = {{8, "HOG           Descent 3", "New_Descent3.Hog", "hog2", Gathering::Flat}},
    .namesIgnoreCase = true,
};

} // namespace vexa
