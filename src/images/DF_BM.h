#pragma once
// Dark Forces BM textures: a 32-byte header, then the pixels stored column by column from the
// bottom up; a "multiple" BM holds several sub-images, each behind its own 28-byte header.

#include "images/picture.h"
#include "images/texture_kind.h"

namespace vexa {

class TDFBMReader : public ImageDecoder {
  public:
    static constexpr std::size_t kHeaderSize = 32;
    // What Dark Forces takes as a plain picture: taller ones are not.
    static constexpr std::uint16_t kMaxPlainHeight = 256;

    // A plain or compressed BM as ".bmp", a multiple BM as "_0.bmp", "_1.bmp"..., painted with
    // the current palette (the Dark Forces one its kind loads). Plain BMs taller than 256 rows and
    // multiple BMs whose size field does not match the file give no picture; a compression other
    // than 1 (runs) or 2 (runs of index 0) is refused.
    Pictures Decode(const ByteSource& file) const override;
};

// Dark Forces BM textures imported from pictures.
extern const TextureKindInfo kDfBmTextures;

} // namespace vexa
