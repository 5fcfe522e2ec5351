// vexa-cli mount, mounted for real through FUSE: what the folder shows against what extraction
// writes, changes refused, readers at once, containers inside containers, converted files, a
// container changed on disk, and the stop signals. Skipped, saying why, where FUSE cannot be used.

#include "cli/cli_runner.h"
#include "formats/texture_builders.h"
#include "images/content_builders.h"
#include "images/image_builders.h"
#include "support/container_builders.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace vexa {
namespace {

namespace fs = std::filesystem;
using test::ByteBuilder;
using test::Bytes;
using test::cli;
using test::doomWadOf;
using test::lfdOf;
using test::pakOf;
using test::TempDir;

constexpr long kFuseMagic = 0x65735546;

bool isMounted(const fs::path& folder) {
    struct statfs st {};
    return ::statfs(folder.c_str(), &st) == 0 && st.f_type == kFuseMagic;
}

std::string fusermount() {
    for (const char* path : {"/usr/bin/fusermount3", "/bin/fusermount3", "/usr/local/bin/fusermount3"})
        if (::access(path, X_OK) == 0) return path;
    return "";
}

// Why mounting cannot be tried here, or empty.
std::string whyNoMount() {
    if (test::cliIsWindows()) return "the program under test is the Windows build (no FUSE)";
    const int fd = ::open("/dev/fuse", O_RDWR);
    if (fd < 0) return std::string("/dev/fuse cannot be opened: ") + std::strerror(errno);
    ::close(fd);
    if (fusermount().empty()) return "fusermount3 is not installed (Debian package fuse3)";
    return "";
}

#define SKIP_WITHOUT_FUSE()                                                                                  \
    do {                                                                                                     \
        if (const auto why = whyNoMount(); !why.empty()) GTEST_SKIP() << why;                                \
    } while (0)

// Unmounts at the end whatever happened, lazily if the folder is busy: a failing test leaves no mount.
struct Unmounter {
    fs::path folder;
    ~Unmounter() {
        if (!isMounted(folder)) return;
        if (test::runCommand({fusermount(), "-u", folder.string()}).exitCode != 0)
            test::runCommand({fusermount(), "-uz", folder.string()});
    }
};

// A mount in the background, as a user makes one.
struct Mount {
    fs::path folder;
    test::RunResult started;
    Unmounter unmounter{folder};
    Mount(const fs::path& source, fs::path at, std::vector<std::string> options = {})
        : folder(std::move(at)), started([&] {
              fs::create_directories(folder);
              std::vector<std::string> args = {"mount", source.string(), folder.string()};
              args.insert(args.end(), options.begin(), options.end());
              return cli(args);
          }()) {}
};

// A mount in the foreground, its stderr in a file, stopped by a signal.
struct ForegroundMount {
    fs::path folder;
    fs::path errors;
    pid_t pid = -1;
    Unmounter unmounter{folder};
    ForegroundMount(const fs::path& source, fs::path at, fs::path errorFile)
        : folder(std::move(at)), errors(std::move(errorFile)) {
        fs::create_directories(folder);
        pid = ::fork();
        if (pid == 0) {
            std::freopen(errors.c_str(), "w", stderr);
            std::freopen("/dev/null", "w", stdout);
            const auto program = test::cliProgram();
            const auto src = source.string(), dst = folder.string();
            ::execl(program.c_str(), program.c_str(), "mount", "-f", src.c_str(), dst.c_str(), nullptr);
            ::_exit(127);
        }
        for (int i = 0; i < 200 && !isMounted(folder); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    // The exit status once stopped by signal, or -1.
    int stop(int signal) {
        ::kill(pid, signal);
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ~ForegroundMount() {
        if (pid > 0) stop(SIGKILL);
    }
};

// Every file below folder (as ls -R walks it), relative path to bytes.
std::map<std::string, Bytes> filesBelow(const fs::path& folder) {
    std::map<std::string, Bytes> files;
    for (const auto& item : fs::recursive_directory_iterator(folder))
        if (item.is_regular_file())
            files[item.path().lexically_relative(folder).string()] = test::readFile(item);
    return files;
}

TEST(CliMount, ShowsWhatExtractionWritesWithItsSizesModesOwnerAndTime) {
    SKIP_WITHOUT_FUSE();
    TempDir dir;
    test::writeFile(dir / "a.pak", pakOf({{"maps/e1m1.bsp", test::patternBytes(70000, 1)},
                                          {"maps/deep/x.dat", test::patternBytes(5, 2)},
                                          {"readme.txt", test::bytesOf("hi")},
                                          {"README.TXT", test::bytesOf("HI")},
                                          {"empty", {}},
                                          {"../escape", Bytes(3, 2)}}));
    ASSERT_EQ(cli({"extract", (dir / "a.pak").string(), (dir / "x").string(), "--yes"}).exitCode, 1);
    Mount mount(dir / "a.pak", dir / "m");
    ASSERT_EQ(mount.started.exitCode, 0) << mount.started.err;
    ASSERT_TRUE(isMounted(mount.folder));
    EXPECT_NE(mount.started.err.find("escape' is left out"), std::string::npos) << mount.started.err;

    EXPECT_EQ(filesBelow(mount.folder), filesBelow(dir / "x"));

    struct stat pak {};
    ASSERT_EQ(::stat((dir / "a.pak").c_str(), &pak), 0);
    const struct {
        const char* path;
        mode_t mode;
        off_t size;
    } cases[] = {
        {"", S_IFDIR | 0555, -1},
        {"maps", S_IFDIR | 0555, -1},
        {"maps/deep", S_IFDIR | 0555, -1},
        {"maps/e1m1.bsp", S_IFREG | 0444, 70000},
        {"README_1.TXT", S_IFREG | 0444, 2},
        {"empty", S_IFREG | 0444, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        struct stat st {};
        ASSERT_EQ(::stat((mount.folder / c.path).c_str(), &st), 0) << std::strerror(errno);
        EXPECT_EQ(st.st_mode, c.mode);
        if (c.size >= 0) {
            EXPECT_EQ(st.st_size, c.size);
        }
        EXPECT_EQ(st.st_uid, ::getuid());
        EXPECT_EQ(st.st_mtim.tv_sec, pak.st_mtim.tv_sec);
    }
}

TEST(CliMount, RefusesEveryChangeAsReadOnly) {
    SKIP_WITHOUT_FUSE();
    TempDir dir;
    test::writeFile(dir / "a.pak",
                    pakOf({{"f.txt", test::bytesOf("keep")}, {"d/g.txt", test::bytesOf("g")}}));
    Mount mount(dir / "a.pak", dir / "m");
    ASSERT_EQ(mount.started.exitCode, 0) << mount.started.err;
    const auto file = (mount.folder / "f.txt").string(), folder = (mount.folder / "d").string(),
               fresh = (mount.folder / "new").string();
    const auto opening = [](const std::string& path, int flags) {
        const int fd = ::open(path.c_str(), flags, 0644);
        if (fd >= 0) ::close(fd);
        return fd;
    };
    const struct {
        const char* what;
        std::function<int()> change;
    } changes[] = {
        {"open for writing", [&] { return opening(file, O_WRONLY); }},
        {"open for reading and writing", [&] { return opening(file, O_RDWR); }},
        {"open truncating", [&] { return opening(file, O_RDONLY | O_TRUNC); }},
        {"create", [&] { return opening(fresh, O_WRONLY | O_CREAT); }},
        {"truncate", [&] { return ::truncate(file.c_str(), 0); }},
        {"chmod", [&] { return ::chmod(file.c_str(), 0666); }},
        {"unlink", [&] { return ::unlink(file.c_str()); }},
        {"rename", [&] { return ::rename(file.c_str(), fresh.c_str()); }},
        {"mkdir", [&] { return ::mkdir(fresh.c_str(), 0755); }},
        {"rmdir", [&] { return ::rmdir(folder.c_str()); }},
        {"symlink", [&] { return ::symlink("f.txt", fresh.c_str()); }},
        {"link", [&] { return ::link(file.c_str(), fresh.c_str()); }},
    };
    for (const auto& c : changes) {
        SCOPED_TRACE(c.what);
        errno = 0;
        EXPECT_EQ(c.change(), -1);
        EXPECT_EQ(errno, EROFS) << std::strerror(errno);
    }
    EXPECT_EQ(test::readFile(file), test::bytesOf("keep"));
    EXPECT_EQ(test::namesIn(mount.folder), (std::vector<std::string>{"d", "f.txt"}));
}

TEST(CliMount, ServesReadersAtOnceAndRefusesADamagedEntry) {
    SKIP_WITHOUT_FUSE();
    TempDir dir;
    const auto one = test::patternBytes(3 << 20, 5), two = test::patternBytes(2 << 20, 9);
    auto pak = pakOf({{"one", one}, {"two", two}, {"bad", Bytes(10, 3)}});
    // bad's size runs past the end of the file.
    const std::size_t badSizeAt = 12 + one.size() + two.size() + 10 + 2 * 64 + 60;
    pak[badSizeAt + 2] = 0x7f;
    test::writeFile(dir / "a.pak", pak);
    Mount mount(dir / "a.pak", dir / "m");
    ASSERT_EQ(mount.started.exitCode, 0) << mount.started.err;

    // Two readers, each in small pieces from its own place, interleaved.
    Bytes gotOne(one.size()), gotTwo(two.size());
    const auto reader = [](fs::path path, Bytes& into) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        if (fd < 0) return;
        for (std::size_t done = 0; done < into.size();) {
            const auto n = ::pread(fd, into.data() + done, std::min<std::size_t>(4093, into.size() - done),
                                   static_cast<off_t>(done));
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        ::close(fd);
    };
    std::thread first(reader, mount.folder / "one", std::ref(gotOne));
    std::thread second(reader, mount.folder / "two", std::ref(gotTwo));
    first.join();
    second.join();
    EXPECT_TRUE(gotOne == one);
    EXPECT_TRUE(gotTwo == two);

    // The damaged entry is listed, and reading it fails.
    ASSERT_TRUE(fs::exists(mount.folder / "bad"));
    const int fd = ::open((mount.folder / "bad").c_str(), O_RDONLY);
    ASSERT_GE(fd, 0) << std::strerror(errno);
    char buffer[16];
    errno = 0;
    EXPECT_EQ(::read(fd, buffer, sizeof buffer), -1);
    EXPECT_EQ(errno, EIO);
    ::close(fd);
}

TEST(CliMount, RecursiveShowsAWad2InsideAPakAsAFolder) {
    SKIP_WITHOUT_FUSE();
    TempDir dir;
    const auto wall = test::mipTexture("WALL", 16, 16, Bytes(340, 7));
    const auto wad2 = test::wadFile("WAD2", {{"WALL", 0x44, wall}, {"FLOOR", 0x44, wall}});
    test::writeFile(dir / "a.pak", pakOf({{"gfx/base.wad", wad2}, {"maps/e1m1.bsp", Bytes(9, 1)}}));

    Mount flat(dir / "a.pak", dir / "flat");
    ASSERT_EQ(flat.started.exitCode, 0) << flat.started.err;
    EXPECT_TRUE(fs::is_regular_file(flat.folder / "gfx/base.wad"));
    EXPECT_EQ(test::readFile(flat.folder / "gfx/base.wad"), wad2);

    Mount deep(dir / "a.pak", dir / "deep", {"--recursive"});
    ASSERT_EQ(deep.started.exitCode, 0) << deep.started.err;
    EXPECT_TRUE(fs::is_directory(deep.folder / "gfx/base.wad"));
    EXPECT_EQ(test::namesIn(deep.folder / "gfx/base.wad"), (std::vector<std::string>{"FLOOR", "WALL"}));
    EXPECT_EQ(test::readFile(deep.folder / "gfx/base.wad/WALL"), wall);
    EXPECT_EQ(test::readFile(deep.folder / "maps/e1m1.bsp"), Bytes(9, 1));

    // A folder as the source: each container file in it is a folder too.
    test::writeFile(dir / "game/notes.txt", test::bytesOf("n"));
    fs::copy_file(dir / "a.pak", dir / "game/pak0.pak");
    Mount folder(dir / "game", dir / "tree", {"--recursive"});
    ASSERT_EQ(folder.started.exitCode, 0) << folder.started.err;
    EXPECT_EQ(test::readFile(folder.folder / "notes.txt"), test::bytesOf("n"));
    EXPECT_EQ(test::readFile(folder.folder / "pak0.pak/gfx/base.wad/WALL"), wall);
}

TEST(CliMount, ConvertShowsAWadsEntriesAsExtractConvertWritesThem) {
    SKIP_WITHOUT_FUSE();
    TempDir dir;
    const auto sprite = test::doomPicture(3, 4, -1, 2, {{{0, {1, 2}}}, {}, {{1, {3}}, {3, {4}}}});
    const auto patch = test::doomPicture(2, 2, 0, 0, {{{0, {5, 6}}}, {{0, {7, 8}}}});
    test::writeFile(dir / "d.wad",
                    doomWadOf({{"PLAYPAL", test::knownPalette(3)},
                               {"TROOA1", sprite},
                               {"WALLPAT", patch},
                               {"PNAMES", test::patchNames({"WALLPAT"})},
                               {"TEXTURE1", test::textureList({{"WALL", 4, 2, {{0, 0, 0}}}})}}));
    ASSERT_EQ(cli({"extract", (dir / "d.wad").string(), (dir / "x").string(), "--convert", "--yes"}).exitCode,
              0);
    Mount mount(dir / "d.wad", dir / "m", {"--convert"});
    ASSERT_EQ(mount.started.exitCode, 0) << mount.started.err;
    // stat gives the converted size before anything was read.
    EXPECT_EQ(fs::file_size(mount.folder / "TROOA1.png"), fs::file_size(dir / "x/TROOA1.png"));
    EXPECT_TRUE(fs::is_directory(mount.folder / "TEXTURE1"));
    EXPECT_EQ(filesBelow(mount.folder), filesBelow(dir / "x"));
}

TEST(CliMount, AContainerChangedOnDiskIsNoLongerReadAndSaidOnce) {
    SKIP_WITHOUT_FUSE();
    TempDir dir;
    auto pak = pakOf({{"a", test::patternBytes(100, 1)},
                      {"b", test::patternBytes(100, 2)},
                      {"c", test::patternBytes(100, 3)}});
    test::writeFile(dir / "a.pak", pak);
    ForegroundMount mount(dir / "a.pak", dir / "m", dir / "err.txt");
    ASSERT_TRUE(isMounted(mount.folder));
    EXPECT_EQ(test::readFile(mount.folder / "a"), test::patternBytes(100, 1));

    // Same size, other bytes, a later time. What was read before may still be in the kernel's cache
    // (old directory, old bytes); what was not is refused.
    pak[12 + 100] ^= 0xff;
    ::usleep(20000);
    test::writeFile(dir / "a.pak", pak);
    for (const char* name : {"b", "c", "b"}) {
        SCOPED_TRACE(name);
        const int fd = ::open((mount.folder / name).c_str(), O_RDONLY);
        ASSERT_GE(fd, 0) << std::strerror(errno);
        char buffer[16];
        errno = 0;
        EXPECT_EQ(::read(fd, buffer, sizeof buffer), -1);
        EXPECT_EQ(errno, EIO);
        ::close(fd);
    }
    EXPECT_EQ(mount.stop(SIGTERM), 0);
    const auto said = test::readFile(mount.errors);
    const std::string text(said.begin(), said.end());
    const auto first = text.find("changed on disk since it was mounted");
    ASSERT_NE(first, std::string::npos) << text;
    EXPECT_EQ(text.find("changed on disk", first + 1), std::string::npos) << text;
}

TEST(CliMount, StopSignalsUnmountAndExitZero) {
    SKIP_WITHOUT_FUSE();
    TempDir dir;
    test::writeFile(dir / "a.pak", pakOf({{"a", Bytes(3, 1)}}));
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        SCOPED_TRACE(strsignal(signal));
        ForegroundMount mount(dir / "a.pak", dir / "m", dir / "err.txt");
        ASSERT_TRUE(isMounted(mount.folder));
        EXPECT_EQ(mount.stop(signal), 0);
        EXPECT_FALSE(isMounted(mount.folder));
    }
    // In the background too: the process that serves it ends on TERM and leaves no mount.
    Mount background(dir / "a.pak", dir / "m");
    ASSERT_EQ(background.started.exitCode, 0) << background.started.err;
    ASSERT_TRUE(isMounted(background.folder));
    EXPECT_EQ(test::runCommand({fusermount(), "-u", background.folder.string()}).exitCode, 0);
    EXPECT_FALSE(isMounted(background.folder));
}

TEST(CliMount, SaysWhatIsWrongBeforeReturning) {
    SKIP_WITHOUT_FUSE();
    TempDir dir;
    test::writeFile(dir / "a.pak", pakOf({{"a", Bytes(3, 1)}}));
    test::writeFile(dir / "plain.txt", test::bytesOf("not a container"));
    fs::create_directories(dir / "m");
    const struct {
        std::vector<std::string> args;
        int status;
        const char* said;
    } cases[] = {
        {{"mount", (dir / "a.pak").string(), (dir / "nowhere").string()}, 1, "not a folder"},
        {{"mount", (dir / "a.pak").string(), (dir / "plain.txt").string()}, 1, "not a folder"},
        {{"mount", (dir / "plain.txt").string(), (dir / "m").string()}, 1, "plain.txt"},
        {{"mount", (dir / "missing.pak").string(), (dir / "m").string()}, 1, "missing.pak"},
        {{"mount", (dir / "a.pak").string()}, 2, "mount takes SOURCE and MOUNTPOINT"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.said);
        Unmounter unmounter{dir / "m"};
        const auto run = cli(c.args);
        EXPECT_EQ(run.exitCode, c.status);
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
        EXPECT_FALSE(isMounted(dir / "m"));
    }
}

} // namespace
} // namespace vexa
