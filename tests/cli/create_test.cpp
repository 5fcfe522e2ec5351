// vexa-cli create for every kind that writes, read back with vexa-cli list and extract.

#include "base/file_io.h"
#include "support/test_files.h"

#include "cli/cli_runner.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::Bytes;
using test::TempDir;

const std::string kCli = VEXA_CLI_PATH;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto end = text.find('\n', start);
        out.push_back(text.substr(start, end - start));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return out;
}

TEST(CliCreate, EveryKindBuildsListsAndExtracts) {
    TempDir src;
    test::writeFile(src / "intro.anm", test::patternBytes(1000, 1));
    test::writeFile(src / "pal.plt", test::patternBytes(768, 2));
    test::writeFile(src / "sub" / "deep" / "s.voc", test::patternBytes(33, 3));
    const std::vector<std::string> flat = {"intro.anm", "pal.plt"};
    const std::vector<std::string> tree = {"intro.anm", "pal.plt", "sub\\deep\\s.voc"};
    const struct {
        const char* kind;
        const char* detected;
        bool subFolders;
    } cases[] = {
        {"jk-gob", "2\tJedi Knight GOB", true}, {"goo", "2\tJedi Knight GOB", true},
        {"lab", "3\tOutlaws LAB", false},       {"pak", "4\tPAK", true},
        {"vp", "10\tFreeSpace VP", true},       {"hog", "8\tDescent HOG", false},
        {"hog2", "9\tDescent 3 HOG2", false},   {"lfd", "11\tDark Forces LFD", false},
    };
    for (const auto& c : cases) {
        TempDir out;
        const auto container = (out / (std::string("new.") + c.kind)).string();
        const auto created = test::cli({"create", c.kind, src.path().string(), container});
        ASSERT_EQ(created.exitCode, 0) << c.kind << ": " << created.err;
        EXPECT_EQ(created.out, "Created File " + container + "\n") << c.kind;

        EXPECT_EQ(test::cli({"detect", container}).out, std::string(c.detected) + "\n") << c.kind;
        const auto listed = test::cli({"list", container});
        ASSERT_EQ(listed.exitCode, 0) << c.kind << ": " << listed.err;
        const auto& expected = c.subFolders ? tree : flat;
        EXPECT_EQ(lines(listed.out), expected) << c.kind;

        const auto target = out / "x";
        const auto extracted = test::cli({"extract", container, target.string(), "--yes"});
        ASSERT_EQ(extracted.exitCode, 0) << c.kind << ": " << extracted.err;
        for (const auto& name : expected) {
            const auto relative = entryNameToPath(name);
            EXPECT_EQ(test::readFile(target / relative), test::readFile(src.path() / relative))
                << c.kind << " " << name;
        }
    }
}

TEST(CliCreate, RefusedWriteFailsAndLeavesNothing) {
    TempDir src, out;
    test::writeFile(src / std::string(60, 'p'), "a name too long for a PAK record");
    const auto container = (out / "bad.pak").string();
    const auto r = test::cli({"create", "pak", src.path().string(), container});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find(container), std::string::npos) << r.err;
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_FALSE(fs::exists(container));
}

TEST(CliCreate, HalfLifeWadWritesGoBatBesideTheProgram) {
    if (test::cliIsWindows())
        GTEST_SKIP() << "a copy of the Linux program: the paths it writes are POSIX ones";
    // A copy of the program in a folder of its own, so its Temp and HalfLife folders are the test's.
    TempDir program, src;
    const auto cli = program / "vexa-cli";
    fs::copy_file(kCli, cli);
    fs::permissions(cli, fs::perms::owner_exec, fs::perm_options::add);
    const auto newPath = (src / "New_HL_Wad.Wad").string();
    const auto r = test::runCommand({cli.string(), "create", "hl-wad", src.path().string(), newPath});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto batch = program / "Temp" / "go.bat";
    EXPECT_EQ(r.out, batch.string() + "\n");
    const auto base = (src / "New_HL_Wad").string();
    const auto expected = (program / "HalfLife" / "makels.exe").string() + " " + src.path().string() + " " +
                          base + " " + base + ".ls\r\n" + (program / "HalfLife" / "qlumpy.exe").string() +
                          " " + base + ".ls\r\n";
    EXPECT_EQ(test::readFile(batch), test::bytesOf(expected));
    EXPECT_FALSE(fs::exists(newPath)); // the tools make the WAD, not VEXA
}

TEST(CliCreate, HelpNamesEveryKind) {
    const auto r = test::cli({"create", "--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const auto* kind : {"df-gob", "jk-gob", "goo", "lab", "pak", "hl-wad", "vp", "hog", "hog2", "lfd"})
        EXPECT_NE(r.out.find(std::string("  ") + kind + "\t"), std::string::npos) << kind;
}

} // namespace
} // namespace vexa
