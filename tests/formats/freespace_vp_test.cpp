#include "app/extract.h"
#include "app/kinds.h"
#include "base/errors.h"
#include "formats/FreeSpace_VP.h"
#include "support/format_checks.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::TempDir;

// A VP with the directory after the header and the data after the directory.
Bytes makeVp(const std::vector<std::pair<std::string, Bytes>>& entries) {
    const auto n = static_cast<std::uint32_t>(entries.size());
    ByteBuilder b;
    b.raw("VPVP").u32(2).u32(16).u32(n);
    std::uint32_t offset = 16 + 44 * n;
    for (const auto& [name, data] : entries) {
        b.u32(offset).u32(static_cast<std::uint32_t>(data.size())).name(name, 32).u32(0);
        offset += static_cast<std::uint32_t>(data.size());
    }
    for (const auto& e : entries)
        b.raw(e.second);
    return b.bytes();
}

TEST(FreeSpaceVP, WritesTheExactLayoutWithTheGatheredTimes) {
    TempDir src, out;
    const auto a = test::patternBytes(10, 1), b = test::patternBytes(5, 2);
    test::writeFile(src / "a.tbl", a);
    test::writeFile(src / "b.pcx", b);
    const SourceFileList files = {{"a.tbl", 10, 0x01D9ABCD}, {"b.pcx", 5, 0x01DA0001}};
    TFreeSpaceVPReader writer;
    writer.WriteContainer(out / "new.vp", src.path(), files, nullptr);

    ByteBuilder expected;
    expected.raw("VPVP").u32(2).u32(16).u32(2);
    expected.u32(104).u32(10).name("a.tbl", 32).u32(0x01D9ABCD);
    expected.u32(114).u32(5).name("b.pcx", 32).u32(0x01DA0001);
    expected.raw(a).raw(b);
    const auto written = test::readFile(out / "new.vp");
    EXPECT_EQ(written.size(), 16u + 88 + 15);
    EXPECT_EQ(written, expected.bytes());
}

TEST(FreeSpaceVP, FlatGatheringSuppliesTheCreationTimes) {
    TempDir src, out;
    test::writeFile(src / "a.tbl", "abc");
    const auto files = GatherFolderFiles(src.path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].time, creationTimeHigh32(src / "a.tbl"));
    EXPECT_NE(files[0].time, 0u);
    TFreeSpaceVPReader writer;
    writer.WriteContainer(out / "t.vp", src.path(), files, nullptr);
    const auto written = test::readFile(out / "t.vp");
    const std::uint32_t stamp =
        written[56] | written[57] << 8 | written[58] << 16 | std::uint32_t(written[59]) << 24;
    EXPECT_EQ(stamp, files[0].time);
}

TEST(FreeSpaceVP, EmptyFolderWritesHeaderAlone) {
    TempDir src, out;
    TFreeSpaceVPReader writer;
    writer.WriteContainer(out / "e.vp", src.path(), {}, nullptr);
    EXPECT_EQ(test::readFile(out / "e.vp"), ByteBuilder().raw("VPVP").u32(2).u32(16).u32(0).bytes());
}

TEST(FreeSpaceVP, LongNamesKeepTheirFirst31Bytes) {
    TempDir src, out;
    const std::string forty = "abcdefghijklmnopqrstuvwxyz0123456789.tbl";
    test::writeFile(src / forty, "x");
    TFreeSpaceVPReader writer;
    writer.WriteContainer(out / "n.vp", src.path(), GatherFolderFiles(src.path()), nullptr);
    TFreeSpaceVPReader vp;
    vp.ReadDirectory(openFileBytes(out / "n.vp"));
    EXPECT_EQ(vp.EntryNames(), (std::vector<std::string>{forty.substr(0, 31)}));
    EXPECT_EQ(test::readFile(out / "n.vp")[16 + 8 + 31], 0); // the field keeps its end mark
}

TEST(FreeSpaceVP, ReaderTakesNamesAndDirectoryAsStored) {
    TempDir dir;
    ByteBuilder b;
    b.raw("VPVP").u32(2).u32(1000).u32(2).zeros(1000 - 16);
    b.u32(1088).u32(1).raw(std::string(32, 'z')).u32(0); // no zero in the field
    b.u32(1089).u32(0).name("", 32).u32(0);              // an empty name
    b.raw("q");
    test::writeFile(dir / "a.vp", b.bytes());
    TFreeSpaceVPReader vp;
    vp.ReadDirectory(openFileBytes(dir / "a.vp"));
    EXPECT_EQ(vp.EntryNames(), (std::vector<std::string>{std::string(31, 'z'), ""}));
    EXPECT_EQ(vp.EntrySize(0), 1u);
}

