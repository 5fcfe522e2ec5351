#include "formats/HL_Pak.h"

#include "base/byte_reader.h"
#include "base/text.h"
#include "formats/entry_checks.h"
#include "formats/writer.h"

#include <algorithm>

namespace vexa {

namespace {
constexpr std::uint8_t kMagic[4] = {'P', 'A', 'C', 'K'};
constexpr std::size_t kDirectoryLengthField = 8;

std::string withSeparator(std::string name, char from, char to) {
    std::replace(name.begin(), name.end(), from, to);
    return name;
}
} // namespace

std::vector<EntryRow> THLPakReader::ParseDirectory(const ByteSource& archive) {
    const auto header = archive.readBlock(0, kHeaderSize, "the PAK header");
    const ByteReader head(header, displayPath(archive.path()));
    // A zero or negative length is an empty directory, wherever it claims to be.
    const auto length = head.i32(kDirectoryLengthField);
    const std::int64_t count = length > 0 ? length / static_cast<std::int32_t>(kRecordSize) : 0;
    if (count == 0) return {};
    const auto directory = nonNegative(archive, head.i32(kDirectoryOffsetField), "the directory offset");

    const auto n = static_cast<std::size_t>(count);
    RecordTable table(archive, count, directory, kRecordSize, "directory");
    std::vector<EntryRow> records;
    records.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const auto& record = table[i];
        auto name =
            withSeparator(latin1ToUtf8(record.fixedNameView(0, kNameWidth, kMaxNameLength)), '/', '\\');
        records.push_back(
            signedRecord(archive, i, std::move(name), record.i32(kOffsetField), record.i32(kSizeField)));
    }
    return records;
}

std::string THLPakReader::StoredKey(const WriterEntry& entry, const fs::path& newPath) const {
    // A name of the full 56 bytes has no end mark and would lose its last character when read back.
    return withSeparator(storedNameWithin(entry.name, kMaxNameLength, newPath), '\\', '/');
}

std::string THLPakReader::StoredName(const WriterEntry& entry, const fs::path& newPath) const {
    StoredKey(entry, newPath); // refuses what does not fit; the rest is stored as given, "/" for "\"
    return entry.name;
}

ContainerLayout THLPakReader::Layout(const std::vector<WriterEntry>& entries, const fs::path& newPath) const {
    requireSizesFit32(entries, newPath);
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (const auto& entry : entries)
        names.push_back(StoredKey(entry, newPath));
    const std::uint64_t directory = kHeaderSize + totalSize(entries);
    requireArchiveFits32(directory + kRecordSize * entries.size(), newPath);

    ContainerLayout layout;
    layout.head.assign(kHeaderSize, 0);
    std::copy(std::begin(kMagic), std::end(kMagic), layout.head.begin());
    putU32(&layout.head[kDirectoryOffsetField], static_cast<std::uint32_t>(directory));
    putU32(&layout.head[kDirectoryLengthField], static_cast<std::uint32_t>(kRecordSize * entries.size()));

    layout.tail.assign(kRecordSize * entries.size(), 0);
    std::uint64_t offset = kHeaderSize;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        auto* record = &layout.tail[i * kRecordSize];
        putName(record, kNameWidth, names[i]);
        putU32(record + kOffsetField, static_cast<std::uint32_t>(offset));
        putU32(record + kSizeField, static_cast<std::uint32_t>(entries[i].size));
        offset += entries[i].size;
    }
    return layout;
}

const ContainerKind kPakKind{
    .code = ContainerType::Pak,
    .name = "PAK",
    .signatures = {"PACK"},
    .createReader = readerOf<THLPakReader>,
    .createWriter = writerOf<THLPakReader>,
    .newItems = {{4, "PAK             HalfLife etc (subdirs)", "New_Pak.Pak", "pak", Gathering::Tree}},
    .namesHoldFolders = true,
};

} // namespace vexa
