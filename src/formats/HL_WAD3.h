#pragma once
// Half-Life WAD3: a lump directory whose mip textures (type 'C') and plain pictures (type 'B')
// carry their own palette; each converts to BMP with its colours loaded into CurrentPalette.

#include "core/container.h"

#include <cstdint>
#include <vector>

namespace vexa {

class TWadReader : public RecordArchive {
  public:
    static constexpr std::size_t kPictureHeaderSize = 8; // int32 width, int32 height
    static constexpr std::size_t kColourCountSize = 2;
    static constexpr std::uint32_t kMaxColours = 256;

    // Writes a mip texture (level 0) or a plain picture to outputPath with the extension ".bmp",
    // after loading its colours into the first entries of CurrentPalette (the change stays).
    // Other lumps give nothing.
    void ExtractEntry(const OutputPath& outputPath, std::size_t index) override;
    bool ConvertsToPictures() const override { return true; }
    std::string EntryType(std::size_t index) const override;

  protected:
    std::vector<EntryRecord> ParseDirectory(const InputFile& archive) override;

  private:
    std::vector<std::uint8_t> types_;
};

} // namespace vexa