TEST(FreeSpaceVP, WriteReadExtractRoundTrip) {
    TempDir src, out;
    test::makeSourceFiles(src.path());
    test::writeFile(src / "sub" / "ignored.txt", "flat kinds leave folders out");
    TFreeSpaceVPReader writer;
    writer.WriteContainer(out / "r.vp", src.path(), GatherFolderFiles(src.path()), nullptr);
    test::expectReadsBackAs(out / "r.vp", ContainerType::FreeSpaceVP,
                            {"A.ANM", "B.PLT", "EMPTY.VOC", "LAST.TXT"}, src.path());
}

TEST(FreeSpaceVP, EscapingNamesAreRefusedOnExtraction) {
    TempDir dir;
    test::writeFile(dir / "e.vp",
                    makeVp({{"..\\x", Bytes(1, 1)}, {"/abs", Bytes(1, 2)}, {"good.txt", Bytes(3, 3)}}));
    test::expectEscapingNamesRefused(dir / "e.vp");
}

TEST(FreeSpaceVP, DamagedFilesAreRefusedWithTheFileNamed) {
    auto header = [](std::int32_t directory, std::int32_t count) {
        return ByteBuilder().raw("VPVP").u32(2).i32(directory).i32(count);
    };
    auto record = [](ByteBuilder b, std::int32_t offset, std::int32_t size) {
        return b.i32(offset).i32(size).name("a", 32).u32(0).bytes();
    };
    test::expectAllRefused([] { return std::make_unique<TFreeSpaceVPReader>(); }, ".vp",
                           {
                               {"too_small", test::bytesOf("VPVP")},
                               {"negative_directory_position", record(header(-16, 1), 0, 0)},
                               {"directory_past_end", header(5000, 1).bytes()},
                               {"negative_count", header(16, -1).bytes()},
                               {"count_too_large", record(header(16, 0x7FFFFFFF), 0, 0)},
                               {"directory_cut_short", record(header(16, 2), 0, 0)},
                               {"negative_entry_offset", record(header(16, 1), -1, 0)},
                               {"negative_entry_size", record(header(16, 1), 0, -1)},
                           });
    test::expectDamagedEntriesPassedOver(
        [] { return std::make_unique<TFreeSpaceVPReader>(); }, ".vp",
        {
            {"entry_out_of_bounds", record(header(16, 1), 60, 1), 1, {0}},
            {"entry_size_overflows", record(header(16, 1), 16, 0x7FFFFFFF), 1, {0}},
        });
}

} // namespace
} // namespace vexa

