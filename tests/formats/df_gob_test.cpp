#include "app/extract.h"
#include "app/kinds.h"
#include "app/listing.h"
#include "base/errors.h"
#include "formats/DF_Gob.h"
#include "support/format_checks.h"
#include "support/gob_layout.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::TempDir;

Bytes makeGob(const std::vector<std::pair<std::string, Bytes>>& entries) {
    return test::dfGobBytes(entries);
}

TEST(DFGob, ListsNamesAndSizesInDirectoryOrder) {
    TempDir dir;
    test::writeFile(dir / "a.gob",
                    makeGob({{"ABCDEFGH.IJK", Bytes(5, 1)}, {"A.B", Bytes(0)}, {"Z.LEV", Bytes(3, 2)}}));
    TDFGobReader gob;
    gob.ReadDirectory(openFileBytes(dir / "a.gob"));
    EXPECT_EQ(gob.EntryNames(), (std::vector<std::string>{"ABCDEFGH.IJK", "A.B", "Z.LEV"}));
    EXPECT_EQ(gob.EntrySize(0), 5u);
    EXPECT_EQ(gob.EntrySize(1), 0u);
    EXPECT_EQ(statusLine(gob), (dir / "a.gob").string() + "   Contains  3 files");
}

TEST(DFGob, NameFieldStopsAtTwelveCharacters) {
    TempDir dir;
    ByteBuilder b;
    b.raw("GOB\n").u32(8).u32(1).u32(0).u32(0).raw("ABCDEFGHIJKLM"); // no zero byte in the field
    test::writeFile(dir / "a.gob", b.bytes());
    TDFGobReader gob;
    gob.ReadDirectory(openFileBytes(dir / "a.gob"));
    EXPECT_EQ(gob.EntryNames(), (std::vector<std::string>{"ABCDEFGHIJKL"}));
}

TEST(DFGob, EightBitNamesBecomeUtf8) {
    TempDir dir;
    test::writeFile(dir / "a.gob", makeGob({{"\xC9T\xC9.TXT", Bytes(1, 7)}}));
    TDFGobReader gob;
    gob.ReadDirectory(openFileBytes(dir / "a.gob"));
    EXPECT_EQ(gob.EntryNames()[0], "\xC3\x89T\xC3\x89.TXT");
}

TEST(DFGob, EmptyGobListsNothing) {
    TempDir dir;
    test::writeFile(dir / "a.gob", makeGob({}));
    TDFGobReader gob;
    gob.ReadDirectory(openFileBytes(dir / "a.gob"));
    EXPECT_EQ(gob.EntryCount(), 0u);
    EXPECT_EQ(statusLine(gob), (dir / "a.gob").string() + "   Contains  0 files");
}

TEST(DFGob, DamagedFilesAreRefusedWithTheFileNamed) {
    const struct {
        const char* fault;
        Bytes bytes;
    } cases[] = {
        {"too_small", test::bytesOf("GOB\n")},
        {"directory_offset_past_end", ByteBuilder().raw("GOB\n").u32(5000).bytes()},
        {"negative_directory_offset", ByteBuilder().raw("GOB\n").i32(-4).bytes()},
        {"negative_count", ByteBuilder().raw("GOB\n").u32(8).i32(-1).bytes()},
        {"count_too_large", ByteBuilder().raw("GOB\n").u32(8).u32(0x7FFFFFFF).zeros(21).bytes()},
        {"directory_cut_short", ByteBuilder().raw("GOB\n").u32(8).u32(2).u32(0).u32(0).name("A", 13).bytes()},
        {"negative_entry_offset",
         ByteBuilder().raw("GOB\n").u32(8).u32(1).i32(-8).u32(1).name("A", 13).bytes()},
    };
    for (const auto& c : cases) {
        TempDir dir;
        const auto path = dir / (std::string(c.fault) + ".gob");
        test::writeFile(path, c.bytes);
        TDFGobReader gob;
        try {
            gob.ReadDirectory(openFileBytes(path));
            ADD_FAILURE() << c.fault << " was accepted";
        } catch (const FormatError& e) {
            EXPECT_NE(std::string(e.what()).find(path.string()), std::string::npos)
                << c.fault << ": " << e.what();
        }
    }
    const auto twoEntries = [](std::uint32_t offset, std::uint32_t size) {
        return ByteBuilder()
            .raw("GOB\n")
            .u32(8)
            .u32(2)
            .u32(0)
            .u32(4)
            .name("A", 13)
            .u32(offset)
            .u32(size)
            .name("B", 13)
            .bytes();
    };
    test::expectDamagedEntriesPassedOver([] { return std::make_unique<TDFGobReader>(); }, ".gob",
                                         {
                                             {"entry_out_of_bounds", twoEntries(4, 100), 2, {1}},
                                             {"entry_size_overflows", twoEntries(4, 0x7FFFFFFF), 2, {1}},
                                             {"entry_offset_past_end", twoEntries(5000, 0), 2, {1}},
                                         });
}

