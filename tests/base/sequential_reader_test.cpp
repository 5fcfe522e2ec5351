#include "base/errors.h"
#include "base/sequential_reader.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

TEST(SequentialReader, ReadsFrontToBackAcrossItsWindow) {
    test::TempDir dir;
    const auto bytes = test::patternBytes(200000, 3);
    test::writeFile(dir / "f", bytes);
    InputFile file(dir / "f");
    SequentialReader in(file, 10);
    // Small reads, one that straddles the window's end, one larger than the window, a skip.
    const std::size_t steps[] = {8, 65530, 20, 100000, 5};
    std::size_t at = 10;
    for (const auto n : steps) {
        const auto got = in.read(n, "a record");
        ASSERT_EQ(got.size(), n);
        EXPECT_TRUE(std::equal(got.begin(), got.end(), bytes.begin() + static_cast<std::ptrdiff_t>(at)))
            << at;
        at += n;
    }
    in.skip(1000, "a gap");
    EXPECT_EQ(in.read(1, "a byte")[0], bytes[at + 1000]);
    EXPECT_EQ(in.remaining(), bytes.size() - at - 1001);
}

TEST(SequentialReader, RefusesToReadOrSkipPastTheEnd) {
    test::TempDir dir;
    test::writeFile(dir / "f", test::patternBytes(100, 1));
    InputFile file(dir / "f");
    SequentialReader in(file, 90);
    EXPECT_THROW(in.read(11, "a record"), FormatError);
    EXPECT_THROW(in.skip(0xFFFFFFFFFFFFull, "a gap"), FormatError);
    EXPECT_EQ(in.read(10, "a record").size(), 10u);
    EXPECT_EQ(in.read(0, "nothing").size(), 0u);
    SequentialReader past(file, 5000);
    EXPECT_THROW(past.read(1, "a record"), FormatError);
}

} // namespace
} // namespace vexa
