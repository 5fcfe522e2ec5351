#pragma once
// Quake WAD2: a lump directory whose plain pictures (type 'B') convert to BMP with the Quake 1
// palette; mip textures, palettes and every other lump are listed but give no file.

#include "formats/container.h"

#include <cstdint>
#include <vector>

namespace vexa {

class TQuakeWadReader : public RecordArchive, public PictureSource {
  public:
    static constexpr std::size_t kPictureHeaderSize = 8; // int32 width, int32 height

    // A plain picture as ".bmp", painted with the current palette (the Quake 1 one its kind
    // loads); other lumps give nothing.
    Pictures DecodePictures(std::size_t index) const override;

  protected:
    std::vector<EntryRecord> ParseDirectory(const InputFile& archive) override;
    std::string RecordType(std::size_t index) const override;

  private:
    std::vector<std::uint8_t> types_;
};

} // namespace vexa
