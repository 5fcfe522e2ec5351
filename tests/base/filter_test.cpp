#include "base/filter.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

TEST(NameFilter, MatchesAsTheFilterFieldPromises) {
    const struct {
        const char* pattern;
        const char* name;
        bool matches;
    } cases[] = {
        // A plain pattern matches any part of the name.
        {"wall", "WALL01.BM", true},
        {"01.b", "WALL01.BM", true},
        {"bm", "WALL01.BM", true},
        {"wall02", "WALL01.BM", false},
        {"WALL01.BMP", "WALL01.BM", false}, // longer than the name
        // Without regard to case, Latin-1 letters too; the multiplication sign is not a letter.
        {"wAlL", "wall01.bm", true},
        {"\xC3\xA9t\xC3\xA9", "\xC3\x89T\xC3\x89.TXT", true}, // "été" finds "ÉTÉ"
        {"\xC3\x97", "\xC3\xB7", false},                      // × is not ÷ in another case
        // "*" is any run, also an empty one; "?" exactly one character.
        {"w*.bm", "WALL01.BM", true},
        {"w*.wav", "WALL01.BM", false},
        {"*", "", true},
        {"a*b*c", "xxAyyByyCzz", true},
        {"a*b*c", "xxAyyCyyBzz", false},
        {"wall0?.", "WALL01.BM", true},
        {"wall?1", "WALL1.BM", false},
        {"?", "", false},
        {"t?st", "T\xC3\xA9ST", true}, // "?" is one character, not one byte
        {"t??st", "T\xC3\xA9ST", false},
        // Everything else stands for itself: folder levels, dots, brackets.
        {"sound\\", "SOUND\\BOOM.WAV", true},
        {"sound/", "SOUND\\BOOM.WAV", false},
        {"[a]", "[A].TXT", true},
        {"[a]", "A.TXT", false},
        {".", "README", false},
        // Bytes that are not UTF-8 count as one character each and never break the match.
        {"\xFF",
         "A\xFF"
         "B",
         true},
        {"a?b",
         "A\xFF"
         "B",
         true},
        // A pattern that would make a naive matcher backtrack for ever.
        {"*a*a*a*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa",
         false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(NameFilter(c.pattern).matches(c.name), c.matches)
            << "'" << c.pattern << "' on '" << c.name << "'";
}

TEST(NameFilter, EmptyPatternKeepsEveryRow) {
    EXPECT_TRUE(NameFilter("").empty());
    EXPECT_TRUE(NameFilter("").matches(""));
    EXPECT_TRUE(NameFilter("").matches("anything"));
    const std::vector<std::string> names = {"b", "", "a"};
    EXPECT_EQ(filterRows(names, ""), (std::vector<std::size_t>{0, 1, 2}));
}

TEST(NameFilter, RowsAreEntryIndicesInArchiveOrder) {
    // The rows the filter keeps are the indices extraction takes: never positions in the view.
    const std::vector<std::string> names = {"TEXT.TXT", "WALL.BM", "README", "FLOOR.BM", "BM.TXT", "DOOR.BM"};
    EXPECT_EQ(filterRows(names, ".bm"), (std::vector<std::size_t>{1, 3, 5}));
    EXPECT_EQ(filterRows(names, "bm"), (std::vector<std::size_t>{1, 3, 4, 5}));
    EXPECT_EQ(filterRows(names, "*.txt"), (std::vector<std::size_t>{0, 4}));
    EXPECT_TRUE(filterRows(names, "nothing").empty());
    EXPECT_TRUE(filterRows({}, "a").empty());
}

} // namespace
} // namespace vexa
