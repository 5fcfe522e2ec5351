#include "base/errors.h"
#include "base/file_io.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vexa {
namespace {

using test::Bytes;
using test::TempDir;

// A file written through AtomicOutputFile that replaces another starts its way to disk every few
// megabytes: sizes around those steps come out whole, in order, from a copy that starts inside the
// source (shifted within its pages, so large ones go in two halves at once) followed by more
// writes, and from plain writes of uneven pieces; the first round writes new files, the later ones
// replace them.
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
            const WriterLock lock(target, {});
            AtomicOutputFile out(target, lock);
            out.file().write(Bytes{1, 2, 3});
            out.file().copyFrom(in, 77, size);
            out.file().write(Bytes{4, 5});
            EXPECT_EQ(out.file().position(), 3 + size + 2);
            out.commit();
        }
        Bytes expected{1, 2, 3};
        expected.insert(expected.end(), bytes.begin() + 77,
                        bytes.begin() + 77 + static_cast<std::ptrdiff_t>(size));
        expected.insert(expected.end(), {4, 5});
        EXPECT_EQ(test::readFile(target), expected);

        const auto written = dir / "written.bin";
        {
            const WriterLock lock(written, {});
            AtomicOutputFile out(written, lock);
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

// Entries are copied kernel-side, in two halves at once when large and shifted within their pages,
// or through a buffer: every way gives the same bytes, and a source that turns out shorter than it
// was (cut while being read) is reported with the range, never copied short in silence.
TEST(CopyRange, EveryWayOfCopyingGivesTheSameBytesAndShortSourcesAreReported) {
    const struct {
        std::uint64_t offset, size;
    } ranges[] = {{0, 5u << 20}, {12, 5u << 20}, {12, 100'000}, {4096, (4u << 20) + 3}, {4095, 4u << 20}};
    TempDir dir;
    const Bytes bytes = test::patternBytes((6u << 20), 5);
    test::writeFile(dir / "archive", bytes);
    for (const auto& r : ranges) {
        SCOPED_TRACE(std::to_string(r.offset) + "+" + std::to_string(r.size));
        InputFile archive(dir / "archive");
        copyRangeToFile(archive, r.offset, r.size, dir / "entry");
        const auto from = bytes.begin() + static_cast<std::ptrdiff_t>(r.offset);
        EXPECT_EQ(test::readFile(dir / "entry"), Bytes(from, from + static_cast<std::ptrdiff_t>(r.size)));

        test::writeFile(dir / "cut", bytes);
        InputFile cut(dir / "cut");
        fs::resize_file(dir / "cut", r.offset + r.size / 2);
        try {
            copyRangeToFile(cut, r.offset, r.size, dir / "short");
            ADD_FAILURE() << "a short source was copied";
        } catch (const FormatError& e) {
            EXPECT_EQ(std::string(e.what()), (dir / "cut").string() + ": the file ended at offset " +
                                                 std::to_string(r.offset + r.size / 2) + " while " +
                                                 std::to_string(r.size) + " bytes from offset " +
                                                 std::to_string(r.offset) + " were being copied");
        }
        EXPECT_FALSE(fs::exists(dir / "short"));
    }
}

// An abandoned file leaves the old target as it was, however much of the new one was written.
TEST(AtomicOutput, AbandonedLargeFileLeavesTheOldOneAndNoTemporary) {
    TempDir dir;
    test::writeFile(dir / "target.bin", "old");
    const Bytes bytes = test::patternBytes((9u << 20) + 5, 3);
    {
        const WriterLock lock(dir / "target.bin", {});
        AtomicOutputFile out(dir / "target.bin", lock);
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
