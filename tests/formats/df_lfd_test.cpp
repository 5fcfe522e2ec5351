#include "app/kinds.h"
#include "base/errors.h"
#include "base/text.h"
#include "formats/DF_Lfd.h"
#include "support/format_checks.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::TempDir;

struct Resource {
    std::string type, name;
    Bytes data;
};

Bytes makeLfd(const std::vector<Resource>& resources) {
    ByteBuilder b;
    b.raw("RMAPresource").u32(16 * static_cast<std::uint32_t>(resources.size()));
    for (const auto& r : resources)
        b.name(r.type, 4).name(r.name, 8).u32(static_cast<std::uint32_t>(r.data.size()));
    for (const auto& r : resources)
        b.name(r.type, 4).name(r.name, 8).u32(static_cast<std::uint32_t>(r.data.size())).raw(r.data);
    return b.bytes();
}

TEST(DFLfd, WritesTheExactLayout) {
    TempDir src, out;
    const auto anim = test::patternBytes(100, 1), pltt = test::patternBytes(20, 2);
    test::writeFile(src / "A.ANM", anim);
    test::writeFile(src / "B.PLT", pltt);
    TDFLfdReader writer;
    writer.WriteContainer(out / "new.lfd", src.path(), GatherFolderFiles(src.path()), nullptr);

    ByteBuilder expected;
    expected.raw("RMAPresource").u32(32);
    expected.raw("ANIM").name("A", 8).u32(100).raw("PLTT").name("B", 8).u32(20);
    expected.raw("ANIM").name("A", 8).u32(100).raw(anim);
    expected.raw("PLTT").name("B", 8).u32(20).raw(pltt);
    const auto written = test::readFile(out / "new.lfd");
    EXPECT_EQ(written.size(), 200u);
    EXPECT_EQ(written, expected.bytes());

    TDFLfdReader lfd;
    lfd.ReadDirectory(openFileBytes(out / "new.lfd"));
    EXPECT_EQ(lfd.EntryNames(), (std::vector<std::string>{"A.anm", "B.plt"}));
    EXPECT_EQ(lfd.Rows()[0].offset, 64u);
    EXPECT_EQ(lfd.Rows()[1].offset, 180u);
}

TEST(DFLfd, TypesFollowTheTableInAnyCase) {
    const struct {
        const char* sourceName;
        const char* type; // stored
        const char* listExtension;
    } cases[] = {
        {"x.anm", "ANIM", ".anm"}, {"x.DLT", "DELT", ".dlt"}, {"x.Flm", "FILM", ".flm"},
        {"x.fon", "FONT", ".fon"}, {"x.gmd", "GMID", ".gmd"}, {"x.PLT", "PLTT", ".plt"},
        {"x.voc", "VOIC", ".voc"},
    };
    for (const auto& c : cases) {
        const auto type = TDFLfdReader::TypeForName(c.sourceName);
        EXPECT_EQ(std::string(type.begin(), type.end()), c.type) << c.sourceName;
        EXPECT_EQ(TDFLfdReader::ListExtension(c.type), c.listExtension) << c.type;
        EXPECT_EQ(TDFLfdReader::ListExtension(toLowerAscii(c.type)), c.listExtension) << c.type;
    }
    for (const auto* other : {"x.txt", "noextension", "x.anm.bak"}) {
        const auto type = TDFLfdReader::TypeForName(other);
        EXPECT_EQ(std::string(type.begin(), type.end()), std::string(4, '\0')) << other;
    }
    // Types outside the table keep their letters as the extension; an empty type gives none.
    EXPECT_EQ(TDFLfdReader::ListExtension("TEXT"), ".text");
    EXPECT_EQ(TDFLfdReader::ListExtension(""), "");
}

TEST(DFLfd, NamesAreCutToEightAndTypesOutsideTheTableStoreZeros) {
    TempDir src, out;
    test::writeFile(src / "ELEVENCHARS.anm", "abc");
    test::writeFile(src / "notes.txt", "de");
    TDFLfdReader writer;
    writer.WriteContainer(out / "n.lfd", src.path(), GatherFolderFiles(src.path()), nullptr);
    ByteBuilder expected;
    expected.raw("RMAPresource").u32(32);
    expected.raw("ANIM").raw("ELEVENCH").u32(3).zeros(4).name("notes", 8).u32(2);
    expected.raw("ANIM").raw("ELEVENCH").u32(3).raw("abc").zeros(4).name("notes", 8).u32(2).raw("de");
    EXPECT_EQ(test::readFile(out / "n.lfd"), expected.bytes());

    TDFLfdReader lfd;
    lfd.ReadDirectory(openFileBytes(out / "n.lfd"));
    EXPECT_EQ(lfd.EntryNames(), (std::vector<std::string>{"ELEVENCH.anm", "notes"}));
}

