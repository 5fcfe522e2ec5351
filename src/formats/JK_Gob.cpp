#include "formats/JK_Gob.h"

#include "base/byte_reader.h"
#include "base/text.h"
#include "formats/entry_checks.h"
#include "formats/writer.h"

namespace vexa {

namespace {
constexpr std::uint8_t kMagic[4] = {'G', 'O', 'B', ' '};
// The header's word at 4 is the directory position plus 4; the word at 8 is always 12.
constexpr std::size_t kDirectoryWordOffset = 4;
constexpr std::int64_t kDirectoryWordBias = 4;
constexpr std::uint32_t kThirdWord = 12;
constexpr std::size_t kCountOffset = 12;
} // namespace

std::vector<EntryRow> TJKGobReader::ParseDirectory(const ByteSource& archive) {
    const auto header = archive.readBlock(0, kHeaderSize, "the GOB header");
    const ByteReader head(header, displayPath(archive.path()));
    const auto directory =
        nonNegative(archive, static_cast<std::int64_t>(head.i32(kDirectoryWordOffset)) - kDirectoryWordBias,
                    "directory offset");
    const auto count = head.i32(kCountOffset);

    RecordTable table(archive, count, directory, kRecordSize, "directory");
    return offsetSizeNameRows(archive, table, kNameOffset, kNameWidth, kMaxNameLength);
}

std::string TJKGobReader::StoredKey(const WriterEntry& entry, const fs::path& newPath) const {
    // A name of the full 128 bytes would lose its last character when read back: refuse it.
    return storedNameWithin(entry.name, kMaxNameLength, newPath);
}

ContainerLayout TJKGobReader::Layout(const std::vector<WriterEntry>& entries, const fs::path& newPath) const {
    requireSizesFit32(entries, newPath);
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (const auto& entry : entries)
        names.push_back(StoredKey(entry, newPath));
    const std::uint64_t dataStart = kHeaderSize + kRecordSize * entries.size();
    requireArchiveFits32(dataStart + totalSize(entries), newPath);

    ContainerLayout layout;
    layout.head.assign(dataStart, 0);
    std::copy(std::begin(kMagic), std::end(kMagic), layout.head.begin());
    putU32(&layout.head[kDirectoryWordOffset], static_cast<std::uint32_t>(kHeaderSize + kDirectoryWordBias));
    putU32(&layout.head[8], kThirdWord);
    putU32(&layout.head[kCountOffset], static_cast<std::uint32_t>(entries.size()));
    std::uint64_t offset = dataStart;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        auto* record = &layout.head[kHeaderSize + i * kRecordSize];
        putU32(record, static_cast<std::uint32_t>(offset));
        putU32(record + 4, static_cast<std::uint32_t>(entries[i].size));
        putName(record + kNameOffset, kNameWidth, names[i]);
        offset += entries[i].size;
    }
    return layout;
}

const ContainerKind kJKGobKind{
    .code = ContainerType::JKGob,
    .name = "Jedi Knight GOB",
    .signatures = {"GOB "},
    .createReader = readerOf<TJKGobReader>,
    .createWriter = writerOf<TJKGobReader>,
    .newItems = {{1, "GOB            JediKnight  (subdirs)", "New_JK.Gob", "jk-gob", Gathering::Tree},
                 {2, "GOO            Mots           (subdirs)", "New_Mots.Goo", "goo", Gathering::Tree}},
    .namesHoldFolders = true,
    .namesIgnoreCase = true,
};

} // namespace vexa
