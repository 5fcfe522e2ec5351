#pragma once
// Jedi Knight BM: a 128-byte header, then images of a width, a height and their rows, and, when
// the palette flag says so, the file's own 768-byte palette at its very end.

#include "core/container.h"

namespace vexa {

class TJKBmReader : public ImageConverter {
  public:
    static constexpr std::size_t kHeaderSize = 128;
    static constexpr std::size_t kPaletteFlagOffset = 12;
    static constexpr std::size_t kCountOffset = 16;
    static constexpr std::size_t kBitsPerPixelOffset = 36;
    static constexpr std::size_t kImageHeaderSize = 8;
    static constexpr std::int32_t kHasPalette = 2;

    // Colours each BM with its own palette, or with the Jedi Knight BM game palette when it has
    // none (loaded at each conversion). One image gives outputPath as ".bmp"; several give
    // "_0.bmp", "_1.bmp"... Only 8-bit BMs are converted.
    void ConvertToBitmap(const OutputPath& outputPath, const fs::path& inputPath) override;
};

} // namespace vexa
