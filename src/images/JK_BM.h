#pragma once
// Jedi Knight BM: a 128-byte header, then images of a width, a height and their rows, and, when
// the palette flag says so, the file's own 768-byte palette at its very end.

#include "images/picture.h"

namespace vexa {

class TJKBmReader : public ImageDecoder {
  public:
    static constexpr std::size_t kHeaderSize = 128;
    static constexpr std::size_t kCountOffset = 16;

    // Each BM names its own palette, or the Jedi Knight BM game palette when it has none (loaded
    // at each conversion). One image gives ".bmp"; several give "_0.bmp", "_1.bmp"... Only 8-bit
    // BMs give pictures.
    Pictures Decode(const ByteSource& file) const override;
};

} // namespace vexa
