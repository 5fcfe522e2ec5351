#pragma once
// Tables of fixed-size records read from an untrusted file: their count is checked against the
// bytes the file holds before anything is allocated for them.

#include "base/file_io.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vexa {

// Checks that count records of recordSize bytes fit in the bytes between offset and the end of
// the file; throws a FormatError naming the file otherwise. Call before allocating for them.
void checkRecordsFit(const InputFile& file, std::int64_t count, std::uint64_t offset,
                     std::uint64_t recordSize, const std::string& what);

// Reads a table of count records of recordSize bytes at offset, in one read, once checkRecordsFit
// has let it through.
std::vector<std::uint8_t> readRecords(const InputFile& file, std::int64_t count, std::uint64_t offset,
                                      std::uint64_t recordSize, const std::string& what);

} // namespace vexa
