#pragma once
// Quake 1 maps (BSP version 29) as containers of their textures: the mip textures of the texture
// lump, listed with "animated_" for each "*" and converted (level 0) with the Quake 1 palette.

#include "formats/container.h"
#include "formats/kind.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vexa {

class TQ1BspReader : public ContainerReader {
  public:
    TQ1BspReader() = default;

    static constexpr std::size_t kHeaderSize = 124; // version, then 15 lumps of int32 offset, int32 length
    static constexpr std::size_t kCountSize = 4;

    // Rows: each texture, sized as its header and its four mip levels (no size for a texture whose
    // size is not a picture's).
    void ReadDirectory(std::shared_ptr<const ByteSource> source) override;
    // Mip level 0 of texture index as ".bmp", painted with the current palette (the Quake 1 one
    // its kind loads).
    bool HasPictures() const override { return true; }
    Pictures DecodePictures(std::size_t index) const override;

  protected:
    // Half-Life's maps (version 30): each texture carries its own palette after level 3, and one
    // whose level offsets are 0 lives in a WAD and is listed as external.
    explicit TQ1BspReader(bool ownPalettes) : ownPalettes_(ownPalettes) {}

  private:
    struct Texture {
        std::uint64_t offset; // absolute
        std::int32_t width, height, level0, level3;
    };

    bool ownPalettes_ = false;
    std::vector<Texture> textures_;
};

extern const ContainerKind kQ1BspKind;

} // namespace vexa
