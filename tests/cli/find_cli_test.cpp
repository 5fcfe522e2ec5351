// vexa-cli find over a hand-made game folder: what it prints, in which order, what it says on stderr,
// and its exit status.

#include "support/game_tree.h"

#include "cli/cli_runner.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace vexa {
namespace {

using test::cli;
using test::TempDir;
namespace fs = std::filesystem;

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    for (std::size_t at = 0, end; at < text.size(); at = end + 1) {
        end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(at, end - at));
    }
    return lines;
}

TEST(CliFind, PrintsMatchesOfEveryLevelWithTheExitStatusOfGrep) {
    TempDir dir;
    const auto game = dir / "game";
    test::writeGameTree(game);
    const auto g = game.string() + "/";
    const struct {
        std::vector<std::string> args;
        int exit;
        std::vector<std::string> out;
        std::string err; // a part of stderr
    } cases[] = {
        {{"find", game.string(), "wall?"},
         0,
         {g + "dark/dark.gob/SECBASE.LFD\tWALLS.plt", g + "id1/pak0.pak/gfx.wad\tWALL1",
          g + "id1/pak0.pak/gfx.wad\tWALL2", g + "id1/pak0.pak/maps/e1m1.bsp\twall_floor",
          g + "id1/pak1.pak/mod/inner.pak/deep.wad\tWALL9"},
         ""},
        {{"find", game.string(), "e1m1", "--json"},
         0,
         {"{\"container\": \"" + g +
          "id1/pak0.pak\", \"entry\": \"maps\\\\e1m1.bsp\", \"index\": 1, \"size\": 596, "
          "\"content\": \"container\"}"},
         ""},
        {{"find", game.string(), "sky", "--content", "picture", "--jobs", "3"},
         0,
         {g + "renamed.dat/sky.wad\tSKYWALL"},
         ""},
        {{"find", game.string(), "wall9", "--max-depth", "2"}, 1, {}, ""},
        {{"find", game.string(), "nothing here"}, 1, {}, ""},
        {{"find", game.string()}, 2, {}, "find takes FOLDER and PATTERN"},
        {{"find", game.string(), "x", "--content", "noise"}, 2, {}, "--content noise: no such content"},
        {{"find", game.string(), "x", "--max-depth", "17"}, 2, {}, "--max-depth takes a number from 1 to 16"},
        {{"find", game.string(), "x", "--jobs", "0"}, 2, {}, "--jobs takes a number"},
        {{"find", (dir / "missing").string(), "x"}, 2, {}, "missing: not a folder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.size() > 2 ? c.args[2] : "-");
        const auto r = cli(c.args);
        EXPECT_EQ(r.exitCode, c.exit) << r.err;
        EXPECT_EQ(r.out.empty() ? std::vector<std::string>{} : linesOf(r.out), c.out);
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        if (c.err.empty()) {
            EXPECT_EQ(r.err, "");
        }
    }
}

// Many files, searched by several threads: the output is the walk's, the same on every run.
TEST(CliFind, OutputKeepsTheWalksOrderWhateverTheJobs) {
    TempDir dir;
    for (int i = 0; i < 40; ++i) {
        const auto name = std::to_string(100 + i);
        // Large and small files in turn, so the threads finish out of order.
        std::vector<std::string> textures;
        for (int t = 0; t < (i % 2 ? 200 : 1); ++t)
            textures.push_back("W" + name + "_" + std::to_string(t));
        test::writeFile(dir / ("d" + name.substr(0, 2)) / (name + ".pak"),
                        test::pakOf({{"t.wad", test::wad2Of(textures)}}));
    }
    const auto once = cli({"find", dir.path().string(), "_1", "--jobs", "1"});
    ASSERT_EQ(once.exitCode, 0) << once.err;
    // _1, _10.._19, _100.._199 of each large file.
    EXPECT_EQ(linesOf(once.out).size(), 20u * 111u);
    EXPECT_EQ(linesOf(once.out).front(), dir.path().string() + "/d10/101.pak/t.wad\tW101_1");
    for (int run = 0; run < 3; ++run) {
        const auto parallel = cli({"find", dir.path().string(), "_1", "--jobs", "4"});
        EXPECT_EQ(parallel.exitCode, 0);
        EXPECT_EQ(parallel.out, once.out) << "run " << run;
    }
}

// A folder that works against the walk: each thing named on stderr, the matches still printed, exit 0.
TEST(CliFind, BadInputIsNamedAndTheWalkGoesOn) {
    if (test::cliIsWindows()) GTEST_SKIP() << "FIFOs and symbolic links are POSIX here";
    TempDir dir;
    const auto root = dir.path();
    test::writeFile(root / "b_good.pak", test::pakOf({{"wall.wad", test::wad2Of({"WALLB"})}}));
    test::writeFile(root / "a_broken.wad", test::ByteBuilder().raw("IWAD").u32(5000000).u32(12).bytes());
    test::writeFile(root / "self.pak", test::pakHoldingItself(4));
    test::writeFile(root / "deep.pak", test::nestedPaks(20));
    fs::create_directory_symlink(root, root / "loop");
    fs::create_directory_symlink("/", root / "escape");
    ASSERT_EQ(::mkfifo((root / "pipe.wad").c_str(), 0600), 0);

    const auto r = cli({"find", root.string(), "wall"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(linesOf(r.out), (std::vector<std::string>{root.string() + "/b_good.pak\twall.wad",
                                                        root.string() + "/b_good.pak/wall.wad\tWALLB"}));
    for (const auto* part : {"a_broken.wad", "self.pak/self0.pak: holds the bytes of a container it lies in",
                             "nested more than 16 deep", "loop: a symbolic link; not followed",
                             "escape: a symbolic link; not followed", "pipe.wad: not a regular file"}) {
        SCOPED_TRACE(part);
        EXPECT_NE(r.err.find(part), std::string::npos) << r.err;
    }
}

TEST(CliFind, UnreadableFilesAreNamedNotFatal) {
    if (test::cliIsWindows()) GTEST_SKIP() << "POSIX permissions: Windows has access lists, not mode bits";
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not hold for root";
    TempDir dir;
    test::writeFile(dir / "a.pak", test::pakOf({{"wall.wad", test::wad2Of({"WALLA"})}}));
    test::writeFile(dir / "b.pak", test::pakOf({{"wall.wad", test::wad2Of({"WALLB"})}}));
    ::chmod((dir / "a.pak").c_str(), 0);
    const auto r = cli({"find", dir.path().string(), "wallb"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(linesOf(r.out), std::vector<std::string>{dir.path().string() + "/b.pak/wall.wad\tWALLB"});
    EXPECT_NE(r.err.find("a.pak"), std::string::npos) << r.err;
}

} // namespace
} // namespace vexa
