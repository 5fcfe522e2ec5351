#pragma once
// Checks on directory fields shared by the record kinds: every value comes from a file that may be
// damaged or hostile, so each is refused with a message naming the file, the entry and the values.

#include "formats/container.h"

#include <cstdint>
#include <string>

namespace vexa {

// A record of signed 32-bit offset and size fields; a negative one is refused.
EntryRecord signedRecord(const InputFile& file, std::size_t index, std::string name, std::int32_t offset,
                         std::int32_t size);

// Refuses a negative 32-bit size field (for kinds whose offsets are computed, not stored).
std::uint64_t nonNegativeSize(const InputFile& file, std::size_t index, const std::string& name,
                              std::int32_t size);

// Refuses an entry whose bytes do not lie inside the file. Kinds that compute each offset from the
// sizes before it call this before adding the next size, so the running sum never leaves the file.
void requireEntryInFile(const InputFile& file, std::size_t index, const std::string& name,
                        std::uint64_t offset, std::uint64_t size);

// Refuses a negative header field that gives a position in the file.
std::uint64_t nonNegativePosition(const InputFile& file, std::int64_t value, const std::string& what);

} // namespace vexa
