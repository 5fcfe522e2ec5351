// Finding entries across a folder: the walk's order and what it will not enter, the rows a query keeps
// through every level of containers inside containers, and the files that lie, loop or break.

#include "app/find.h"
#include "base/errors.h"
#include "support/game_tree.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vexa {
namespace {

using test::TempDir;

// Every hit of the walk's files, as "container<TAB>entry" below root, and every problem line.
struct Outcome {
    std::vector<std::string> found;
    std::vector<std::string> problems;
};

Outcome findIn(const fs::path& root, const FindQuery& query) {
    Outcome out;
    const auto prefix = root.string() + "/";
    const auto below = [&](std::string text) {
        for (std::size_t at; (at = text.find(prefix)) != std::string::npos;)
            text.erase(at, prefix.size());
        return text;
    };
    for (const auto& item : walkFolder(root)) {
        if (!item.problem.empty()) {
            out.problems.push_back(below(pathText(item.path)) + ": " + item.problem);
            continue;
        }
        auto findings = searchFile(item.path, query);
        for (const auto& hit : findings.found)
            out.found.push_back(below(hit.container) + "\t" + hit.entry);
        for (const auto& line : findings.problems)
            out.problems.push_back(below(line));
    }
    return out;
}

bool anyHolds(const std::vector<std::string>& lines, const std::string& part) {
    for (const auto& line : lines)
        if (line.find(part) != std::string::npos) return true;
    return false;
}

TEST(Find, RowsOfEveryLevelInTheWalksOrder) {
    TempDir dir;
    test::writeGameTree(dir.path());
    const struct {
        std::string pattern;
        std::optional<std::string> content;
        std::size_t levels;
        std::vector<std::string> found;
    } cases[] = {
        {"wall",
         std::nullopt,
         kMaxNesting,
         {"dark/dark.gob/SECBASE.LFD\tWALLS.plt", "id1/pak0.pak/gfx.wad\tWALL1",
          "id1/pak0.pak/gfx.wad\tWALL2", "id1/pak0.pak/maps/e1m1.bsp\twall_floor",
          "id1/pak1.pak/mod/inner.pak/deep.wad\tWALL9", "renamed.dat/sky.wad\tSKYWALL"}},
        // The pattern's own content word and --content both narrow.
        {"content:picture wall?",
         std::nullopt,
         kMaxNesting,
         {"id1/pak0.pak/gfx.wad\tWALL1", "id1/pak0.pak/gfx.wad\tWALL2",
          "id1/pak0.pak/maps/e1m1.bsp\twall_floor", "id1/pak1.pak/mod/inner.pak/deep.wad\tWALL9"}},
        {"wall",
         "picture",
         kMaxNesting,
         {"id1/pak0.pak/gfx.wad\tWALL1", "id1/pak0.pak/gfx.wad\tWALL2",
          "id1/pak0.pak/maps/e1m1.bsp\twall_floor", "id1/pak1.pak/mod/inner.pak/deep.wad\tWALL9",
          "renamed.dat/sky.wad\tSKYWALL"}},
        {"*",
         "container",
         kMaxNesting,
         {"dark/dark.gob\tSECBASE.LFD", "id1/pak0.pak\tgfx.wad", "id1/pak0.pak\tmaps\\e1m1.bsp",
          "id1/pak1.pak\tmod\\inner.pak", "id1/pak1.pak/mod/inner.pak\tdeep.wad", "renamed.dat\tsky.wad"}},
        // Levels: the files' own rows only, then one level inside them.
        {"wall9", std::nullopt, 2, {}},
        {"wall9", std::nullopt, 3, {"id1/pak1.pak/mod/inner.pak/deep.wad\tWALL9"}},
        {"readme", std::nullopt, 1, {"id1/pak0.pak\treadme.txt"}},
        {"no such name", std::nullopt, kMaxNesting, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern + " " + c.content.value_or("-") + " " + std::to_string(c.levels));
        const auto outcome = findIn(dir.path(), makeFindQuery(c.pattern, c.content, c.levels));
        EXPECT_EQ(outcome.found, c.found);
        EXPECT_EQ(outcome.problems, std::vector<std::string>{});
    }
}

TEST(Find, QueriesOutsideWhatCanBeFoundAreRefused) {
    const struct {
        std::string pattern;
        std::optional<std::string> content;
        std::size_t levels;
        std::string message;
    } cases[] = {
        {"content:nothing x", std::nullopt, kMaxNesting, "content:nothing: no such content"},
        {"x", "pictures", kMaxNesting, "--content pictures: no such content"},
        {"x", std::nullopt, 0, "--max-depth 0"},
        {"x", std::nullopt, kMaxNesting + 1, "--max-depth 17"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        try {
            makeFindQuery(c.pattern, c.content, c.levels);
            ADD_FAILURE() << "accepted";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
}

// Files and folders that lie, loop or cannot be read: each named once, the others still searched, and
// no walk or search that goes round.
TEST(Find, BadInputIsNamedAndTheRestSearched) {
    TempDir dir;
    const auto root = dir.path();
    test::writeFile(root / "a_good.pak", test::pakOf({{"wall.wad", test::wad2Of({"WALLA"})}}));
    // A directory that runs past the end of the file.
    test::writeFile(root / "broken.pak", test::ByteBuilder().raw("PACK").u32(4000).u32(64).bytes());
    // Eight entries that are each the whole file: no 8^16 opens.
    test::writeFile(root / "self.pak", test::pakHoldingItself(8));
    // Two entries sharing one inner container: searched once, said once.
    const auto shared = test::pakOf({{"wall.wad", test::wad2Of({"WALLS"})}});
    const auto size = static_cast<std::uint32_t>(shared.size());
    test::writeFile(root / "twice.pak", test::ByteBuilder()
                                            .raw("PACK")
                                            .u32(12 + size)
                                            .u32(128)
                                            .raw(shared)
                                            .name("one.pak", 56)
                                            .u32(12)
                                            .u32(size)
                                            .name("two.pak", 56)
                                            .u32(12)
                                            .u32(size)
                                            .bytes());
    test::writeFile(root / "deep.pak", test::nestedPaks(kMaxNesting + 2));
    fs::create_directory_symlink(root, root / "loop");
    fs::create_symlink(root / "a_good.pak", root / "link.pak");
    ASSERT_EQ(::mkfifo((root / "pipe.pak").c_str(), 0600), 0);

    const auto outcome = findIn(root, makeFindQuery("wall", std::nullopt));
    EXPECT_EQ(outcome.found,
              (std::vector<std::string>{"a_good.pak\twall.wad", "a_good.pak/wall.wad\tWALLA",
                                        "twice.pak/one.pak\twall.wad", "twice.pak/one.pak/wall.wad\tWALLS"}));
    const struct {
        std::string part;
    } named[] = {
        {"broken.pak"},
        {"self.pak/self0.pak: holds the bytes of a container it lies in"},
        {"self.pak/self7.pak: holds the bytes of a container it lies in"},
        {"twice.pak/two.pak: the same bytes as another entry"},
        {"containers nested more than 16 deep are not opened"},
        {"loop: a symbolic link; not followed"},
        {"link.pak: a symbolic link; not followed"},
        {"pipe.pak: not a regular file"},
    };
    for (const auto& n : named) {
        SCOPED_TRACE(n.part);
        EXPECT_TRUE(anyHolds(outcome.problems, n.part));
    }
    EXPECT_EQ(outcome.problems.size(), std::size(named) + 6) << "self.pak: one line per lying entry";
}

TEST(Find, UnreadableFilesAndFoldersAreNamed) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not hold for root";
    TempDir dir;
    const auto root = dir.path();
    test::writeFile(root / "closed.pak", test::pakOf({{"wall.wad", test::wad2Of({"WALLA"})}}));
    test::writeFile(root / "shut" / "inside.pak", test::pakOf({{"wall.wad", test::wad2Of({"WALLB"})}}));
    ::chmod((root / "closed.pak").c_str(), 0);
    ::chmod((root / "shut").c_str(), 0);
    const auto outcome = findIn(root, makeFindQuery("wall", std::nullopt));
    ::chmod((root / "shut").c_str(), 0700);
    EXPECT_EQ(outcome.found, std::vector<std::string>{});
    EXPECT_TRUE(anyHolds(outcome.problems, "closed.pak")) << ::testing::PrintToString(outcome.problems);
    EXPECT_TRUE(anyHolds(outcome.problems, "shut: cannot be read"))
        << ::testing::PrintToString(outcome.problems);
}

TEST(Find, AFolderThatIsNoneIsRefused) {
    TempDir dir;
    test::writeFile(dir / "file.pak", test::pakOf({}));
    EXPECT_THROW(walkFolder(dir / "file.pak"), Error);
    EXPECT_THROW(walkFolder(dir / "missing"), Error);
}

} // namespace
} // namespace vexa
