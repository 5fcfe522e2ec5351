#pragma once
// Dark Forces LFD: a map of 16-byte headers (type, 8-byte name, size) under the "RMAP" header, then
// each resource as a copy of its header followed by its data. Rows are the name plus an extension
// that stands for the type.

#include "formats/container.h"
#include "formats/kind.h"

#include <array>
#include <string>
#include <string_view>

namespace vexa {

class TDFLfdReader : public RecordArchive, public EntryLayoutWriter {
  public:
    static constexpr std::size_t kHeaderSize = 16;
    static constexpr std::size_t kTypeWidth = 4;
    static constexpr std::size_t kNameOffset = 4;
    static constexpr std::size_t kNameWidth = 8;
    static constexpr std::size_t kSizeField = 12;

    // The row's extension for a stored type: the table's for its seven types (any letter case),
    // else "." and the type in lower case (characters no file name holds become "^"), else nothing
    // for an empty type.
    static std::string ListExtension(std::string_view type);
    // The type stored for a source name's extension (four zero bytes when it has none of the table's).
    static std::array<std::uint8_t, 4> TypeForName(std::string_view name);

    std::string StoredKey(const WriterEntry& entry, const fs::path& newPath) const override;
    std::string NameLimit() const override;
    ContainerLayout Layout(const std::vector<WriterEntry>& entries, const fs::path& newPath) const override;

  protected:
    std::vector<EntryRow> ParseDirectory(const ByteSource& archive) override;
};

extern const ContainerKind kDFLfdKind;

} // namespace vexa
