#pragma once
// Descent 3 HOG2: "HOG2", a 68-byte header (count, data position, reserved), 48-byte records
// (name, flags, size, time stamp) and the entries' data back to back from the data position. The
// records hold no offsets: each entry starts where the one before it ends.

#include "formats/container.h"
#include "formats/kind.h"

namespace vexa {

class TDescentHog2Reader : public RecordArchive, public EntryLayoutWriter {
  public:
    static constexpr std::size_t kHeaderSize = 68;
    static constexpr std::size_t kRecordSize = 48;
    static constexpr std::size_t kNameWidth = 36;
    static constexpr std::size_t kMaxNameLength = 35;
    static constexpr std::size_t kFlagsField = 36;
    static constexpr std::size_t kSizeField = 40;
    static constexpr std::size_t kTimeField = 44;

    std::string StoredKey(const WriterEntry& entry, const fs::path& newPath) const override;
    std::string NameLimit() const override {
        return "names of at most " + std::to_string(kMaxNameLength) + " characters";
    }
    ContainerLayout Layout(const std::vector<WriterEntry>& entries, const fs::path& newPath) const override;

  protected:
    std::vector<EntryRow> ParseDirectory(const ByteSource& archive) override;
};

extern const ContainerKind kDescentHog2Kind;

} // namespace vexa
