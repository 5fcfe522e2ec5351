#pragma once
// The bytes of the single-picture texture files VEXA writes from pictures: a Quake 2 WAL, an
// uncompressed Dark Forces BM and a Jedi Knight MAT with one 8-bit texture and its mip levels.
// Their readers are in Q2_Wal, DF_BM and JK_Mat.

#include "images/picture_import.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vexa {

// The WAL header's name field (32 bytes) takes name cut to 31 bytes; levels as mipImages gives them.
std::vector<std::uint8_t> walFileBytes(const std::string& name, const MipImages& levels);

// A plain BM, pixels column by column from the bottom up. transparent sets the header's
// transparency flag (index 0 is then not drawn).
std::vector<std::uint8_t> dfBmFileBytes(const IndexedImage& image, bool transparent);

// A MAT of one texture record and one texture (its four levels), 8 bits a pixel. transparent
// sets the texture's transparency (index 0 is then not drawn).
std::vector<std::uint8_t> jkMatFileBytes(const MipImages& levels, bool transparent);

} // namespace vexa
