// vexa-cli on the three texture containers, run as a process.

#include "formats/texture_builders.h"
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

using test::cli;

using test::namesIn;

TEST(CliTextures, ListAndExtractEachKind) {
    TempDir in;
    const auto quake = test::knownPalette(61);
    test::writeFile(in / "q1.pal", quake);
    const auto rows = test::patternBytes(8 * 4, 2);
    Bytes own(768);
    for (std::size_t i = 0; i < own.size(); ++i)
        own[i] = static_cast<std::uint8_t>(255 - i % 180);

    const struct {
        const char* file;
        Bytes bytes;
        std::string type, kind, count, entries; // as list --json prints them
        std::vector<std::string> written;
        Bytes palette; // the colours of every written BMP
    } cases[] = {
        {"gfx.wad",
         test::wadFile("WAD2",
                       {{"bar1", 0x42, test::plainPicture(8, 4, rows)}, {"palette", 0x40, Bytes(768, 1)}}),
         "6",
         "Quake WAD2",
         "2",
         "{\"index\": 0, \"name\": \"bar1\", \"size\": 40, \"content\": \"picture\"},\n  {\"index\": 1, "
         "\"name\": \"palette\", "
         "\"size\": 768, \"content\": \"palette\"}",
         {"bar1.bmp"},
         quake},
        {"hl.wad",
         test::wadFile("WAD3", {{"{BLUE", 0x43, test::wad3MipTexture("{BLUE", 8, 4, rows, own)}}),
         "0",
         "Half-Life WAD3",
         "1",
         "{\"index\": 0, \"name\": \"{BLUE\", \"size\": 854, \"content\": \"picture\"}",
         {"{BLUE.bmp"},
         own},
        {"e1m1.bsp",
         test::bspFile(test::textureLump({test::mipTexture("*water1", 8, 4, rows)})),
         "7",
         "Quake 1 BSP",
         "1",
         "{\"index\": 0, \"name\": \"animated_water1\", \"size\": 82, \"content\": \"picture\"}",
         {"animated_water1.bmp"},
         quake},
    };
    for (const auto& c : cases) {
        const auto path = (in / c.file).string();
        test::writeFile(path, c.bytes);
        auto r = cli({"list", path, "--json"});
        ASSERT_EQ(r.exitCode, 0) << c.file << ": " << r.err;
        EXPECT_EQ(r.out, "{\"path\": \"" + path + "\", \"type\": " + c.type + ", \"kind\": \"" + c.kind +
                             "\", \"count\": " + c.count + ", \"entries\": [\n  " + c.entries + "\n]}\n");

        TempDir out;
        r = cli({"extract", path, out.path().string(), "--palette", "quake1=" + (in / "q1.pal").string(),
                 "--yes"});
        ASSERT_EQ(r.exitCode, 0) << c.file << ": " << r.err;
        EXPECT_EQ(r.out, "Extraction  Complete\n");
        EXPECT_EQ(namesIn(out.path()), c.written) << c.file;
        EXPECT_EQ(test::readFile(out / c.written[0]), test::expectedBmp(8, 4, rows, c.palette)) << c.file;
    }
}

TEST(CliTextures, QuakeKindsUseTheShippedPaletteByDefault) {
    TempDir in, out;
    test::writeFile(in / "m.bsp", test::bspFile(test::textureLump({test::mipTexture("+0abc", 1, 1, {9})})));
    const auto r = cli({"extract", (in / "m.bsp").string(), out.path().string(), "--yes"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto shipped = fs::path(test::cliProgram()).parent_path() / "Data" / "default_quake1.pal";
    EXPECT_EQ(test::readFile(out / "+0abc.bmp"), test::expectedBmp(1, 1, {9}, test::readFile(shipped)));
}

TEST(CliTextures, DamagedTexturesAreReportedAndWriteNothing) {
    TempDir in, out;
    const struct {
        const char* file;
        Bytes bytes;
    } cases[] = {
        {"huge.wad", test::wadFile("WAD2", {{"huge", 0x42, test::plainPicture(0x7FFFFFFF, 0x7FFFFFFF, {})}})},
        {"colours.wad",
         test::wadFile("WAD3", {{"colours", 0x42,
                                 test::ByteBuilder().i32(1).i32(1).u8(1).u16(300).zeros(900).bytes()}})},
        {"count.bsp", test::bspFile(test::ByteBuilder().i32(0x7FFFFFFF).bytes())},
    };
    for (const auto& c : cases) {
        const auto path = (in / c.file).string();
        test::writeFile(path, c.bytes);
        const auto r = cli({"extract", path, out.path().string(), "--yes"});
        EXPECT_EQ(r.exitCode, 1) << c.file;
        EXPECT_NE(r.err.find(path), std::string::npos) << r.err;
    }
    EXPECT_TRUE(namesIn(out.path()).empty());
}

} // namespace
} // namespace vexa
