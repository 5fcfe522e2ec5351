#pragma once
// What the WAD kinds share: the header and directory table of Doom WAD, WAD2 and WAD3, the lump
// records of WAD2 and WAD3, and the 40-byte mip texture header of WAD2, WAD3 and BSP.

#include "formats/container.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vexa::wad {

// Header: 4-byte magic, int32 lump count, int32 absolute directory offset.
constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kCountOffset = 4;
constexpr std::size_t kDirectoryOffsetField = 8;

// Directory record: int32 offset, int32 size on disk, int32 size in memory, type, compression,
// two bytes of padding, a 16-byte name.
constexpr std::size_t kRecordSize = 32;
constexpr std::size_t kRecordOffsetField = 0;
constexpr std::size_t kRecordSizeField = 4;
constexpr std::size_t kRecordMemorySizeField = 8;
constexpr std::size_t kRecordTypeField = 12;
constexpr std::size_t kRecordCompressionField = 13;
constexpr std::size_t kNameOffset = 16;
constexpr std::size_t kNameWidth = 16;
constexpr std::size_t kMaxNameLength = 15;

constexpr std::uint8_t kPlainPicture = 0x42;    // 'B': int32 width, int32 height, the pixels
constexpr std::uint8_t kMipTexture = 0x43;      // 'C': a mip texture header, four levels, a palette
constexpr std::uint8_t kQuakeMipTexture = 0x44; // 'D': WAD2's mip texture, no palette of its own
constexpr std::size_t kPictureHeaderSize = 8;   // a plain picture's int32 width, int32 height

// Mip texture header: a 16-byte name, int32 width, int32 height, four int32 level offsets.
constexpr std::size_t kMipHeaderSize = 40;
constexpr std::size_t kMipNameWidth = 16;
constexpr std::size_t kMipWidthField = 16;
constexpr std::size_t kMipHeightField = 20;
constexpr std::size_t kMipLevel0Field = 24;

// The directory table a WAD header points to: count records of recordSize bytes, the count and
// the offset checked against the file.
RecordTable readDirectoryTable(const ByteSource& archive, std::size_t recordSize);

struct Lumps {
    std::vector<EntryRow> records;
    std::vector<std::uint8_t> types; // one per record
    // One per record, kept when an edited WAD is saved: code holds the type and the compression, flags
    // the size in memory.
    std::vector<StoredFields> stored;
};

// The 32-byte lump records of WAD2 and WAD3; refuses negative offsets and sizes, naming the lump.
Lumps readLumpDirectory(const ByteSource& archive);

// The lump type kept in a record's stored fields, if any.
std::optional<std::uint8_t> storedLumpType(const StoredFields& stored);
StoredFields lumpFields(std::uint8_t type, std::uint8_t compression, std::uint32_t memorySize);

// Writing WAD2 and WAD3: lumps follow the header, the directory follows the last lump. A name is
// stored within 15 bytes and looked up by the engines without regard to case; a lump keeps its type
// (an entry with none, which a kind without types handed over, is refused naming it).
// "names of at most 15 characters", for messages.
std::string nameLimit();
std::string lumpKey(const WriterEntry& entry, const fs::path& newPath);
ContainerLayout layoutLumps(std::string_view magic, const std::vector<WriterEntry>& entries,
                            const fs::path& newPath);

// Where a picture's level-0 pixels start in the file and how large it is.
struct PicturePlace {
    std::int32_t width = 0, height = 0;
    std::uint64_t pixels = 0;
};
// A mip texture lump (WAD2, WAD3): its header's size, the pixels right after the header. The size
// is checked (requireImageSize); entry names the lump in messages.
PicturePlace mipTexturePlace(const ByteSource& archive, std::uint64_t lumpOffset, const std::string& entry);
// A plain picture lump: int32 width, int32 height, the pixels.
PicturePlace plainPicturePlace(const ByteSource& archive, std::uint64_t lumpOffset, const std::string& entry);

// Bytes of levels 0 to 3 of a mip texture whose level 0 is width x height (each level halves
// both sides, truncated). Sides are those requireImageSize accepts, so this cannot overflow.
std::uint64_t mipLevelsSize(std::int64_t width, std::int64_t height);

// A lump type as the list's type column shows it: the word a kind gives it, else its value in hex.
struct LumpTypeName {
    std::uint8_t type;
    const char* word;
};
const char* lumpTypeText(std::uint8_t type, std::span<const LumpTypeName> known);

} // namespace vexa::wad
