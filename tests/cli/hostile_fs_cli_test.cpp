// vexa-cli on a file system that works against it: FIFOs where files should be, names that talk to
// the terminal, outputs that would replace their own sources, signals in the middle of a write.

#include "support/test_files.h"

#include "cli/cli_runner.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace vexa {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

using test::cli;

// A PAK of the given names, each entry the bytes of its own index.
fs::path writePak(const fs::path& path, const std::vector<std::string>& names) {
    test::ByteBuilder pak;
    const auto dirOffset = static_cast<std::uint32_t>(12 + names.size());
    pak.raw("PACK").u32(dirOffset).u32(static_cast<std::uint32_t>(64 * names.size()));
    for (std::size_t i = 0; i < names.size(); ++i)
        pak.u8(static_cast<std::uint8_t>('0' + i));
    for (std::size_t i = 0; i < names.size(); ++i)
        pak.name(names[i], 56).u32(static_cast<std::uint32_t>(12 + i)).u32(1);
    test::writeFile(path, pak.bytes());
    return path;
}

bool holdsTemporaryFile(const fs::path& folder) {
    for (const auto& name : test::namesIn(folder))
        if (name.find(".vexa-") != std::string::npos) return true;
    return false;
}

// True when process pid holds a file of folder open.
bool writesInto(pid_t pid, const fs::path& folder) {
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
        const auto target = fs::read_symlink(fd.path(), ec).string();
        if (!ec && target.rfind(folder.string() + "/", 0) == 0) return true;
    }
    return false;
}

// Every file vexa-cli reads is opened without waiting: a FIFO is refused at once, by name.
TEST(CliHostile, FifosAreRefusedNotWaitedOn) {
    if (test::cliIsWindows()) GTEST_SKIP() << "FIFOs are POSIX: Windows has no named pipes in folders";
    TempDir dir;
    const auto fifo = dir / "in.gob";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const auto pak = writePak(dir / "a.pak", {"a"});
    const std::vector<std::vector<std::string>> commands = {
        {"detect", fifo.string()},
        {"list", fifo.string()},
        {"extract", fifo.string(), (dir / "out").string(), "--yes"},
        {"extract", pak.string(), (dir / "out").string(), "--yes", "--palette", "quake1=" + fifo.string()},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command[0] + " " + command.back());
        const auto r = cli(command);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find(fifo.string()), std::string::npos) << r.err;
    }
    EXPECT_NE(cli({"list", fifo.string()}).err.find("not a regular file"), std::string::npos);
}

// One entry, one line: control characters of stored names are shown escaped in rows and messages;
// --json escapes them its own way, as before.
TEST(CliHostile, StoredNamesCannotTalkToTheTerminal) {
    TempDir dir;
    const auto pak = writePak(dir / "a.pak", {"a\x1b[31mRED", "two\nlines"});
    auto r = cli({"list", pak.string()});
    EXPECT_EQ(r.out, "a\\x1b[31mRED\ntwo\\nlines\n");
    r = cli({"list", pak.string(), "--json"});
    EXPECT_NE(r.out.find("\"a\\u001b[31mRED\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"two\\nlines\""), std::string::npos) << r.out;
    r = cli({"extract", pak.string(), (dir / "out").string(), "--yes"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("entry 1 'two\\nlines' was not extracted"), std::string::npos) << r.err;
}

// An output that cannot be written costs its entry; the others come out, the run ends with the
// summary and exit status 1.
TEST(CliHostile, ABadOutputCostsOnlyItsEntry) {
    TempDir dir;
    const auto pak = writePak(dir / "a.pak", {"x", "x\\y", "z"});
    const auto r = cli({"extract", pak.string(), (dir / "out").string(), "--yes"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("entry 1 'x\\y' was not extracted: a file stands at " +
                         test::shownPath(dir / "out", "x") + " where a folder should be"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("Extraction ended: 2 written, 1 entry not extracted"), std::string::npos) << r.err;
    EXPECT_EQ(test::namesIn(dir / "out"), (std::vector<std::string>{"x", "z"}));
}

// create never replaces or packs its own sources: an output inside the source folder is refused
// before anything is written.
// Names Windows would take for a device, or cut short, cost their own entry there and nothing
// else; on other systems they are ordinary names and are all extracted.
TEST(CliHostile, DeviceNamesAreRefusedOnWindowsOnly) {
    TempDir dir;
    const auto pak = writePak(dir / "a.pak", {"CON", "nul.txt", "lpt1\\x", "name.", "ok"});
    const auto r = cli({"extract", pak.string(), (dir / "out").string(), "--yes"});
    if (!test::cliIsWindows()) {
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(test::namesIn(dir / "out"),
                  (std::vector<std::string>{"CON", "lpt1", "name.", "nul.txt", "ok"}));
        return;
    }
    EXPECT_EQ(r.exitCode, 1);
    for (const auto* refusal : {"entry 0 'CON' was not extracted: \"CON\" is a device name on Windows",
                                "entry 1 'nul.txt' was not extracted: \"nul\" is a device name on Windows",
                                "entry 2 'lpt1\\x' was not extracted: \"lpt1\" is a device name on Windows",
                                "entry 3 'name.' was not extracted: the name ends in a dot or a space"})
        EXPECT_NE(r.err.find(refusal), std::string::npos) << refusal << "\n" << r.err;
    EXPECT_EQ(test::namesIn(dir / "out"), std::vector<std::string>{"ok"});
}

TEST(CliHostile, CreateRefusesAnOutputAmongItsSources) {
    for (const char* output : {"a.txt", "new.pak", "sub/new.pak"}) {
        SCOPED_TRACE(output);
        TempDir dir;
        test::writeFile(dir / "src" / "a.txt", "the only copy");
        fs::create_directory(dir / "src" / "sub");
        const auto r = cli({"create", "pak", (dir / "src").string(), (dir / "src" / output).string()});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find("lies inside the source folder"), std::string::npos) << r.err;
        EXPECT_EQ(test::readFile(dir / "src" / "a.txt"), test::bytesOf("the only copy"));
        EXPECT_EQ(test::namesIn(dir / "src"), (std::vector<std::string>{"a.txt", "sub"}));
    }
}

TEST(CliHostile, CreateFailsOnAFolderItCannotRead) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not hold for root";
    if (test::cliIsWindows()) GTEST_SKIP() << "POSIX permissions: Windows has access lists, not mode bits";
    TempDir dir;
    test::writeFile(dir / "src" / "a.txt", "a");
    test::writeFile(dir / "src" / "locked" / "b.txt", "b");
    fs::permissions(dir / "src" / "locked", fs::perms::none);
    const auto r = cli({"create", "pak", (dir / "src").string(), (dir / "a.pak").string()});
    fs::permissions(dir / "src" / "locked", fs::perms::owner_all);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find((dir / "src" / "locked").string()), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "a.pak"));
}

