#pragma once
// What the three texture containers share: the lump directory of WAD2 and WAD3, the 40-byte mip
// texture header of WAD3 and BSP, and the way an entry becomes a ".bmp" beside its output path.

#include "core/container.h"

#include <cstdint>
#include <span>
#include <string>
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
constexpr std::size_t kRecordTypeField = 12;
constexpr std::size_t kNameOffset = 16;
constexpr std::size_t kNameWidth = 16;
constexpr std::size_t kMaxNameLength = 15;

constexpr std::uint8_t kPlainPicture = 0x42; // 'B': int32 width, int32 height, the pixels
constexpr std::uint8_t kMipTexture = 0x43;   // 'C': a mip texture header, four levels, a palette

// Mip texture header: a 16-byte name, int32 width, int32 height, four int32 level offsets.
constexpr std::size_t kMipHeaderSize = 40;
constexpr std::size_t kMipNameWidth = 16;
constexpr std::size_t kMipWidthField = 16;
constexpr std::size_t kMipHeightField = 20;
constexpr std::size_t kMipLevel0Field = 24;

struct Lumps {
    std::vector<EntryRecord> records;
    std::vector<std::uint8_t> types; // one per record
};

// Reads the header and the whole directory in one block, after checking the count against the
// file; refuses negative counts, offsets and sizes, naming the file and the lump.
Lumps ReadLumpDirectory(const InputFile& archive);

// Bytes of levels 0 to 3 of a mip texture whose level 0 is width x height (each level halves
// both sides, truncated). Sides are those requireImageSize accepts, so this cannot overflow.
std::uint64_t mipLevelsSize(std::int64_t width, std::int64_t height);

// A lump type as the list's type column shows it: the word a kind gives it, else its value in hex.
struct LumpTypeName {
    std::uint8_t type;
    const char* word;
};
std::string lumpTypeText(std::uint8_t type, std::span<const LumpTypeName> known);

// "entry 3 'NAME'", as messages name an entry after the file.
std::string entryLabel(std::size_t index, const std::string& name);

// Where the picture of an entry meant for outputPath goes: its extension replaced by ".bmp" (or
// ".png" under vexa-cli's --format png). The output's root refuses the container being read.
OutputPath bitmapPathFor(const OutputPath& outputPath);

} // namespace vexa::wad
