// vexa-cli add, remove, rename and convert, run as a process on containers vexa-cli create made.

#include "cli/cli_runner.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

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
        {{"rename", c.string(), "intro.anm", "pal.plt"}, 1, "the entry 'pal.plt' is there"},
        {{"add", c.string(), (dir / "missing.txt").string()}, 1, "Cannot open file"},
        {{"add", c.string(), (dir / "src").string()}, 1, "no folders"},
        {{"convert", c.string(), "pak", c.string()}, 1, "the open container"},
        {{"rename", c.string(), "intro.anm"}, 2, "rename takes"},
        {{"add", c.string()}, 2, "add takes"},
        {{"convert", c.string(), "no-such-kind", (dir / "w").string()}, 2, "unknown container kind"},
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

// A name the user gives that the kind would cut is refused with its limit, the container unchanged.
TEST(CliEdit, ANameTooLongForTheKindIsRefused) {
    const struct {
        std::string kind, name, limit;
    } cases[] = {
        {"df-gob", "averylongname.txt", "at most 12"}, {"jk-gob", std::string(130, 'j'), "at most 127"},
        {"goo", std::string(130, 'g'), "at most 127"}, {"lab", std::string(4100, 'l'), "at most 4096"},
        {"pak", std::string(60, 'p'), "at most 55"},   {"vp", std::string(40, 'v'), "at most 31"},
        {"hog", "averylongname.txt", "at most 12"},    {"hog2", std::string(40, 'h'), "at most 35"},
        {"lfd", "averylong.anm", "at most 8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        TempDir dir;
        const auto container = makeContainer(dir, c.kind);
        const auto before = test::readFile(container);
        auto run = cli({"rename", container.string(), "intro.anm", c.name});
        EXPECT_EQ(run.exitCode, 1) << run.out;
        EXPECT_NE(run.err.find(c.limit), std::string::npos) << run.err;
        EXPECT_EQ(test::readFile(container), before);

        test::writeFile(dir / "x.txt", "x");
        run = cli({"add", container.string(), (dir / "x.txt").string(), "--as", c.name});
        EXPECT_EQ(run.exitCode, 1) << run.out;
        EXPECT_NE(run.err.find(c.limit), std::string::npos) << run.err;
        EXPECT_EQ(test::readFile(container), before);
    }
    // A file whose own name does not fit: --as is the way out.
    TempDir dir;
    const auto gob = makeContainer(dir, "df-gob");
    test::writeFile(dir / "averylongname.txt", "x");
    const auto run = cli({"add", gob.string(), (dir / "averylongname.txt").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("'averylongna'"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("--as NAME"), std::string::npos) << run.err;
}

// Names from a folder or another container are cut as before, each said on stderr.
TEST(CliEdit, EachCutNameIsSaid) {
    TempDir dir;
    test::writeFile(dir / "src" / "averylongname.txt", "a");
    test::writeFile(dir / "src" / "short.txt", "b");
    auto run = cli({"create", "df-gob", (dir / "src").string(), (dir / "c.gob").string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "'averylongname.txt' stored as 'averylongna' (names of at most 12 characters)\n");
    EXPECT_EQ(listOf(dir / "c.gob"), "averylongna\nshort.txt\n");

    run = cli({"create", "pak", (dir / "src").string(), (dir / "c.pak").string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");
    run = cli({"convert", (dir / "c.pak").string(), "hog", (dir / "c.hog").string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "'averylongname.txt' stored as 'averylongnam' (names of at most 12 characters)\n");
}

// Paths in what the edits print are escaped as in every other message: no control character reaches
// the terminal.
TEST(CliEdit, SavedAndCreatedPathsAreEscaped) {
    if (test::cliIsWindows()) GTEST_SKIP() << "Windows file names hold no control characters";
    TempDir dir;
    test::writeFile(dir / "src" / "a.txt", "a");
    const auto container = dir / "evil\x1b[2J.pak";
    auto run = cli({"create", "pak", (dir / "src").string(), container.string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Created File " + (dir / "evil\\x1b[2J.pak").string() + "\n");
    run = cli({"rename", container.string(), "a.txt", "b.txt"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Saved File " + (dir / "evil\\x1b[2J.pak").string() + "\n");
}

// What the file system hands the edits: a name holding "\\", a link as the container, FIFOs and
// links in a folder. Each is refused or said, never taken silently for something else.
TEST(CliEdit, WhatTheFileSystemHandsIsRefusedOrSaid) {
    if (test::cliIsWindows()) GTEST_SKIP() << "Windows has no \\ in names, FIFOs or plain symbolic links";
    TempDir dir;
    const auto pak = makeContainer(dir, "pak");
    const auto before = test::readFile(pak);

    // A single file named back\slash.txt: as create refuses it, so does add.
    test::writeFile(dir / "back\\slash.txt", "x");
    auto run = cli({"add", pak.string(), (dir / "back\\slash.txt").string()});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("folder separator"), std::string::npos) << run.err;
    EXPECT_EQ(test::readFile(pak), before);

    // A link given as the container: the file it points to is edited, the link kept.
    const auto link = dir / "link.pak";
    fs::create_symlink(pak, link);
    test::writeFile(dir / "new.voc", "new");
    run = cli({"add", link.string(), (dir / "new.voc").string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(listOf(pak), "intro.anm\npal.plt\nnew.voc\n");
    run = cli({"rename", link.string(), "intro.anm", "intro2.anm", "--no-in-place"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(listOf(pak), "intro2.anm\npal.plt\nnew.voc\n");

    // A FIFO and a dangling link in a folder given to add and to create: skipped, each said.
    const auto folder = dir / "maps";
    test::writeFile(folder / "e1m1.bsp", "map");
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0600), 0);
    fs::create_symlink(dir / "nowhere", folder / "dangling");
    for (const std::vector<std::string> args :
         {std::vector<std::string>{"add", pak.string(), folder.string()},
          std::vector<std::string>{"create", "jk-gob", folder.string(), (dir / "new.gob").string()}}) {
        SCOPED_TRACE(args[0]);
        run = cli(args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.err.find("skipping " + (folder / "pipe").string() + ": not a regular file\n"),
                  std::string::npos)
            << run.err;
        EXPECT_NE(run.err.find("skipping " + (folder / "dangling").string() + ": not a regular file\n"),
                  std::string::npos)
            << run.err;
    }
    EXPECT_EQ(listOf(dir / "new.gob"), "e1m1.bsp\n");
}

TEST(CliEdit, EveryEditCommandHasHelp) {
    for (const std::string command : {"add", "remove", "rename", "convert"}) {
        const auto run = cli({command, "--help"});
        EXPECT_EQ(run.exitCode, 0) << command;
        EXPECT_EQ(run.out.rfind("Usage: vexa-cli " + command, 0), 0u) << run.out;
    }
    // The edits say what really happens: in place where the kind allows, links followed.
    for (const std::string command : {"add", "remove", "rename"}) {
        const auto out = cli({command, "--help"}).out;
        for (const auto* said : {"A Dark Forces GOB or PAK whose kept entries", "in place", "symbolic link",
                                 "refused, naming", "except in PAK."})
            EXPECT_NE(out.find(said), std::string::npos) << command << ": " << said << "\n" << out;
    }
}

} // namespace
} // namespace vexa
