#include "core/errors.h"
#include "core/file_io.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::Bytes;
using test::TempDir;

// A file written through AtomicOutputFile starts its way to disk every few megabytes and copies
// kernel-side in steps of the same size: sizes around those steps come out whole, in order, from
// a copy that starts inside the source, and from plain writes of uneven pieces.
TEST(AtomicOutput, LargeFilesComeOutWholeAroundTheWriteBehindSteps) {
    constexpr std::size_t kStep = 8u << 20;
    const std::size_t sizes[] = {0, kStep - 1, kStep + 1, 2 * kStep + 12345};
    TempDir dir;
    const auto source = dir / "source.bin";
    const Bytes bytes = test::patternBytes(2 * kStep + 12345 + 77, 9);
    test::writeFile(source, bytes);
    InputFile in(source);
    for (const auto size : sizes) {
        SCOPED_TRACE(size);
        const auto target = dir / "copied.bin";
        {
            AtomicOutputFile out(target);
            out.file().write(Bytes{1, 2, 3});
            out.file().copyFrom(in, 77, size);
            EXPECT_EQ(out.file().position(), 3 + size);
            out.commit();
        }
        Bytes expected{1, 2, 3};
        expected.insert(expected.end(), bytes.begin() + 77,
                        bytes.begin() + 77 + static_cast<std::ptrdiff_t>(size));
        EXPECT_EQ(test::readFile(target), expected);

        const auto written = dir / "written.bin";
        {
            AtomicOutputFile out(written);
            for (std::size_t at = 0; at < size;) {
                const auto piece = std::min<std::size_t>(size - at, 3'000'017);
                out.file().write(std::span<const std::uint8_t>(bytes.data() + at, piece));
                at += piece;
            }
            out.commit();
        }
        EXPECT_EQ(test::readFile(written),
                  Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size)));
    }
}

// An abandoned file leaves the old target as it was, however much of the new one was written.
TEST(AtomicOutput, AbandonedLargeFileLeavesTheOldOneAndNoTemporary) {
    TempDir dir;
    test::writeFile(dir / "target.bin", "old");
    const Bytes bytes = test::patternBytes((9u << 20) + 5, 3);
    {
        AtomicOutputFile out(dir / "target.bin");
        out.file().write(bytes);
    }
    EXPECT_EQ(test::readFile(dir / "target.bin"), test::bytesOf("old"));
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.path()))
        ++files;
    EXPECT_EQ(files, 1u);
}

} // namespace
} // namespace vexa
