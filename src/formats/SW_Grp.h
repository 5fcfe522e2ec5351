#pragma once
// GRP (Build engine): a 16-byte header with the entry count, 16-byte records of name and size,
// then the entries' data back to back in directory order. No offsets are stored.

#include "formats/container.h"
#include "formats/kind.h"

namespace vexa {

class TSWGrpReader : public RecordArchive {
  public:
    static constexpr std::size_t kHeaderSize = 16;
    static constexpr std::size_t kCountOffset = 12;
    static constexpr std::size_t kRecordSize = 16;
    static constexpr std::size_t kNameWidth = 12;
    static constexpr std::size_t kSizeOffset = 12;

  protected:
    std::vector<EntryRow> ParseDirectory(const ByteSource& archive) override;
};

extern const ContainerKind kGrpKind;

} // namespace vexa
