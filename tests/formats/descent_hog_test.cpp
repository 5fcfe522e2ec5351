#include "app/kinds.h"
#include "app/listing.h"
#include "base/errors.h"
#include "formats/Descent_Hog.h"
#include "support/format_checks.h"
#include "support/physfs_peer.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::TempDir;

Bytes makeHog(const std::vector<std::pair<std::string, Bytes>>& entries) {
    ByteBuilder b;
    b.raw("DHF");
    for (const auto& [name, data] : entries)
        b.name(name, 13).u32(static_cast<std::uint32_t>(data.size())).raw(data);
    return b.bytes();
}

TEST(DescentHog, WritesTheExactLayout) {
    TempDir src, out;
    const auto a = test::patternBytes(10, 1), b = test::patternBytes(5, 2);
    test::writeFile(src / "a.pig", a);
    test::writeFile(src / "b.txb", b);
    TDescentHogReader writer;
    writer.WriteContainer(out / "new.hog", src.path(), GatherFolderFiles(src.path()), nullptr);

    ByteBuilder expected;
    expected.raw("DHF").name("a.pig", 13).u32(10).raw(a).name("b.txb", 13).u32(5).raw(b);
    const auto written = test::readFile(out / "new.hog");
    EXPECT_EQ(written.size(), 52u);
    EXPECT_EQ(written, expected.bytes());

    TDescentHogReader hog;
    hog.ReadDirectory(openFileBytes(out / "new.hog"));
    EXPECT_EQ(hog.Rows()[0].offset, 20u);
    EXPECT_EQ(hog.Rows()[1].offset, 47u);
}

TEST(DescentHog, SignatureAloneIsAnEmptyHog) {
    TempDir src, out;
    TDescentHogReader writer;
    writer.WriteContainer(out / "e.hog", src.path(), {}, nullptr);
    EXPECT_EQ(test::readFile(out / "e.hog"), test::bytesOf("DHF"));
    TDescentHogReader hog;
    hog.ReadDirectory(openFileBytes(out / "e.hog"));
    EXPECT_EQ(hog.EntryCount(), 0u);
    EXPECT_EQ(statusLine(hog), (out / "e.hog").string() + "   Contains  0 files");
}

TEST(DescentHog, WalkListsEveryEntryIncludingEmptyOnes) {
    TempDir dir;
    test::writeFile(
        dir / "a.hog",
        makeHog({{"ONE.TXT", Bytes(3, 1)}, {"ZERO.DAT", Bytes{}}, {"ABCDEFGHIJKLM", Bytes(2, 2)}}));
    TDescentHogReader hog;
    hog.ReadDirectory(openFileBytes(dir / "a.hog"));
    // A name field of 13 non-zero bytes lists as its first 12.
    EXPECT_EQ(hog.EntryNames(), (std::vector<std::string>{"ONE.TXT", "ZERO.DAT", "ABCDEFGHIJKL"}));
    EXPECT_EQ(hog.EntrySize(1), 0u);
    EXPECT_EQ(hog.Rows()[2].offset, 3u + 17 + 3 + 17 + 17);
}

TEST(DescentHog, LongNamesKeepTheirFirst12Bytes) {
    TempDir src, out;
    test::writeFile(src / "FIFTEENCHARS.TX", "x");
    TDescentHogReader writer;
    writer.WriteContainer(out / "n.hog", src.path(), GatherFolderFiles(src.path()), nullptr);
    EXPECT_EQ(test::readFile(out / "n.hog"),
              ByteBuilder().raw("DHF").name("FIFTEENCHARS", 13).u32(1).raw("x").bytes());
}

TEST(DescentHog, WriteReadExtractRoundTrip) {
    TempDir src, out;
    test::makeSourceFiles(src.path());
    test::writeFile(src / "sub" / "ignored.txt", "flat kinds leave folders out");
    TDescentHogReader writer;
    writer.WriteContainer(out / "r.hog", src.path(), GatherFolderFiles(src.path()), nullptr);
    test::expectReadsBackAs(out / "r.hog", ContainerType::DescentHog,
                            {"A.ANM", "B.PLT", "EMPTY.VOC", "LAST.TXT"}, src.path());
}

TEST(DescentHog, PhysicsFSReadsWhatVexaWrites) {
    TempDir src, out;
    test::makeSourceFiles(src.path());
    TDescentHogReader writer;
    writer.WriteContainer(out / "peer.hog", src.path(), GatherFolderFiles(src.path()), nullptr);
    const auto seen = test::readWithPhysfs(out / "peer.hog");
    std::map<std::string, Bytes> expected;
    for (const auto* name : {"A.ANM", "B.PLT", "EMPTY.VOC", "LAST.TXT"})
        expected[name] = test::readFile(src / name);
    EXPECT_EQ(seen, expected);
}

TEST(DescentHog, EscapingNamesAreRefusedOnExtraction) {
    TempDir dir;
    test::writeFile(dir / "e.hog",
                    makeHog({{"..\\x", Bytes(1, 1)}, {"/abs", Bytes(1, 2)}, {"good.txt", Bytes(3, 3)}}));
    test::expectEscapingNamesRefused(dir / "e.hog");
}

TEST(DescentHog, DamagedFilesEndTheWalkWithTheFileNamed) {
    auto entry = [](ByteBuilder b, std::int32_t size) { return b.name("a", 13).i32(size); };
    test::expectAllRefused(
        [] { return std::make_unique<TDescentHogReader>(); }, ".hog",
        {
            {"too_small", test::bytesOf("DH")},
            {"negative_size", entry(ByteBuilder().raw("DHF"), -17).raw(Bytes(40, 1)).bytes()},
        });
    // An entry the end of the file cuts short is listed, damaged, and ends the walk.
    test::expectDamagedEntriesPassedOver(
        [] { return std::make_unique<TDescentHogReader>(); }, ".hog",
        {
            {"size_past_end",
             entry(entry(ByteBuilder().raw("DHF"), 1).raw("x"), 100).raw("x").bytes(),
             2,
             {1}},
            {"size_overflows", entry(ByteBuilder().raw("DHF"), 0x7FFFFFFF).raw("x").bytes(), 1, {0}},
        });
}

// A header the end of the file cuts off ends the walk with a note; the entries before it stay.
TEST(DescentHog, ACutOffHeaderEndsTheWalkWithANote) {
    auto entry = [](ByteBuilder b, std::int32_t size) { return b.name("a", 13).i32(size); };
    const struct {
        const char* fault;
        Bytes bytes;
        std::size_t listed;
    } cases[] = {
        {"first_header_cut_short", ByteBuilder().raw("DHF").name("a", 13).bytes(), 0},
        {"second_header_cut_short", entry(ByteBuilder().raw("DHF"), 1).raw("x").raw("b").bytes(), 1},
    };
    for (const auto& c : cases) {
        TempDir dir;
        test::writeFile(dir / "c.hog", c.bytes);
        TDescentHogReader hog;
        hog.ReadDirectory(openFileBytes(dir / "c.hog"));
        EXPECT_EQ(hog.EntryCount(), c.listed) << c.fault;
        ASSERT_EQ(hog.ListingNotes().size(), 1u) << c.fault;
        EXPECT_NE(hog.ListingNotes()[0].find("header of entry " + std::to_string(c.listed) + " at offset"),
                  std::string::npos)
            << hog.ListingNotes()[0];
    }
}

} // namespace
} // namespace vexa
