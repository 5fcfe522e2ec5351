#pragma once
// PAK (Quake, Half-Life): "PACK", the directory's offset and length, the entries' data, then the
// directory of 64-byte records at the end. Stored names use "/"; the program shows "\".

#include "formats/container.h"
#include "formats/kind.h"

namespace vexa {

class THLPakReader : public RecordArchive, public EntryLayoutWriter {
  public:
    static constexpr std::size_t kDirectoryOffsetField = 4;
    static constexpr std::size_t kHeaderSize = 12;
    static constexpr std::size_t kRecordSize = 64;
    static constexpr std::size_t kNameWidth = 56;
    static constexpr std::size_t kMaxNameLength = 55;
    static constexpr std::size_t kOffsetField = 56;
    static constexpr std::size_t kSizeField = 60;

    bool CreatesFolders() const override { return true; }
    std::string StoredKey(const WriterEntry& entry, const fs::path& newPath) const override;
    std::string StoredName(const WriterEntry& entry, const fs::path& newPath) const override;
    std::string NameLimit() const override {
        return "names of at most " + std::to_string(kMaxNameLength) + " characters, folders included";
    }
    ContainerLayout Layout(const std::vector<WriterEntry>& entries, const fs::path& newPath) const override;
    std::optional<std::size_t> DirectoryOffsetField() const override { return kDirectoryOffsetField; }

  protected:
    std::vector<EntryRow> ParseDirectory(const ByteSource& archive) override;
};

extern const ContainerKind kPakKind;

} // namespace vexa
