#pragma once
// A picture file made into a texture's indexed levels a band of rows at a time: the picture is read
// (twice or three times, where a first look decides how it is mapped) but never held whole, so a
// 16384 x 16384 picture needs its output and a few MiB.

#include "images/picture_import.h"
#include "images/texture_kind.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vexa {

// A picture as kind's texture: its levels (only level 0 for a kind without mip levels), the own
// palette for WAD3, and whether it is marked see-through.
struct TextureImages {
    MipImages levels;
    std::vector<std::array<std::uint8_t, 3>> colours;
    bool transparent = false;
};

// The picture at path as a texture named name (which decides see-through and, for "{" names, the
// blue colour key): mapped onto gamePalette, or onto its own palette where that is null. bandRows
// (a multiple of 8; 0: as many as fit in a few MiB) is the band it is read in; every band gives the
// same result. speed is libimagequant's, for an own palette of more colours than it holds; fullbright
// lets any picture take the kind's glowing colours.
TextureImages textureFromPicture(const TextureKindInfo& info, const std::string& name, const fs::path& path,
                                 const PaletteTable* gamePalette, bool dither, bool withMips,
                                 std::uint32_t bandRows = 0, int speed = kDefaultReductionSpeed,
                                 bool fullbright = false);

} // namespace vexa
