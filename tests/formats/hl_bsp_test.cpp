// Half-Life maps (BSP 30): textures with their own palettes, and those the map only names listed as
// external and skipped by extraction with a note.

#include "app/extract.h"
#include "app/kinds.h"
#include "formats/HL_Bsp.h"
#include "formats/texture_builders.h"
#include "images/image_builders.h"

#include <gtest/gtest.h>

#include <functional>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::TempDir;

Bytes version30(const Bytes& lump) {
    auto bytes = test::bspFile(lump);
    bytes[0] = 30;
    return bytes;
}

// A texture the map names only: its header with every level offset 0.
Bytes namedOnly(const std::string& name) {
    return ByteBuilder().name(name, 16).i32(64).i32(32).u32(0).u32(0).u32(0).u32(0).bytes();
}

TEST(HalfLifeBsp, EmbeddedTexturesCarryTheirOwnPaletteAndExternalOnesAreNamed) {
    TempDir dir;
    const auto path = dir / "c1a0.bsp";
    const auto palette = test::knownPalette(9);
    Bytes rows(16 * 16);
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = static_cast<std::uint8_t>(i);
    test::writeFile(path, version30(test::textureLump({test::wad3MipTexture("{grate", 16, 16, rows, palette),
                                                       namedOnly("c1a0_wall")})));
    const auto opened = openContainer(path);
    ASSERT_EQ(opened.kind->code, ContainerType::HLBsp);
    EXPECT_EQ(opened.kind->name, "Half-Life BSP");
    const auto& list = opened.reader->Rows();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].name, "{grate");
    EXPECT_FALSE(list[0].external);
    EXPECT_EQ(list[1].name, "c1a0_wall");
    EXPECT_TRUE(list[1].external);
    EXPECT_FALSE(list[1].size);

    const auto pictures = opened.reader->DecodePictures(0);
    EXPECT_EQ(pictures.pictures.at(0).image.indices, rows);
    EXPECT_EQ(pictures.palette.from, PaletteNeed::From::Own);
    EXPECT_EQ(pictures.palette.colours, palette);

    fs::create_directories(dir / "out");
    const auto result = extractRows(*opened.reader, dir / "out", {0, 1}, ExtractionOptions{});
    EXPECT_EQ(result.written, 1u);
    EXPECT_TRUE(result.complete());
    ASSERT_EQ(result.notes.size(), 1u);
    EXPECT_NE(result.notes[0].find("c1a0_wall"), std::string::npos);
    EXPECT_TRUE(fs::exists(dir / "out" / "{grate.bmp"));
}

TEST(HalfLifeBsp, DamagedPalettesAreRefusedNamingTheTexture) {
    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
    };
    const std::size_t paletteAt = 40 + 256 + 64 + 16 + 4; // after level 3
    const Case cases[] = {
        {"a colour count over 256", [&](Bytes& t) { t[paletteAt] = 0x01, t[paletteAt + 1] = 0x01; }},
        {"a palette past the end", [&](Bytes& t) { t.resize(paletteAt + 10); }},
        {"level 3 inside the header", [&](Bytes& t) { t[36] = 8, t[37] = 0, t[38] = 0, t[39] = 0; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        auto texture = test::wad3MipTexture("wall", 16, 16, Bytes(256, 3), test::knownPalette(2));
        c.damage(texture);
        const auto path = dir / "m.bsp";
        test::writeFile(path, version30(test::textureLump({texture})));
        const auto opened = openContainer(path);
        EXPECT_THROW(
            try { opened.reader->DecodePictures(0); } catch (const FormatError& e) {
                EXPECT_NE(std::string(e.what()).find("wall"), std::string::npos) << e.what();
                throw;
            },
            FormatError);
    }
}

} // namespace
} // namespace vexa
