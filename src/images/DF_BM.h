#pragma once
// Dark Forces BM textures: a 32-byte header, then the pixels stored column by column from the
// bottom up; a "multiple" BM holds several sub-images, each behind its own 28-byte header.

#include "images/Image_util.h"
#include "images/texture_kind.h"

namespace vexa {

class TDFBMReader : public ImageDecoder {
  public:
    static constexpr std::size_t kHeaderSize = 32;
    // What Dark Forces takes as a plain picture: taller ones are not.
    static constexpr std::uint16_t kMaxPlainHeight = 256;

    // A plain BM as ".bmp", a multiple BM as "_0.bmp", "_1.bmp"..., painted with the current
    // palette (the Dark Forces one its kind loads). Compressed BMs, plain BMs taller than 256 rows
    // and multiple BMs whose size field does not match the file give no picture.
    Pictures Decode(const ByteSource& file) const override;
};

// Dark Forces BM textures imported from pictures.
extern const TextureKindInfo kDfBmTextures;

} // namespace vexa
