#include "formats/entry_checks.h"

#include "base/errors.h"

namespace vexa {

std::uint64_t nonNegative(const InputFile& file, std::int64_t value, const std::string& field) {
    if (value < 0)
        throw FormatError(displayPath(file.path()) + ": " + field + " " + std::to_string(value) +
                          " is negative");
    return static_cast<std::uint64_t>(value);
}

std::string entryLabel(std::size_t index, const std::string& name) {
    return "entry " + std::to_string(index) + " '" + name + "'";
}

EntryRecord signedRecord(const InputFile& file, std::size_t index, std::string name, std::int32_t offset,
                         std::int32_t size) {
    const auto entry = entryLabel(index, name);
    const auto start = nonNegative(file, offset, entry + ": offset");
    return {std::move(name), start, nonNegative(file, size, entry + ": size")};
}

std::uint64_t nonNegativeSize(const InputFile& file, std::size_t index, const std::string& name,
                              std::int32_t size) {
    return nonNegative(file, size, entryLabel(index, name) + ": size");
}

std::string rangeProblem(std::uint64_t fileSize, std::uint64_t offset, std::uint64_t size) {
    if (offset <= fileSize && size <= fileSize - offset) return {};
    return "offset " + std::to_string(offset) + " + size " + std::to_string(size) +
           " runs past the end of the file (" + std::to_string(fileSize) + " bytes)";
}

} // namespace vexa
