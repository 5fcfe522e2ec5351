#pragma once
// Builders for the content pictures' tests: entries of each kind laid out by hand from small
// descriptions, and pictures written as rows of characters for the expected pixels.

#include "images/decoded_picture.h"
#include "support/test_files.h"

#include <algorithm>
#include <string>
#include <vector>

namespace vexa::test {

// ---- Expected pixels -----------------------------------------------------------------------------

// Rows of a picture as text: '.' a see-through pixel, '0'-'9' and 'a'-'z' indices 0 to 35, 'Z' 255.
inline std::uint8_t indexOf(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    if (c >= 'a' && c <= 'z') return static_cast<std::uint8_t>(c - 'a' + 10);
    return c == 'Z' ? 255 : 0;
}

// The picture's pixels written back as such rows, to compare with what a test expects.
inline std::vector<std::string> rowsOf(const DecodedPicture& picture) {
    const auto& image = picture.image;
    std::vector<std::string> rows(image.height);
    for (std::size_t y = 0; y < image.height; ++y)
        for (std::size_t x = 0; x < image.width; ++x) {
            const std::size_t i = y * image.width + x;
            if (!picture.alpha.empty() && picture.alpha.at(i) == kSeeThrough) {
                rows[y] += '.';
                continue;
            }
            const std::uint8_t v = image.indices.at(i);
            rows[y] += v < 10 ? char('0' + v) : v < 36 ? char('a' + v - 10) : v == 255 ? 'Z' : '?';
        }
    return rows;
}

// Indices of rows given as text (see-through pixels as index 0).
inline Bytes indicesOf(const std::vector<std::string>& rows) {
    Bytes out;
    for (const auto& row : rows)
        for (const char c : row)
            out.push_back(indexOf(c));
    return out;
}

// The palette table (blue, green, red, 0) of 768 bytes of red, green, blue.
inline PaletteTable paletteTableOf(const Bytes& rgb) {
    PaletteTable table{};
    for (std::size_t i = 0; i < 256; ++i) {
        table[4 * i] = rgb.at(3 * i + 2);
        table[4 * i + 1] = rgb.at(3 * i + 1);
        table[4 * i + 2] = rgb.at(3 * i);
    }
    return table;
}

// ---- Doom ----------------------------------------------------------------------------------------

struct Post {
    std::uint8_t delta; // as stored: absolute, or relative in a tall patch
    Bytes pixels;
};
using Column = std::vector<Post>;

// A Doom picture; columnAt[i], when given, makes column i use the stored column columnAt[i].
inline Bytes doomPicture(std::int16_t width, std::int16_t height, std::int16_t left, std::int16_t top,
                         const std::vector<Column>& columns, std::vector<std::size_t> columnAt = {}) {
    if (columnAt.empty())
        for (std::size_t i = 0; i < columns.size(); ++i)
            columnAt.push_back(i);
    ByteBuilder data;
    std::vector<std::uint32_t> offsets;
    const std::uint32_t dataAt = 8 + 4 * static_cast<std::uint32_t>(columnAt.size());
    for (const auto& column : columns) {
        offsets.push_back(dataAt + static_cast<std::uint32_t>(data.size()));
        for (const auto& post : column)
            data.u8(post.delta)
                .u8(static_cast<std::uint8_t>(post.pixels.size()))
                .u8(0)
                .raw(post.pixels)
                .u8(0);
        data.u8(0xFF);
    }
    ByteBuilder b;
    b.u16(static_cast<std::uint16_t>(width)).u16(static_cast<std::uint16_t>(height));
    b.u16(static_cast<std::uint16_t>(left)).u16(static_cast<std::uint16_t>(top));
    for (const auto i : columnAt)
        b.u32(offsets.at(i));
    return b.raw(data.bytes()).bytes();
}

struct TexturePatch {
    std::int16_t x, y, index;
};
struct Texture {
    std::string name;
    std::int16_t width, height;
    std::vector<TexturePatch> patches;
};

// TEXTURE1 in Doom's layout (22-byte headers, 10-byte patches) or Strife's (18 and 6).
inline Bytes textureList(const std::vector<Texture>& textures, bool strife = false) {
    ByteBuilder records;
    std::vector<std::uint32_t> offsets;
    const auto tableEnd = 4 + 4 * static_cast<std::uint32_t>(textures.size());
    for (const auto& t : textures) {
        offsets.push_back(tableEnd + static_cast<std::uint32_t>(records.size()));
        records.name(t.name, 8)
            .u32(0)
            .u16(static_cast<std::uint16_t>(t.width))
            .u16(static_cast<std::uint16_t>(t.height));
        if (!strife) records.u32(0);
        records.u16(static_cast<std::uint16_t>(t.patches.size()));
        for (const auto& p : t.patches) {
            records.u16(static_cast<std::uint16_t>(p.x)).u16(static_cast<std::uint16_t>(p.y));
            records.u16(static_cast<std::uint16_t>(p.index));
            if (!strife) records.u16(1).u16(0);
        }
    }
    ByteBuilder b;
    b.u32(static_cast<std::uint32_t>(textures.size()));
    for (const auto o : offsets)
        b.u32(o);
    return b.raw(records.bytes()).bytes();
}

inline Bytes patchNames(const std::vector<std::string>& names) {
    ByteBuilder b;
    b.u32(static_cast<std::uint32_t>(names.size()));
    for (const auto& n : names)
        b.name(n, 8);
    return b.bytes();
}

// ---- Quake, PCX, Build ---------------------------------------------------------------------------

inline Bytes quakePicture(std::uint32_t width, std::uint32_t height, const Bytes& indices) {
    return ByteBuilder().u32(width).u32(height).raw(indices).bytes();
}

// A PCX header of version 5, RLE, 8 bits.
inline ByteBuilder pcxHeader(std::uint16_t width, std::uint16_t height, std::uint16_t bytesPerLine,
                             std::uint8_t planes, std::uint16_t xMin = 0) {
    ByteBuilder b;
    b.u8(0x0A).u8(5).u8(1).u8(8).u16(xMin).u16(0).u16(static_cast<std::uint16_t>(xMin + width - 1));
    b.u16(static_cast<std::uint16_t>(height - 1))
        .u16(72)
        .u16(72)
        .zeros(48)
        .u8(0)
        .u8(planes)
        .u16(bytesPerLine);
    b.u16(1).zeros(58);
    return b;
}

// Codes bytes as ZSoft does: runs of one value (at most 63) and any byte of both high bits set
// as a run of one.
inline Bytes pcxRuns(const Bytes& plain) {
    Bytes out;
    for (std::size_t i = 0; i < plain.size();) {
        std::size_t n = 1;
        while (i + n < plain.size() && plain[i + n] == plain[i] && n < 63)
            ++n;
        if (n > 1 || (plain[i] & 0xC0) == 0xC0) out.push_back(static_cast<std::uint8_t>(0xC0 | n));
        out.push_back(plain[i]);
        i += n;
    }
    return out;
}

// A Build ART file; each tile's pixels given as rows top first (stored by columns).
struct Tile {
    std::int16_t width, height;
    std::vector<std::string> rows;
};
inline Bytes artFile(std::int32_t first, const std::vector<Tile>& tiles) {
    ByteBuilder b;
    b.i32(1).i32(static_cast<std::int32_t>(tiles.size())).i32(first);
    b.i32(first + static_cast<std::int32_t>(tiles.size()) - 1);
    for (const auto& t : tiles)
        b.u16(static_cast<std::uint16_t>(t.width));
    for (const auto& t : tiles)
        b.u16(static_cast<std::uint16_t>(t.height));
    for (std::size_t i = 0; i < tiles.size(); ++i)
        b.u32(0);
    for (const auto& t : tiles)
        for (std::size_t x = 0; t.height > 0 && x < static_cast<std::size_t>(t.width); ++x)
            for (std::size_t y = 0; y < static_cast<std::size_t>(t.height); ++y)
                b.u8(indexOf(t.rows.at(y).at(x)));
    return b.bytes();
}

// ---- Dark Forces ---------------------------------------------------------------------------------

// Columns of a picture (rows top first) from the bottom up, as Dark Forces stores them.
inline std::vector<Bytes> columnsUp(const std::vector<std::string>& rows) {
    std::vector<Bytes> columns(rows.at(0).size());
    for (std::size_t x = 0; x < columns.size(); ++x)
        for (std::size_t y = rows.size(); y-- > 0;)
            columns[x].push_back(indexOf(rows[y][x]));
    return columns;
}

// A column in runs: literal stretches, and runs of one value (of index 0 only, when zeros).
inline Bytes dfRuns(const Bytes& column, bool zeros) {
    Bytes out;
    for (std::size_t i = 0; i < column.size();) {
        std::size_t n = 1;
        while (i + n < column.size() && column[i + n] == column[i] && n < 0x7F)
            ++n;
        if (n >= 3 && (!zeros || column[i] == 0)) {
            out.push_back(static_cast<std::uint8_t>(0x80 + n));
            if (!zeros) out.push_back(column[i]);
            i += n;
            continue;
        }
        std::size_t literal = 0;
        while (i + literal < column.size() && literal < 0x7F &&
               !(i + literal + 2 < column.size() && column[i + literal] == column[i + literal + 1] &&
                 column[i + literal] == column[i + literal + 2] && (!zeros || column[i + literal] == 0)))
            ++literal;
        literal = std::max<std::size_t>(literal, 1);
        out.push_back(static_cast<std::uint8_t>(literal));
        out.insert(out.end(), column.begin() + static_cast<std::ptrdiff_t>(i),
                   column.begin() + static_cast<std::ptrdiff_t>(i + literal));
        i += literal;
    }
    return out;
}

// A cell: its 24-byte header, then columns (plain) or a table of column offsets and run-length
// columns (compressed), offsets from the cell's start.
inline Bytes dfCell(const std::vector<std::string>& rows, bool compressed) {
    const auto columns = columnsUp(rows);
    ByteBuilder b;
    b.u32(static_cast<std::uint32_t>(columns.size())).u32(static_cast<std::uint32_t>(rows.size()));
    b.u32(compressed ? 1 : 0).u32(0).u32(0).u32(0);
    if (!compressed) {
        for (const auto& c : columns)
            b.raw(c);
        return b.bytes();
    }
    ByteBuilder data;
    std::uint32_t at = 24 + 4 * static_cast<std::uint32_t>(columns.size());
    for (const auto& c : columns) {
        b.u32(at + static_cast<std::uint32_t>(data.size()));
        data.raw(dfRuns(c, true));
    }
    return b.raw(data.bytes()).bytes();
}

inline ByteBuilder& dfFrame(ByteBuilder& b, std::int32_t x, std::int32_t y, std::uint32_t flip,
                            std::uint32_t cell) {
    return b.i32(x).i32(y).u32(flip).u32(cell).u32(0).u32(0).u32(0).u32(0);
}

inline Bytes dfFme(std::int32_t x, std::int32_t y, std::uint32_t flip, const Bytes& cell) {
    ByteBuilder b;
    dfFrame(b, x, y, flip, 32);
    return b.raw(cell).bytes();
}

// A WAX: actions[a][v] lists the cells of view v's frames (-1 leaves a slot 0); frame k of the
// file gets insertion point (-k, -2k). Cells come first after the header, then frames, views, actions.
inline Bytes dfWax(const std::vector<Bytes>& cells,
                   const std::vector<std::vector<std::vector<int>>>& actions) {
    ByteBuilder body;
    const std::uint32_t headerSize = 32 + 128;
    std::vector<std::uint32_t> cellAt;
    for (const auto& c : cells) {
        cellAt.push_back(headerSize + static_cast<std::uint32_t>(body.size()));
        body.raw(c);
    }
    std::vector<std::vector<std::uint32_t>> viewAt;
    std::uint32_t frames = 0;
    for (const auto& views : actions) {
        viewAt.emplace_back();
        for (const auto& frameCells : views) {
            std::vector<std::uint32_t> frameAt;
            for (const int cell : frameCells) {
                if (cell < 0) {
                    frameAt.push_back(0);
                    continue;
                }
                frameAt.push_back(headerSize + static_cast<std::uint32_t>(body.size()));
                const auto k = static_cast<std::int32_t>(frames++);
                dfFrame(body, -k, -2 * k, 0, cellAt.at(static_cast<std::size_t>(cell)));
            }
            viewAt.back().push_back(headerSize + static_cast<std::uint32_t>(body.size()));
            body.zeros(16);
            for (std::size_t i = 0; i < 32; ++i)
                body.u32(i < frameAt.size() ? frameAt[i] : 0);
        }
    }
    std::vector<std::uint32_t> actionAt;
    for (const auto& views : viewAt) {
        actionAt.push_back(headerSize + static_cast<std::uint32_t>(body.size()));
        body.u32(40).u32(40).u32(8).u32(1).zeros(12);
        for (std::size_t i = 0; i < 32; ++i)
            body.u32(i < views.size() ? views[i] : 0);
    }
    ByteBuilder b;
    b.u32(0x00100100).u32(static_cast<std::uint32_t>(actions.size())).u32(frames);
    b.u32(static_cast<std::uint32_t>(cells.size())).u32(0x10000).u32(0x10000).u32(0).u32(0);
    for (std::size_t i = 0; i < 32; ++i)
        b.u32(i < actionAt.size() ? actionAt[i] : 0);
    return b.raw(body.bytes()).bytes();
}

// A Dark Forces BM compressed in runs (1) or runs of index 0 (2): the coded columns, then their
// offsets from the end of the header.
inline Bytes dfCompressedBm(const std::vector<std::string>& rows, std::uint16_t compression) {
    ByteBuilder data, table;
    for (const auto& c : columnsUp(rows)) {
        table.u32(static_cast<std::uint32_t>(data.size()));
        data.raw(dfRuns(c, compression == 2));
    }
    ByteBuilder b;
    b.raw("BM \x1E")
        .u16(static_cast<std::uint16_t>(rows.at(0).size()))
        .u16(static_cast<std::uint16_t>(rows.size()));
    b.u16(0).u16(0).u8(0x36).u8(0).u16(compression).u32(static_cast<std::uint32_t>(data.size())).zeros(12);
    return b.raw(data.bytes()).raw(table.bytes()).bytes();
}

} // namespace vexa::test
