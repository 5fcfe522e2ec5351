#pragma once
// Reads a table of records that vary in length (a string table) front to back through a bounded
// window: few reads, and no buffer sized by a length the file gives until it is checked.

#include "base/file_io.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vexa {

class SequentialReader {
  public:
    SequentialReader(const ByteSource& file, std::uint64_t position) : file_(file), position_(position) {}

    std::uint64_t position() const { return position_; }
    // Bytes between the position and the end of the file (0 when the position lies past it).
    std::uint64_t remaining() const { return position_ < file_.size() ? file_.size() - position_ : 0; }

    // The next count bytes; valid until the next call. Throws a FormatError naming what when the
    // file holds fewer.
    std::span<const std::uint8_t> read(std::uint64_t count, const std::string& what);
    // Moves past count bytes, with the same check.
    void skip(std::uint64_t count, const std::string& what);

  private:
    void requireAvailable(std::uint64_t count, const std::string& what) const;

    const ByteSource& file_;
    std::uint64_t position_;
    std::vector<std::uint8_t> window_;
    std::uint64_t windowStart_ = 0;
};

} // namespace vexa
