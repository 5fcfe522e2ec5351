#include "app/extract.h"
#include "app/kinds.h"
#include "formats/I82_ZFS.h"
#include "support/fault_cases.h"
#include "support/format_checks.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::TempDir;

struct Entry {
    std::string name; // stored bytes, up to 16
    Bytes data;
};

ByteBuilder zfsHeader(std::int32_t perBlock, std::int32_t total) {
    return std::move(ByteBuilder().raw("ZFS3").zeros(8).i32(perBlock).i32(total).zeros(8));
}

// Header, the first directory block, the data, then the later blocks in reverse order, so the
// chain runs backwards through the file. Every block has room for perBlock records.
Bytes makeZfs(std::int32_t perBlock, const std::vector<Entry>& entries) {
    const std::size_t r = static_cast<std::size_t>(perBlock);
    const std::size_t blocks = entries.empty() ? 1 : (entries.size() + r - 1) / r;
    const std::size_t blockSize = 4 + 36 * r;
    std::uint64_t dataSize = 0;
    for (const auto& e : entries)
        dataSize += e.data.size();
    const std::uint64_t dataAt = 28 + blockSize, laterAt = dataAt + dataSize;
    // Where block k lies: the first after the header, the others backwards from the end.
    const auto blockAt = [&](std::size_t k) { return k == 0 ? 28 : laterAt + (blocks - 1 - k) * blockSize; };

    std::vector<ByteBuilder> block(blocks);
    std::uint64_t offset = dataAt;
    for (std::size_t k = 0; k < blocks; ++k) {
        block[k].u32(k + 1 < blocks ? static_cast<std::uint32_t>(blockAt(k + 1)) : 0);
        for (std::size_t i = k * r; i < (k + 1) * r; ++i) {
            if (i < entries.size()) {
                block[k].name(entries[i].name, 16).u32(static_cast<std::uint32_t>(offset)).u32(0);
                block[k].u32(static_cast<std::uint32_t>(entries[i].data.size())).zeros(8);
                offset += entries[i].data.size();
            } else {
                block[k].zeros(36);
            }
        }
    }
    auto b = zfsHeader(perBlock, static_cast<std::int32_t>(entries.size()));
    b.raw(block[0].bytes());
    for (const auto& e : entries)
        b.raw(e.data);
    for (std::size_t k = blocks; k-- > 1;)
        b.raw(block[k].bytes());
    return b.bytes();
}

std::vector<Entry> numberedEntries(std::size_t n) {
    std::vector<Entry> entries;
    for (std::size_t i = 0; i < n; ++i)
        entries.push_back(
            {"F" + std::to_string(i) + ".RAW", test::patternBytes(i % 7, static_cast<std::uint8_t>(i))});
    return entries;
}

// 250 and 201 entries over blocks of 100, 40 in a single block: every entry is listed in
// directory order and extracts as stored.
TEST(I82Zfs, ListsEntriesAcrossChainedBlocks) {
    const struct {
        std::int32_t perBlock;
        std::size_t count;
    } cases[] = {{100, 250}, {100, 201}, {100, 40}, {1, 3}, {5, 0}};
    for (const auto& c : cases) {
        TempDir dir, target;
        const auto entries = numberedEntries(c.count);
        test::writeFile(dir / "z.zfs", makeZfs(c.perBlock, entries));
        auto zfs = CreateContainerObject(detectKind(dir / "z.zfs"));
        ASSERT_TRUE(zfs);
        zfs->ReadDirectory(openFileBytes(dir / "z.zfs"));
        ASSERT_EQ(zfs->EntryCount(), c.count) << c.count;
        std::vector<std::size_t> rows;
        for (std::size_t i = 0; i < c.count; ++i) {
            EXPECT_EQ(zfs->EntryNames()[i], entries[i].name);
            EXPECT_EQ(zfs->EntrySize(i), entries[i].data.size());
            rows.push_back(i);
        }
        EXPECT_EQ(extractRows(*zfs, target.path(), rows).written, c.count);
        for (const auto& e : entries)
            EXPECT_EQ(test::readFile(target / e.name), e.data) << e.name;
    }
}

TEST(I82Zfs, NamesKeepAtMostFifteenCharacters) {
    TempDir dir, target;
    test::writeFile(dir / "n.zfs",
                    makeZfs(4, {{"ABCDEFGHIJKLMNOP", Bytes(2, 1)}, {"", Bytes(3, 2)}, {"E", {}}}));
    I82ZFSReader zfs;
    zfs.ReadDirectory(openFileBytes(dir / "n.zfs"));
    EXPECT_EQ(zfs.EntryNames(), (std::vector<std::string>{"ABCDEFGHIJKLMNO", "", "E"}));
    EXPECT_EQ(extractRows(zfs, target.path(), {0, 1, 2}).written, 3u);
    EXPECT_EQ(test::readFile(target / "^"), Bytes(3, 2));
    EXPECT_EQ(test::readFile(target / "E"), Bytes());
}

TEST(I82Zfs, DamagedFilesAreRefusedWithTheFileNamed) {
    const auto record = [](ByteBuilder b, std::int32_t offset, std::int32_t size) {
        return std::move(b.name("A", 16).i32(offset).u32(0).i32(size).zeros(8));
    };
    // Two blocks of one record each that point at each other: 28 -> 68 -> 28.
    auto twoBlockLoop = record(zfsHeader(1, 3).u32(68), 0, 0);
    twoBlockLoop = record(std::move(twoBlockLoop.u32(28)), 0, 0);
    test::expectRefused<I82ZFSReader>(
        {
            {"too_small", test::bytesOf("ZFS3")},
            {"negative_count", zfsHeader(10, -1).zeros(40).bytes(), "negative"},
            {"count_too_large", zfsHeader(10, 0x7FFFFFFF).zeros(40).bytes(), "do not fit"},
            {"records_per_block_zero", zfsHeader(0, 1).zeros(40).bytes(), "not positive"},
            {"records_per_block_negative", zfsHeader(-3, 1).zeros(40).bytes(), "not positive"},
            {"chain_back_to_itself", record(zfsHeader(1, 3).u32(28), 0, 0).zeros(80).bytes(), "leads back"},
            {"chain_back_to_an_earlier_block", twoBlockLoop.zeros(40).bytes(), "leads back"},
            {"next_block_past_end", record(zfsHeader(1, 2).u32(100000), 0, 0).zeros(40).bytes(), "runs past"},
            {"negative_next_block", record(zfsHeader(1, 2).i32(-28), 0, 0).zeros(40).bytes(), "negative"},
            {"last_block_cut_short", record(zfsHeader(1, 2).u32(100), 0, 0).zeros(40).bytes(), "runs past"},
            {"negative_entry_size", record(zfsHeader(1, 1).u32(0), 0, -1).bytes(), "negative"},
            {"negative_entry_offset", record(zfsHeader(1, 1).u32(0), -1, 1).bytes(), "negative"},
        },
        ".zfs");
    test::expectDamagedEntriesPassedOver(
        [] { return std::make_unique<I82ZFSReader>(); }, ".zfs",
        {{"entry_out_of_bounds", record(zfsHeader(1, 1).u32(0), 60, 20).bytes(), 1, {0}}});
}

} // namespace
} // namespace vexa
