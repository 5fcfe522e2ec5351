#pragma once
// Tables of fixed-size records read from an untrusted file: their count is checked against the
// bytes the file holds before anything is allocated for them.

#include "base/byte_reader.h"
#include "base/file_io.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vexa {

// Checks that count records of recordSize bytes fit in the bytes between offset and the end of
// the file; throws a FormatError naming the file otherwise. Call before allocating for them.
void checkRecordsFit(const ByteSource& file, std::int64_t count, std::uint64_t offset,
                     std::uint64_t recordSize, const std::string& what);

// Reads a table of count records of recordSize bytes at offset, in one read, once checkRecordsFit
// has let it through.
std::vector<std::uint8_t> readRecords(const ByteSource& file, std::int64_t count, std::uint64_t offset,
                                      std::uint64_t recordSize, const std::string& what);

// A directory of fixed-size records walked one record at a time: the file is read a slice of
// about 64 KiB at a time, so a directory of 100,000 records is never held whole. The count is
// checked against the file before anything is read.
class RecordTable {
  public:
    RecordTable(const ByteSource& file, std::int64_t count, std::uint64_t offset, std::uint64_t recordSize,
                const std::string& what);

    std::size_t size() const { return count_; }
    // The fields of record index, read from 0 at its first byte. Valid until the next call.
    const ByteReader& operator[](std::size_t index);

  private:
    const ByteSource& file_;
    std::uint64_t offset_;
    std::size_t recordSize_;
    std::size_t count_;
    std::size_t perSlice_;
    std::size_t first_ = 0; // the first record the slice holds
    std::size_t held_ = 0;  // how many records it holds
    std::vector<std::uint8_t> slice_;
    std::string what_;
    ByteReader record_;
};

} // namespace vexa
