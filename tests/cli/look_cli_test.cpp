// vexa-cli's --filter and --format png, run as a process: the rows a filter keeps are entry
// indices, and extraction takes the entries those indices name.

#include "formats/texture_builders.h"
#include "images/image_builders.h"
#include "images/png_decode.h"
#include "support/test_files.h"

#include "cli/cli_runner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vexa {
namespace {

using test::Bytes;
using test::TempDir;
namespace fs = std::filesystem;

using test::cli;

using test::namesIn;

// A GOB whose matching entries sit between others, so a row of the filtered view is never the
// entry index it stands for.
struct FilterFixture {
    TempDir dir;
    fs::path gob = dir / "t.gob";
    const std::vector<std::pair<std::string, Bytes>> entries = {{"A.TXT", test::patternBytes(10, 1)},
                                                                {"B.BM", test::patternBytes(20, 2)},
                                                                {"C.WAV", test::patternBytes(1 << 20, 3)},
                                                                {"D.BM", test::patternBytes(40, 4)},
                                                                {"E.TXT", test::patternBytes(50, 5)}};
    FilterFixture() {
        for (const auto& [name, bytes] : entries)
            test::writeFile(dir / "src" / name, bytes);
        const auto r = cli({"create", "df-gob", (dir / "src").string(), gob.string()});
        EXPECT_EQ(r.exitCode, 0) << r.err;
    }
};

TEST(CliFilter, ListKeepsMatchingRowsWithTheirEntryIndices) {
    FilterFixture f;
    auto r = cli({"list", f.gob.string(), "--filter", ".bm"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "B.BM\nD.BM\n");
    r = cli({"list", "--filter", "?.*t", f.gob.string()});
    EXPECT_EQ(r.out, "A.TXT\nE.TXT\n");
    r = cli({"list", f.gob.string(), "--json", "--filter", "Bm"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "{\"path\": \"" + f.gob.string() +
                         "\", \"type\": 1, \"kind\": \"Dark Forces GOB\", \"count\": 5, \"entries\": [\n"
                         "  {\"index\": 1, \"name\": \"B.BM\", \"size\": 20, \"content\": \"text\"},\n"
                         "  {\"index\": 3, \"name\": \"D.BM\", \"size\": 40, \"content\": \"data\"}\n]}\n");
    r = cli({"list", f.gob.string(), "--json", "--filter", "nothing"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find("\"count\": 5, \"entries\": []}"), std::string::npos) << r.out;
    r = cli({"list", f.gob.string(), "--filter", ""});
    EXPECT_EQ(r.out, "A.TXT\nB.BM\nC.WAV\nD.BM\nE.TXT\n");
}

TEST(CliFilter, ExtractTakesTheEntriesTheFilterShows) {
    FilterFixture f;
    const struct {
        std::vector<std::string> selection;
        std::vector<std::string> written;
    } cases[] = {
        {{"--filter", "*.bm"}, {"B.BM", "D.BM"}},
        {{"--filter", "e"}, {"E.TXT"}},
        // With the other selections: both must hold.
        {{"--ext", ".txt", "--filter", "a"}, {"A.TXT"}},
        {{"--index", "0", "--index", "3", "--filter", "bm"}, {"D.BM"}},
        {{"--filter", "bm", "--entry", "B.BM", "--entry", "C.WAV"}, {"B.BM"}},
    };
    for (const auto& c : cases) {
        TempDir out;
        std::vector<std::string> args = {"extract", f.gob.string(), out.path().string(), "--yes"};
        args.insert(args.end(), c.selection.begin(), c.selection.end());
        const auto r = cli(args);
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, "Extraction  Complete\n");
        EXPECT_EQ(namesIn(out.path()), c.written) << c.selection.back();
        for (const auto& name : c.written) {
            const auto entry = std::find_if(f.entries.begin(), f.entries.end(),
                                            [&](const auto& e) { return e.first == name; });
            EXPECT_EQ(test::readFile(out / name), entry->second) << name;
        }
    }
}

TEST(CliFilter, MistakesAreReportedAndNothingIsWritten) {
    FilterFixture f;
    const struct {
        std::vector<std::string> args;
        int exitCode;
        std::string mentions;
    } cases[] = {
        {{"--filter", "zzz"}, 1, "No entry of " + f.gob.string() + " matches --filter zzz"},
        {{"--ext", ".wav", "--filter", "bm"}, 1, "matches --filter bm"},
        {{"--filter", "a", "--filter", "b"}, 2, "--filter is given once"},
        {{"--filter"}, 2, "--filter needs a value"},
        {{"--format", "gif"}, 2, "--format takes bmp or png, not gif"},
    };
    for (const auto& c : cases) {
        TempDir out;
        std::vector<std::string> args = {"extract", f.gob.string(), out.path().string(), "--yes"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = cli(args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.mentions;
        EXPECT_NE(r.err.find(c.mentions), std::string::npos) << r.err;
        EXPECT_TRUE(namesIn(out.path()).empty()) << c.mentions;
    }
}

TEST(CliFormat, PngPicturesBesideUnchangedEntries) {
    TempDir in, bmpOut, pngOut;
    const auto own = test::knownPalette(33);
    const auto rows = test::patternBytes(5 * 3, 6);
    const auto wad = in / "t.wad";
    test::writeFile(
        wad, test::wadFile("WAD3", {{"{GLASS", 0x43,
                                     test::wad3MipTexture("{GLASS", 8, 4, test::patternBytes(32, 2), own)},
                                    {"pic", 0x42, test::wad3Picture(5, 3, rows, own)},
                                    {"font", 0x46, Bytes(60, 1)}}));
    auto r = cli({"extract", wad.string(), bmpOut.path().string(), "--yes"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = cli({"extract", wad.string(), pngOut.path().string(), "--yes", "--format", "PNG", "--filter", "i"});
    if (test::cliIsWindows()) {
        // Built without libpng there: refused before anything is written.
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, "--format png: this build of VEXA writes no PNG (use BMP)\n");
        EXPECT_TRUE(namesIn(pngOut.path()).empty());
        GTEST_SKIP() << "PNG output: the Windows build has no libpng";
    }
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Extraction  Complete\n");
    EXPECT_EQ(namesIn(bmpOut.path()), (std::vector<std::string>{"pic.bmp", "{GLASS.bmp"}));
    EXPECT_EQ(namesIn(pngOut.path()), (std::vector<std::string>{"pic.png"}));
    const auto png = test::decodePng(pngOut / "pic.png");
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.indices, rows);
    EXPECT_EQ(png.palette, own);

    // Entries of a plain container are copied byte for byte, whatever their name.
    TempDir src, gobOut;
    const auto bmp = test::expectedBmp(2, 1, {1, 2}, own);
    test::writeFile(src / "PIC.BMP", bmp);
    r = cli({"create", "df-gob", src.path().string(), (in / "t.gob").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = cli({"extract", (in / "t.gob").string(), gobOut.path().string(), "--yes", "--format", "png"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(namesIn(gobOut.path()), (std::vector<std::string>{"PIC.BMP"}));
    EXPECT_EQ(test::readFile(gobOut / "PIC.BMP"), bmp);
}

// Two Ctrl-C in a row while the run writes: it stops between entries, every file under an entry's
// name is whole, and no temporary file is left (whichever entry the signals met).
TEST(CliInterrupt, CtrlCStopsBetweenEntriesWithWholeFilesOnly) {
    if (test::cliIsWindows())
        GTEST_SKIP() << "POSIX signals: Windows stops on a console Ctrl-C event instead";
    FilterFixture f;
    TempDir out, capture;
    const auto errPath = capture / "err";
    const std::vector<std::string> argv = {VEXA_CLI_PATH, "extract", f.gob.string(), out.path().string(),
                                           "--yes"};
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::freopen(errPath.c_str(), "w", stderr);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    // The first file in the target (temporary or whole) shows the run is writing.
    for (int i = 0; i < 60'000 && namesIn(out.path()).empty(); ++i)
        ::usleep(1000);
    ::kill(pid, SIGINT);
    ::usleep(2000);
    ::kill(pid, SIGINT);
    int status = 0;
    ::waitpid(pid, &status, 0);

    ASSERT_TRUE(WIFEXITED(status));
    const auto err = test::readFile(errPath);
    const std::string text(err.begin(), err.end());
    if (WEXITSTATUS(status) == 130) {
        unsigned written = 0, notStarted = 0;
        ASSERT_EQ(std::sscanf(text.c_str(), "Extraction cancelled: %u written, %u not started", &written,
                              &notStarted),
                  2)
            << text;
        EXPECT_EQ(written + notStarted, 5u);
        EXPECT_EQ(namesIn(out.path()).size(), written);
    } else {
        EXPECT_EQ(WEXITSTATUS(status), 0) << text;
    }
    for (const auto& [name, bytes] : f.entries)
        if (fs::exists(out / name)) {
            EXPECT_EQ(test::readFile(out / name), bytes) << name;
        }
    for (const auto& name : namesIn(out.path()))
        EXPECT_EQ(name.find(".vexa-"), std::string::npos) << name;
}

} // namespace
} // namespace vexa
