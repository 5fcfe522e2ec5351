// vexa-cli as an installed copy: bin/ beside share/vexa/, run as a process.

#include "images/image_builders.h"
#include "support/test_files.h"

#include "cli/cli_runner.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

TEST(CliInstalled, ReadsTheInstalledPalettesAndWritesOnlyIntoTheUsersCache) {
    if (test::cliIsWindows())
        GTEST_SKIP() << "the installed layout (bin, share, XDG folders) is not a Windows one";
    TempDir root, in, out;
    const auto bin = root / "usr" / "bin", shipped = root / "usr" / "share" / "vexa" / "Data";
    fs::create_directories(bin);
    fs::create_directories(shipped);
    fs::copy_file(VEXA_CLI_PATH, bin / "vexa-cli");
    const auto cli = (bin / "vexa-cli").string();
    const auto palette = test::knownPalette(7);
    test::writeFile(shipped / "default_quake2.pal", palette);
    test::writeFile(in / "a.wal", test::q2Wal(1, 1, {9}));
    const auto home = root / "home";
    const std::vector<std::string> env = {"/usr/bin/env", "HOME=" + home.string(),
                                          "XDG_CACHE_HOME=" + (root / "cache").string(), cli};
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), env.begin(), env.end());
        return test::runCommand(args);
    };

    auto r = run({"extract", (in / "a.wal").string(), out.path().string(), "--yes"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(test::readFile(out / "a.bmp"), test::expectedBmp(1, 1, {9}, palette));

    fs::create_directories(in / "textures");
    r = run({"create", "hl-wad", (in / "textures").string(), (in / "new.wad").string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto batch = root / "cache" / "vexa" / "Temp" / "go.bat";
    EXPECT_EQ(r.out, batch.string() + "\n");
    EXPECT_TRUE(fs::is_regular_file(batch));

    EXPECT_EQ(test::namesIn(bin), std::vector<std::string>{"vexa-cli"}) << "nothing is made beside it";
    EXPECT_FALSE(fs::exists(home)) << "a command-line run makes no folders of the user";
}

} // namespace
} // namespace vexa
