#include "images/palette.h"

#include <algorithm>

namespace vexa {

std::uint8_t widenSixBit(std::uint8_t value) {
    // value x 4.047 rounded to nearest, in integers; only values below 64 are widened, clamped anyway.
    const unsigned wide = (value * 4047u + 500u) / 1000u;
    return static_cast<std::uint8_t>(std::min(wide, 255u));
}

std::array<PreviewCell, kPaletteEntries> PaintPalettePreview(const PaletteTable& palette) {
    std::array<PreviewCell, kPaletteEntries> cells{};
    for (std::size_t i = 0; i < kPaletteEntries; ++i) {
        const int column = static_cast<int>(i % 16), row = static_cast<int>(i / 16);
        cells[i] = {kPreviewPitch * column,
                    kPreviewPitch * row,
                    kPreviewPitch * column + kPreviewSide,
                    kPreviewPitch * row + kPreviewSide,
                    palette[4 * i + 2],
                    palette[4 * i + 1],
                    palette[4 * i]};
    }
    return cells;
}

} // namespace vexa
