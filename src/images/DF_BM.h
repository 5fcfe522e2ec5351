#pragma once
// Dark Forces BM textures: a 32-byte header, then the pixels stored column by column from the
// bottom up; a "multiple" BM holds several sub-images, each behind its own 28-byte header.

#include "core/container.h"

namespace vexa {

class TDFBMReader : public ImageConverter {
  public:
    static constexpr std::size_t kHeaderSize = 32;
    static constexpr std::size_t kSubHeaderSize = 28;
    static constexpr std::size_t kOffsetSize = 4;
    static constexpr std::uint16_t kMultipleWidth = 1;
    static constexpr std::uint16_t kMultipleMarker = 0xFFFE;
    static constexpr std::uint16_t kMaxPlainHeight = 256;
    static constexpr std::size_t kMaxSubImages = 50;

    // Loads the Dark Forces palette; throws when it cannot be loaded.
    TDFBMReader();
    // Writes outputPath as ".bmp" for a plain BM, "_0.bmp", "_1.bmp"... for a multiple BM.
    // Compressed BMs, plain BMs taller than 256 rows and multiple BMs whose size field does not
    // match the file are skipped without output.
    void ConvertToBitmap(const OutputPath& outputPath, const fs::path& inputPath) override;
};

} // namespace vexa
