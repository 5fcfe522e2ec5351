#pragma once
// Doom IWAD/PWAD: a 12-byte header, the lumps, and a directory of 16-byte records anywhere after.

#include "formats/container.h"
#include "formats/kind.h"

namespace vexa {

class TDoomWadReader : public RecordArchive {
  public:
    // The header is the one WAD2 and WAD3 share (Wad_common.h).
    static constexpr std::size_t kRecordSize = 16;
    static constexpr std::size_t kNameOffset = 8;
    static constexpr std::size_t kNameWidth = 8;

  protected:
    std::vector<EntryRow> ParseDirectory(const ByteSource& archive) override;
};

extern const ContainerKind kDoomWadKind;

} // namespace vexa
