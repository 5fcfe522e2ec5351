// Textures made a band of rows at a time give the indices the whole picture gives, whatever the band
// and wherever its boundaries fall.

#include "app/texture_bands.h"
#include "formats/HL_WAD3.h"
#include "images/Q2_Wal.h"
#include "images/image_builders.h"
#include "images/picture_builders.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::Bytes;
using test::Rgb;
using test::TempDir;

constexpr std::uint32_t kWidth = 32, kHeight = 48;

// Smooth gradients with a little noise (more than 256 colours), and see-through holes where asked.
Bytes busyPicture(bool holes) {
    Bytes rgba;
    for (std::uint32_t r = 0; r < kHeight; ++r)
        for (std::uint32_t c = 0; c < kWidth; ++c) {
            const auto noise = static_cast<std::uint8_t>((r * 131 + c * 71 + r * c) % 9);
            rgba.insert(rgba.end(),
                        {static_cast<std::uint8_t>(c * 8 + noise), static_cast<std::uint8_t>(r * 5),
                         static_cast<std::uint8_t>(200 - r * 2 - c + noise),
                         static_cast<std::uint8_t>(holes && (r * 3 + c) % 11 == 0 ? 0 : 255)});
        }
    return rgba;
}

// The texture as the whole-picture functions make it: the result every band must give.
TextureImages wholeTexture(const TextureKindInfo& info, const std::string& name, const ColourPicture& picture,
                           const PaletteTable* game, bool dither) {
    TextureImages out;
    PaletteTable palette{};
    PaletteRules rules;
    if (game) {
        rules = info.rules(name, true, false).rules;
        palette = *game;
        out.levels[0] = mapToPalette(picture, palette, rules, dither);
    } else {
        const bool seeThrough = name.front() == '{';
        auto own = reduceToOwnPalette(picture, dither, seeThrough);
        out.levels[0] = std::move(own.image);
        out.colours = std::move(own.colours);
        palette = test::paletteTable(out.colours);
        const auto colours = static_cast<int>(out.colours.size());
        rules =
            seeThrough ? PaletteRules{0, std::min(colours, 255) - 1, 255} : PaletteRules{0, colours - 1, {}};
    }
    const auto smaller = smallerMipLevels(picture);
    for (std::size_t level = 1; level < kMipLevels; ++level)
        out.levels[level] = mapToPalette(smaller[level - 1], palette, rules, dither);
    return out;
}

TEST(TextureBands, EveryBandGivesTheWholePicturesIndices) {
    TempDir dir;
    const auto game = test::paletteTable(test::coloursOf(test::knownPalette(3)));
    const auto file = dir / "busy.png";
    // Few colours, kept exactly on an own palette.
    Bytes few = busyPicture(true);
    for (std::size_t p = 0; p < few.size(); p += 4)
        for (int k = 0; k < 3; ++k)
            few[p + k] &= 0xC0;
    const struct {
        const char* what;
        const TextureKindInfo* kind;
        std::string name;
        Bytes rgba;
    } cases[] = {
        {"game palette, see-through holes", &kWalTextures, "wall", busyPicture(true)},
        {"own palette, reduced", &kWad3Textures, "wall", busyPicture(false)},
        {"own palette, reduced, see-through last", &kWad3Textures, "{fence", busyPicture(true)},
        {"own palette, exact, see-through last", &kWad3Textures, "{fence", few},
    };
    for (const auto& c : cases)
        for (const bool dither : {false, true}) {
            test::writeRgbaPng(file, kWidth, kHeight, c.rgba);
            const auto* palette = c.kind->game ? &game : nullptr;
            const auto whole = wholeTexture(*c.kind, c.name, readColourPicture(file), palette, dither);
            // 32 and 40 rows leave a shorter last band; 8 is the smallest a mip band can be.
            for (const std::uint32_t band : {8u, 32u, 40u, 0u}) {
                SCOPED_TRACE(std::string(c.what) + (dither ? ", dithered" : "") + ", band " +
                             std::to_string(band));
                const auto banded = textureFromPicture(*c.kind, c.name, file, palette, dither, true, band);
                for (std::size_t level = 0; level < kMipLevels; ++level) {
                    EXPECT_EQ(banded.levels[level].width, kWidth >> level);
                    EXPECT_EQ(banded.levels[level].indices, whole.levels[level].indices) << "level " << level;
                }
                EXPECT_EQ(banded.colours, whole.colours);
            }
        }
}

} // namespace
} // namespace vexa
