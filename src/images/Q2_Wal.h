#pragma once
// Quake 2 WAL textures: a 100-byte header giving the size and the offsets of four mip levels;
// the largest level is converted.

#include "images/picture.h"
#include "images/texture_kind.h"

namespace vexa {

class TQ2WalReader : public ImageDecoder {
  public:
    static constexpr std::size_t kHeaderSize = 100;
    static constexpr std::size_t kWidthOffset = 32;
    static constexpr std::size_t kHeightOffset = 36;

    // Mip level 0 as ".bmp", painted with the current palette (the Quake 2 one its kind loads).
    Pictures Decode(const ByteSource& file) const override;
};

// Quake 2 WAL textures imported from pictures: Quake 2 draws index 255 as see-through.
extern const TextureKindInfo kWalTextures;

} // namespace vexa