// Two hang-ups in a row while a container is written: the run stops, the clean-up is not cut
// short, and no temporary file or partial container is left.
TEST(CliHostile, ASecondSignalStillLeavesNothingHalfWritten) {
    if (test::cliIsWindows())
        GTEST_SKIP() << "POSIX signals: Windows stops on a console Ctrl-C event instead";
    TempDir dir;
    for (int i = 0; i < 8; ++i)
        test::writeFile(dir / "src" / ("f" + std::to_string(i)),
                        test::patternBytes(8u << 20, static_cast<std::uint8_t>(i)));
    const auto output = dir / "out" / "big.pak";
    fs::create_directory(dir / "out");
    for (const int signal : {SIGHUP, SIGINT, SIGTERM, SIGQUIT}) {
        SCOPED_TRACE(signal);
        const pid_t pid = ::fork();
        if (pid == 0) {
            std::freopen("/dev/null", "w", stdout);
            std::freopen("/dev/null", "w", stderr);
            ::execl(VEXA_CLI_PATH, VEXA_CLI_PATH, "create", "pak", (dir / "src").c_str(), output.c_str(),
                    nullptr);
            ::_exit(127);
        }
        // A file it holds open in the output folder (named or not yet) shows the container is being written.
        for (int i = 0; i < 60'000 && !writesInto(pid, dir / "out"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ::kill(pid, signal);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        ::kill(pid, signal);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by the signal";
        EXPECT_TRUE(WEXITSTATUS(status) == 130 || WEXITSTATUS(status) == 0) << WEXITSTATUS(status);
        EXPECT_FALSE(holdsTemporaryFile(dir / "out"));
        if (WEXITSTATUS(status) == 0) {
            EXPECT_EQ(fs::file_size(output), 12 + 8 * (8u << 20) + 8 * 64u);
        }
        fs::remove(output);
    }
}

// A killed run's temporaries are swept from the folders an extraction reaches, but a folder the run
// made a moment ago holds none: it is not read through. Counted with strace, where it is installed.
TEST(CliHostile, OnlyFoldersTheRunFoundAreSweptOfTemporaries) {
    if (test::cliIsWindows()) GTEST_SKIP() << "strace traces Linux processes only";
    const std::string strace = "/usr/bin/strace";
    if (!fs::exists(strace) || test::runCommand({strace, "-V"}).exitCode != 0)
        GTEST_SKIP() << strace << " is not installed";
    if (test::runCommand({strace, "-o", "/dev/null", "/bin/true"}).exitCode != 0)
        GTEST_SKIP() << "strace cannot trace a process here (ptrace not allowed)";
    constexpr int kFolders = 20;
    TempDir dir;
    for (int i = 0; i < kFolders; ++i)
        test::writeFile(dir / "src" / ("d" + std::to_string(i)) / "f.txt", "x");
    const auto pak = dir / "t.pak";
    ASSERT_EQ(cli({"create", "pak", (dir / "src").string(), pak.string()}).exitCode, 0);

    const auto folderReads = [&](const fs::path& target) {
        const auto log = dir / "trace";
        const auto run =
            // The leak checker of a sanitized build refuses to run traced; the count needs no leak check.
            test::runCommand({strace, "-E", "ASAN_OPTIONS=detect_leaks=0", "-f", "-e", "trace=getdents64",
                              "-o", log.string(), test::cliProgram(), "extract", pak.string(),
                              target.string(), "--yes"});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        const auto trace = test::readFile(log);
        const std::string text(trace.begin(), trace.end());
        int calls = 0;
        for (auto at = text.find("getdents64("); at != std::string::npos;
             at = text.find("getdents64(", at + 1))
            ++calls;
        return calls;
    };
    // Folders there beforehand are each read (to their end: two calls at least).
    for (int i = 0; i < kFolders; ++i)
        fs::create_directories(dir / "old" / ("d" + std::to_string(i)));
    const auto found = folderReads(dir / "old");
    EXPECT_GE(found, 2 * kFolders);
    // Folders the run made are not: what is left is the target's own sweep.
    const auto made = folderReads(dir / "new");
    EXPECT_LE(made, found - 2 * kFolders) << "found " << found << ", made " << made;
}

} // namespace
} // namespace vexa
