// Containers inside containers opened by path: through every level, read as ranges of the outer
// ones, refused with a reason where a level is no container, missing, or too deep.

#include "app/nested.h"
#include "base/errors.h"
#include "formats/texture_builders.h"
#include "support/container_builders.h"
#include "support/gob_layout.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::doomWadOf;
using test::lfdOf;
using test::pakOf;
using test::TempDir;

struct Tree {
    TempDir dir;
    Bytes wad2 = test::wadFile(
        "WAD2", {{"WALL", 0x44, test::mipTexture("WALL", 16, 16, Bytes(256 + 64 + 16 + 4, 7))}});
    Bytes bsp = test::bspFile(test::textureLump({test::mipTexture("floor", 16, 16, Bytes(340, 3))}));
    Tree() {
        test::writeFile(dir / "id1" / "pak0.pak", pakOf({{"gfx.wad", wad2},
                                                         {"maps/e1m1.bsp", bsp},
                                                         {"readme.txt", test::bytesOf("hi")},
                                                         {"inner.pak", pakOf({{"deep/x.wad", wad2}})}}));
        test::writeFile(dir / "dark.gob",
                        test::dfGobBytes({{"SECBASE.LFD", lfdOf({{"intro.ANIM", Bytes(5, 1)}})}}));
    }
};

TEST(NestedPaths, OpenThroughEveryLevelAsRangesOfTheOuterFile) {
    Tree t;
    const struct {
        std::string path; // below the tree
        ContainerType kind;
        std::string firstEntry;
        std::size_t levels;
    } cases[] = {
        {"id1/pak0.pak", ContainerType::Pak, "gfx.wad", 1},
        {"id1/pak0.pak/gfx.wad", ContainerType::Q1Wad2, "WALL", 2},
        {"id1/pak0.pak/GFX.WAD", ContainerType::Q1Wad2, "WALL",
         2}, // letter case where no name matches exactly
        {"id1/pak0.pak/maps/e1m1.bsp", ContainerType::Q1Bsp, "floor", 2},
        {"id1/pak0.pak/maps\\e1m1.bsp", ContainerType::Q1Bsp, "floor", 2},
        {"id1/pak0.pak/inner.pak/deep/x.wad", ContainerType::Q1Wad2, "WALL", 3},
        {"dark.gob/SECBASE.LFD", ContainerType::DFLfd, "intro.anm", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const auto opened = openPath(t.dir / c.path);
        ASSERT_EQ(opened.levels.size(), c.levels);
        const auto& inner = opened.innermost();
        EXPECT_EQ(inner.kind->code, c.kind);
        ASSERT_GT(inner.reader->EntryCount(), 0u);
        EXPECT_EQ(inner.reader->EntryName(0), c.firstEntry);
        // Read where it lies in the file, never copied.
        EXPECT_EQ(inner.reader->Archive()->file()->path(),
                  opened.levels.front().container.reader->ArchivePath());
    }
    EXPECT_EQ(openPath(t.dir / "id1/pak0.pak/maps/e1m1.bsp").innermost().reader->ArchivePath(),
              t.dir / "id1" / "pak0.pak" / "maps" / "e1m1.bsp");
}

TEST(NestedPaths, RefusedLevelsSayWhy) {
    Tree t;
    fs::create_directories(t.dir / "id1" / "gfx.wad"); // a real folder of that name wins
    const struct {
        std::string path, message;
    } cases[] = {
        {"id1/pak0.pak/readme.txt", "pak0.pak/readme.txt is not a container VEXA opens (it holds text)"},
        {"id1/pak0.pak/nothing.wad", "No entry named nothing.wad in"},
        {"id1/gfx.wad", "Cannot open file"},
        {"id1/pak0.pak/gfx.wad/WALL", "is not a container VEXA opens (it holds picture)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        try {
            openPath(t.dir / c.path);
            ADD_FAILURE() << "opened";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

// A directory that lies (an entry that is the whole file) nests a container in itself: the path ends
// at the nesting limit with a message, never a loop.
TEST(NestedPaths, AContainerInsideItselfStopsAtTheLimit) {
    TempDir dir;
    auto pak = pakOf({{"self.pak", Bytes(4, 0)}});
    // The entry's range: the whole file.
    const std::uint32_t size = static_cast<std::uint32_t>(pak.size());
    for (std::size_t i = 0; i < 4; ++i)
        pak[12 + 4 + 56 + i] = 0; // its offset: 0
    pak[12 + 4 + 60] = static_cast<std::uint8_t>(size);
    pak[12 + 4 + 61] = static_cast<std::uint8_t>(size >> 8);
    test::writeFile(dir / "loop.pak", pak);
    std::string path = "loop.pak";
    for (std::size_t i = 0; i < kMaxNesting + 2; ++i)
        path += "/self.pak";
    try {
        openPath(dir / path);
        ADD_FAILURE() << "opened";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("nested more than 16 deep"), std::string::npos) << e.what();
    }
    EXPECT_EQ(openPath(dir / "loop.pak/self.pak/self.pak").levels.size(), 3u);
}

} // namespace
} // namespace vexa
