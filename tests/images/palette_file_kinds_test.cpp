// The palette files a game palette is taken from: a raw table, a Doom PLAYPAL, a PCX's table, a
// JASC-PAL text file; anything else is refused with the reason, never read as colours.

#include "base/errors.h"
#include "images/image_builders.h"
#include "images/palette_files.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::Bytes;
using test::TempDir;

std::array<std::uint8_t, 3> colourAt(const Palette& p, std::size_t i) {
    return {p.table[4 * i + 2], p.table[4 * i + 1], p.table[4 * i]};
}

Bytes pcxWithTable(const Bytes& rgb) {
    Bytes file(128, 0);
    file[0] = 0x0A;
    file[1] = 5;
    file[2] = 1;
    file[3] = 8;
    file.insert(file.end(), 40, 0x11); // "pixels"
    file.push_back(0x0C);
    file.insert(file.end(), rgb.begin(), rgb.end());
    return file;
}

std::string jasc(const std::vector<std::string>& colourLines, const std::string& count) {
    std::string text = "JASC-PAL\r\n0100\r\n" + count + "\r\n";
    for (const auto& l : colourLines)
        text += l + "\r\n";
    return text;
}

Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

TEST(PaletteFileKinds, EachKindGivesItsColours) {
    const auto rgb = test::knownPalette(70);
    Bytes playpal;
    for (int i = 0; i < 14; ++i) {
        const auto table = test::knownPalette(static_cast<std::uint8_t>(70 + i));
        playpal.insert(playpal.end(), table.begin(), table.end());
    }
    struct Case {
        const char* what;
        Bytes file;
        std::array<std::uint8_t, 3> entry0, entry255;
    };
    const Case cases[] = {
        {"a 768-byte table", rgb, {rgb[0], rgb[1], rgb[2]}, {rgb[765], rgb[766], rgb[767]}},
        {"a PLAYPAL: its first table", playpal, {rgb[0], rgb[1], rgb[2]}, {rgb[765], rgb[766], rgb[767]}},
        {"a PCX: the table at its end, not its header",
         pcxWithTable(rgb),
         {rgb[0], rgb[1], rgb[2]},
         {rgb[765], rgb[766], rgb[767]}},
        {"a JASC-PAL file of two colours",
         bytesOf(jasc({"255 0 0", "  1\t2 3"}, "2")),
         {255, 0, 0},
         {0, 0, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        test::writeFile(dir / "p", c.file);
        const auto palette = readPaletteFile(dir / "p");
        EXPECT_EQ(colourAt(palette, 0), c.entry0);
        EXPECT_EQ(colourAt(palette, 255), c.entry255);
    }
}

TEST(PaletteFileKinds, OtherFilesAreRefusedWithTheReason) {
    auto sixteenColourPcx = pcxWithTable(test::knownPalette(1));
    sixteenColourPcx[128 + 40] = 0x00; // no table mark
    struct Case {
        const char* what;
        Bytes file;
        const char* reason;
    };
    const Case cases[] = {
        {"a PCX without a 256-colour table", sixteenColourPcx, "no 256-colour table"},
        {"a file of another size", Bytes(1000, 5), "not a palette file"},
        {"an empty file", Bytes{}, "holds 768 bytes, this one has 0"},
        {"a JASC count over 256", bytesOf(jasc({}, "300")), "colour count"},
        {"a JASC file short of colours", bytesOf(jasc({"1 2 3"}, "2")), "2 colours are announced, 1 given"},
        {"a JASC colour over 255", bytesOf(jasc({"1 256 3"}, "1")), "colour 0"},
        {"a JASC colour not a number", bytesOf(jasc({"1 x 3"}, "1")), "colour 0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        test::writeFile(dir / "p", c.file);
        try {
            readPaletteFile(dir / "p");
            ADD_FAILURE() << "read as a palette";
        } catch (const FormatError& e) {
            EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
        }
    }
}

} // namespace
} // namespace vexa

namespace vexa {
namespace {

// The record says which defaults are stand-ins; a palette given instead is never one, and the
// real defaults never are. Each loaded from the shipped Data folder.
TEST(PaletteFileKinds, PlaceholderDefaultsAreMarkedByTheirRecord) {
    const auto shipped = fs::path(__FILE__).parent_path().parent_path().parent_path() / "data" / "Data";
    if (!fs::exists(shipped / "default_doom.pal")) GTEST_SKIP() << "no shipped Data folder at " << shipped;
    TempDir dir;
    test::writeFile(dir / "own.pal", test::knownPalette(3));
    const struct {
        Game game;
        bool placeholder;
    } cases[] = {{Game::DarkForcesBm, true}, {Game::JediKnightBm, true}, {Game::JediKnightMat, true},
                 {Game::Duke3D, true},       {Game::Quake1Bsp, false},   {Game::Quake2Wal, false},
                 {Game::Doom, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(gamePalettes().at(static_cast<std::size_t>(c.game)).cliName);
        auto paths = GamePalettePaths::defaults(shipped);
        const auto palette = loadGamePalette(c.game, paths);
        EXPECT_EQ(palette.placeholder, c.placeholder);
        EXPECT_EQ(usesPlaceholder(c.game, paths), c.placeholder);
        if (c.placeholder) {
            EXPECT_NE(placeholderNotice(palette).find(palette.source), std::string::npos);
        }
        paths.set(c.game, dir / "own.pal");
        EXPECT_FALSE(loadGamePalette(c.game, paths).placeholder);
    }
}

} // namespace
} // namespace vexa