TEST(DFLfd, CountIsTheMapSizeOverSixteen) {
    const struct {
        std::int32_t mapSize;
        std::size_t count;
    } cases[] = {{0, 0}, {15, 0}, {-16, 0}, {16, 1}, {40, 2}};
    for (const auto& c : cases) {
        TempDir dir;
        ByteBuilder b;
        b.raw("RMAPresource")
            .i32(c.mapSize)
            .raw("PLTT")
            .name("one", 8)
            .u32(0)
            .raw("pltt")
            .name("two", 8)
            .u32(0);
        b.zeros(64);
        test::writeFile(dir / "a.lfd", b.bytes());
        TDFLfdReader lfd;
        lfd.ReadDirectory(openFileBytes(dir / "a.lfd"));
        ASSERT_EQ(lfd.EntryCount(), c.count) << c.mapSize;
        if (c.count == 2) {
            EXPECT_EQ(lfd.EntryNames(), (std::vector<std::string>{"one.plt", "two.plt"}));
            EXPECT_EQ(lfd.Rows()[1].offset, *lfd.Rows()[0].offset + 16); // size 0 takes only its header
        }
    }
}

TEST(DFLfd, EmptyFolderWritesTheMapHeaderAlone) {
    TempDir src, out;
    TDFLfdReader writer;
    writer.WriteContainer(out / "e.lfd", src.path(), {}, nullptr);
    EXPECT_EQ(test::readFile(out / "e.lfd"), ByteBuilder().raw("RMAPresource").u32(0).bytes());
}

TEST(DFLfd, WriteReadExtractRoundTrip) {
    TempDir src, out;
    test::writeFile(src / "intro.anm", test::patternBytes(100, 1));
    test::writeFile(src / "pal.plt", test::patternBytes(768, 2));
    test::writeFile(src / "empty.voc", Bytes{});
    test::writeFile(src / "music.gmd", test::patternBytes(70000, 3));
    test::writeFile(src / "sub" / "ignored.fon", "flat kinds leave folders out");
    TDFLfdReader writer;
    writer.WriteContainer(out / "r.lfd", src.path(), GatherFolderFiles(src.path()), nullptr);
    test::expectReadsBackAs(out / "r.lfd", ContainerType::DFLfd,
                            {"empty.voc", "intro.anm", "music.gmd", "pal.plt"}, src.path());
}

TEST(DFLfd, EscapingNamesAreRefusedOnExtraction) {
    TempDir dir;
    test::writeFile(
        dir / "e.lfd",
        makeLfd({{"", "..\\x", Bytes(1, 1)}, {"", "/abs", Bytes(1, 2)}, {"TEXT", "good", Bytes(3, 3)}}));
    test::expectEscapingNamesRefused(dir / "e.lfd", {"..\\x", "/abs", "good.text"});
}

TEST(DFLfd, DamagedFilesAreRefusedWithTheFileNamed) {
    auto map = [](std::int32_t size) { return ByteBuilder().raw("RMAPresource").i32(size); };
    test::expectAllRefused([] { return std::make_unique<TDFLfdReader>(); }, ".lfd",
                           {
                               {"too_small", test::bytesOf("RMAPresource")},
                               {"map_too_large", map(0x7FFFFFF0).raw("ANIMa").zeros(7).u32(0).bytes()},
                               {"map_cut_short", map(32).raw("ANIMa").zeros(7).u32(0).bytes()},
                               {"negative_size", map(16).raw("ANIMa").zeros(7).i32(-16).zeros(40).bytes()},
                           });
    // Each resource starts where the one before ends: from a damaged one on, all are.
    const auto two = [&](std::uint32_t first, std::uint32_t second) {
        return map(32).raw("ANIMa").zeros(7).u32(first).raw("ANIMb").zeros(7).u32(second);
    };
    test::expectDamagedEntriesPassedOver(
        [] { return std::make_unique<TDFLfdReader>(); }, ".lfd",
        {
            {"resource_header_missing", map(16).raw("ANIMa").zeros(7).u32(0).bytes(), 1, {0}},
            {"resource_past_end", two(1, 10).zeros(16).raw("x").zeros(16).raw("x").bytes(), 2, {1}},
            {"sizes_add_past_end", two(0x7FFFFFFF, 0x7FFFFFFF).zeros(40).bytes(), 2, {0, 1}},
        });
}

} // namespace
} // namespace vexa
