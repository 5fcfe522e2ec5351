#pragma once
// Jedi Knight MAT materials: a 76-byte header, then either textures (each a 24-byte header and its
// mip levels, largest first) or colour records whose first one names the material's colour.

#include "core/container.h"

namespace vexa {

class TJKMatReader : public ImageConverter {
  public:
    static constexpr std::size_t kHeaderSize = 76;
    static constexpr std::size_t kTypeOffset = 8;
    static constexpr std::size_t kCountOffset = 12;
    static constexpr std::int32_t kTextureMaterial = 2;
    static constexpr std::size_t kRecordSize = 40;
    static constexpr std::size_t kTextureHeaderSize = 24;
    static constexpr std::size_t kMipCountOffset = 20;
    static constexpr std::size_t kColourRecordSize = 24;
    static constexpr std::size_t kColourIndexOffset = 4;
    static constexpr std::uint32_t kColourSide = 64;

    // Loads the Jedi Knight MAT palette; throws when it cannot be loaded.
    TJKMatReader();
    // A texture material gives one BMP per texture (its largest mip level): outputPath as ".bmp"
    // for one texture, "_1.bmp", "_2.bmp"... for several. A colour material gives one 64 x 64 BMP
    // of its colour.
    void ConvertToBitmap(const OutputPath& outputPath, const fs::path& inputPath) override;
};

} // namespace vexa
