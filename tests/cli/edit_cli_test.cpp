// vexa-cli add, remove, rename and convert, run as a process on containers vexa-cli create made.

#include "cli/cli_runner.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::cli;
using test::TempDir;
namespace fs = std::filesystem;

std::string listOf(const fs::path& container) {
    return cli({"list", container.string()}).out;
}

// A container of kind made by vexa-cli create from intro.anm and pal.plt.
fs::path makeContainer(const TempDir& dir, const std::string& kind) {
    test::writeFile(dir / "src" / "intro.anm", test::patternBytes(1000, 1));
    test::writeFile(dir / "src" / "pal.plt", test::patternBytes(768, 2));
    const auto container = dir / ("c." + kind);
    const auto made = cli({"create", kind, (dir / "src").string(), container.string()});
    EXPECT_EQ(made.exitCode, 0) << made.err;
    return container;
}

// Each writable kind: add, rename, remove and convert, the untouched entry extracted byte for byte.
TEST(CliEdit, EveryWritableKindIsEditedInPlace) {
    if (test::cliIsWindows())
        GTEST_SKIP() << "saving in place replaces the open container: Windows refuses that while it is open";
    for (const std::string kind : {"df-gob", "jk-gob", "goo", "lab", "pak", "vp", "hog", "hog2", "lfd"}) {
        SCOPED_TRACE(kind);
        TempDir dir;
        const auto c = makeContainer(dir, kind);
        test::writeFile(dir / "new.voc", test::patternBytes(33, 3));

        auto run = cli({"add", c.string(), (dir / "new.voc").string()});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, "Saved File " + c.string() + "\n");
        EXPECT_EQ(listOf(c), "intro.anm\npal.plt\nnew.voc\n");

        run = cli({"rename", c.string(), "new.voc", "renamed.voc"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        run = cli({"remove", c.string(), "pal.plt"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(listOf(c), "intro.anm\nrenamed.voc\n");

        const auto converted = dir / "converted.pak";
        run = cli({"convert", c.string(), "pak", converted.string()});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(listOf(converted), "intro.anm\nrenamed.voc\n");

        run = cli({"extract", c.string(), (dir / "x").string(), "--yes"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(test::readFile(dir / "x" / "intro.anm"), test::patternBytes(1000, 1));
        EXPECT_EQ(test::readFile(dir / "x" / "renamed.voc"), test::patternBytes(33, 3));
    }
}

TEST(CliEdit, AddWithAsAndAFolderTree) {
    if (test::cliIsWindows())
        GTEST_SKIP() << "saving in place replaces the open container: Windows refuses that while it is open";
    TempDir dir;
    const auto c = makeContainer(dir, "pak");
    test::writeFile(dir / "maps" / "e1m1.bsp", test::patternBytes(10, 1));
    test::writeFile(dir / "one.txt", test::patternBytes(11, 2));
    auto run = cli({"add", c.string(), (dir / "maps").string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    run = cli({"add", c.string(), (dir / "one.txt").string(), "--as", "docs/readme.txt"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // The same name again replaces the entry in its place.
    run = cli({"add", c.string(), (dir / "one.txt").string(), "--as", "intro.anm"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(listOf(c), "intro.anm\npal.plt\nmaps\\e1m1.bsp\ndocs\\readme.txt\n");
    EXPECT_NE(cli({"list", "--json", c.string()}).out.find("\"name\": \"intro.anm\", \"size\": 11"),
              std::string::npos);
}

// Every failure leaves the container byte for byte as it was.
TEST(CliEdit, FailuresLeaveTheContainerAndSayWhy) {
    TempDir dir;
    const auto c = makeContainer(dir, "df-gob");
    const auto before = test::readFile(c);
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string message;
    } cases[] = {
        {{"remove", c.string(), "nothere.txt"}, 1, "No entry named nothere.txt"},
        {{"rename", c.string(), "intro.anm", "pal.plt"}, 1, "that name"},
        {{"add", c.string(), (dir / "missing.txt").string()}, 1, "Cannot open file"},
        {{"add", c.string(), (dir / "src").string()}, 1, "no folders"},
        {{"convert", c.string(), "pak", c.string()}, 1, "the open container"},
        {{"rename", c.string(), "intro.anm"}, 2, "rename takes"},
        {{"add", c.string()}, 2, "add takes"},
        {{"convert", c.string(), "hl-wad", (dir / "w").string()}, 2, "unknown container kind"},
        {{"add", c.string(), "a", "b", "--as", "x"}, 2, "one PATH"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.args[0] + " " + k.message);
        const auto run = cli(k.args);
        EXPECT_EQ(run.exitCode, k.exitCode) << run.err;
        EXPECT_NE(run.err.find(k.message), std::string::npos) << run.err;
        EXPECT_EQ(test::readFile(c), before);
    }
}

TEST(CliEdit, ReadOnlyKindsNameTheKindsThatCanBeEdited) {
    TempDir dir;
    const auto grp = dir / "g.grp";
    test::ByteBuilder b;
    b.raw("KenSilverman").u32(1).name("A.TXT", 12).u32(1).raw("a");
    test::writeFile(grp, b.bytes());
    test::writeFile(dir / "x.txt", "x");
    const auto run = cli({"add", grp.string(), (dir / "x.txt").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("GRP files cannot be edited; these kinds can: Dark Forces GOB"), std::string::npos)
        << run.err;
}

TEST(CliEdit, ConvertRefusesANameTheNewKindCannotHold) {
    if (test::cliIsWindows())
        GTEST_SKIP() << "saving in place replaces the open container: Windows refuses that while it is open";
    TempDir dir;
    const auto c = makeContainer(dir, "jk-gob");
    test::writeFile(dir / "x.txt", "x");
    ASSERT_EQ(cli({"add", c.string(), (dir / "x.txt").string(), "--as", std::string(60, 'n')}).exitCode, 0);
    const auto run = cli({"convert", c.string(), "pak", (dir / "new.pak").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("at most 55"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(dir / "new.pak"));
}

TEST(CliEdit, EveryEditCommandHasHelp) {
    for (const std::string command : {"add", "remove", "rename", "convert"}) {
        const auto run = cli({command, "--help"});
        EXPECT_EQ(run.exitCode, 0) << command;
        EXPECT_EQ(run.out.rfind("Usage: vexa-cli " + command, 0), 0u) << run.out;
    }
}

} // namespace
} // namespace vexa
