#pragma once
// The kinds of game texture pictures are imported as. Each is described once, by one record beside
// its own reader and writer (kWalTextures in Q2_Wal.cpp, the texture WADs in formats): the palette
// it maps onto, the entries a picture may take there, and how its file is laid out.

#include "images/picture_import.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexa {

enum class TextureKind { Wal, Wad2, Wad3, DfBm, JkMat };

// Which entries of the game palette a picture may take, and whether the texture is marked see-through.
struct TextureRules {
    PaletteRules rules;
    bool transparent = false;
};

// The fields a single texture's file holds besides its pictures: its name (stored form, within the
// kind's nameLength) and, in a Quake 2 WAL, the next frame of its animation (stored form), its surface
// flags, its contents and its value (a light's brightness).
struct TextureFields {
    std::string name;
    std::string next;
    std::uint32_t flags = 0, contents = 0, value = 0;
};

struct TextureKindInfo {
    TextureKind kind;
    std::string_view cliName;   // `vexa-cli import KIND`
    std::string_view caption;   // for the window's menus and file dialogs
    std::string_view extension; // of the file written, ".wal"
    bool manyPictures;          // a container of textures (WAD2, WAD3) rather than one picture
    bool mipLevels;             // three smaller levels: sides must be multiples of 16
    std::optional<Game> game;   // the game palette the pictures are mapped to; none: own palette (WAD3)
    // The longest name a texture stores (the WAL's own, a WAD's entries), 0 for none.
    std::size_t nameLength = 0;
    // Where a game palette is used: the rules for a picture named name, which has see-through pixels
    // or not, and may take the colours that glow in the dark (fullbright) where the game has some.
    TextureRules (*rules)(const std::string& name, bool seeThrough, bool fullbright) = nullptr;
    // Refuses (FormatError naming picture) a size the kind cannot store, beyond the mip levels' sides.
    void (*requireSize)(const fs::path& picture, PictureSize size) = nullptr;
    // A single texture's file: the texture named name (stored form, within nameLength) with its levels
    // (level 0 alone where the kind has no mip levels).
    std::vector<std::uint8_t> (*fileBytes)(const TextureFields& fields, const MipImages& levels,
                                           bool transparent) = nullptr;
    // Where the file is a head followed by the levels' indices in order: that head, so that a large
    // texture is written without a second copy of its levels (null for the other kinds).
    std::vector<std::uint8_t> (*fileHead)(const TextureFields& fields, const MipImages& levels,
                                          bool transparent) = nullptr;
    // The fields of this kind's file found where a new one goes, which the new one keeps where it is
    // given none (null for the kinds that keep nothing). Throws FormatError naming the file when it is
    // not one whole.
    TextureFields (*fieldsOf)(const ByteSource& file) = nullptr;
    // The longest next frame's name fields.next holds (stored form), 0 for none.
    std::size_t nextLength = 0;
};

} // namespace vexa