namespace vexa {
namespace {

// A VP laid out as FreeSpace's own tools write one: a folder record (size 0, the next data's
// offset) on entering a folder, ".." on leaving it.
struct TreeRecord {
    std::string name;
    Bytes data;
    bool folder = false;
};

Bytes makeVpTree(const std::vector<TreeRecord>& records) {
    const auto n = static_cast<std::uint32_t>(records.size());
    ByteBuilder b;
    b.raw("VPVP").u32(2).u32(16).u32(n);
    std::uint32_t offset = 16 + 44 * n;
    for (const auto& r : records) {
        b.u32(offset).u32(static_cast<std::uint32_t>(r.data.size())).name(r.name, 32).u32(r.folder ? 0 : 7);
        offset += static_cast<std::uint32_t>(r.data.size());
    }
    for (const auto& r : records)
        b.raw(r.data);
    return b.bytes();
}

TreeRecord folder(const char* name) {
    return {name, {}, true};
}
TreeRecord up() {
    return {"..", {}, true};
}

TEST(FreeSpaceVPFolders, FilesAreListedAndExtractedWithTheirFolders) {
    const auto ships = test::patternBytes(10, 1), weapons = test::patternBytes(5, 2),
               readme = test::patternBytes(3, 3), fire = test::patternBytes(4, 4);
    TempDir dir, target;
    test::writeFile(dir / "fs.vp", makeVpTree({folder("data"),
                                               folder("tables"),
                                               {"ships.tbl", ships},
                                               {"weapons.tbl", weapons},
                                               up(),
                                               up(),
                                               up(), // one too many: ignored at the top
                                               {"readme.txt", readme},
                                               folder("effects"),
                                               {"fire.ani", fire}}));
    TFreeSpaceVPReader vp;
    vp.ReadDirectory(openFileBytes(dir / "fs.vp"));
    EXPECT_EQ(vp.EntryNames(),
              (std::vector<std::string>{"data\\tables\\ships.tbl", "data\\tables\\weapons.tbl", "readme.txt",
                                        "effects\\fire.ani"}));
    EXPECT_EQ(vp.EntrySize(1), 5u);
    const auto result = extractRows(vp, target.path(), {0, 1, 2, 3});
    EXPECT_EQ(result.statusText(), "Extraction  Complete") << result.refusalText();
    EXPECT_EQ(test::readFile(target / "data" / "tables" / "ships.tbl"), ships);
    EXPECT_EQ(test::readFile(target / "data" / "tables" / "weapons.tbl"), weapons);
    EXPECT_EQ(test::readFile(target / "readme.txt"), readme);
    EXPECT_EQ(test::readFile(target / "effects" / "fire.ani"), fire);
}

TEST(FreeSpaceVPFolders, WithoutUpRecordsAnEmptyEntryStaysAFile) {
    TempDir dir;
    test::writeFile(dir / "flat.vp", makeVpTree({{"data", {}}, {"a.tbl", Bytes(2, 1)}}));
    TFreeSpaceVPReader vp;
    vp.ReadDirectory(openFileBytes(dir / "flat.vp"));
    EXPECT_EQ(vp.EntryNames(), (std::vector<std::string>{"data", "a.tbl"}));
}

// A tree is written as FreeSpace reads it; its records point at the next data, with no time.
TEST(FreeSpaceVPFolders, WritesFolderRecordsAroundTheirFiles) {
    TempDir src, out;
    test::writeFile(src / "a.txt", "abc");
    test::writeFile(src / "data" / "tables" / "s.tbl", "st");
    test::writeFile(src / "data" / "x.tbl", "x");
    test::writeFile(src / "z.txt", "z");
    auto files = GatherFolderTree(src.path());
    ASSERT_EQ(files.size(), 4u);
    for (auto& f : files)
        f.time = 0x01D90000;
    TFreeSpaceVPReader writer;
    writer.WriteContainer(out / "t.vp", src.path(), files, nullptr);

    ByteBuilder expected;
    expected.raw("VPVP").u32(2).u32(16).u32(8);
    expected.u32(368).u32(3).name("a.txt", 32).u32(0x01D90000);
    expected.u32(371).u32(0).name("data", 32).u32(0);
    expected.u32(371).u32(0).name("tables", 32).u32(0);
    expected.u32(371).u32(2).name("s.tbl", 32).u32(0x01D90000);
    expected.u32(373).u32(0).name("..", 32).u32(0);
    expected.u32(373).u32(1).name("x.tbl", 32).u32(0x01D90000);
    expected.u32(374).u32(0).name("..", 32).u32(0);
    expected.u32(374).u32(1).name("z.txt", 32).u32(0x01D90000);
    expected.raw("abcstxz");
    EXPECT_EQ(test::readFile(out / "t.vp"), expected.bytes());
}

TEST(FreeSpaceVPFolders, ATreeRoundTripsThroughCreate) {
    TempDir src, out;
    test::writeFile(src / "data" / "tables" / "ships.tbl", test::patternBytes(100, 1));
    test::writeFile(src / "data" / "maps" / "m.pcx", test::patternBytes(33, 2));
    test::writeFile(src / "data" / "top.txt", "t");
    test::writeFile(src / "readme.txt", "r");
    TFreeSpaceVPReader writer;
    writer.WriteContainer(out / "r.vp", src.path(), GatherFolderTree(src.path()), nullptr);
    test::expectReadsBackAs(out / "r.vp", ContainerType::FreeSpaceVP,
                            {"data\\maps\\m.pcx", "data\\tables\\ships.tbl", "data\\top.txt", "readme.txt"},
                            src.path());
}

TEST(FreeSpaceVPFolders, AnEmptyFileInATreeIsRefusedBeforeAnythingIsWritten) {
    TempDir src, out;
    test::writeFile(src / "data" / "empty.tbl", "");
    test::writeFile(src / "a.txt", "a");
    TFreeSpaceVPReader writer;
    try {
        writer.WriteContainer(out / "e.vp", src.path(), GatherFolderTree(src.path()), nullptr);
        FAIL() << "accepted";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("'data\\empty.tbl' is empty"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(out / "e.vp"));
}

} // namespace
} // namespace vexa
