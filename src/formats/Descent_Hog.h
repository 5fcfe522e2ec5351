#pragma once
// Descent 1/2 HOG: "DHF", then entries back to back to the end of the file, each a 13-byte name
// and a 32-bit size in front of its data. There is no directory: reading walks the file.

#include "formats/container.h"
#include "formats/kind.h"

namespace vexa {

class TDescentHogReader : public RecordArchive, public EntryLayoutWriter {
  public:
    static constexpr std::size_t kSignatureSize = 3;
    static constexpr std::size_t kEntryHeaderSize = 17;
    static constexpr std::size_t kNameWidth = 13;
    static constexpr std::size_t kMaxNameLength = 12;
    static constexpr std::size_t kSizeField = 13;

    std::string StoredKey(const WriterEntry& entry, const fs::path& newPath) const override;
    std::string NameLimit() const override {
        return "names of at most " + std::to_string(kMaxNameLength) + " characters";
    }
    ContainerLayout Layout(const std::vector<WriterEntry>& entries, const fs::path& newPath) const override;

  protected:
    std::vector<EntryRow> ParseDirectory(const ByteSource& archive) override;
};

extern const ContainerKind kDescentHogKind;

} // namespace vexa
