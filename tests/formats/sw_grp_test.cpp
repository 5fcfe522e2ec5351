#include "app/extract.h"
#include "app/kinds.h"
#include "formats/SW_Grp.h"
#include "support/fault_cases.h"
#include "support/format_checks.h"
#include "support/physfs_peer.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::TempDir;

struct Entry {
    std::string name; // stored bytes, up to 12
    Bytes data;
};

Bytes makeGrp(const std::vector<Entry>& entries) {
    ByteBuilder b;
    b.raw("KenSilverman").u32(static_cast<std::uint32_t>(entries.size()));
    for (const auto& e : entries)
        b.name(e.name, 12).u32(static_cast<std::uint32_t>(e.data.size()));
    for (const auto& e : entries)
        b.raw(e.data);
    return b.bytes();
}

std::vector<std::size_t> allRows(const ContainerReader& r) {
    std::vector<std::size_t> rows(r.EntryCount());
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = i;
    return rows;
}

TEST(SWGrp, IsChosenByItsExtensionInAnyLetterCase) {
    TempDir dir;
    for (const auto* name : {"a.grp", "B.GRP", "c.Grp"}) {
        test::writeFile(dir / name, makeGrp({{"X.ART", Bytes(2)}}));
        EXPECT_EQ(detectKind(dir / name), ContainerType::Grp) << name;
    }
    test::writeFile(dir / "pack.grp",
                    ByteBuilder().raw("PACK").zeros(12).bytes()); // content is not looked at
    EXPECT_EQ(detectKind(dir / "pack.grp"), ContainerType::Grp);
    auto grp = CreateContainerObject(ContainerType::Grp);
    ASSERT_TRUE(grp);
    grp->ReadDirectory(openFileBytes(dir / "c.Grp"));
    EXPECT_EQ(grp->EntryNames(), (std::vector<std::string>{"X.ART"}));
}

// Two entries of 10 and 5 bytes: the data begin at 48, the second entry at 58.
TEST(SWGrp, EntriesFollowTheDirectoryBackToBack) {
    TempDir dir, target;
    const auto bytes =
        makeGrp({{"TEN.DAT", test::patternBytes(10, 1)}, {"FIVE.DAT", test::patternBytes(5, 2)}});
    test::writeFile(dir / "t.grp", bytes);
    TSWGrpReader grp;
    grp.ReadDirectory(openFileBytes(dir / "t.grp"));
    ASSERT_EQ(grp.Rows().size(), 2u);
    EXPECT_EQ(grp.Rows()[0].offset, 48u);
    EXPECT_EQ(grp.Rows()[1].offset, 58u);
    EXPECT_EQ(extractRows(grp, target.path(), allRows(grp)).written, 2u);
    EXPECT_EQ(test::readFile(target / "TEN.DAT"), Bytes(bytes.begin() + 48, bytes.begin() + 58));
    EXPECT_EQ(test::readFile(target / "FIVE.DAT"), Bytes(bytes.begin() + 58, bytes.begin() + 63));
}

TEST(SWGrp, NameFieldsAndEmptyEntries) {
    TempDir dir, target;
    // A full 12-byte name (the size after it is not part of it), an empty name, an empty entry
    // that gives the next one its own position, a repeated name.
    test::writeFile(dir / "n.grp", makeGrp({{"ABCDEFGHIJKL", Bytes(3, 1)},
                                            {"", Bytes(2, 2)},
                                            {"EMPTY.DAT", {}},
                                            {"NEXT.DAT", Bytes(4, 4)},
                                            {"next.dat", Bytes(1, 5)}}));
    TSWGrpReader grp;
    grp.ReadDirectory(openFileBytes(dir / "n.grp"));
    EXPECT_EQ(grp.EntryNames(),
              (std::vector<std::string>{"ABCDEFGHIJKL", "", "EMPTY.DAT", "NEXT.DAT", "next.dat"}));
    EXPECT_EQ(grp.Rows()[2].offset, grp.Rows()[3].offset);
    EXPECT_EQ(extractRows(grp, target.path(), allRows(grp)).written, 5u);
    EXPECT_EQ(test::readFile(target / "^"), Bytes(2, 2));
    EXPECT_EQ(test::readFile(target / "EMPTY.DAT"), Bytes());
    EXPECT_EQ(test::readFile(target / "NEXT.DAT"), Bytes(4, 4));
    EXPECT_EQ(test::readFile(target / "next_1.dat"), Bytes(1, 5));

    test::writeFile(dir / "none.grp", makeGrp({}));
    grp.ReadDirectory(openFileBytes(dir / "none.grp"));
    EXPECT_EQ(grp.EntryCount(), 0u);
}

TEST(SWGrp, DamagedFilesAreRefusedWithTheFileNamed) {
    const auto head = [](std::int32_t count) { return ByteBuilder().raw("KenSilverman").i32(count); };
    test::expectRefused<TSWGrpReader>(
        {
            {"too_small", test::bytesOf("KenSilverman")},
            {"negative_count", head(-1).bytes(), "negative"},
            {"count_too_large", head(0x7FFFFFFF).zeros(32).bytes(), "do not fit"},
            {"directory_cut_short", head(2).name("A", 12).u32(0).bytes(), "do not fit"},
            {"negative_size", head(1).name("A", 12).i32(-5).zeros(8).bytes(), "negative"},
        },
        ".grp");
    test::expectDamagedEntriesPassedOver(
        [] { return std::make_unique<TSWGrpReader>(); }, ".grp",
        {
            {"entry_out_of_bounds",
             head(2).name("A", 12).u32(1).name("B", 12).u32(9).zeros(8).bytes(),
             2,
             {1}},
            // Sizes that each fit but whose sum runs past the end (a 32-bit sum would wrap).
            {"sizes_add_up_past_end",
             head(3)
                 .name("A", 12)
                 .u32(0x7FFFFFFF)
                 .name("B", 12)
                 .u32(0x7FFFFFFF)
                 .name("C", 12)
                 .u32(2)
                 .zeros(2)
                 .bytes(),
             3,
             {0, 1, 2}},
        });
}

TEST(SWGrp, PhysicsFsReadsTheSameEntries) {
    std::vector<Entry> entries;
    for (int i = 0; i < 10; ++i)
        entries.push_back(
            {"FILE" + std::to_string(i) + ".DAT",
             test::patternBytes(static_cast<std::size_t>(i * 53), static_cast<std::uint8_t>(i))});
    entries.push_back({"TWELVECHARSX", Bytes(7, 7)});
    TempDir dir, target;
    test::writeFile(dir / "p.grp", makeGrp(entries));
    TSWGrpReader grp;
    grp.ReadDirectory(openFileBytes(dir / "p.grp"));
    const auto peer = test::readWithPhysfs(dir / "p.grp");
    ASSERT_EQ(peer.size(), grp.EntryCount());
    for (std::size_t i = 0; i < grp.EntryCount(); ++i) {
        grp.ExtractEntry(target / "out", i);
        ASSERT_TRUE(peer.count(grp.EntryNames()[i])) << grp.EntryNames()[i];
        EXPECT_EQ(test::readFile(target / "out"), peer.at(grp.EntryNames()[i])) << i;
    }
}

} // namespace
} // namespace vexa
