// vexa-cli on damaged entries and raw lumps, run as a process.

#include "formats/texture_builders.h"
#include "support/test_files.h"

#include "cli/cli_runner.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::TempDir;
namespace fs = std::filesystem;

using test::cli;

// A PAK whose last entry the end of the file cuts short, as a download stopped early leaves it.
Bytes truncatedPak() {
    ByteBuilder b;
    b.raw("PACK").u32(12 + 7).u32(128).raw("abcdefg");
    b.name("maps/e1m1.bsp", 56).u32(12).u32(7);
    b.name("sound/cut.wav", 56).u32(12 + 7 + 128).u32(5000);
    return b.raw("only part").bytes();
}

TEST(CliDamaged, ListShowsEveryEntryAndMarksTheDamagedOne) {
    TempDir in;
    test::writeFile(in / "cut.pak", truncatedPak());
    const auto json = cli({"list", (in / "cut.pak").string(), "--json"});
    EXPECT_EQ(json.exitCode, 0) << json.err;
    EXPECT_NE(
        json.out.find("{\"index\": 0, \"name\": \"maps\\\\e1m1.bsp\", \"size\": 7, \"content\": \"text\"}"),
        std::string::npos)
        << json.out;
    EXPECT_NE(json.out.find("{\"index\": 1, \"name\": \"sound\\\\cut.wav\", \"size\": 5000, \"content\": "
                            "\"data\", \"damaged\": true}"),
              std::string::npos)
        << json.out;
    EXPECT_NE(json.err.find("entry 1 'sound\\cut.wav' is damaged: offset 147 + size 5000 runs past the end"),
              std::string::npos)
        << json.err;

    const auto plain = cli({"list", (in / "cut.pak").string()});
    EXPECT_EQ(plain.exitCode, 0);
    EXPECT_EQ(plain.out, "maps\\e1m1.bsp\nsound\\cut.wav\n");
}

TEST(CliDamaged, ExtractWritesTheOthersAndExitsOne) {
    TempDir in, out;
    test::writeFile(in / "cut.pak", truncatedPak());
    const auto run = cli({"extract", (in / "cut.pak").string(), out.path().string(), "--yes"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(test::readFile(out / "maps" / "e1m1.bsp"), test::bytesOf("abcdefg"));
    EXPECT_FALSE(fs::exists(out / "sound" / "cut.wav"));
    EXPECT_NE(run.err.find("entry 1 'sound\\cut.wav' was not extracted: "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("cut.pak: offset 147 + size 5000 runs past the end"), std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("Extraction ended: 1 written, 1 entry not extracted"), std::string::npos)
        << run.err;
}

TEST(CliRaw, WritesEachLumpByteForByteNamedAsItsRow) {
    TempDir in, out;
    const auto wall = test::mipTexture("wall", 8, 8, test::patternBytes(64, 1));
    const auto font = test::patternBytes(128 * 128, 2);
    test::writeFile(in / "gfx.wad", test::wadFile("WAD2", {{"wall", 0x44, wall}, {"CONCHARS", 0x44, font}}));
    const auto run = cli({"extract", (in / "gfx.wad").string(), out.path().string(), "--raw", "--yes"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(test::namesIn(out.path()), (std::vector<std::string>{"CONCHARS", "wall"}));
    EXPECT_EQ(test::readFile(out / "wall"), wall);
    EXPECT_EQ(test::readFile(out / "CONCHARS"), font);

    TempDir pictures;
    EXPECT_EQ(cli({"extract", (in / "gfx.wad").string(), pictures.path().string(), "--yes"}).exitCode, 0);
    EXPECT_EQ(test::namesIn(pictures.path()), (std::vector<std::string>{"CONCHARS.bmp", "wall.bmp"}));
}

} // namespace
} // namespace vexa
