#pragma once
// ZFS ("ZFS3"): a 28-byte header, then a directory split into blocks of R records of 36 bytes,
// each block led by the file position of the next one (0 in the last).

#include "formats/container.h"
#include "formats/kind.h"

namespace vexa {

class I82ZFSReader : public RecordArchive {
  public:
    static constexpr std::size_t kHeaderSize = 28;
    static constexpr std::size_t kPerBlockOffset = 12;
    static constexpr std::size_t kCountOffset = 16;
    static constexpr std::uint64_t kFirstBlock = 28;
    static constexpr std::size_t kNextSize = 4;
    static constexpr std::size_t kRecordSize = 36;
    static constexpr std::size_t kNameWidth = 16;
    static constexpr std::size_t kMaxNameLength = 15;
    static constexpr std::size_t kDataOffset = 16;
    static constexpr std::size_t kSizeOffset = 24;

  protected:
    std::vector<EntryRow> ParseDirectory(const ByteSource& archive) override;
};

extern const ContainerKind kI82ZfsKind;

} // namespace vexa
