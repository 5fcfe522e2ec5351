// vexa-cli import, run as a process: each kind built and extracted back by vexa-cli itself.

#include "images/image_builders.h"
#include "images/picture_builders.h"
#include "support/test_files.h"

#include "cli/cli_runner.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::Bytes;
using test::cli;
using test::TempDir;

TEST(CliImport, EachKindExtractsBackToThePicture) {
    TempDir dir;
    const auto pal = test::knownPalette(44);
    test::writeFile(dir / "game.pal", pal);
    Bytes indices(32 * 16);
    for (std::size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<std::uint8_t>(i * 5 % 224);
    test::writeFile(dir / "pic.bmp", test::indexedBmp(32, 16, indices, test::coloursOf(pal)));
    const auto expected = test::expectedBmp(32, 16, indices, pal);

    const struct {
        const char* kind;
        const char* out;
        const char* game; // --palette for import and extract
        const char* extracted;
    } cases[] = {
        {"wal", "floor.wal", "quake2", "floor.bmp"},  {"wad2", "q.wad", "quake1", "pic.bmp"},
        {"wad3", "hl.wad", "quake1", "pic.bmp"},      {"df-bm", "wall.bm", "df-bm", "wall.bmp"},
        {"jk-mat", "wall.mat", "jk-mat", "wall.bmp"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        const auto palette = std::string(c.game) + "=" + (dir / "game.pal").string();
        const auto folder = dir / c.kind;
        fs::create_directories(folder);
        const auto made = cli(
            {"import", c.kind, (folder / c.out).string(), (dir / "pic.bmp").string(), "--palette", palette});
        ASSERT_EQ(made.exitCode, 0) << made.err;
        EXPECT_NE(made.out.find("Created File"), std::string::npos);
        const auto back = cli({"extract", (folder / c.out).string(), (dir / "back" / c.kind).string(),
                               "--palette", palette, "--yes"});
        ASSERT_EQ(back.exitCode, 0) << back.err;
        EXPECT_EQ(test::readFile(dir / "back" / c.kind / c.extracted), expected);
    }
}

TEST(CliImport, UsageAndRefusals) {
    TempDir dir;
    test::writeFile(dir / "odd.bmp", test::indexedBmp(24, 16, Bytes(24 * 16, 1), {{0, 0, 0}, {9, 9, 9}}));
    test::writeFile(dir / "old.wad", "old");
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* message;
    } cases[] = {
        {{"import", "--help"}, 0, "wad3\tHalf-Life WAD3"},
        {{"import", "wad3", "x.wad"}, 2, "at least one PICTURE"},
        {{"import", "wad4", "x.wad", "a.png"}, 2, "unknown texture kind wad4"},
        {{"import", "wad3", "x.wad", "a.png", "--sharpen"}, 2, "unknown option --sharpen"},
        {{"import", "wad3", "x.wad", "a.png", "--palette", "heretic=x"}, 2, "--palette takes GAME=FILE"},
        {{"import", "wad3", "x.wad", "a.png", "--speed", "0"}, 2, "--speed takes 1 to 10"},
        {{"import", "wad3", "x.wad", "a.png", "--speed", "11"}, 2, "--speed takes 1 to 10"},
        {{"import", "wad3", (dir / "old.wad").string(), (dir / "odd.bmp").string()}, 1, "multiples of 16"},
        {{"import", "wad3", (dir / "old.wad").string(), (dir / "none.png").string()}, 1, "none.png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        const auto run = cli(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE((run.out + run.err).find(c.message), std::string::npos) << run.out << run.err;
    }
    EXPECT_EQ(test::readFile(dir / "old.wad"), test::bytesOf("old"));
}

} // namespace
} // namespace vexa
