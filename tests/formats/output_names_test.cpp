#include "formats/output_names.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using Names = std::vector<std::string>;

TEST(FlatOutputNames, GivesEveryEntryAFileNameOfItsOwn) {
    const struct {
        const char* what;
        Names in, out;
    } cases[] = {
        {"plain names stay", {"PLAYPAL", "E1M1", "A.WAV"}, {"PLAYPAL", "E1M1", "A.WAV"}},
        {"repeats are numbered in list order",
         {"THINGS", "LINEDEF", "THINGS", "LINEDEF", "THINGS"},
         {"THINGS", "LINEDEF", "THINGS_1", "LINEDEF_1", "THINGS_2"}},
        {"a number never takes a real name",
         {"THINGS", "THINGS", "THINGS_1"},
         {"THINGS", "THINGS_2", "THINGS_1"}},
        {"the number goes before the extension",
         {"A.WAV", "A.WAV", "A_1.WAV"},
         {"A.WAV", "A_2.WAV", "A_1.WAV"}},
        {"letter case does not make a name different", {"Things", "THINGS"}, {"Things", "THINGS_1"}},
        {"folder separators become ^", {"VILE\\1", "A/B"}, {"VILE^1", "A^B"}},
        {"other characters no file name takes become ^",
         {"C:X", "a*?\"<>|", "T\x01\x7F"},
         {"C^X", "a^^^^^^", "T^^"}},
        {"mapped names that meet are numbered",
         {"VILE^1", "VILE\\1", "VILE/1"},
         {"VILE^1", "VILE^1_1", "VILE^1_2"}},
        {"empty and dot-only names get ^ in front", {"", ".", "..", ""}, {"^", "^.", "^..", "^_1"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(flatOutputNames(c.in), c.out) << c.what;
}

TEST(NumberRepeats, ComparesWholePathsAndKeepsTheirFolders) {
    const struct {
        const char* what;
        Names in, out;
    } cases[] = {
        {"folders are kept", {"data\\a.tbl", "data\\a.tbl"}, {"data\\a.tbl", "data\\a_1.tbl"}},
        {"one name in two folders is no repeat", {"x\\a.tbl", "y\\a.tbl"}, {"x\\a.tbl", "y\\a.tbl"}},
        {"a dot in a folder is no extension",
         {"v.1\\readme", "v.1\\readme"},
         {"v.1\\readme", "v.1\\readme_1"}},
        {"letter case of folders counts as on the games' systems",
         {"DATA\\A", "data\\a"},
         {"DATA\\A", "data\\a_1"}},
        {"unsafe characters are left to the path checks", {"a:b", "a:b"}, {"a:b", "a:b_1"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(numberRepeats(c.in), c.out) << c.what;
}

TEST(FlatOutputNames, ManyRepeatsStayLinear) {
    const Names same(20000, "THINGS");
    const auto out = flatOutputNames(same);
    EXPECT_EQ(out[0], "THINGS");
    EXPECT_EQ(out.back(), "THINGS_19999");
}

} // namespace
} // namespace vexa
