#include "formats/entry_checks.h"

#include "base/errors.h"
#include "base/text.h"

namespace vexa {

std::uint64_t nonNegative(const ByteSource& file, std::int64_t value, const std::string& field) {
    if (value < 0)
        throw FormatError(displayPath(file.path()) + ": " + field + " " + std::to_string(value) +
                          " is negative");
    return static_cast<std::uint64_t>(value);
}

EntryRow signedRecord(const ByteSource& file, std::size_t index, std::string name, std::int32_t offset,
                      std::int32_t size) {
    const auto start = nonNegativeOffset(file, index, name, offset);
    const auto stored = nonNegativeSize(file, index, name, size);
    return recordRow(std::move(name), start, stored);
}

std::vector<EntryRow> offsetSizeNameRows(const ByteSource& file, RecordTable& table, std::size_t nameOffset,
                                         std::size_t nameWidth, std::size_t maxNameLength) {
    std::vector<EntryRow> rows;
    rows.reserve(table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        const auto& record = table[i];
        rows.push_back(signedRecord(file, i,
                                    latin1ToUtf8(record.fixedNameView(nameOffset, nameWidth, maxNameLength)),
                                    record.i32(0), record.i32(4)));
    }
    return rows;
}

// The entry's label is made only for a message: most directories have none to give.
std::uint64_t nonNegativeSize(const ByteSource& file, std::size_t index, const std::string& name,
                              std::int32_t size) {
    if (size < 0) nonNegative(file, size, entryLabel(index, name) + ": size");
    return static_cast<std::uint64_t>(size);
}

std::uint64_t nonNegativeOffset(const ByteSource& file, std::size_t index, const std::string& name,
                                std::int32_t offset) {
    if (offset < 0) nonNegative(file, offset, entryLabel(index, name) + ": offset");
    return static_cast<std::uint64_t>(offset);
}

} // namespace vexa
