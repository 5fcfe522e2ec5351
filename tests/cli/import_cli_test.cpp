// vexa-cli import, run as a process: each kind built and extracted back by vexa-cli itself.

#include "images/image_builders.h"
#include "images/picture_builders.h"
#include "support/container_builders.h"
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
        {{"import", "wad3", "x.wad", "a.png", "--jobs", "0"}, 2, "--jobs takes a number from 1 to 256"},
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

// The options of one kind: refused for the others or out of range (exit 2), and a WAL's fields
// written as given and kept by the next import over it.
TEST(CliImport, KindOptions) {
    TempDir dir;
    const auto pal = test::knownPalette(45);
    test::writeFile(dir / "q2.pal", pal);
    test::writeFile(dir / "pic.bmp", test::indexedBmp(16, 16, Bytes(256, 7), test::coloursOf(pal)));
    test::writeFile(dir / "!water.bmp", test::indexedBmp(16, 16, Bytes(256, 7), test::coloursOf(pal)));
    const auto pic = (dir / "pic.bmp").string(), water = (dir / "!water.bmp").string();
    const auto wal = (dir / "textures" / "e1u1" / "brlava.wal").string();
    fs::create_directories(dir / "textures" / "e1u1");
    const auto palette = "quake2=" + (dir / "q2.pal").string();
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* message;
    } cases[] = {
        {{"import", "wad3", "x.wad", pic, "--fullbright"}, 2, "--fullbright is for wad2, not wad3"},
        {{"import", "wad2", "x.wad", pic, "--flags", "1"}, 2, "--flags is for wal, not wad2"},
        {{"import", "wal", "x.wal", pic, "--fog", "1,2,3,4"}, 2, "--fog is for wad3, not wal"},
        {{"import", "wal", "x.wal", pic, "--value", "2147483648"},
         2,
         "--value takes a number from -2147483648"},
        {{"import", "wal", "x.wal", pic, "--contents", "0xg"}, 2, "--contents takes a number"},
        {{"import", "wad3", "x.wad", water, "--fog", "1,2,3"}, 2, "--fog takes R,G,B,DENSITY"},
        {{"import", "wad3", "x.wad", water, "--fog", "1,2,3,256"}, 2, "from 0 to 255, not 1,2,3,256"},
        {{"import", "wad3", "x.wad", pic, "--fog", "1,2,3,4"}, 2, "none is given"},
        {{"import", "wal", wal, pic, "--palette", palette, "--next", std::string(32, 'n')},
         1,
         "holds 31 at most"},
        {{"import", "wal", wal, pic, "--palette", palette, "--flags", "0x48", "--value", "-1", "--next",
          "e1u1/b"},
         0,
         "Created File"},
        {{"import", "wal", wal, pic, "--palette", palette, "--contents", "8"}, 0, "Created File"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const auto run = cli(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE((run.out + run.err).find(c.message), std::string::npos) << run.out << run.err;
    }
    const auto bytes = test::readFile(wal);
    ASSERT_GE(bytes.size(), 100u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data())), "e1u1/brlava");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data() + 56)), "e1u1/b");
    EXPECT_EQ(Bytes(bytes.begin() + 88, bytes.begin() + 100),
              (Bytes{0x48, 0, 0, 0, 8, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
}

// The shipped Dark Forces palette is a stand-in: an import or an extraction that paints with it says
// so once on stderr; one given a palette file, or using a real default (Quake II's), does not.
TEST(CliImport, APlaceholderPaletteIsSaidOnce) {
    TempDir dir;
    const auto pal = test::knownPalette(46);
    test::writeFile(dir / "df.pal", pal);
    test::writeFile(dir / "pic.bmp", test::indexedBmp(16, 16, Bytes(256, 9), test::coloursOf(pal)));
    const auto pic = (dir / "pic.bmp").string();
    const auto count = [](const std::string& text) {
        std::size_t n = 0;
        for (auto at = text.find("placeholder"); at != std::string::npos;
             at = text.find("placeholder", at + 1))
            ++n;
        return n;
    };
    const struct {
        std::vector<std::string> args;
        std::size_t notices;
    } cases[] = {
        {{"import", "df-bm", (dir / "a.bm").string(), pic}, 1},
        {{"import", "df-bm", (dir / "b.bm").string(), pic, "--palette", "df-bm=" + (dir / "df.pal").string()},
         0},
        {{"import", "wal", (dir / "c.wal").string(), pic}, 0},
        {{"extract", (dir / "a.bm").string(), (dir / "out").string(), "--yes"}, 1},
        {{"extract", (dir / "a.bm").string(), (dir / "out2").string(), "--yes", "--palette",
          "df-bm=" + (dir / "df.pal").string()},
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1] + " " + std::to_string(c.args.size()));
        const auto run = cli(c.args);
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(count(run.err), c.notices) << run.err;
        if (c.notices) {
            EXPECT_NE(run.err.find("DarkForces BM palette"), std::string::npos) << run.err;
        }
    }
}

// Textures made by several threads are written in the pictures' order with the bytes one thread
// writes; a picture that fails on a thread fails the import, naming it, and the older file stays.
TEST(CliImport, JobsWriteTheSameFile) {
    TempDir dir;
    std::vector<std::string> pictures;
    for (std::uint32_t i = 0; i < 24; ++i) {
        // Large and small pictures in turn, so the threads finish out of order; many colours, so
        // the WAD3's own palettes are reduced.
        const std::uint32_t side = i % 3 == 0 ? 128 : 16;
        Bytes rgba(side * side * 4);
        for (std::size_t p = 0; p < rgba.size(); ++p)
            rgba[p] = p % 4 == 3 ? 255 : static_cast<std::uint8_t>((p * 37 + i * 11) ^ (p >> 5));
        pictures.push_back((dir / ("t" + std::to_string(100 + i) + ".png")).string());
        test::writeRgbaPng(pictures.back(), side, side, rgba);
    }
    const auto pal = "quake1=" + (dir / "q.pal").string();
    test::writeFile(dir / "q.pal", test::knownPalette(47));
    for (const std::string kind : {"wad2", "wad3"}) {
        SCOPED_TRACE(kind);
        std::vector<std::string> args{"import", kind, "", "--palette", pal};
        args.insert(args.end(), pictures.begin(), pictures.end());
        args[2] = (dir / (kind + "-one.wad")).string();
        auto one = args;
        one.insert(one.end(), {"--jobs", "1"});
        ASSERT_EQ(cli(one).exitCode, 0);
        const auto expected = test::readFile(args[2]);
        ASSERT_GT(expected.size(), 24u * 64 * 64);
        args[2] = (dir / (kind + "-many.wad")).string();
        auto many = args;
        many.insert(many.end(), {"--jobs", "4"});
        ASSERT_EQ(cli(many).exitCode, 0);
        EXPECT_EQ(test::readFile(args[2]), expected);
    }

    // Its size reads, its rows do not: found only when a thread makes it.
    auto damaged = test::readFile(pictures[7]);
    damaged.resize(damaged.size() / 2);
    test::writeFile(pictures[7], damaged);
    std::vector<std::string> args{"import", "wad3", (dir / "wad3-one.wad").string(), "--jobs", "4"};
    args.insert(args.end(), pictures.begin(), pictures.end());
    const auto before = test::readFile(args[2]);
    const auto run = cli(args);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("t107.png"), std::string::npos) << run.err;
    EXPECT_EQ(test::readFile(args[2]), before);
}

