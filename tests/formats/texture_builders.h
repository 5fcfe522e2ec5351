#pragma once
// Builders for the texture containers (WAD2, WAD3, Quake 1 BSP), laid out by hand from the
// layouts, so a reader that takes a field from the wrong place is caught.

#include "support/test_files.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vexa::test {

struct Lump {
    std::string name; // written into the 16-byte field, cut to 16 bytes
    std::uint8_t type;
    Bytes data;
};

// A WAD2 or WAD3: header, the lumps back to back, the directory at the end; or, directoryFirst,
// the directory right after the header and the last lump ending the file.
inline Bytes wadFile(const char* magic, const std::vector<Lump>& lumps, bool directoryFirst = false) {
    const std::uint32_t headerSize = 12, recordSize = 32;
    std::uint32_t at =
        headerSize + (directoryFirst ? recordSize * static_cast<std::uint32_t>(lumps.size()) : 0);
    ByteBuilder directory, data;
    for (const auto& lump : lumps) {
        const auto size = static_cast<std::uint32_t>(lump.data.size());
        directory.u32(at).u32(size).u32(size).u8(lump.type).u8(0).u16(0).name(lump.name, 16);
        data.raw(lump.data);
        at += size;
    }
    ByteBuilder b;
    b.raw(magic).u32(static_cast<std::uint32_t>(lumps.size()));
    if (directoryFirst) return b.u32(headerSize).raw(directory.bytes()).raw(data.bytes()).bytes();
    return b.u32(headerSize + static_cast<std::uint32_t>(data.size()))
        .raw(data.bytes())
        .raw(directory.bytes())
        .bytes();
}

// A plain picture: int32 width, int32 height, the rows top to bottom.
inline Bytes plainPicture(std::int32_t width, std::int32_t height, const Bytes& rows) {
    return ByteBuilder().i32(width).i32(height).raw(rows).bytes();
}

// A WAD3 plain picture: the picture, then its colour count and red, green, blue per colour.
inline Bytes wad3Picture(std::int32_t width, std::int32_t height, const Bytes& rows, const Bytes& rgb) {
    return ByteBuilder()
        .raw(plainPicture(width, height, rows))
        .u16(static_cast<std::uint16_t>(rgb.size() / 3))
        .raw(rgb)
        .bytes();
}

// A mip texture: 40-byte header, level 0 (the rows given), levels 1 to 3 filled with 0xEE so a
// reader that takes them for pixels or for the palette is caught.
inline Bytes mipTexture(const std::string& name, std::int32_t width, std::int32_t height, const Bytes& rows) {
    const std::uint32_t l0 = 40, l1 = l0 + width * height, l2 = l1 + (width / 2) * (height / 2),
                        l3 = l2 + (width / 4) * (height / 4);
    ByteBuilder b;
    b.name(name, 16).i32(width).i32(height).u32(l0).u32(l1).u32(l2).u32(l3).raw(rows);
    b.raw(Bytes((width / 2) * (height / 2) + (width / 4) * (height / 4) + (width / 8) * (height / 8), 0xEE));
    return b.bytes();
}

// A WAD3 mip texture: the texture, then its colour count and palette (and the two bytes of
// padding Half-Life's tools write).
inline Bytes wad3MipTexture(const std::string& name, std::int32_t width, std::int32_t height,
                            const Bytes& rows, const Bytes& rgb) {
    return ByteBuilder()
        .raw(mipTexture(name, width, height, rows))
        .u16(static_cast<std::uint16_t>(rgb.size() / 3))
        .raw(rgb)
        .u16(0)
        .bytes();
}

// A BSP texture lump of the textures given, back to back after the offset table; offsets holds
// the table when given (relative to the lump), else it is laid out from the textures.
inline Bytes textureLump(const std::vector<Bytes>& textures, std::vector<std::int32_t> offsets = {}) {
    if (offsets.empty()) {
        std::int32_t at = 4 + 4 * static_cast<std::int32_t>(textures.size());
        for (const auto& t : textures) {
            offsets.push_back(at);
            at += static_cast<std::int32_t>(t.size());
        }
    }
    ByteBuilder b;
    b.i32(static_cast<std::int32_t>(offsets.size()));
    for (const auto o : offsets)
        b.i32(o);
    for (const auto& t : textures)
        b.raw(t);
    return b.bytes();
}

// A version 29 map: the 124-byte header with lump 2 (textures) right after it, then tail bytes.
// Lumps other than the textures are left empty.
inline Bytes bspFile(const Bytes& lump, const Bytes& tail = {}) {
    ByteBuilder b;
    b.i32(29);
    for (int i = 0; i < 15; ++i) {
        if (i == 2)
            b.i32(124).i32(static_cast<std::int32_t>(lump.size()));
        else
            b.i32(static_cast<std::int32_t>(124 + lump.size())).i32(0);
    }
    return b.raw(lump).raw(tail).bytes();
}

} // namespace vexa::test
