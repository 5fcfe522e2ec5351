#pragma once
// Writing WAD2 and WAD3 files of mip textures made while the file is written: the sizes are known
// beforehand (from each picture's header), so the directory at the end and the header that points
// to it are laid out first and each texture is made, written and dropped in turn.

#include "formats/container.h"
#include "images/picture_import.h"
#include "images/texture_kind.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vexa {

struct MipTextureLump {
    std::string name; // stored form (8-bit), at most wad::kMaxNameLength bytes
    PictureSize size; // of level 0, sides multiples of 16
};

// One texture's contents, made when the writer reaches it: its four levels and, for WAD3, its
// palette (at most 256 colours; the rest of the stored 256 are black).
struct MipTextureContents {
    MipImages levels;
    std::vector<std::array<std::uint8_t, 3>> colours;
};

// Bytes of a mip texture lump of this size (header, four levels, and for WAD3 the palette count,
// the palette and padding to 4 bytes).
std::uint64_t mipTextureLumpSize(TextureKind kind, PictureSize size);
// The lump itself; throws when contents do not have the size given.
std::vector<std::uint8_t> mipTextureLumpBytes(TextureKind kind, const MipTextureLump& lump,
                                              const MipTextureContents& contents);
// The same bytes in parts: the header, the four levels' indices (moved, not copied) and the tail.
std::vector<std::vector<std::uint8_t>> mipTextureLumpParts(TextureKind kind, const MipTextureLump& lump,
                                                           MipTextureContents&& contents);

// Refuses (naming newPath and the names) names longer than 15 bytes and names given twice (the
// engines look textures up by name without regard to case, so "Wall" and "WALL" are the same).
void requireTextureNames(const std::vector<MipTextureLump>& lumps, const fs::path& newPath);

// Writes the WAD through the writer skeleton: make(i) is called for each lump in order. sources
// are the files the textures come from: the new file must not replace one of them. A failure or
// a cancel leaves no file and any previous file at newPath as it was.
void writeTextureWad(TextureKind kind, const fs::path& newPath, const std::vector<MipTextureLump>& lumps,
                     const std::function<MipTextureContents(std::size_t)>& make,
                     const std::vector<fs::path>& sources, ProgressSink* progress);

// A lump of one texture WAD as the other stores it (WAD2 <-> WAD3): mip textures and plain pictures
// take the target's layout, mapped onto Quake's palette (quake) for WAD2, carrying it as their own for
// WAD3 (a WAD3 texture whose own colours are Quake's keeps its indices). Returns nothing for a lump
// kept as it is (palettes, fonts, Quake's raw console font). Throws FormatError naming the lump when
// its header or levels do not fit its bytes.
struct ConvertedLump {
    std::uint8_t type = 0;
    std::vector<std::uint8_t> bytes;
};
std::optional<ConvertedLump> convertTextureLump(TextureKind to, std::uint8_t type,
                                                std::span<const std::uint8_t> bytes,
                                                const PaletteTable& quake, const std::string& entry);

} // namespace vexa
