#include "app/kinds.h"
#include "base/errors.h"
#include "formats/Descent_Hog2.h"
#include "support/format_checks.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::TempDir;

ByteBuilder hog2Header(std::int32_t count, std::int32_t dataPosition) {
    ByteBuilder b;
    b.raw("HOG2").i32(count).i32(dataPosition).raw(std::string(55, 'F')).u8(0);
    return b;
}

Bytes makeHog2(const std::vector<std::pair<std::string, Bytes>>& entries) {
    const auto n = static_cast<std::int32_t>(entries.size());
    auto b = hog2Header(n, 68 + 48 * n);
    for (const auto& [name, data] : entries)
        b.name(name, 36).u32(0).u32(static_cast<std::uint32_t>(data.size())).u32(0);
    for (const auto& e : entries)
        b.raw(e.second);
    return b.bytes();
}

TEST(DescentHog2, WritesTheExactLayoutWithTheGatheredTimes) {
    TempDir src, out;
    const auto a = test::patternBytes(10, 1), b = test::patternBytes(5, 2);
    test::writeFile(src / "a.oof", a);
    test::writeFile(src / "b.ogf", b);
    const SourceFileList files = {{"a.oof", 10, 0x01D9ABCD}, {"b.ogf", 5, 0x01DA0001}};
    TDescentHog2Reader writer;
    writer.WriteContainer(out / "new.hog", src.path(), files, nullptr);

    auto expected = hog2Header(2, 164);
    expected.name("a.oof", 36).u32(0).u32(10).u32(0x01D9ABCD);
    expected.name("b.ogf", 36).u32(0).u32(5).u32(0x01DA0001);
    expected.raw(a).raw(b);
    const auto written = test::readFile(out / "new.hog");
    EXPECT_EQ(written.size(), 179u);
    EXPECT_EQ(written, expected.bytes());

    TDescentHog2Reader hog;
    hog.ReadDirectory(openFileBytes(out / "new.hog"));
    EXPECT_EQ(hog.Rows()[0].offset, 164u);
    EXPECT_EQ(hog.Rows()[1].offset, 174u);
}

TEST(DescentHog2, EmptyFolderWritesHeaderAlone) {
    TempDir src, out;
    TDescentHog2Reader writer;
    writer.WriteContainer(out / "e.hog", src.path(), {}, nullptr);
    EXPECT_EQ(test::readFile(out / "e.hog"), hog2Header(0, 68).bytes());
}

TEST(DescentHog2, OffsetsAddUpFromTheDataPosition) {
    TempDir dir;
    auto b = hog2Header(3, 1000);
    b.name("seven", 36).u32(0).u32(7).u32(0).name("nine", 36).u32(0).u32(9).u32(0);
    b.name("", 36).u32(0).u32(0).u32(0); // empty name, size 0: same offset as the next would get
    b.zeros(1000 - b.size()).raw(Bytes(16, 5));
    test::writeFile(dir / "a.hog", b.bytes());
    TDescentHog2Reader hog;
    hog.ReadDirectory(openFileBytes(dir / "a.hog"));
    EXPECT_EQ(hog.EntryNames(), (std::vector<std::string>{"seven", "nine", ""}));
    EXPECT_EQ(hog.Rows()[0].offset, 1000u);
    EXPECT_EQ(hog.Rows()[1].offset, 1007u);
    EXPECT_EQ(hog.Rows()[2].offset, 1016u);
}

TEST(DescentHog2, LongNamesKeepTheirFirst35Bytes) {
    TempDir src, out;
    const std::string forty = "abcdefghijklmnopqrstuvwxyz0123456789.oof";
    test::writeFile(src / forty, "x");
    TDescentHog2Reader writer;
    writer.WriteContainer(out / "n.hog", src.path(), GatherFolderFiles(src.path()), nullptr);
    TDescentHog2Reader hog;
    hog.ReadDirectory(openFileBytes(out / "n.hog"));
    EXPECT_EQ(hog.EntryNames(), (std::vector<std::string>{forty.substr(0, 35)}));
}

TEST(DescentHog2, WriteReadExtractRoundTrip) {
    TempDir src, out;
    test::makeSourceFiles(src.path());
    test::writeFile(src / "sub" / "ignored.txt", "flat kinds leave folders out");
    TDescentHog2Reader writer;
    writer.WriteContainer(out / "r.hog", src.path(), GatherFolderFiles(src.path()), nullptr);
    test::expectReadsBackAs(out / "r.hog", ContainerType::DescentHog2,
                            {"A.ANM", "B.PLT", "EMPTY.VOC", "LAST.TXT"}, src.path());
}

TEST(DescentHog2, EscapingNamesAreRefusedOnExtraction) {
    TempDir dir;
    test::writeFile(dir / "e.hog",
                    makeHog2({{"..\\x", Bytes(1, 1)}, {"/abs", Bytes(1, 2)}, {"good.txt", Bytes(3, 3)}}));
    test::expectEscapingNamesRefused(dir / "e.hog");
}

TEST(DescentHog2, DamagedFilesAreRefusedWithTheFileNamed) {
    auto record = [](ByteBuilder b, std::int32_t size) { return b.name("a", 36).u32(0).i32(size).u32(0); };
    test::expectAllRefused([] { return std::make_unique<TDescentHog2Reader>(); }, ".hog",
                           {
                               {"too_small", test::bytesOf("HOG2")},
                               {"negative_count", hog2Header(-1, 68).bytes()},
                               {"count_too_large", record(hog2Header(0x7FFFFFFF, 116), 0).bytes()},
                               {"directory_cut_short", record(hog2Header(2, 164), 0).bytes()},
                               {"negative_data_position", record(hog2Header(1, -1), 0).bytes()},
                               {"negative_entry_size", record(hog2Header(1, 116), -1).raw("x").bytes()},
                           });
    test::expectDamagedEntriesPassedOver(
        [] { return std::make_unique<TDescentHog2Reader>(); }, ".hog",
        {
            {"entry_out_of_bounds", record(record(hog2Header(2, 164), 1), 10).raw("xy").bytes(), 2, {1}},
            {"data_position_past_end", record(hog2Header(1, 5000), 0).bytes(), 1, {0}},
            {"sizes_add_past_end",
             record(record(hog2Header(2, 164), 0x7FFFFFFF), 0x7FFFFFFF).raw("x").bytes(),
             2,
             {0, 1}},
        });
}

} // namespace
} // namespace vexa
