#pragma once
// Doom IWAD/PWAD: a 12-byte header, the lumps, and a directory of 16-byte records anywhere after.

#include "formats/container.h"

namespace vexa {

class TDoomWadReader : public RecordArchive {
  public:
    static constexpr std::size_t kHeaderSize = 12;
    static constexpr std::size_t kCountOffset = 4;
    static constexpr std::size_t kDirectoryOffset = 8;
    static constexpr std::size_t kRecordSize = 16;
    static constexpr std::size_t kNameOffset = 8;
    static constexpr std::size_t kNameWidth = 8;
    // The eighth byte of a full-length name is never shown.
    static constexpr std::size_t kMaxNameLength = 7;

  protected:
    std::vector<EntryRecord> ParseDirectory(const InputFile& archive) override;
};

} // namespace vexa
