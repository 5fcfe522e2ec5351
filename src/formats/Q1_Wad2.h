#pragma once
// Quake WAD2: a lump directory whose plain pictures (type 'B') convert to BMP with the Quake 1
// palette; mip textures, palettes and every other lump are listed but give no file.

#include "core/container.h"

#include <cstdint>
#include <vector>

namespace vexa {

class TQuakeWadReader : public RecordArchive {
  public:
    static constexpr std::size_t kPictureHeaderSize = 8; // int32 width, int32 height

    // Loads the Quake 1 palette into CurrentPalette; throws when it cannot be loaded.
    TQuakeWadReader();
    // Writes a plain picture to outputPath with the extension ".bmp"; other lumps give nothing.
    void ExtractEntry(const OutputPath& outputPath, std::size_t index) override;
    bool ConvertsToPictures() const override { return true; }
    std::string EntryType(std::size_t index) const override;

  protected:
    std::vector<EntryRecord> ParseDirectory(const InputFile& archive) override;

  private:
    std::vector<std::uint8_t> types_;
};

} // namespace vexa
