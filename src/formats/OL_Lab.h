#pragma once
// Outlaws LAB: "LABN", a 16-byte header, 16-byte records (name offset, data offset, size, type
// code), a table of zero-terminated names, then the entries' data.

#include "formats/container.h"
#include "formats/kind.h"

#include <array>
#include <string_view>

namespace vexa {

class TOLLabReader : public RecordArchive, public EntryLayoutWriter {
  public:
    static constexpr std::size_t kHeaderSize = 16;
    static constexpr std::size_t kRecordSize = 16;
    static constexpr std::uint32_t kVersion = 0x00010000;
    // Names are unbounded in the layout; a longer one is taken as damage rather than read on and on.
    static constexpr std::size_t kMaxNameLength = 4096;

    // The four type bytes the writer stores for a name (zero for extensions outside the table).
    static std::array<std::uint8_t, 4> TypeCode(std::string_view name);

    std::string StoredKey(const WriterEntry& entry, const fs::path& newPath) const override;
    std::string NameLimit() const override {
        return "names of at most " + std::to_string(kMaxNameLength) + " characters";
    }
    ContainerLayout Layout(const std::vector<WriterEntry>& entries, const fs::path& newPath) const override;

  protected:
    std::vector<EntryRow> ParseDirectory(const ByteSource& archive) override;
};

extern const ContainerKind kOLLabKind;

} // namespace vexa
