#include "base/errors.h"
#include "base/records.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::Bytes;
using test::TempDir;

// A table of count records of recordSize bytes after a header of 7 bytes: record i holds i in its
// first four bytes and its last byte is 0xEE, so a record read from the wrong place shows.
Bytes tableFile(std::size_t count, std::size_t recordSize) {
    Bytes bytes(7 + count * recordSize, 0);
    for (std::size_t i = 0; i < count; ++i) {
        auto* record = &bytes[7 + i * recordSize];
        putU32(record, static_cast<std::uint32_t>(i));
        record[recordSize - 1] = 0xEE;
    }
    return bytes;
}

// The table is read a slice at a time: records that straddle a slice's end, a record size that
// does not divide the slice, records larger than a slice, and a walk that goes back all read as
// the file holds them.
TEST(RecordTable, EveryRecordReadsAsStoredAcrossSlices) {
    struct Case {
        std::size_t count, recordSize;
    };
    const Case cases[] = {{0, 64}, {1, 64}, {5000, 64}, {3001, 60}, {700, 100}, {3, 70000}};
    TempDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.count) + " records of " + std::to_string(c.recordSize));
        const auto path = dir / "table.bin";
        test::writeFile(path, tableFile(c.count, c.recordSize));
        const InputFile file(path);
        RecordTable table(file, static_cast<std::int64_t>(c.count), 7, c.recordSize, "directory");
        ASSERT_EQ(table.size(), c.count);
        for (std::size_t i = 0; i < c.count; ++i) {
            const auto& record = table[i];
            ASSERT_EQ(record.size(), c.recordSize);
            ASSERT_EQ(record.u32(0), i);
            ASSERT_EQ(record.u8(c.recordSize - 1), 0xEE);
        }
        // Backwards, which refills a slice for nearly every step.
        for (std::size_t i = c.count; i-- > 0;)
            ASSERT_EQ(table[i].u32(0), i);
        EXPECT_THROW(table[c.count], std::out_of_range);
    }
}

// The count is untrusted: a negative one or one the file cannot hold is refused before anything is
// allocated for it, naming the file.
TEST(RecordTable, CountsTheFileCannotHoldAreRefused) {
    TempDir dir;
    const auto path = dir / "short.bin";
    test::writeFile(path, tableFile(10, 16));
    const InputFile file(path);
    for (const std::int64_t count : {std::int64_t{-1}, std::int64_t{11}, std::int64_t{1} << 40}) {
        SCOPED_TRACE(count);
        try {
            RecordTable table(file, count, 7, 16, "directory");
            ADD_FAILURE() << "accepted";
        } catch (const FormatError& e) {
            EXPECT_NE(std::string(e.what()).find("short.bin"), std::string::npos) << e.what();
        }
    }
}

} // namespace
} // namespace vexa