// The bytes of the lump named name in a texture WAD, found by reading its header and directory.
Bytes lumpOf(const Bytes& wad, const std::string& name) {
    const auto u32 = [&](std::size_t at) {
        return std::uint32_t(wad[at]) | std::uint32_t(wad[at + 1]) << 8 | std::uint32_t(wad[at + 2]) << 16 |
               std::uint32_t(wad[at + 3]) << 24;
    };
    for (std::uint32_t i = 0; i < u32(4); ++i) {
        const auto record = u32(8) + i * 32;
        if (std::string(reinterpret_cast<const char*>(&wad[record + 16])) == name)
            return Bytes(wad.begin() + u32(record), wad.begin() + u32(record) + u32(record + 8));
    }
    return {};
}

// add takes import's picture options for the textures it makes, and refuses them where they do not
// apply, leaving the container as it was.
TEST(CliImport, AddTakesTheImportOptions) {
    TempDir dir;
    const auto pal = test::knownPalette(48);
    test::writeFile(dir / "q.pal", pal);
    const auto quake = "quake1=" + (dir / "q.pal").string();
    Bytes indices(16 * 16);
    for (std::size_t i = 0; i < indices.size(); ++i)
        indices[i] = static_cast<std::uint8_t>(i % 200);
    for (const auto* name : {"first.bmp", "wall.bmp", "!water.bmp"})
        test::writeFile(dir / name, test::indexedBmp(16, 16, indices, test::coloursOf(pal)));
    const auto wad2 = (dir / "q.wad").string(), wad3 = (dir / "hl.wad").string();
    ASSERT_EQ(cli({"import", "wad2", wad2, (dir / "first.bmp").string(), "--palette", quake}).exitCode, 0);
    ASSERT_EQ(cli({"import", "wad3", wad3, (dir / "first.bmp").string()}).exitCode, 0);
    test::writeFile(dir / "c.pak", test::pakOf({{"a.txt", test::bytesOf("a")}}));
    const auto pak = (dir / "c.pak").string();

    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* message;
    } cases[] = {
        {{"add", wad3, (dir / "wall.bmp").string(), "--fullbright"}, 1, "--fullbright is for wad2, not wad3"},
        {{"add", wad2, (dir / "!water.bmp").string(), "--fog", "1,2,3,4"}, 1, "--fog is for wad3, not wad2"},
        {{"add", pak, (dir / "wall.bmp").string(), "--speed", "3"}, 1, "--speed is for pictures added to"},
        {{"add", wad3, (dir / "!water.bmp").string(), "--fog", "10,20,30,40", "--speed", "10"}, 0, "Saved"},
        {{"add", wad2, (dir / "wall.bmp").string(), "--palette", quake, "--dither"}, 0, "Saved"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const auto before = test::readFile(c.args[1]);
        const auto run = cli(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_NE((run.out + run.err).find(c.message), std::string::npos) << run.out << run.err;
        if (c.exitCode != 0) {
            EXPECT_EQ(test::readFile(c.args[1]), before);
        }
    }
    // The water texture's own palette: entry 3 the fog's colour, entry 4's first byte its density.
    const auto water = lumpOf(test::readFile(wad3), "!water");
    const std::size_t paletteAt = 40 + 256 + 64 + 16 + 4 + 2;
    ASSERT_EQ(water.size(), paletteAt + 768 + 2);
    EXPECT_EQ(Bytes(water.begin() + paletteAt + 9, water.begin() + paletteAt + 13), (Bytes{10, 20, 30, 40}));
    // The picture's colours are the given palette's: its indices are kept.
    const auto wall = lumpOf(test::readFile(wad2), "wall");
    ASSERT_GE(wall.size(), 40u + 256);
    EXPECT_EQ(Bytes(wall.begin() + 40, wall.begin() + 40 + 256), indices);
}

} // namespace
} // namespace vexa
