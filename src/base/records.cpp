#include "base/records.h"

#include "base/errors.h"

namespace vexa {

void checkRecordsFit(const InputFile& file, std::int64_t count, std::uint64_t offset,
                     std::uint64_t recordSize, const std::string& what) {
    if (count < 0)
        throw FormatError(displayPath(file.path()) + ": the " + what + " count " + std::to_string(count) +
                          " is negative");
    if (offset > file.size() || static_cast<std::uint64_t>(count) > (file.size() - offset) / recordSize)
        throw FormatError(displayPath(file.path()) + ": " + std::to_string(count) + " " + what +
                          " records of " + std::to_string(recordSize) + " bytes at offset " +
                          std::to_string(offset) + " do not fit in the file (" + std::to_string(file.size()) +
                          " bytes)");
}

std::vector<std::uint8_t> readRecords(const InputFile& file, std::int64_t count, std::uint64_t offset,
                                      std::uint64_t recordSize, const std::string& what) {
    checkRecordsFit(file, count, offset, recordSize, what);
    return file.readBlock(offset, static_cast<std::uint64_t>(count) * recordSize, "the " + what + " records");
}

} // namespace vexa
