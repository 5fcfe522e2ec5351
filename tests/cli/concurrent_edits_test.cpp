// Edits that meet each other, run as real processes: two saves of one container, a reader during a
// save, another program's file moved onto the path during a save, and a failed save undone while the
// process is killed at every step. A small library loaded into vexa-cli (support/fault_preload.cpp)
// stops each process where the race is to happen, so that it happens on every run.

#include "cli/cli_runner.h"

#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <sys/wait.h>
#include <unistd.h>

namespace vexa {
namespace {

using test::cli;
using test::TempDir;
namespace fs = std::filesystem;
using Environment = std::map<std::string, std::string>;

// A vexa-cli started in the background with the fault library loaded and environment set.
class Started {
  public:
    Started(std::vector<std::string> args, const Environment& environment) {
        args.insert(args.begin(), test::cliProgram());
        pid_ = ::fork();
        if (pid_ != 0) return;
        std::freopen((capture_ / "out").c_str(), "w", stdout);
        std::freopen((capture_ / "err").c_str(), "w", stderr);
        ::setenv("LD_PRELOAD", VEXA_FAULT_PRELOAD, 1);
        // The sanitizers' runtime comes after the preloaded library here, which they would refuse.
        ::setenv("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0", 1);
        for (const auto& [name, value] : environment)
            ::setenv(name.c_str(), value.c_str(), 1);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    Started(const Started&) = delete;
    ~Started() {
        if (pid_ > 0 && !waited_) {
            ::kill(pid_, SIGKILL);
            finish();
        }
    }

    // Waits for it: its exit status (-1 when killed), output and errors.
    test::RunResult finish() {
        if (!waited_) ::waitpid(pid_, &status_, 0);
        waited_ = true;
        test::RunResult r;
        r.exitCode = WIFEXITED(status_) ? WEXITSTATUS(status_) : -1;
        const auto out = test::readFile(capture_ / "out"), err = test::readFile(capture_ / "err");
        r.out.assign(out.begin(), out.end());
        r.err.assign(err.begin(), err.end());
        return r;
    }
    // Whether it has ended, without waiting.
    bool ended() {
        if (!waited_ && ::waitpid(pid_, &status_, WNOHANG) == pid_) waited_ = true;
        return waited_;
    }

  private:
    TempDir capture_;
    pid_t pid_ = -1;
    bool waited_ = false;
    int status_ = 0;
};

bool skipped() {
    return test::cliIsWindows();
}

// Waits up to ten seconds for what.
bool waitFor(const std::function<bool()>& what) {
    for (int i = 0; i < 1000; ++i) {
        if (what()) return true;
        ::usleep(10'000);
    }
    return false;
}

bool pausedIn(const fs::path& dir) {
    for (const auto& e : fs::directory_iterator(dir))
        if (e.path().filename().string().rfind("paused.", 0) == 0) return true;
    return false;
}

std::vector<std::string> namesOf(const fs::path& container) {
    const auto run = cli({"list", container.string()});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> names;
    std::string line;
    for (const char c : run.out) {
        if (c != '\n') {
            line += c;
            continue;
        }
        names.push_back(line);
        line.clear();
    }
    return names;
}

// A container of kind holding count entries e0000 ... (each 40 bytes of its own pattern).
fs::path makeContainer(const TempDir& dir, const std::string& kind, int count) {
    for (int i = 0; i < count; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "e%04d", i);
        test::writeFile(dir / "src" / name, test::patternBytes(40, static_cast<std::uint8_t>(i)));
    }
    const auto container = dir / ("c." + kind);
    const auto made = cli({"create", kind, (dir / "src").string(), container.string()});
    EXPECT_EQ(made.exitCode, 0) << made.err;
    return container;
}

bool holds(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

// Two edits of one container, both stopped after reading it until the other has read it too: each
// is made on what the other saved, in place or through a new file alike.
TEST(ConcurrentEdits, TwoEditsAtOnceKeepBoth) {
    if (skipped()) GTEST_SKIP() << "the fault library is for Linux";
    const struct {
        std::string kind;
        std::vector<std::string> first, second; // after the container
        std::vector<std::string> present, absent;
        std::size_t count; // entries after both
    } cases[] = {
        {"pak", {"add", "@a.txt"}, {"add", "@b.txt"}, {"a.txt", "b.txt", "e0000"}, {}, 302},
        {"df-gob", {"add", "@a.txt"}, {"add", "@b.txt"}, {"a.txt", "b.txt"}, {}, 302},
        {"pak", {"remove", "e0001"}, {"remove", "e0003"}, {"e0000", "e0002"}, {"e0001", "e0003"}, 298},
        {"lab", {"remove", "e0001"}, {"add", "@b.txt"}, {"b.txt", "e0002"}, {"e0001"}, 300},
        {"pak", {"rename", "e0002", "two"}, {"add", "@a.txt"}, {"two", "a.txt"}, {"e0002"}, 301},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind + " " + c.first[0] + " + " + c.second[0]);
        TempDir dir;
        const auto container = makeContainer(dir, c.kind, 300);
        test::writeFile(dir / "a.txt", test::patternBytes(3000, 7));
        test::writeFile(dir / "b.txt", test::patternBytes(5000, 8));
        fs::create_directory(dir / "meet");
        const Environment meet{{"VEXA_FAULT_DIR", (dir / "meet").string()}, {"VEXA_FAULT_BARRIER", "2"}};
        const auto command = [&](std::vector<std::string> words) {
            std::vector<std::string> args{words[0], container.string()};
            for (std::size_t i = 1; i < words.size(); ++i)
                args.push_back(words[i][0] == '@' ? (dir / words[i].substr(1)).string() : words[i]);
            return args;
        };
        Started one(command(c.first), meet), two(command(c.second), meet);
        const auto a = one.finish(), b = two.finish();
        EXPECT_EQ(a.exitCode, 0) << a.err;
        EXPECT_EQ(b.exitCode, 0) << b.err;
        const auto names = namesOf(container);
        for (const auto& name : c.present)
            EXPECT_TRUE(holds(names, name)) << name;
        for (const auto& name : c.absent)
            EXPECT_FALSE(holds(names, name)) << name;
        EXPECT_EQ(names.size(), c.count);
        if (holds(names, "a.txt")) {
            const auto out = dir / "x";
            ASSERT_EQ(
                cli({"extract", container.string(), out.string(), "--entry", "a.txt", "--yes"}).exitCode, 0);
            EXPECT_EQ(test::readFile(out / "a.txt"), test::patternBytes(3000, 7));
        }
    }
}

// Started together fifty times, with nothing to make them meet: both entries every time, or one
// command refused, saying why, with its entry absent.
TEST(ConcurrentEdits, FiftyPairsOfAddsLoseNothing) {
    if (skipped()) GTEST_SKIP() << "the fault library is for Linux";
    TempDir dir;
    const auto original = makeContainer(dir, "pak", 500);
    test::writeFile(dir / "a.txt", test::patternBytes(2000, 7));
    test::writeFile(dir / "b.txt", test::patternBytes(2000, 8));
    const auto container = dir / "edited.pak";
    for (int round = 0; round < 50; ++round) {
        SCOPED_TRACE(round);
        fs::copy_file(original, container, fs::copy_options::overwrite_existing);
        Started one({"add", container.string(), (dir / "a.txt").string()}, {});
        Started two({"add", container.string(), (dir / "b.txt").string()}, {});
        const auto a = one.finish(), b = two.finish();
        const auto names = namesOf(container);
        ASSERT_EQ(names.size(), 500u + (a.exitCode == 0) + (b.exitCode == 0));
        for (const auto& [run, name] : {std::pair{&a, "a.txt"}, std::pair{&b, "b.txt"}}) {
            EXPECT_EQ(holds(names, name), run->exitCode == 0) << run->err;
            if (run->exitCode != 0) {
                EXPECT_NE(run->err.find("is being changed by another program"), std::string::npos)
                    << run->err;
            }
        }
    }
}

// A reader stopped between a header and the directory it points at, while a save in place runs:
// the save waits for it, and it reads a whole container.
TEST(ConcurrentEdits, AReaderNeverMeetsHalfASave) {
    if (skipped()) GTEST_SKIP() << "the fault library is for Linux";
    for (const std::string kind : {"pak", "df-gob"}) {
        SCOPED_TRACE(kind);
        TempDir dir;
        const auto container = makeContainer(dir, kind, 2000);
        const auto before = namesOf(container);
        test::writeFile(dir / "big.bin", test::patternBytes(1 << 20, 3));
        fs::create_directory(dir / "meet");
        Started reader({"list", container.string()},
                       {{"VEXA_FAULT_DIR", (dir / "meet").string()}, {"VEXA_FAULT_PAUSE_HEADER", "1"}});
        ASSERT_TRUE(waitFor([&] { return pausedIn(dir / "meet"); }));
        Started writer({"add", container.string(), (dir / "big.bin").string()}, {});
        // The save waits for the reader (a few seconds at most); had it not, it would be over by then.
        for (int i = 0; i < 150 && !writer.ended(); ++i)
            ::usleep(10'000);
        test::writeFile(dir / "meet" / "go", "");
        const auto listed = reader.finish();
        EXPECT_EQ(listed.exitCode, 0) << listed.err;
        EXPECT_EQ(listed.err, "");
        std::string expected;
        for (const auto& name : before)
            expected += name + "\n";
        EXPECT_EQ(listed.out, expected);
        const auto saved = writer.finish();
        EXPECT_EQ(saved.exitCode, 0) << saved.err;
        EXPECT_EQ(namesOf(container).size(), before.size() + 1);
    }
}

// Another program moves a new file onto the container's path while a save is writing: the save fails,
// saying so, and that program's file is left as it wrote it, in place or through a new file alike.
TEST(ConcurrentEdits, AFileMovedOntoThePathDuringASaveIsKept) {
    if (skipped()) GTEST_SKIP() << "the fault library is for Linux";
    const struct {
        std::string how;
        std::vector<std::string> edit; // after the container
        std::string pauseAtSync;       // the fsync before which it is moved
    } cases[] = {
        {"in place", {"add", "@a.txt"}, "3"},
        {"through a new file", {"remove", "e0001"}, "1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        TempDir dir;
        const auto container = makeContainer(dir, "pak", 50);
        test::writeFile(dir / "a.txt", test::patternBytes(3000, 7));
        test::writeFile(dir / "theirs.pak", test::patternBytes(500, 9));
        fs::create_directory(dir / "meet");
        std::vector<std::string> args{c.edit[0], container.string()};
        for (std::size_t i = 1; i < c.edit.size(); ++i)
            args.push_back(c.edit[i][0] == '@' ? (dir / c.edit[i].substr(1)).string() : c.edit[i]);
        Started edit(args,
                     {{"VEXA_FAULT_DIR", (dir / "meet").string()}, {"VEXA_FAULT_PAUSE_SYNC", c.pauseAtSync}});
        ASSERT_TRUE(waitFor([&] { return pausedIn(dir / "meet"); }));
        fs::rename(dir / "theirs.pak", container);
        test::writeFile(dir / "meet" / "go", "");
        const auto run = edit.finish();
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("another program replaced it"), std::string::npos) << run.err;
        EXPECT_EQ(test::readFile(container), test::patternBytes(500, 9));
        EXPECT_EQ(test::namesIn(dir.path()), (std::vector<std::string>{"a.txt", "c.pak", "meet", "src"}));
    }
}

// A save holds the container through all its work: a second one gives up after a few seconds,
// saying why and changing nothing, unless told to wait.
TEST(ConcurrentEdits, ASecondSaveWaitsOrGivesUp) {
    if (skipped()) GTEST_SKIP() << "the fault library is for Linux";
    TempDir dir;
    const auto container = makeContainer(dir, "pak", 20);
    test::writeFile(dir / "a.txt", test::patternBytes(300, 7));
    test::writeFile(dir / "b.txt", test::patternBytes(300, 8));
    fs::create_directory(dir / "meet");
    Started first({"add", container.string(), (dir / "a.txt").string()},
                  {{"VEXA_FAULT_DIR", (dir / "meet").string()}, {"VEXA_FAULT_PAUSE_SYNC", "1"}});
    ASSERT_TRUE(waitFor([&] { return pausedIn(dir / "meet"); }));
    const auto refused = cli({"add", container.string(), (dir / "b.txt").string()});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find(container.string() + " is being changed by another program"),
              std::string::npos)
        << refused.err;
    Started waiting({"add", "--wait", container.string(), (dir / "b.txt").string()}, {});
    ::usleep(300'000);
    EXPECT_FALSE(waiting.ended());
    test::writeFile(dir / "meet" / "go", "");
    EXPECT_EQ(first.finish().exitCode, 0);
    const auto waited = waiting.finish();
    EXPECT_EQ(waited.exitCode, 0) << waited.err;
    const auto names = namesOf(container);
    EXPECT_TRUE(holds(names, "a.txt"));
    EXPECT_TRUE(holds(names, "b.txt"));
}

// The last sync of a save in place fails, and the process is killed at each step of putting the old
// container back: whatever step it dies at, the file lists the old entries (or the new ones), each
// once, with its own bytes.
TEST(ConcurrentEdits, AnUndoneSaveIsWholeAtEveryStep) {
    if (skipped()) GTEST_SKIP() << "the fault library is for Linux";
    TempDir dir;
    const auto original = makeContainer(dir, "pak", 300); // a directory far longer than the new entry
    const auto before = namesOf(original);
    test::writeFile(dir / "a.txt", test::patternBytes(1000, 7));
    const auto container = dir / "edited.pak";
    for (int killAt = 1; killAt <= 10; ++killAt) {
        SCOPED_TRACE(killAt);
        fs::copy_file(original, container, fs::copy_options::overwrite_existing);
        Started edit({"add", container.string(), (dir / "a.txt").string()},
                     {{"VEXA_FAULT_FAIL_SYNC", "4"}, {"VEXA_FAULT_KILL_AFTER", std::to_string(killAt)}});
        const auto run = edit.finish();
        EXPECT_NE(run.exitCode, 0);
        auto names = namesOf(container);
        if (names.size() == before.size() + 1 && names.back() == "a.txt") names.pop_back();
        EXPECT_EQ(names, before);
        const auto out = dir / ("x" + std::to_string(killAt));
        const auto extracted = cli({"extract", container.string(), out.string(), "--yes"});
        EXPECT_EQ(extracted.exitCode, 0) << extracted.err;
        for (int i = 0; i < 300; i += 37)
            EXPECT_EQ(test::readFile(out / before[static_cast<std::size_t>(i)]),
                      test::patternBytes(40, static_cast<std::uint8_t>(i)));
    }
}

} // namespace
} // namespace vexa
