#pragma once
// Dark Forces GOB: "GOB\n", the directory offset, the entries' data, then the directory at the end.

#include "formats/container.h"
#include "formats/kind.h"

namespace vexa {

class TDFGobReader : public RecordArchive, public EntryLayoutWriter {
  public:
    static constexpr std::size_t kDirectoryOffsetField = 4;
    static constexpr std::size_t kHeaderSize = 8;
    static constexpr std::size_t kRecordSize = 21;
    static constexpr std::size_t kNameOffset = 8;
    static constexpr std::size_t kNameWidth = 13;
    static constexpr std::size_t kMaxNameLength = 12;

    std::string StoredKey(const WriterEntry& entry, const fs::path& newPath) const override;
    std::string NameLimit() const override {
        return "names of at most " + std::to_string(kMaxNameLength) + " characters";
    }
    ContainerLayout Layout(const std::vector<WriterEntry>& entries, const fs::path& newPath) const override;
    std::optional<std::size_t> DirectoryOffsetField() const override { return kDirectoryOffsetField; }

  protected:
    std::vector<EntryRow> ParseDirectory(const ByteSource& archive) override;
};

extern const ContainerKind kDFGobKind;

} // namespace vexa
