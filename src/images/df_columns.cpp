#include "images/df_columns.h"

#include <algorithm>

namespace vexa {

namespace {

constexpr std::uint8_t kRunFlag = 0x80;

} // namespace

std::string decodeDfColumn(std::span<const std::uint8_t> data, std::size_t at, DfColumnCoding coding,
                           std::span<std::uint8_t> column) {
    std::size_t filled = 0;
    while (filled < column.size()) {
        if (at >= data.size())
            return "its data ends at byte " + std::to_string(at) + " with " + std::to_string(filled) +
                   " of its " + std::to_string(column.size()) + " pixels";
        const std::uint8_t code = data[at++];
        const std::size_t count = code & ~kRunFlag;
        if (count > column.size() - filled)
            return "a run of " + std::to_string(count) + " pixels at byte " + std::to_string(at - 1) +
                   " goes past its " + std::to_string(column.size()) + " pixels";
        const auto out = column.begin() + static_cast<std::ptrdiff_t>(filled);
        if (code < kRunFlag) {
            if (count > data.size() - at)
                return std::to_string(count) + " pixels at byte " + std::to_string(at) +
                       " run past the end of the data (" + std::to_string(data.size()) + " bytes)";
            std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(at), count, out);
            at += count;
        } else if (coding == DfColumnCoding::ZeroRuns) {
            std::fill_n(out, count, std::uint8_t{0});
        } else {
            if (at >= data.size()) return "the run at byte " + std::to_string(at - 1) + " has no value";
            std::fill_n(out, count, data[at++]);
        }
        filled += count;
    }
    return {};
}

void placeDfColumn(std::span<const std::uint8_t> column, std::size_t x, std::size_t width,
                   std::span<std::uint8_t> rows) {
    const std::size_t height = column.size();
    for (std::size_t r = 0; r < height; ++r)
        rows[(height - 1 - r) * width + x] = column[r];
}

} // namespace vexa
