#pragma once
// Jedi Knight GOB and Mots GOO (one layout): "GOB ", a 16-byte header, the directory of 136-byte
// records right after it, then the entries' data. Names are relative paths with "\" between levels.

#include "formats/container.h"
#include "formats/kind.h"

namespace vexa {

class TJKGobReader : public RecordArchive, public EntryLayoutWriter {
  public:
    static constexpr std::size_t kHeaderSize = 16;
    static constexpr std::size_t kRecordSize = 136;
    static constexpr std::size_t kNameOffset = 8;
    static constexpr std::size_t kNameWidth = 128;
    static constexpr std::size_t kMaxNameLength = 127;

    bool CreatesFolders() const override { return true; }
    std::string StoredKey(const WriterEntry& entry, const fs::path& newPath) const override;
    std::string NameLimit() const override {
        return "names of at most " + std::to_string(kMaxNameLength) + " characters, folders included";
    }
    ContainerLayout Layout(const std::vector<WriterEntry>& entries, const fs::path& newPath) const override;

  protected:
    std::vector<EntryRow> ParseDirectory(const ByteSource& archive) override;
};

extern const ContainerKind kJKGobKind;

} // namespace vexa
