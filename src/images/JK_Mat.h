#pragma once
// Jedi Knight MAT materials: a 76-byte header, then either textures (each a 24-byte header and its
// mip levels, largest first) or colour records whose first one names the material's colour.

#include "images/picture.h"
#include "images/texture_kind.h"

namespace vexa {

class TJKMatReader : public ImageDecoder {
  public:
    static constexpr std::size_t kHeaderSize = 76;
    static constexpr std::size_t kCountOffset = 12;
    static constexpr std::size_t kRecordSize = 40;

    // A texture material gives one picture per texture (its largest mip level): ".bmp" for one
    // texture, "_1.bmp", "_2.bmp"... for several. A colour material gives one 64 x 64 picture of
    // its colour. Painted with the current palette (the Jedi Knight MAT one its kind loads).
    Pictures Decode(const ByteSource& file) const override;
};

// Jedi Knight MAT textures imported from pictures.
extern const TextureKindInfo kJkMatTextures;

} // namespace vexa