TEST(DFGob, MissingFileGivesTheFileLayerMessage) {
    TDFGobReader gob;
    try {
        gob.ReadDirectory(openFileBytes("/nonexistent/x.gob"));
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Cannot open file /nonexistent/x.gob: No such file or directory");
    }
}

// The two-file example: A.LEV (10 bytes) and B.PAL (768 bytes).
TEST(DFGob, WritesTheExactLayout) {
    TempDir src, out;
    const auto lev = test::patternBytes(10, 1), pal = test::patternBytes(768, 2);
    test::writeFile(src / "A.LEV", lev);
    test::writeFile(src / "B.PAL", pal);
    TDFGobReader gob;
    gob.WriteContainer(out / "new.gob", src.path(), GatherFolderFiles(src.path()), nullptr);

    ByteBuilder expected;
    expected.raw("GOB\n").u32(786).raw(lev).raw(pal).u32(2);
    expected.u32(8).u32(10).name("A.LEV", 13).u32(18).u32(768).name("B.PAL", 13);
    const auto written = test::readFile(out / "new.gob");
    EXPECT_EQ(written.size(), 832u);
    EXPECT_EQ(written, expected.bytes());
}

TEST(DFGob, LongNamesKeepElevenCharactersAndTwelveFitWhole) {
    TempDir src, out;
    test::writeFile(src / "LONGNAMEFILE.TXT", "x");
    test::writeFile(src / "ABCDEFGH.TXT", "y");
    TDFGobReader writer;
    writer.WriteContainer(out / "n.gob", src.path(), GatherFolderFiles(src.path()), nullptr);
    TDFGobReader gob;
    gob.ReadDirectory(openFileBytes(out / "n.gob"));
    EXPECT_EQ(gob.EntryNames(), (std::vector<std::string>{"ABCDEFGH.TXT", "LONGNAMEFIL"}));
}

TEST(DFGob, EmptyFolderWritesACompleteEmptyGob) {
    TempDir src, out;
    TDFGobReader writer;
    writer.WriteContainer(out / "e.gob", src.path(), {}, nullptr);
    EXPECT_EQ(test::readFile(out / "e.gob"), ByteBuilder().raw("GOB\n").u32(8).u32(0).bytes());
}

TEST(DFGob, WriteReadExtractRoundTrip) {
    TempDir src, out, target;
    std::vector<std::string> names = {"A.BM", "B.WAV", "C.TXT", "EMPTY.DAT"};
    for (std::size_t i = 0; i < names.size(); ++i)
        test::writeFile(src / names[i],
                        test::patternBytes(i == 3 ? 0 : 1000 * (i + 1), static_cast<std::uint8_t>(i)));
    TDFGobReader writer;
    writer.WriteContainer(out / "r.gob", src.path(), GatherFolderFiles(src.path()), nullptr);

    auto gob = CreateContainerObject(detectKind(out / "r.gob"));
    ASSERT_TRUE(gob);
    gob->ReadDirectory(openFileBytes(out / "r.gob"));
    EXPECT_EQ(gob->EntryNames(), names);
    const auto result = extractRows(*gob, target.path(), {0, 1, 2, 3});
    EXPECT_EQ(result.written, 4u);
    EXPECT_EQ(result.statusText(), "Extraction  Complete");
    for (const auto& n : names)
        EXPECT_EQ(test::readFile(target / n), test::readFile(src / n)) << n;
}

TEST(DFGob, FailedWriteKeepsThePreviousFile) {
    TempDir src, out;
    test::writeFile(src / "A.TXT", "abc");
    test::writeFile(out / "old.gob", "previous");
    auto files = GatherFolderFiles(src.path());
    test::writeFile(src / "A.TXT", "abcdef"); // changed since the gathering
    TDFGobReader writer;
    EXPECT_THROW(writer.WriteContainer(out / "old.gob", src.path(), files, nullptr), Error);
    EXPECT_EQ(test::readFile(out / "old.gob"), test::bytesOf("previous"));
    EXPECT_EQ(std::distance(fs::directory_iterator(out.path()), fs::directory_iterator()), 1);

    fs::remove(src / "A.TXT"); // gone since the gathering
    EXPECT_THROW(writer.WriteContainer(out / "old.gob", src.path(), files, nullptr), Error);
    EXPECT_EQ(test::readFile(out / "old.gob"), test::bytesOf("previous"));
}

TEST(DFGob, NamesThatCannotBeStoredAreRefusedBeforeWriting) {
    TempDir src, out;
    test::writeFile(src / "\xE2\x82\xAC.TXT", "euro"); // no single-byte form
    TDFGobReader writer;
    EXPECT_THROW(writer.WriteContainer(out / "n.gob", src.path(), GatherFolderFiles(src.path()), nullptr),
                 Error);
    EXPECT_FALSE(fs::exists(out / "n.gob"));
}

} // namespace
} // namespace vexa
