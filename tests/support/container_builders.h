#pragma once
// Containers the tests build by hand, byte for byte: a PAK, a Doom WAD and a Dark Forces LFD of named
// entries, in the order given.

#include "support/test_files.h"

#include <string>
#include <utility>
#include <vector>

namespace vexa::test {

using NamedBytes = std::vector<std::pair<std::string, Bytes>>;

// "PACK", directory offset and length; 64-byte records (name 56, offset, size) after the data.
inline Bytes pakOf(const NamedBytes& entries) {
    ByteBuilder data, directory;
    std::uint32_t at = 12;
    for (const auto& [name, bytes] : entries) {
        directory.name(name, 56).u32(at).u32(static_cast<std::uint32_t>(bytes.size()));
        data.raw(bytes);
        at += static_cast<std::uint32_t>(bytes.size());
    }
    return ByteBuilder()
        .raw("PACK")
        .u32(at)
        .u32(static_cast<std::uint32_t>(64 * entries.size()))
        .raw(data.bytes())
        .raw(directory.bytes())
        .bytes();
}

// "PWAD", lump count, directory offset; 16-byte records (offset, size, name 8) after the data.
inline Bytes doomWadOf(const NamedBytes& lumps) {
    ByteBuilder data, directory;
    std::uint32_t at = 12;
    for (const auto& [name, bytes] : lumps) {
        directory.u32(at).u32(static_cast<std::uint32_t>(bytes.size())).name(name, 8);
        data.raw(bytes);
        at += static_cast<std::uint32_t>(bytes.size());
    }
    return ByteBuilder()
        .raw("PWAD")
        .u32(static_cast<std::uint32_t>(lumps.size()))
        .u32(at)
        .raw(data.bytes())
        .raw(directory.bytes())
        .bytes();
}

// RMAP: a 16-byte record per entry (type, name, size) after its own; then each entry's record and bytes.
// Names are "NAME.TYPE".
inline Bytes lfdOf(const NamedBytes& entries) {
    ByteBuilder map, body;
    map.raw("RMAP").name("resource", 8).u32(static_cast<std::uint32_t>(16 * entries.size()));
    for (const auto& [name, bytes] : entries) {
        const auto dot = name.find('.');
        ByteBuilder record;
        record.name(name.substr(dot + 1), 4)
            .name(name.substr(0, dot), 8)
            .u32(static_cast<std::uint32_t>(bytes.size()));
        map.raw(record.bytes());
        body.raw(record.bytes()).raw(bytes);
    }
    return ByteBuilder().raw(map.bytes()).raw(body.bytes()).bytes();
}

} // namespace vexa::test
