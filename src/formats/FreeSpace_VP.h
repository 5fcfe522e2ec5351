#pragma once
// FreeSpace VP: "VPVP", a 16-byte header (version, directory position, count), 44-byte records
// (offset, size, 32-byte name, time stamp), and the entries' data. Listed as a flat set of rows.

#include "formats/container.h"

namespace vexa {

class TFreeSpaceVPReader : public RecordArchive, public ContainerWriter {
  public:
    static constexpr std::size_t kHeaderSize = 16;
    static constexpr std::size_t kRecordSize = 44;
    static constexpr std::size_t kNameOffset = 8;
    static constexpr std::size_t kNameWidth = 32;
    static constexpr std::size_t kMaxNameLength = 31;
    static constexpr std::size_t kTimeOffset = 40;
    static constexpr std::uint32_t kVersion = 2;

    void WriteContainer(const fs::path& newPath, const fs::path& sourceFolder, const SourceFileList& files,
                        ProgressSink* progress) override;

  protected:
    std::vector<EntryRecord> ParseDirectory(const InputFile& archive) override;
};

} // namespace vexa
