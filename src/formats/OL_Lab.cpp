#include "formats/OL_Lab.h"

#include "base/byte_reader.h"
#include "base/errors.h"
#include "base/text.h"
#include "formats/entry_checks.h"
#include "formats/writer.h"

#include <algorithm>
#include <cstring>

namespace vexa {

namespace {

constexpr std::uint8_t kMagic[4] = {'L', 'A', 'B', 'N'};
constexpr std::size_t kVersionOffset = 4;
constexpr std::size_t kCountOffset = 8;
constexpr std::size_t kNameTableLengthOffset = 12;
constexpr std::size_t kTypeCodeOffset = 12; // in a record

struct TypeRow {
    std::string_view extension;
    char code[5]; // as stored, byte for byte
};
constexpr TypeRow kTypes[] = {
    {".ITM", "METI"}, {".PCX", "MTXT"}, {".ATX", "FXTA"}, {".NWX", "FXAW"},
    {".WAV", "DVAW"}, {".PHY", "SYHP"}, {".RCS", "BPCR"}, {".MSC", "BCSM"},
    {".LAF", "TNFN"}, {".LVT", "FTVL"}, {".OBT", "FTBO"}, {".INF", "FFNI"},
};

// The names, found through each record's own offset into the table (they may be shared or out of
// order). The table the header declares is read in one piece; a name outside it, or running past
// it, is read on its own, in a bounded read.
class NameTable {
  public:
    NameTable(const ByteSource& archive, std::uint64_t start, std::int32_t declaredLength, std::size_t count)
        : archive_(archive), start_(start) {
        const std::uint64_t available = archive.size() - start; // start lies inside the file (checked)
        std::uint64_t length = declaredLength < 0 ? 0 : static_cast<std::uint64_t>(declaredLength);
        // A declared length beyond what count names can need is not trusted with an allocation.
        length = std::min(
            {length, available, static_cast<std::uint64_t>(count) * (TOLLabReader::kMaxNameLength + 1)});
        table_ = archive.readBlock(start, length, "the name table");
    }

    std::string name(std::size_t index, std::int32_t relative) const {
        const auto where = static_cast<std::int64_t>(start_) + relative;
        if (where < 0 || static_cast<std::uint64_t>(where) >= archive_.size())
            throw FormatError(displayPath(archive_.path()) + ": entry " + std::to_string(index) +
                              ": name offset " + std::to_string(relative) + " (position " +
                              std::to_string(where) + ") lies outside the file (" +
                              std::to_string(archive_.size()) + " bytes)");
        const auto at = static_cast<std::uint64_t>(where);
        if (at >= start_ && at - start_ < table_.size()) {
            const auto* begin = table_.data() + (at - start_);
            const auto* end = table_.data() + table_.size();
            const auto* zero = std::find(begin, end, std::uint8_t{0});
            if (zero != end) return checkedLength(index, std::string(begin, zero));
        }
        return readAlone(index, at);
    }

  private:
    std::string readAlone(std::size_t index, std::uint64_t at) const {
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(
            std::min<std::uint64_t>(TOLLabReader::kMaxNameLength + 1, archive_.size() - at)));
        const auto got = archive_.readSome(at, buffer);
        buffer.resize(got);
        const auto zero = std::find(buffer.begin(), buffer.end(), std::uint8_t{0});
        // A name that the file ends before its zero byte ends with the file.
        return checkedLength(index, std::string(buffer.begin(), zero));
    }

    std::string checkedLength(std::size_t index, std::string name) const {
        if (name.size() > TOLLabReader::kMaxNameLength)
            throw FormatError(displayPath(archive_.path()) + ": entry " + std::to_string(index) +
                              ": the name runs on for more than " +
                              std::to_string(TOLLabReader::kMaxNameLength) + " bytes without an end");
        return name;
    }

    const ByteSource& archive_;
    std::uint64_t start_;
    std::vector<std::uint8_t> table_;
};

} // namespace

