#pragma once
// FreeSpace VP: "VPVP", a 16-byte header (version, directory position, count), 44-byte records
// (offset, size, 32-byte name, time stamp), and the entries' data. A directory holding ".." records
// is a tree (a size-0 record opens a folder, ".." closes it): its files are listed with their paths
// ("data\tables\ships.tbl"), the folder records are not rows. Without ".." it is a flat set of rows.

#include "formats/container.h"
#include "formats/kind.h"

namespace vexa {

class TFreeSpaceVPReader : public RecordArchive, public EntryLayoutWriter {
  public:
    static constexpr std::size_t kHeaderSize = 16;
    static constexpr std::size_t kRecordSize = 44;
    static constexpr std::size_t kNameOffset = 8;
    static constexpr std::size_t kNameWidth = 32;
    static constexpr std::size_t kMaxNameLength = 31;
    static constexpr std::size_t kTimeOffset = 40;
    static constexpr std::uint32_t kVersion = 2;
    // Longer than any file system takes: a longer folder path is a damaged or hostile directory.
    static constexpr std::size_t kMaxPathLength = 4096;

    bool CreatesFolders() const override { return true; }

    std::string StoredKey(const WriterEntry& entry, const fs::path& newPath) const override;
    std::string NameLimit() const override {
        return "folder and file names of at most " + std::to_string(kMaxNameLength) + " characters each";
    }
    ContainerLayout Layout(const std::vector<WriterEntry>& entries, const fs::path& newPath) const override;

  protected:
    std::vector<EntryRow> ParseDirectory(const ByteSource& archive) override;
};

extern const ContainerKind kFreeSpaceVPKind;

} // namespace vexa
