// vexa-cli converting game images, run as a process.

#include "images/image_builders.h"
#include "support/test_files.h"

#include "cli/cli_runner.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vexa {
namespace {

using test::Bytes;
using test::TempDir;
namespace fs = std::filesystem;

using test::namesIn;

TEST(CliImages, EachKindConvertsByteExactlyWithTheGivenPalette) {
    const auto rows = test::patternBytes(6 * 5, 3);
    const auto second = test::patternBytes(3 * 2, 4);
    const struct {
        const char* game;
        const char* file;
        Bytes bytes;
        std::vector<std::pair<std::string, Bytes>>
            expected; // output name, rows top to bottom (6 x 5 or 3 x 2)
    } cases[] = {
        {"df-bm", "WALL.BM", test::dfPlainBm(6, 5, rows), {{"WALL.bmp", rows}}},
        {"df-bm",
         "ANIM.BM",
         test::dfMultipleBm({{6, 5, rows}, {3, 2, second}}),
         {{"ANIM_0.bmp", rows}, {"ANIM_1.bmp", second}}},
        {"jk-bm",
         "door.bm",
         test::jkBm({{6, 5, rows}, {3, 2, second}}),
         {{"door_0.bmp", rows}, {"door_1.bmp", second}}},
        {"jk-mat",
         "floor.mat",
         test::jkTextureMat({{6, 5, 3, rows}, {3, 2, 2, second}}),
         {{"floor_1.bmp", rows}, {"floor_2.bmp", second}}},
        {"quake2", "brick.wal", test::q2Wal(6, 5, rows), {{"brick.bmp", rows}}},
    };
    for (const auto& c : cases) {
        TempDir in, out;
        const auto palette = test::knownPalette(42);
        test::writeFile(in / "my.pal", palette);
        test::writeFile(in / c.file, c.bytes);
        const auto r = test::cli({"extract", (in / c.file).string(), out.path().string(), "--palette",
                                  std::string(c.game) + "=" + (in / "my.pal").string(), "--yes"});
        ASSERT_EQ(r.exitCode, 0) << c.file << ": " << r.err;
        EXPECT_EQ(r.out, "Extraction  Complete\n");
        std::vector<std::string> names;
        for (const auto& [name, pixels] : c.expected) {
            names.push_back(name);
            const auto width = pixels.size() == rows.size() ? 6u : 3u,
                       height = pixels.size() == rows.size() ? 5u : 2u;
            EXPECT_EQ(test::readFile(out / name), test::expectedBmp(width, height, pixels, palette)) << name;
        }
        std::sort(names.begin(), names.end());
        EXPECT_EQ(namesIn(out.path()), names) << c.file;
    }
}

TEST(CliImages, SixBitPaletteFileIsWidenedAndDefaultsComeFromTheDataFolder) {
    TempDir in, out, outDefault;
    test::writeFile(in / "six.pal", Bytes(768, 63));
    test::writeFile(in / "a.wal", test::q2Wal(1, 1, {9}));
    auto r = test::cli({"extract", (in / "a.wal").string(), out.path().string(), "--palette",
                        "quake2=" + (in / "six.pal").string(), "--yes"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(test::readFile(out / "a.bmp"), test::expectedBmp(1, 1, {9}, Bytes(768, 255)));

    r = test::cli({"extract", (in / "a.wal").string(), outDefault.path().string(), "--yes"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto shipped = fs::path(test::cliProgram()).parent_path() / "Data" / "default_quake2.pal";
    EXPECT_EQ(test::readFile(outDefault / "a.bmp"), test::expectedBmp(1, 1, {9}, test::readFile(shipped)));
}

TEST(CliImages, BadPalettesAndDamagedImagesAreReported) {
    TempDir in, out;
    test::writeFile(in / "a.wal", test::q2Wal(2, 2, {1, 2, 3, 4}));
    test::writeFile(in / "short.pal", Bytes(700, 100));
    const auto wal = (in / "a.wal").string();
    const struct {
        std::vector<std::string> palette;
        int exitCode;
        std::string message;
    } cases[] = {
        {{"--palette", "heretic=" + (in / "short.pal").string()}, 2, "--palette takes GAME=FILE"},
        {{"--palette", "quake2"}, 2, "--palette takes GAME=FILE"},
        {{"--palette", "quake2="}, 2, "--palette takes GAME=FILE"},
        {{"--palette", "quake2=" + (in / "short.pal").string()},
         1,
         "a palette file holds 768 bytes, this one has 700"},
        {{"--palette", "quake2=" + (in / "gone.pal").string()},
         1,
         "Cannot open file " + (in / "gone.pal").string()},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv = {"extract", wal, out.path().string(), "--yes"};
        argv.insert(argv.end(), c.palette.begin(), c.palette.end());
        const auto r = test::cli(argv);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.palette.back();
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_TRUE(namesIn(out.path()).empty());

    TempDir bad;
    test::writeFile(bad / "x.wal", Bytes(120, 0xFF)); // 4294967295 x 4294967295
    const auto r = test::cli({"extract", (bad / "x.wal").string(), out.path().string(), "--yes"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(test::shownPath(bad.path(), "x.wal")), std::string::npos) << r.err;
    EXPECT_TRUE(namesIn(out.path()).empty());
}

TEST(CliImages, ExtractHelpDescribesThePaletteOption) {
    const auto r = test::cli({"extract", "--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("--palette GAME=FILE"), std::string::npos);
    EXPECT_NE(r.out.find("df-bm, jk-bm, jk-mat, quake1, quake2, doom, duke3d"), std::string::npos);
}

} // namespace
} // namespace vexa
