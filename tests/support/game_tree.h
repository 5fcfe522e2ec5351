#pragma once
// A hand-made game folder for the tests of find: containers inside containers, a container named by its
// content alone, damaged and lying ones, and files that are no container.

#include "formats/texture_builders.h"
#include "support/container_builders.h"
#include "support/gob_layout.h"
#include "support/test_files.h"

#include <string>
#include <utility>
#include <vector>

namespace vexa::test {

inline Bytes wad2Of(const std::vector<std::string>& textures) {
    std::vector<Lump> lumps;
    for (const auto& name : textures)
        lumps.push_back({name, 0x44, mipTexture(name, 16, 16, Bytes(256 + 64 + 16 + 4, 7))});
    return wadFile("WAD2", lumps);
}

// A PAK of count entries, each of them the whole file: a directory that lies.
inline Bytes pakHoldingItself(std::size_t count) {
    const auto size = static_cast<std::uint32_t>(12 + 64 * count);
    ByteBuilder b;
    b.raw("PACK").u32(12).u32(static_cast<std::uint32_t>(64 * count));
    for (std::size_t i = 0; i < count; ++i)
        b.name("self" + std::to_string(i) + ".pak", 56).u32(0).u32(size);
    return b.bytes();
}

// PAKs inside PAKs, levels deep, the innermost holding a WAD2 with the texture DEEPWALL.
inline Bytes nestedPaks(std::size_t levels) {
    Bytes inner = wad2Of({"DEEPWALL"});
    for (std::size_t i = 0; i < levels; ++i)
        inner = pakOf({{"level" + std::to_string(i) + ".pak", inner}});
    return inner;
}

// game/
//   dark/dark.gob         SECBASE.LFD (an LFD holding intro.ANIM, WALLS.PLTT)
//   id1/pak0.pak          gfx.wad (WAD2: WALL1, WALL2), maps/e1m1.bsp (texture wall_floor), readme.txt
//   id1/pak1.pak          mod/inner.pak holding deep.wad (WAD2: WALL9)
//   notes.txt             no container
//   renamed.dat           a PAK known by its first bytes alone: sky.wad (WAD2: SKYWALL)
inline void writeGameTree(const fs::path& game) {
    writeFile(
        game / "dark" / "dark.gob",
        dfGobBytes({{"SECBASE.LFD", lfdOf({{"intro.ANIM", Bytes(5, 1)}, {"WALLS.PLTT", Bytes(8, 2)}})}}));
    writeFile(
        game / "id1" / "pak0.pak",
        pakOf({{"gfx.wad", wad2Of({"WALL1", "WALL2"})},
               {"maps/e1m1.bsp", bspFile(textureLump({mipTexture("wall_floor", 16, 16, Bytes(340, 3))}))},
               {"readme.txt", bytesOf("walls and floors\n")}}));
    writeFile(game / "id1" / "pak1.pak",
              pakOf({{"mod/inner.pak", pakOf({{"deep.wad", wad2Of({"WALL9"})}})}}));
    writeFile(game / "notes.txt", bytesOf("a wall of text\n"));
    writeFile(game / "renamed.dat", pakOf({{"sky.wad", wad2Of({"SKYWALL"})}}));
}

} // namespace vexa::test
