#include "formats/entry_checks.h"

#include "base/errors.h"

namespace vexa {

namespace {
std::string entryText(const InputFile& file, std::size_t index, const std::string& name) {
    return displayPath(file.path()) + ": entry " + std::to_string(index) + " '" + name + "'";
}
} // namespace

EntryRecord signedRecord(const InputFile& file, std::size_t index, std::string name, std::int32_t offset,
                         std::int32_t size) {
    if (offset < 0 || size < 0)
        throw FormatError(entryText(file, index, name) + ": offset " + std::to_string(offset) + " or size " +
                          std::to_string(size) + " is negative");
    return {std::move(name), static_cast<std::uint64_t>(offset), static_cast<std::uint64_t>(size)};
}

std::uint64_t nonNegativeSize(const InputFile& file, std::size_t index, const std::string& name,
                              std::int32_t size) {
    if (size < 0)
        throw FormatError(entryText(file, index, name) + ": size " + std::to_string(size) + " is negative");
    return static_cast<std::uint64_t>(size);
}

void requireEntryInFile(const InputFile& file, std::size_t index, const std::string& name,
                        std::uint64_t offset, std::uint64_t size) {
    if (offset > file.size() || size > file.size() - offset)
        throw FormatError(entryText(file, index, name) + ": offset " + std::to_string(offset) + " + size " +
                          std::to_string(size) + " runs past the end of the file (" +
                          std::to_string(file.size()) + " bytes)");
}

std::uint64_t nonNegativePosition(const InputFile& file, std::int64_t value, const std::string& what) {
    if (value < 0)
        throw FormatError(displayPath(file.path()) + ": the " + what + " " + std::to_string(value) +
                          " is negative");
    return static_cast<std::uint64_t>(value);
}

} // namespace vexa
