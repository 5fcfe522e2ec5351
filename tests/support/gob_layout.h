#pragma once
// A Dark Forces GOB laid out by hand, for tests that need one without the format module: "GOB\n",
// the directory's offset, the data back to back, then the count and 21-byte records.

#include "support/test_files.h"

#include <string>
#include <utility>
#include <vector>

namespace vexa::test {

inline Bytes dfGobBytes(const std::vector<std::pair<std::string, Bytes>>& entries) {
    ByteBuilder b;
    b.raw("GOB\n").u32(0);
    std::vector<std::uint32_t> offsets;
    for (const auto& [name, data] : entries) {
        offsets.push_back(static_cast<std::uint32_t>(b.size()));
        b.raw(data);
    }
    b.patchU32(4, static_cast<std::uint32_t>(b.size()));
    b.u32(static_cast<std::uint32_t>(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i)
        b.u32(offsets[i])
            .u32(static_cast<std::uint32_t>(entries[i].second.size()))
            .name(entries[i].first, 13);
    return b.bytes();
}

} // namespace vexa::test
