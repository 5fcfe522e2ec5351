#pragma once
// Doom's graphics lumps: pictures (patches, sprites, menu graphics) stored as columns of posts,
// flats, the PLAYPAL palettes, the COLORMAP light maps, and the wall textures that TEXTURE1 and
// TEXTURE2 compose from the patches PNAMES names.

#include "images/decoded_picture.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexa {

// ---- Pictures ------------------------------------------------------------------------------------

// The header (width, height, left and top offsets), one column offset per column inside the lump
// and past the table, and every post inside the lump and inside the height, each below the one
// before it (DeePsea's tall patches: a top delta not below the previous post's top adds to it).
bool isDoomPicture(std::span<const std::uint8_t> lump) noexcept;
// One picture, see-through where no post covers it, its offsets kept.
DecodedPictures decodeDoomPicture(std::span<const std::uint8_t> lump, const std::string& what);

// ---- Flats, palettes, light maps -----------------------------------------------------------------

// 64 x 64 (4,096 bytes), 64 x 128 (8,192) or 128 x 128 (16,384) pixels, rows top first.
bool isDoomFlat(std::span<const std::uint8_t> lump) noexcept;
DecodedPictures decodeDoomFlat(std::span<const std::uint8_t> lump, const std::string& what);

// Palettes of 768 bytes (14 in Doom): each as a 16 x 16 picture in its own colours, named "00",
// "01", ...; the set's palette is the first, the one the game's pictures are painted with.
bool isDoomPlaypal(std::span<const std::uint8_t> lump) noexcept;
DecodedPictures decodeDoomPlaypal(std::span<const std::uint8_t> lump, const std::string& what);

// Maps of 256 indices (34 in Doom): one picture 256 wide, row r map r.
bool isDoomColormap(std::span<const std::uint8_t> lump) noexcept;
DecodedPictures decodeDoomColormap(std::span<const std::uint8_t> lump, const std::string& what);

// ---- Textures ------------------------------------------------------------------------------------

// One patch of a texture: the picture PNAMES names at index, placed at x, y of the texture.
struct DoomTexturePatch {
    std::int32_t x = 0, y = 0;
    std::int32_t index = 0;
};

struct DoomTexture {
    std::string name; // as stored: 8-bit, up to 8 characters
    std::uint32_t width = 0, height = 0;
    std::vector<DoomTexturePatch> patches;
};

// PNAMES: a count and as many 8-byte names.
bool isDoomPatchNames(std::span<const std::uint8_t> lump) noexcept;
std::vector<std::string> parseDoomPatchNames(std::span<const std::uint8_t> lump, const std::string& what);

// TEXTURE1/TEXTURE2: a count, an offset per texture, and the textures, in Doom's layout or in
// Strife's shorter one (told apart by fields Doom keeps zero).
bool isDoomTextureList(std::span<const std::uint8_t> lump) noexcept;
std::vector<DoomTexture> parseDoomTextures(std::span<const std::uint8_t> lump, const std::string& what);

// A patch's lump by its name as PNAMES stores it (Doom matches names without regard to letter
// case); nullopt when the container holds none.
using PatchLookup = std::function<std::optional<std::vector<std::uint8_t>>(std::string_view patchName)>;

// What one texture list may cost, far above any game's, so that a damaged one cannot take the
// memory or the time of the machine: the pixels of its textures, of the patches decoded for them,
// and of the patches drawn into them.
constexpr std::uint64_t kMaxTextureListPixels = 4 * kMaxPicturePixels;
struct PatchBounds {
    std::uint64_t decodedPixels = kMaxTextureListPixels;
    std::uint64_t drawnPixels = 4 * kMaxTextureListPixels;
};

// Composes textures, looking each patch name up and decoding it once. A patch that is missing,
// does not decode, is named by an index PNAMES does not hold or would pass the bounds is left out
// and named in a note.
class DoomTextureComposer {
  public:
    DoomTextureComposer(std::vector<std::string> patchNames, PatchLookup lookup, PatchBounds bounds = {});
    ~DoomTextureComposer();
    DoomTextureComposer(const DoomTextureComposer&) = delete;
    DoomTextureComposer& operator=(const DoomTextureComposer&) = delete;

    // The texture, opaque where its patches cover it and see-through elsewhere; patches are
    // clipped at its edges.
    DecodedPicture compose(const DoomTexture& texture, std::vector<std::string>& notes);

  private:
    struct Patch;
    const Patch& patch(std::size_t index);

    std::vector<std::string> names_;
    PatchLookup lookup_;
    std::map<std::string, std::unique_ptr<Patch>> patches_; // by name in upper case, when first used
    PatchBounds left_;                                      // what is still allowed
};

// Every texture of the list, composed, named after it.
DecodedPictures decodeDoomTextures(std::span<const std::uint8_t> textureList,
                                   std::span<const std::uint8_t> patchNames, const PatchLookup& lookup,
                                   const std::string& what);

} // namespace vexa
