#include "app/kinds.h"
#include "base/errors.h"
#include "formats/OL_Lab.h"
#include "support/format_checks.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::TempDir;

// A LAB as the writer lays it out: header, records, name table, data.
Bytes makeLab(const std::vector<std::pair<std::string, Bytes>>& entries) {
    const auto n = static_cast<std::uint32_t>(entries.size());
    std::string table;
    std::vector<std::uint32_t> nameAt;
    for (const auto& e : entries) {
        nameAt.push_back(static_cast<std::uint32_t>(table.size()));
        table += e.first;
        table.push_back('\0');
    }
    ByteBuilder b;
    b.raw("LABN").u32(0x10000).u32(n).u32(static_cast<std::uint32_t>(table.size()));
    std::uint32_t offset = 16 + 16 * n + static_cast<std::uint32_t>(table.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        b.u32(nameAt[i]).u32(offset).u32(static_cast<std::uint32_t>(entries[i].second.size())).zeros(4);
        offset += static_cast<std::uint32_t>(entries[i].second.size());
    }
    b.raw(table);
    for (const auto& e : entries)
        b.raw(e.second);
    return b.bytes();
}

TEST(OLLab, WritesTheExactLayout) {
    TempDir src, out;
    const auto a = test::patternBytes(10, 1), b = test::patternBytes(5, 2);
    test::writeFile(src / "a.pcx", a);
    test::writeFile(src / "b.xyz", b);
    TOLLabReader writer;
    writer.WriteContainer(out / "new.lab", src.path(), GatherFolderFiles(src.path()), nullptr);

    ByteBuilder expected;
    expected.raw("LABN").u32(0x10000).u32(2).u32(12);
    expected.u32(0).u32(60).u32(10).raw("MTXT");
    expected.u32(6).u32(70).u32(5).zeros(4);
    expected.raw(std::string_view("a.pcx\0b.xyz\0", 12)).raw(a).raw(b);
    EXPECT_EQ(test::readFile(out / "new.lab"), expected.bytes());
}

TEST(OLLab, TypeCodesFollowTheExtensionInAnyCase) {
    const struct {
        const char* name;
        const char* code;
    } cases[] = {
        {"x.itm", "METI"},           {"X.PCX", "MTXT"},     {"x.Atx", "FXTA"},   {"x.nwx", "FXAW"},
        {"music.wav", "DVAW"},       {"x.PHY", "SYHP"},     {"x.rcs", "BPCR"},   {"x.msc", "BCSM"},
        {"x.laf", "TNFN"},           {"x.lvt", "FTVL"},     {"x.obt", "FTBO"},   {"x.inf", "FFNI"},
        {"noextension", "\0\0\0\0"}, {"x.txt", "\0\0\0\0"}, {"wav", "\0\0\0\0"}, {"a.wav.bak", "\0\0\0\0"},
    };
    for (const auto& c : cases) {
        const auto code = TOLLabReader::TypeCode(c.name);
        EXPECT_EQ(std::string(code.begin(), code.end()), std::string(c.code, 4)) << c.name;
    }
}

TEST(OLLab, EmptyFolderWritesHeaderAlone) {
    TempDir src, out;
    TOLLabReader writer;
    writer.WriteContainer(out / "e.lab", src.path(), {}, nullptr);
    EXPECT_EQ(test::readFile(out / "e.lab"), ByteBuilder().raw("LABN").u32(0x10000).u32(0).u32(0).bytes());
    TOLLabReader lab;
    lab.ReadDirectory(openFileBytes(out / "e.lab"));
    EXPECT_EQ(lab.EntryCount(), 0u);
}

TEST(OLLab, NamesAreFoundThroughTheirOwnOffsets) {
    TempDir dir;
    // Names out of order and shared, a table length that lies, and a last name the file ends.
    ByteBuilder b;
    b.raw("LABN").u32(0x10000).u32(4).u32(3);
    b.u32(6).u32(96).u32(2).zeros(4);  // "second" at 6
    b.u32(0).u32(98).u32(1).zeros(4);  // "first" at 0
    b.u32(0).u32(99).u32(0).zeros(4);  // shared with the one before
    b.u32(13).u32(99).u32(1).zeros(4); // runs to the end of the file
    b.raw(std::string_view("first\0second\0", 13)).raw("xyz").raw("tail");
    test::writeFile(dir / "a.lab", b.bytes());
    TOLLabReader lab;
    lab.ReadDirectory(openFileBytes(dir / "a.lab"));
    EXPECT_EQ(lab.EntryNames(), (std::vector<std::string>{"second", "first", "first", "xyztail"}));
}

TEST(OLLab, WriteReadExtractRoundTrip) {
    TempDir src, out;
    test::makeSourceFiles(src.path());
    test::writeFile(src / "sub" / "ignored.txt", "flat kinds leave folders out");
    TOLLabReader writer;
    writer.WriteContainer(out / "r.lab", src.path(), GatherFolderFiles(src.path()), nullptr);
    test::expectReadsBackAs(out / "r.lab", ContainerType::OLLab, {"A.ANM", "B.PLT", "EMPTY.VOC", "LAST.TXT"},
                            src.path());
}

TEST(OLLab, EscapingNamesAreRefusedOnExtraction) {
    TempDir dir;
    test::writeFile(dir / "e.lab",
                    makeLab({{"..\\x", Bytes(1, 1)}, {"/abs", Bytes(1, 2)}, {"good.txt", Bytes(3, 3)}}));
    test::expectEscapingNamesRefused(dir / "e.lab");
}

TEST(OLLab, DamagedFilesAreRefusedWithTheFileNamed) {
    auto header = [](std::int32_t count) { return ByteBuilder().raw("LABN").u32(0x10000).i32(count).u32(0); };
    const std::string endless(5000, 'n'); // no zero byte within the longest name taken
    test::expectAllRefused(
        [] { return std::make_unique<TOLLabReader>(); }, ".lab",
        {
            {"too_small", test::bytesOf("LABN")},
            {"negative_count", header(-1).bytes()},
            {"count_too_large", header(0x7FFFFFFF).zeros(16).bytes()},
            {"directory_cut_short", header(2).u32(0).u32(0).u32(0).zeros(4).bytes()},
            {"name_offset_past_end", header(1).u32(1000).u32(0).u32(0).zeros(4).raw("a").bytes()},
            {"name_offset_before_start", header(1).i32(-100).u32(0).u32(0).zeros(4).raw("a").bytes()},
            {"name_without_end", header(1).u32(0).u32(0).u32(0).zeros(4).raw(endless).bytes()},
            {"negative_entry_offset",
             header(1).u32(0).i32(-1).u32(0).zeros(4).raw(std::string_view("a\0", 2)).bytes()},
            {"negative_entry_size",
             header(1).u32(0).u32(0).i32(-2).zeros(4).raw(std::string_view("a\0", 2)).bytes()},
        });
    test::expectDamagedEntriesPassedOver(
        [] { return std::make_unique<TOLLabReader>(); }, ".lab",
        {
            {"entry_out_of_bounds",
             header(1).u32(0).u32(34).u32(10).zeros(4).raw(std::string_view("a\0", 2)).bytes(),
             1,
             {0}},
            {"entry_size_overflows",
             header(1).u32(0).u32(34).u32(0x7FFFFFFF).zeros(4).raw(std::string_view("a\0", 2)).bytes(),
             1,
             {0}},
        });
}

} // namespace
} // namespace vexa
