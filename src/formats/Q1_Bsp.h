#pragma once
// Quake 1 maps (BSP version 29) as containers of their textures: the mip textures of the texture
// lump, listed with "animated_" for each "*" and converted (level 0) with the Quake 1 palette.

#include "core/container.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace vexa {

class TQ1BspReader : public ContainerReader {
  public:
    static constexpr std::size_t kHeaderSize = 124; // version, then 15 lumps of int32 offset, int32 length
    static constexpr std::size_t kTextureLumpField = 4 + 2 * 8;
    static constexpr std::size_t kCountSize = 4;
    static constexpr std::size_t kTextureOffsetSize = 4;
    // Map compilers write this offset for a texture they could not find: the map holds none.
    static constexpr std::int32_t kAbsentTexture = -1;

    // Loads the Quake 1 palette into CurrentPalette; throws when it cannot be loaded.
    TQ1BspReader();

    void ReadDirectory(const fs::path& path) override;
    const std::vector<std::string>& EntryNames() const override { return names_; }
    const fs::path& ArchivePath() const override { return path_; }
    // The texture's bytes in the map: its header and its four mip levels; nullopt for a texture
    // whose size is not a picture's.
    std::optional<std::uint64_t> EntrySize(std::size_t index) const override;
    // Writes mip level 0 of texture index to outputPath with the extension ".bmp".
    void ExtractEntry(const OutputPath& outputPath, std::size_t index) override;
    void EndExtraction() override { open_.reset(); }
    bool ConvertsToPictures() const override { return true; }
    std::vector<std::uint8_t> ReadEntryHead(std::size_t index, std::size_t maxBytes) override;
    std::optional<std::uint64_t> EntryOffset(std::size_t index) const override { return textures_.at(index).offset; }

  private:
    struct Texture {
        std::uint64_t offset; // absolute
        std::int32_t width, height, level0;
    };

    fs::path path_;
    std::vector<std::string> names_;
    std::vector<Texture> textures_;
    std::unique_ptr<InputFile> open_;
};

} // namespace vexa
