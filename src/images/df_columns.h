#pragma once
// The run-length columns of Dark Forces pictures (compressed BMs, FME and WAX cells): each column
// holds its pixels from the bottom up.

#include <cstdint>
#include <span>
#include <string>

namespace vexa {

enum class DfColumnCoding {
    Runs,     // a byte n < 0x80 and n pixels; a byte n >= 0x80 and one pixel repeated n - 0x80 times
    ZeroRuns, // a byte n < 0x80 and n pixels; a byte n >= 0x80 alone, n - 0x80 pixels of index 0
};

// Decodes the column starting at data[at] into column (its height in pixels, bottom first),
// reading nothing past data. Empty when it fits; else what is wrong, for "column 3: ...".
std::string decodeDfColumn(std::span<const std::uint8_t> data, std::size_t at, DfColumnCoding coding,
                           std::span<std::uint8_t> column);

// Lays a column (bottom first) into x of a picture of rows top first, width bytes a row.
void placeDfColumn(std::span<const std::uint8_t> column, std::size_t x, std::size_t width,
                   std::span<std::uint8_t> rows);

} // namespace vexa
