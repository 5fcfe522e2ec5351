#include "support/test_files.h"

#include "cli/cli_runner.h"

#include <gtest/gtest.h>

#include <map>
#include <tuple>

namespace vexa {
namespace {

using test::runCommand;
using test::TempDir;
namespace fs = std::filesystem;

using test::cli;

// A DF GOB built by vexa-cli itself from a folder of three files.
struct GobFixture {
    TempDir dir;
    fs::path gob = dir / "t.gob";
    GobFixture() {
        test::writeFile(dir / "src" / "A.WAV", test::patternBytes(100, 1));
        test::writeFile(dir / "src" / "B.wav", test::patternBytes(7, 2));
        test::writeFile(dir / "src" / "C.TXT", "hello");
        const auto r = cli({"create", "df-gob", (dir / "src").string(), gob.string()});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(r.out, "Created File " + gob.string() + "\n");
    }
};

TEST(Cli, DetectPrintsCodeAndKind) {
    GobFixture f;
    auto r = cli({"detect", f.gob.string()});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "1\tDark Forces GOB\n");
    test::writeFile(f.dir / "x.bin", "hello");
    r = cli({"detect", (f.dir / "x.bin").string()});
    EXPECT_EQ(r.out, "100\tunknown\n");
}

TEST(Cli, ListRowsAndJson) {
    GobFixture f;
    auto r = cli({"list", f.gob.string()});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "A.WAV\nB.wav\nC.TXT\n");
    r = cli({"list", f.gob.string(), "--json"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "{\"path\": \"" + f.gob.string() +
                         "\", \"type\": 1, \"kind\": \"Dark Forces GOB\", \"count\": 3, \"entries\": [\n"
                         "  {\"index\": 0, \"name\": \"A.WAV\", \"size\": 100, \"content\": \"data\"},\n"
                         "  {\"index\": 1, \"name\": \"B.wav\", \"size\": 7, \"content\": \"text\"},\n"
                         "  {\"index\": 2, \"name\": \"C.TXT\", \"size\": 5, \"content\": \"text\"}\n]}\n");
}

// A listing far larger than the output buffer comes out whole and in order, names with characters
// JSON escapes included (a quote, a tab, another control character, a Latin-1 letter).
TEST(Cli, LongListingsComeOutWholeWithEveryNameEscaped) {
    TempDir dir;
    std::vector<std::string> stored;
    for (int i = 0; i < 3000; ++i)
        stored.push_back("maps/set" + std::to_string(i % 7) + "/entry_" + std::to_string(i));
    stored[5] = "say \"hi\".txt";
    stored[6] = "tab\there";
    stored[7] = "ctl\x01x";
    stored[8] = "caf\xE9.wav";
    test::ByteBuilder pak;
    pak.raw("PACK").u32(12).u32(static_cast<std::uint32_t>(64 * stored.size()));
    for (std::size_t i = 0; i < stored.size(); ++i)
        pak.name(stored[i], 56).u32(12).u32(static_cast<std::uint32_t>(i == 1));
    // Entry 1 is one byte long: the first byte of the directory.
    const auto path = dir / "long.pak";
    test::writeFile(path, pak.bytes());

    std::string rows, json = "{\"path\": \"" + path.string() +
                             "\", \"type\": 4, \"kind\": \"PAK\", \"count\": 3000, \"entries\": [";
    const std::map<int, std::pair<std::string, std::string>> special = {
        {5, {"say \"hi\".txt", "say \\\"hi\\\".txt"}},
        {6, {"tab\there", "tab\\there"}},
        {7, {"ctl\x01x", "ctl\\u0001x"}},
        {8, {"caf\xC3\xA9.wav", "caf\xC3\xA9.wav"}},
    };
    for (int i = 0; i < 3000; ++i) {
        std::string row = "maps\\set" + std::to_string(i % 7) + "\\entry_" + std::to_string(i);
        std::string escaped = "maps\\\\set" + std::to_string(i % 7) + "\\\\entry_" + std::to_string(i);
        if (const auto it = special.find(i); it != special.end()) std::tie(row, escaped) = it->second;
        // Rows show control characters escaped, one entry to a line.
        if (i == 6) row = "tab\\there";
        if (i == 7) row = "ctl\\x01x";
        rows += row + "\n";
        json += (i ? ",\n  " : "\n  ");
        json += "{\"index\": " + std::to_string(i) + ", \"name\": \"" + escaped +
                "\", \"size\": " + (i == 1 ? "1" : "0") + ", \"content\": \"" +
                (i == 1 || i == 5 ? "text" : "data") + "\"}";
    }
    json += "\n]}\n";

    auto r = cli({"list", path.string()});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, rows);
    r = cli({"list", path.string(), "--json"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_GT(r.out.size(), 2u << 16); // several fills of the output buffer
    EXPECT_EQ(r.out, json);
}

TEST(Cli, ExtractAllByExtensionAndByRow) {
    GobFixture f;
    const auto all = f.dir / "all", ext = f.dir / "ext", rows = f.dir / "rows";
    auto r = cli({"extract", f.gob.string(), all.string(), "--yes"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Extraction  Complete\n");
    for (const char* n : {"A.WAV", "B.wav", "C.TXT"})
        EXPECT_EQ(test::readFile(all / n), test::readFile(f.dir / "src" / n)) << n;

    r = cli({"extract", f.gob.string(), ext.string(), "--ext", ".wav", "--yes"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::exists(ext / "A.WAV"));
    EXPECT_TRUE(fs::exists(ext / "B.wav"));
    EXPECT_FALSE(fs::exists(ext / "C.TXT"));

    r = cli({"extract", f.gob.string(), rows.string(), "--index", "2", "--entry", "A.WAV", "--yes"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::exists(rows / "A.WAV"));
    EXPECT_FALSE(fs::exists(rows / "B.wav"));
    EXPECT_TRUE(fs::exists(rows / "C.TXT"));
}

TEST(Cli, FailuresAndUsageErrorsHaveTheirExitCodes) {
    GobFixture f;
    const struct {
        std::vector<std::string> args;
        int code;
        std::string errStart;
    } cases[] = {
        {{"list", (f.dir / "missing.gob").string()},
         1,
         "Cannot open file " + (f.dir / "missing.gob").string()},
        {{"list", (f.dir / "src" / "C.TXT").string()}, 1, "Sorry do not know that file type"},
        {{"extract", f.gob.string(), (f.dir / "o").string(), "--index", "3", "--yes"}, 1, "No entry 3"},
        {{"extract", f.gob.string(), (f.dir / "o").string(), "--index", "-1"}, 2, "vexa-cli: --index"},
        {{"extract", f.gob.string()}, 2, "vexa-cli: extract takes"},
        {{"create", "nope", f.dir.path().string(), "x"}, 2, "vexa-cli: unknown container kind"},
        {{"frobnicate"}, 2, "vexa-cli: unknown command"},
        {{"list", f.gob.string(), "--bogus"}, 2, "vexa-cli: unknown option"},
    };
    for (const auto& c : cases) {
        const auto r = cli(c.args);
        EXPECT_EQ(r.exitCode, c.code) << c.args[0] << ": " << r.err;
        EXPECT_EQ(r.err.rfind(c.errStart, 0), 0u) << r.err;
    }
    for (const char* command : {"detect", "list", "extract", "create"}) {
        const auto r = cli({command, "--help"});
        EXPECT_EQ(r.exitCode, 0);
        EXPECT_EQ(r.out.rfind("Usage: vexa-cli", 0), 0u) << command;
    }
}

// The usage lines of a command's help: its first line and the indented ones that go on with it.
std::string usageLines(const std::string& help) {
    auto end = help.find('\n');
    while (end != std::string::npos && end + 1 < help.size() && help[end + 1] == ' ')
        end = help.find('\n', end + 1);
    return help.substr(0, end);
}

TEST(Cli, VersionAndTheHelpOfEveryCommand) {
    const auto version = cli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "vexa-cli " VEXA_VERSION "\n");

    const auto bare = cli({});
    EXPECT_EQ(bare.exitCode, 2);
    EXPECT_EQ(bare.out, "");
    EXPECT_EQ(bare.err.rfind("Usage: vexa-cli COMMAND", 0), 0u) << bare.err;

    const struct {
        std::vector<std::string> args;
        std::string usage;
        std::vector<std::string> options;
    } cases[] = {
        {{"--help"}, "Usage: vexa-cli COMMAND", {}},
        {{"-h"}, "Usage: vexa-cli COMMAND", {}},
        {{"detect", "--help"}, "Usage: vexa-cli detect FILE", {}},
        {{"list", "-h"}, "Usage: vexa-cli list FILE", {"--json", "--filter PATTERN"}},
        {{"extract", "--help"},
         "Usage: vexa-cli extract FILE TARGET_DIR",
         {"--ext .EXT", "--entry NAME", "--index N", "--filter PATTERN", "--format bmp|png", "--raw",
          "--palette GAME=FILE", "--yes"}},
        {{"create", "--help"}, "Usage: vexa-cli create KIND SOURCE_DIR NEW_PATH", {}},
        // Help wins over what else is on the line, as it did.
        {{"list", "missing.gob", "--help"}, "Usage: vexa-cli list FILE", {"--json"}},
    };
    for (const auto& c : cases) {
        const auto r = cli(c.args);
        EXPECT_EQ(r.exitCode, 0) << c.usage;
        EXPECT_EQ(r.out.rfind(c.usage, 0), 0u) << r.out;
        const auto usage = usageLines(r.out);
        for (const auto& option : c.options)
            EXPECT_NE(usage.find(option), std::string::npos) << option << " in\n" << usage;
    }
    const auto top = cli({"--help"}).out;
    for (const char* command : {"detect", "list", "extract", "create"})
        EXPECT_NE(top.find(std::string("\n  ") + command + " "), std::string::npos) << command;
}

TEST(Cli, DamagedGobIsRefusedAndNothingWritten) {
    TempDir dir;
    test::writeFile(dir / "bad.gob", test::ByteBuilder().raw("GOB\n").u32(8).u32(1000).bytes());
    const auto r = cli({"extract", (dir / "bad.gob").string(), (dir / "out").string(), "--yes"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find((dir / "bad.gob").string()), std::string::npos);
    EXPECT_TRUE(!fs::exists(dir / "out") || fs::is_empty(dir / "out"));
}

TEST(Cli, SameFolderBuildsTheSameFileTwice) {
    GobFixture f;
    const auto second = f.dir / "again.gob";
    EXPECT_EQ(cli({"create", "df-gob", (f.dir / "src").string(), second.string()}).exitCode, 0);
    EXPECT_EQ(test::readFile(f.gob), test::readFile(second));
}

} // namespace
} // namespace vexa