std::array<std::uint8_t, 4> TOLLabReader::TypeCode(std::string_view name) {
    const auto extension = toUpperAscii(extensionOf(name));
    std::array<std::uint8_t, 4> code{};
    for (const auto& row : kTypes)
        if (extension == row.extension) std::memcpy(code.data(), row.code, code.size());
    return code;
}

std::vector<EntryRow> TOLLabReader::ParseDirectory(const ByteSource& archive) {
    const auto header = archive.readBlock(0, kHeaderSize, "the LAB header");
    const ByteReader head(header, displayPath(archive.path()));
    const auto count = head.i32(kCountOffset);

    const auto n = static_cast<std::size_t>(count);
    RecordTable table(archive, count, kHeaderSize, kRecordSize, "directory");
    const NameTable names(archive, kHeaderSize + n * kRecordSize, head.i32(kNameTableLengthOffset), n);
    std::vector<StoredFields> fields;
    std::vector<EntryRow> records;
    records.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const auto& record = table[i];
        records.push_back(signedRecord(archive, i, latin1ToUtf8(names.name(i, record.i32(0))), record.i32(4),
                                       record.i32(8)));
        const auto code = record.bytes(kTypeCodeOffset, 4);
        auto& stored = fields.emplace_back();
        stored.code.emplace();
        std::copy(code.begin(), code.end(), stored.code->begin());
    }
    SetStoredFields(std::move(fields));
    return records;
}

std::string TOLLabReader::StoredKey(const WriterEntry& entry, const fs::path& newPath) const {
    return storedNameWithin(entry.name, kMaxNameLength, newPath);
}

ContainerLayout TOLLabReader::Layout(const std::vector<WriterEntry>& entries, const fs::path& newPath) const {
    requireSizesFit32(entries, newPath);
    std::vector<std::uint8_t> nameTable;
    std::vector<std::uint64_t> nameOffsets;
    nameOffsets.reserve(entries.size());
    for (const auto& entry : entries) {
        const auto name = StoredKey(entry, newPath);
        nameOffsets.push_back(nameTable.size());
        nameTable.insert(nameTable.end(), name.begin(), name.end());
        nameTable.push_back(0);
    }
    const std::uint64_t dataStart = kHeaderSize + kRecordSize * entries.size() + nameTable.size();
    requireArchiveFits32(dataStart + totalSize(entries), newPath);

    ContainerLayout layout;
    layout.head.assign(kHeaderSize + kRecordSize * entries.size(), 0);
    std::copy(std::begin(kMagic), std::end(kMagic), layout.head.begin());
    putU32(&layout.head[kVersionOffset], kVersion);
    putU32(&layout.head[kCountOffset], static_cast<std::uint32_t>(entries.size()));
    putU32(&layout.head[kNameTableLengthOffset], static_cast<std::uint32_t>(nameTable.size()));
    std::uint64_t offset = dataStart;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        auto* record = &layout.head[kHeaderSize + i * kRecordSize];
        putU32(record, static_cast<std::uint32_t>(nameOffsets[i]));
        putU32(record + 4, static_cast<std::uint32_t>(offset));
        putU32(record + 8, static_cast<std::uint32_t>(entries[i].size));
        const auto type = entries[i].stored.code.value_or(TypeCode(entries[i].name));
        std::copy(type.begin(), type.end(), record + kTypeCodeOffset);
        offset += entries[i].size;
    }
    layout.head.insert(layout.head.end(), nameTable.begin(), nameTable.end());
    return layout;
}

const ContainerKind kOLLabKind{
    .code = ContainerType::OLLab,
    .name = "Outlaws LAB",
    .signatures = {"LABN"},
    .createReader = readerOf<TOLLabReader>,
    .createWriter = writerOf<TOLLabReader>,
    .newItems = {{3, "LAB             Outlaws etc", "New_Lab.Lab", "lab", Gathering::Flat}},
    .namesIgnoreCase = true,
};

} // namespace vexa
