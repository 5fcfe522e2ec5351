#pragma once
// RPK ("Roni"): every name is a string of an indexed table; a folder table builds folder paths
// from those strings and each file record names its file and its folder by string index.

#include "formats/container.h"
#include "formats/kind.h"

namespace vexa {

class TRpkReader : public RecordArchive {
  public:
    static constexpr std::size_t kHeaderSize = 20;
    static constexpr std::size_t kSkipOffset = 16;
    static constexpr std::size_t kStringTableHeaderSize = 8;
    static constexpr std::size_t kStringCountOffset = 4;
    static constexpr std::size_t kStringHeaderSize = 8; // index, length; the text follows
    static constexpr std::size_t kFolderRecordSize = 28;
    static constexpr std::size_t kFolderCountOffset = 24; // in the first folder record
    static constexpr std::size_t kFolderNameOffset = 12;
    static constexpr std::size_t kFolderParentOffset = 16;
    static constexpr std::size_t kFileCountSize = 4;
    static constexpr std::size_t kFileRecordSize = 32;
    static constexpr std::size_t kFileNameOffset = 8;
    static constexpr std::size_t kFileFolderOffset = 12;
    static constexpr std::size_t kFileDataOffset = 24;
    static constexpr std::size_t kFileSizeOffset = 28;
    // The table of strings has this many places beyond the string count.
    static constexpr std::int64_t kSpareStrings = 101;
    // Shown for a string index that no string record filled.
    static constexpr const char* kUnfilled = "NULL";
    // Longer than any file system takes; a longer path is a damaged or hostile folder table
    // (each level adds to it, so a deep chain would otherwise grow the listing quadratically).
    static constexpr std::size_t kMaxPathLength = 4096;
    static constexpr std::uint64_t kMaxListingBytes = 256ull << 20;

    bool CreatesFolders() const override { return true; }

  protected:
    std::vector<EntryRow> ParseDirectory(const ByteSource& archive) override;
};

extern const ContainerKind kRpkKind;

} // namespace vexa
