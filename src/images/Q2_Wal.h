#pragma once
// Quake 2 WAL textures: a 100-byte header giving the size and the offsets of four mip levels;
// the largest level is converted.

#include "core/container.h"

namespace vexa {

class TQ2WalReader : public ImageConverter {
  public:
    static constexpr std::size_t kHeaderSize = 100;
    static constexpr std::size_t kWidthOffset = 32;
    static constexpr std::size_t kHeightOffset = 36;
    static constexpr std::size_t kMip0Offset = 40;

    // Loads the Quake 2 palette; throws when it cannot be loaded.
    TQ2WalReader();
    // Writes mip level 0 to outputPath with the extension ".bmp".
    void ConvertToBitmap(const OutputPath& outputPath, const fs::path& inputPath) override;
};

} // namespace vexa
