#pragma once
// Checks on directory fields shared by the record kinds: every value comes from a file that may be
// damaged or hostile, so each is refused with a message naming the file, the entry and the values.

#include "formats/container.h"

#include <cstdint>
#include <string>

namespace vexa {

// The one check of a signed field read from a file: refuses a negative value with a FormatError
// naming the file and the field ("the directory offset", "entry 3 'FOO': size"); returns it unsigned.
std::uint64_t nonNegative(const ByteSource& file, std::int64_t value, const std::string& field);

// A record of signed 32-bit offset and size fields; a negative one is refused.
EntryRow signedRecord(const ByteSource& file, std::size_t index, std::string name, std::int32_t offset,
                      std::int32_t size);

// The rows of a directory whose records hold a signed 32-bit offset, a signed 32-bit size and a
// name field of nameWidth bytes at nameOffset (both GOB kinds).
std::vector<EntryRow> offsetSizeNameRows(const ByteSource& file, RecordTable& table, std::size_t nameOffset,
                                         std::size_t nameWidth, std::size_t maxNameLength);

// Refuses a negative 32-bit size or offset field of entry index, naming it.
std::uint64_t nonNegativeSize(const ByteSource& file, std::size_t index, const std::string& name,
                              std::int32_t size);
std::uint64_t nonNegativeOffset(const ByteSource& file, std::size_t index, const std::string& name,
                                std::int32_t offset);

} // namespace vexa
