#pragma once
// Half-Life WAD3: a lump directory whose mip textures (type 'C') and plain pictures (type 'B')
// carry their own palette; each converts to BMP with its own colours.

#include "formats/container.h"
#include "formats/kind.h"

#include <cstdint>
#include <vector>

namespace vexa {

class TWadReader : public RecordArchive, public EntryLayoutWriter {
  public:
    // A mip texture (level 0) or a plain picture as ".bmp", naming its own colours, which become
    // the first entries of the current palette. Other lumps give nothing.
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

extern const ContainerKind kHLWad3Kind;

// Half-Life WAD3 textures imported from pictures, each with its own palette.
extern const TextureKindInfo kWad3Textures;

} // namespace vexa
