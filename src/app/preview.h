#pragma once
// What the window shows beside the list for the row clicked: the picture extraction would write,
// a palette, the start of a text, or the first bytes for a hex view. Nothing is written and no
// palette changes; every size is bounded, since entries are untrusted.

#include "app/listing.h"
#include "formats/container.h"
#include "images/picture.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vexa {

enum class PreviewKind { Picture, Palette, Text, Hex };

struct EntryPreview {
    PreviewKind kind = PreviewKind::Hex;
    // Picture: a whole 8-bit BMP file, the bytes extraction writes for the entry's first picture (a
    // BMP entry's own picture laid out the same way). Palette: 256 red, green, blue triples, 8-bit.
    // Text: UTF-8 (each stored byte one character). Hex: the entry's first bytes.
    std::vector<std::uint8_t> bytes;
    std::uint32_t width = 0, height = 0; // Picture
    std::size_t pictures = 0;            // Picture: how many extraction writes; the first is shown
    std::string palette;                 // Picture, Palette: where the colours come from, in words
    bool truncated = false;              // Text, Hex: the entry holds more than bytes
};

// The most a preview reads of an entry that becomes a picture, and the most pixels it shows.
constexpr std::uint64_t kPreviewMaxBytes = 8u << 20;
constexpr std::size_t kPreviewTextBytes = 64u << 10;
constexpr std::size_t kPreviewHexBytes = 4096;

// The preview of entry index of object, painted as the next extraction would paint it: with
// current (the current palette), or the palette the entry names. Throws Error, naming the file and
// the entry, for a damaged entry or one too large to preview. Only reads object: safe on a worker
// thread while another job extracts from it.
EntryPreview previewEntry(const ContainerReader& object, std::size_t index, Palette current = {},
                          const GamePalettePaths& games = {});

// True for the extensions shown as text (".txt", ".cfg", ".inf", ".msc" and the like).
bool isTextName(const std::string& name);

// A hex view: one line per bytesPerLine bytes (16 unless a narrow view asks for fewer),
// "00000000  48 65 6c ...  |He...|", offsets from first; an extra blank after every 8 bytes.
std::string hexDump(std::span<const std::uint8_t> bytes, std::uint64_t first = 0,
                    std::size_t bytesPerLine = 16);

} // namespace vexa
