#include "formats/FreeSpace_VP.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/text.h"
#include "formats/entry_checks.h"
#include "formats/writer.h"

#include <algorithm>
#include <unordered_map>

namespace vexa {

namespace {
constexpr std::uint8_t kMagic[4] = {'V', 'P', 'V', 'P'};
constexpr std::size_t kVersionField = 4;
constexpr std::size_t kDirectoryField = 8;
constexpr std::size_t kCountField = 12;
constexpr std::string_view kUp = "..";

// The folders a gathered name lies in ("data\tables\ships.tbl" -> data, tables) and its own name.
std::vector<std::string_view> pathParts(std::string_view name) {
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const auto sep = name.find('\\', start);
        parts.push_back(name.substr(start, sep - start));
        if (sep == std::string_view::npos) return parts;
        start = sep + 1;
    }
}

// One directory record as written: where the next data lie, its size, name and time.
struct VpRecord {
    std::uint64_t offset;
    std::uint64_t size;
    std::string name; // stored form, cut to the field
    std::uint32_t time;
};
} // namespace

std::vector<EntryRow> TFreeSpaceVPReader::ParseDirectory(const ByteSource& archive) {
    const auto header = archive.readBlock(0, kHeaderSize, "the VP header");
    const ByteReader head(header, displayPath(archive.path()));
    const auto directory = nonNegative(archive, head.i32(kDirectoryField), "the directory position");
    const auto count = head.i32(kCountField);

    const auto n = static_cast<std::size_t>(count);
    RecordTable table(archive, count, directory, kRecordSize, "directory");
    const auto nameAt = [&](std::size_t i) {
        return table[i].fixedNameView(kNameOffset, kNameWidth, kMaxNameLength);
    };
    bool tree = false;
    for (std::size_t i = 0; i < n && !tree; ++i)
        tree = nameAt(i) == kUp;

    // With ".." records the directory is a tree, as FreeSpace reads it: a record of size 0 opens
    // a folder, ".." closes the innermost one (one at the top is ignored), and the files take the
    // path of the folders open around them.
    std::vector<StoredFields> fields;
    std::vector<EntryRow> records;
    records.reserve(n);
    std::string folder;                // "data\tables\" while inside both
    std::vector<std::size_t> openedAt; // folder's length before each open folder was added
    for (std::size_t i = 0; i < n; ++i) {
        auto name = latin1ToUtf8(nameAt(i));
        const auto& record = table[i];
        if (tree && name == kUp) {
            if (!openedAt.empty()) {
                folder.resize(openedAt.back());
                openedAt.pop_back();
            }
            continue;
        }
        if (tree && record.i32(4) == 0) {
            openedAt.push_back(folder.size());
            folder += name + "\\";
            if (folder.size() > kMaxPathLength)
                throw FormatError(displayPath(archive.path()) + ": directory record " + std::to_string(i) +
                                  ": the folder path is longer than " + std::to_string(kMaxPathLength) +
                                  " bytes");
            continue;
        }
        records.push_back(signedRecord(archive, records.size(), folder + name, record.i32(0), record.i32(4)));
        fields.push_back({record.u32(kTimeOffset), 0, std::nullopt});
    }
    SetStoredFields(std::move(fields));
    return records;
}

std::string TFreeSpaceVPReader::StoredKey(const WriterEntry& entry, const fs::path& newPath) const {
    // Each folder level and the name are cut to the field on their own.
    std::string key;
    for (const auto part : pathParts(entry.name)) {
        if (!key.empty()) key += '\\';
        key += storedNameCut(std::string(part), kMaxNameLength, newPath);
    }
    return key;
}

ContainerLayout TFreeSpaceVPReader::Layout(const std::vector<WriterEntry>& entries,
                                           const fs::path& newPath) const {
    requireSizesFit32(entries, newPath);
    const bool tree = std::any_of(entries.begin(), entries.end(), [](const WriterEntry& e) {
        return e.name.find('\\') != std::string::npos;
    });

    // The records in order: on entering a folder its record (size 0), then its files and folders,
    // then ".." on leaving it. Without sub-folders only the files' records, as ever.
    std::vector<VpRecord> records;
    std::vector<std::string_view> open;
    std::uint64_t offset = 0; // relative to the data start, fixed once the count is known
    for (const auto& entry : entries) {
        // An empty file would read back as a folder in a VP with folders.
        if (tree && entry.size == 0)
            throw FileError(FileAction::Create, newPath,
                            "'" + entry.name +
                                "' is empty; in a VP with folders an empty file reads back as a folder");
        const auto parts = pathParts(entry.name);
        const std::span<const std::string_view> folders(parts.data(), parts.size() - 1);
        std::size_t same = 0;
        while (same < open.size() && same < folders.size() && open[same] == folders[same])
            ++same;
        for (; open.size() > same; open.pop_back())
            records.push_back({offset, 0, std::string(kUp), 0});
        for (; open.size() < folders.size(); open.push_back(folders[open.size()]))
            records.push_back(
                {offset, 0, storedNameCut(std::string(folders[open.size()]), kMaxNameLength, newPath), 0});
        records.push_back({offset, entry.size,
                           storedNameCut(std::string(parts.back()), kMaxNameLength, newPath),
                           entry.stored.time});
        offset += entry.size;
    }
    for (; !open.empty(); open.pop_back())
        records.push_back({offset, 0, std::string(kUp), 0});

    const std::uint64_t dataStart = kHeaderSize + kRecordSize * records.size();
    requireArchiveFits32(dataStart + totalSize(entries), newPath);

    ContainerLayout layout;
    layout.head.assign(dataStart, 0);
    std::copy(std::begin(kMagic), std::end(kMagic), layout.head.begin());
    putU32(&layout.head[kVersionField], kVersion);
    putU32(&layout.head[kDirectoryField], kHeaderSize);
    putU32(&layout.head[kCountField], static_cast<std::uint32_t>(records.size()));
    for (std::size_t i = 0; i < records.size(); ++i) {
        auto* record = &layout.head[kHeaderSize + i * kRecordSize];
        putU32(record, static_cast<std::uint32_t>(dataStart + records[i].offset));
        putU32(record + 4, static_cast<std::uint32_t>(records[i].size));
        putName(record + kNameOffset, kNameWidth, records[i].name);
        putU32(record + kTimeOffset, records[i].time);
    }
    return layout;
}

const ContainerKind kFreeSpaceVPKind{
    .code = ContainerType::FreeSpaceVP,
    .name = "FreeSpace VP",
    .signatures = {"VPVP"},
    .createReader = readerOf<TFreeSpaceVPReader>,
    .createWriter = writerOf<TFreeSpaceVPReader>,
    .newItems = {{6, "VP               FreeSpace 1/2", "New_FreeSpace.VP", "vp", Gathering::Tree}},
    .namesHoldFolders = true,
    .namesIgnoreCase = true,
};

} // namespace vexa
