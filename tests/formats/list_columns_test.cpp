// The list's offset and type columns: the offset is where ExtractEntry reads the entry, the type
// the lump type of the directory record, as each kind names it.

#include "formats/texture_fixture.h"

namespace vexa {
namespace {

using test::Bytes;

class ListColumns : public test::TextureContainers {};

TEST_F(ListColumns, OffsetsAndTypesComeFromTheDirectoryRecords) {
    const std::vector<test::Lump> lumps = {{"PAL", 0x40, Bytes(5, 1)}, {"PIC", 0x42, Bytes(7, 2)},
                                           {"TEX", 0x43, Bytes(3, 3)}, {"MIP", 0x44, Bytes(2, 4)},
                                           {"FNT", 0x46, Bytes(1, 5)}, {"ODD", 0x7F, Bytes(4, 6)}};
    const struct {
        const char* magic;
        std::vector<std::string> types;
    } cases[] = {
        {"WAD3", {"0x40", "picture", "mip texture", "0x44", "font", "0x7F"}},
        {"WAD2", {"palette", "picture", "sound", "mip texture", "0x46", "0x7F"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.magic);
        for (const bool directoryFirst : {false, true}) {
            const auto object =
                open(input(std::string(c.magic) + ".wad", test::wadFile(c.magic, lumps, directoryFirst)));
            std::uint64_t at = 12 + (directoryFirst ? 32 * lumps.size() : 0);
            for (std::size_t i = 0; i < lumps.size(); ++i) {
                EXPECT_EQ(object->Rows().at(i).offset, at) << i;
                EXPECT_EQ(object->Rows().at(i).type, c.types[i]) << i;
                at += lumps[i].data.size();
            }
        }
    }
}

TEST_F(ListColumns, BspTexturesHaveTheirOffsetInTheMapAndNoType) {
    const auto first = test::mipTexture("one", 4, 2, Bytes(8, 1));
    const auto second = test::mipTexture("two", 8, 8, Bytes(64, 2));
    const auto object = open(input("m.bsp", test::bspFile(test::textureLump({first, second}))));
    const std::uint64_t table = 124 + 4 + 2 * 4;
    EXPECT_EQ(object->Rows().at(0).offset, table);
    EXPECT_EQ(object->Rows().at(1).offset, table + first.size());
    EXPECT_EQ(object->Rows().at(1).type, "");
}

TEST_F(ListColumns, KindsWithoutRecordsHaveNeitherColumn) {
    const auto folder = in_ / "pics";
    test::writeFile(folder / "A.BM", Bytes(40, 0));
    games_.set(Game::DarkForcesBm, palettes_ / "quake1.pal");
    auto listing = CreateContainerObject(ContainerType::DFBm);
    listing->ReadDirectory(openFileBytes(folder / "A.BM"));
    ASSERT_EQ(listing->EntryCount(), 1u);
    EXPECT_EQ(listing->Rows().at(0).offset, std::nullopt);
    EXPECT_EQ(listing->Rows().at(0).type, "");
}

} // namespace
} // namespace vexa
