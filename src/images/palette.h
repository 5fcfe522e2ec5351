#pragma once
// A palette as a value: 256 colours as an 8-bit BMP's colour table holds them, with the words that
// say where they came from, and the Palettes page's grid of it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vexa {

constexpr std::size_t kPaletteEntries = 256;
constexpr std::size_t kPaletteTableSize = 4 * kPaletteEntries; // blue, green, red, 0 per entry
constexpr std::size_t kPalFileSize = 3 * kPaletteEntries;      // red, green, blue per entry

using PaletteTable = std::array<std::uint8_t, kPaletteTableSize>;

// A palette with the words that say where its colours came from, for a preview to show. The
// window's CurrentPalette is one of these, kept by the window and handed by value to each job.
struct Palette {
    PaletteTable table{};
    std::string source = "no palette loaded (all black)";
    // Stand-in colours shipped for a game of which no free palette is known: pictures painted with
    // them are not in the game's colours, and the user is told so.
    bool placeholder = false;
};

// 6-bit palette sources are stretched to 8 bits: value x 4.047, rounded (63 -> 255, 32 -> 130).
std::uint8_t widenSixBit(std::uint8_t value);

// One square of the 16 x 16 preview grid: a filled rectangle with a one-pixel black outline,
// corners inclusive, at an 11-pixel pitch. Entry 0 is top left, entries in reading order.
struct PreviewCell {
    int left, top, right, bottom;
    std::uint8_t red, green, blue;
};
constexpr int kPreviewPitch = 11;
constexpr int kPreviewSide = 10;
std::array<PreviewCell, kPaletteEntries> PaintPalettePreview(const PaletteTable& palette);

} // namespace vexa
