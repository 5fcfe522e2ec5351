#pragma once
// Quake WAD2: a lump directory whose plain pictures (type 'B') and mip textures (type 'D', level 0)
// convert to BMP with the Quake 1 palette; palettes and every other lump are listed but give no file.

#include "core/container.h"

#include <cstdint>
#include <vector>

namespace vexa {

class TQuakeWadReader : public RecordArchive {
  public:
    // Quake's gfx.wad stores its console font CONCHARS as a type 'D' lump with no header: 128 x 128
    // pixels, nothing else.
    static constexpr std::int32_t kRawFontSide = 128;

    // Loads the Quake 1 palette into CurrentPalette; throws when it cannot be loaded.
    TQuakeWadReader();
    // Writes a plain picture or a mip texture to outputPath with the extension ".bmp"; other lumps
    // give nothing.
    void ExtractEntry(const fs::path& outputPath, std::size_t index) override;
    bool ConvertsToPictures() const override { return true; }
    std::string EntryType(std::size_t index) const override;

  protected:
    std::vector<EntryRecord> ParseDirectory(const InputFile& archive) override;

  private:
    std::vector<std::uint8_t> types_;
};

} // namespace vexa
