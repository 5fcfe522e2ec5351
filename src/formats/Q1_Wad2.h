#pragma once
// Quake WAD2: a lump directory whose plain pictures (type 'B') and mip textures (type 'D', level 0)
// convert to BMP with the Quake 1 palette; palettes and every other lump are listed but give no file.

#include "formats/container.h"
#include "formats/kind.h"

#include <cstdint>
#include <vector>

namespace vexa {

class TQuakeWadReader : public RecordArchive, public EntryLayoutWriter {
  public:
    // Quake's gfx.wad stores its console font CONCHARS as a type 'D' lump with no header: 128 x 128
    // pixels, nothing else.
    static constexpr std::int32_t kRawFontSide = 128;

    // A plain picture or a mip texture (level 0) as ".bmp", painted with the current palette (the
    // Quake 1 one its kind loads); other lumps give nothing.
    bool HasPictures() const override { return true; }
    Pictures DecodePictures(std::size_t index) const override;

    std::string StoredKey(const WriterEntry& entry, const fs::path& newPath) const override;
    std::string NameLimit() const override;
    ContainerLayout Layout(const std::vector<WriterEntry>& entries, const fs::path& newPath) const override;
    std::optional<std::size_t> DirectoryOffsetField() const override;
    // A lump's type is its record's, whatever its name's ending.
    bool TypeFromExtension() const override { return false; }

  protected:
    std::vector<EntryRow> ParseDirectory(const ByteSource& archive) override;
    StaticWord RecordType(std::size_t index) const override;

  private:
    std::vector<std::uint8_t> types_;
};

extern const ContainerKind kQ1Wad2Kind;

// Quake WAD2 textures imported from pictures.
extern const TextureKindInfo kWad2Textures;

} // namespace vexa
