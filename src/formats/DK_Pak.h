#pragma once
// Daikatana's PAK: Quake's "PACK" header, but 72-byte directory records (a 56-byte name, the offset,
// the size, the stored size and a compressed flag, each a 32-bit little-endian value). A compressed
// entry is a stream of opcodes the reader undoes when the entry is read.

#include "formats/container.h"
#include "formats/kind.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vexa {

class TDaikatanaPakReader : public ContainerReader {
  public:
    static constexpr std::size_t kHeaderSize = 12;
    static constexpr std::size_t kDirectoryOffsetField = 4;
    static constexpr std::size_t kDirectoryLengthField = 8;
    static constexpr std::size_t kRecordSize = 72;
    static constexpr std::size_t kNameWidth = 56;
    static constexpr std::size_t kOffsetField = 56;
    static constexpr std::size_t kSizeField = 60;
    static constexpr std::size_t kStoredSizeField = 64;
    static constexpr std::size_t kCompressedField = 68;

    // Rows: each entry with its size once decompressed, at the offset of its stored bytes.
    void ReadDirectory(std::shared_ptr<const ByteSource> source) override;
    bool CreatesFolders() const override { return true; }
    // A compressed entry is decompressed into memory (its size checked against what its stored
    // bytes can give before anything is allocated); a damaged stream throws FormatError naming it.
    std::shared_ptr<const ByteSource> entrySource(std::size_t index) const override;
    std::string EntryDamage(std::size_t index) const override;

  private:
    struct Stored {
        std::uint64_t size = 0; // bytes in the file
        bool compressed = false;
    };
    std::vector<Stored> stored_;
};

// Undoes Daikatana's compression of stored into exactly size bytes. Throws FormatError (with the
// reason, naming entry) for an opcode that reaches outside the output or past the stored bytes, or a
// stream that gives another size.
std::vector<std::uint8_t> daikatanaDecompress(std::span<const std::uint8_t> stored, std::uint64_t size,
                                              const std::string& entry);

// Whether a "PACK" file's directory is made of Daikatana's 72-byte records rather than Quake's 64.
bool isDaikatanaPak(const ByteSource& file);

extern const ContainerKind kDaikatanaPakKind;

} // namespace vexa
