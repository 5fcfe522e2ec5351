// Bytes read at an offset: a file, memory, a range of either and a range of a range read the same,
// refuse what lies past their end, and copy to a file through the system or through memory alike.

#include "base/errors.h"
#include "base/file_io.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <functional>

namespace vexa {
namespace {

using test::Bytes;
using test::TempDir;

TEST(ByteSources, EveryKindReadsTheSameBytesAndRefusesWhatLiesPastItsEnd) {
    TempDir dir;
    const Bytes all = test::patternBytes(300, 5);
    test::writeFile(dir / "file", all);
    const auto file = openFileBytes(dir / "file");
    const auto memory = std::make_shared<const MemoryBytes>(all, dir / "memory");
    const struct {
        std::string name;
        std::shared_ptr<const ByteSource> source;
        std::size_t first; // where its bytes start in all
        bool inFile;
    } cases[] = {
        {"file", file, 0, true},
        {"memory", memory, 0, false},
        {"range of a file", std::make_shared<const ByteRange>(file, 10, 200, "a"), 10, true},
        {"range of memory", std::make_shared<const ByteRange>(memory, 10, 200, "a"), 10, false},
        {"range of a range",
         std::make_shared<const ByteRange>(std::make_shared<const ByteRange>(file, 10, 200, "a\\b"), 7, 50,
                                           "c"),
         17, true},
        {"empty range", std::make_shared<const ByteRange>(memory, 300, 0, "e"), 300, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto& s = *c.source;
        const auto expected = [&](std::uint64_t at, std::size_t n) {
            const auto from = all.begin() + static_cast<std::ptrdiff_t>(c.first + at);
            return Bytes(from, from + static_cast<std::ptrdiff_t>(n));
        };
        EXPECT_EQ(s.readBlock(0, s.size(), "all"), expected(0, s.size()));
        Bytes some(64, 0xEE);
        const auto got = s.readSome(s.size() > 20 ? s.size() - 20 : 0, some);
        EXPECT_EQ(got, std::min<std::uint64_t>(20, s.size()));
        EXPECT_EQ(Bytes(some.begin(), some.begin() + static_cast<std::ptrdiff_t>(got)),
                  expected(s.size() - got, got));
        EXPECT_EQ(s.readSome(s.size() + 5, some), 0u);
        Bytes none;
        EXPECT_EQ(s.readSome(0, none), 0u); // an empty read reads nothing, even from nothing
        EXPECT_THROW(s.readBlock(s.size(), 1, "one past the end"), FormatError);
        EXPECT_THROW(s.readBlock(1, s.size(), "one too many"), FormatError);
        EXPECT_EQ(s.file() != nullptr, c.inFile);
        if (s.file()) {
            EXPECT_EQ(s.fileOffset(), c.first);
        }

        // Copied to a file: through the system from a file, through memory otherwise.
        copyRangeToFile(s, 0, s.size(), dir / "copy");
        EXPECT_EQ(test::readFile(dir / "copy"), expected(0, s.size()));
    }
}

TEST(ByteSources, RangesKnowWhereTheyLieAndRefuseToRunPastTheirContainer) {
    TempDir dir;
    const auto memory = std::make_shared<const MemoryBytes>(test::patternBytes(100, 1), dir / "c.pak");
    const auto inner = std::make_shared<const ByteRange>(memory, 20, 50, "maps\\e1m1.bsp");
    const ByteRange innermost(inner, 5, 10, "x");
    EXPECT_EQ(inner->path(), dir / "c.pak" / "maps" / "e1m1.bsp");
    EXPECT_EQ(innermost.offsetIn(*inner), 5u);
    EXPECT_EQ(innermost.offsetIn(*memory), 25u);
    EXPECT_EQ(memory->offsetIn(*inner), std::nullopt);
    try {
        ByteRange past(inner, 45, 10, "y");
        ADD_FAILURE() << "a range past its container's end was made";
    } catch (const FormatError& e) {
        EXPECT_NE(std::string(e.what()).find("at offset 45 (10 bytes) runs past the end"), std::string::npos)
            << e.what();
    }
}

// A file a container is built from is opened when read, let go once copied, and refused once it no
// longer holds the bytes it was gathered with.
TEST(ByteSources, AFileToCopyOpensLateAndIsRefusedWhenItChangedSize) {
    TempDir dir;
    test::writeFile(dir / "a", test::patternBytes(40, 2));
    const FileToCopy gathered(dir / "a", 40, dir / "new.pak");
    EXPECT_EQ(gathered.readBlock(0, 40, "all"), test::patternBytes(40, 2));
    gathered.letGo();
    test::writeFile(dir / "a", test::patternBytes(41, 2));
    try {
        gathered.readBlock(0, 40, "all");
        ADD_FAILURE() << "a file that changed size was read";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot create file " + (dir / "new.pak").string() + ": " +
                                             (dir / "a").string() +
                                             " changed size (40 bytes when gathered, 41 now)");
    }
}

} // namespace
} // namespace vexa
