#include "base/Files_global.h"
#include "base/errors.h"
#include "base/safe_path.h"
#include "base/text.h"
#include "support/test_files.h"

#include <gtest/gtest.h>
#include <variant>

namespace vexa {
namespace {

TEST(Text, ExtensionsComeFromTheFinalComponent) {
    EXPECT_EQ(extensionOf("a.wav"), ".wav");
    EXPECT_EQ(extensionOf("readme"), "");
    EXPECT_EQ(extensionOf("x."), ".");
    EXPECT_EQ(extensionOf("sub.dir\\file"), "");
    EXPECT_EQ(extensionOf("sub\\file.bm"), ".bm");
    EXPECT_EQ(extensionOf("sub.dir/file"), "");
    EXPECT_EQ(replaceExtension("a\\tex.wal", ".bmp"), "a\\tex.bmp");
    EXPECT_EQ(replaceExtension("noext", ".bmp"), "noext.bmp");
}

TEST(Text, Latin1RoundTripsAndWideCharactersAreRefused) {
    std::string all;
    for (int c = 1; c < 256; ++c)
        all.push_back(static_cast<char>(c));
    EXPECT_EQ(utf8ToLatin1(latin1ToUtf8(all)), all);
    EXPECT_FALSE(utf8ToLatin1("\xE2\x82\xAC").has_value());
    EXPECT_FALSE(utf8ToLatin1("\xC3").has_value()); // cut short
}

TEST(Text, MasksMatchWithoutRegardToCase) {
    EXPECT_TRUE(matchesMask("WALL.BM", "*.bm"));
    EXPECT_TRUE(matchesMask("wallbm", "*bm"));
    EXPECT_FALSE(matchesMask("wall.bmp", "*.bm"));
    EXPECT_TRUE(matchesMask("readme", "*.*"));
    EXPECT_TRUE(matchesMask("a.wal", "?.WAL"));
    EXPECT_FALSE(matchesMask("ab.wal", "?.wal"));
    EXPECT_TRUE(matchesMask(std::string(5000, 'a') + "b", "*a*a*a*b")); // no exponential backtracking
}

// One stored name, one line, no terminal commands: control characters (C0, DEL, C1) show escaped;
// everything else, backslashes and Latin-1 letters included, stays as it is.
TEST(Text, ControlCharactersAreShownEscaped) {
    const struct {
        std::string_view text, shown;
    } cases[] = {
        {"a\x1b[31mRED", "a\\x1b[31mRED"},
        {"two\nlines", "two\\nlines"},
        {"cr\rtab\t", "cr\\rtab\\t"},
        {std::string_view("nul\0x", 5), "nul\\x00x"},
        {"del\x7f", "del\\x7f"},
        {"csi\xc2\x9b"
         "2J",
         "csi\\u009b2J"},
        {"dir\\caf\xc3\xa9.wav", "dir\\caf\xc3\xa9.wav"},
        {"\xc2\xa0nbsp", "\xc2\xa0nbsp"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(printableText(c.text), c.shown) << c.text;
}

TEST(JoinPath, AddsOneSeparatorOnlyWhereNeeded) {
    EXPECT_EQ(JoinPath("", "a.txt"), "a.txt");
    EXPECT_EQ(JoinPath("C:\\data\\", "a.txt"), "C:\\data\\a.txt");
    EXPECT_EQ(JoinPath("C:\\data", "a.txt"), "C:\\data\\a.txt");
}

TEST(SafePath, RefusesEveryWayOutOfTheTarget) {
    const std::filesystem::path target = "/t";
    const char* refused[] = {
        "",
        "..",
        "a\\..\\..\\x",
        "../x",
        "./x",
        "a\\.\\b",
        "\\abs",
        "/abs",
        "C:x",
        "C:\\x",
        "\\\\server\\share\\x",
        "\\\\?\\C:\\x",
        "a\\\\b",
        "a\\",
        "a\x01"
        "b",
        "con:",
        "sub\\nul:x",
    };
    for (const char* name : refused)
        EXPECT_TRUE(std::holds_alternative<RefusedName>(safeOutputPath(target, name))) << "'" << name << "'";
    const struct {
        const char* name;
        const char* path;
    } accepted[] = {{"a.txt", "/t/a.txt"},
                    {"sub\\deeper\\f.ext", "/t/sub/deeper/f.ext"},
                    {"sub/f", "/t/sub/f"},
                    {"..a", "/t/..a"},
                    {"a..", "/t/a.."}};
    for (const auto& c : accepted) {
        const auto r = safeOutputPath(target, c.name);
        ASSERT_TRUE(std::holds_alternative<std::filesystem::path>(r)) << c.name;
        EXPECT_EQ(std::get<std::filesystem::path>(r), c.path);
    }
}

// The names Windows cannot hold. The rule is tested here on every system; safeOutputPath applies it
// only on Windows, and keeps these names elsewhere.
TEST(SafePath, WindowsNamesThatAreDevicesOrLoseTheirEnd) {
    const struct {
        const char* part;
        bool refused;
    } cases[] = {
        {"CON", true},         {"con", true},      {"Nul.txt", true},      {"aux.tar.gz", true},
        {"PRN", true},         {"nul .txt", true}, {"COM1", true},         {"com9.dat", true},
        {"LPT1", true},        {"lpt0", true},     {"COM\xC2\xB9", true},  {"CONIN$", true},
        {"conout$.log", true}, {"name.", true},    {"name ", true},        {"a.b.", true},
        {"CONSOLE", false},    {"COM10", false},   {"LPT", false},         {"NULL.TXT", false},
        {"xcon", false},       {"con_1", false},   {"COM\xC2\xB4", false}, {".con", false},
        {"a.con", false},      {" CON", false},    {"E1M1", false},        {"..a", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(!windowsNameRefusal(c.part).empty(), c.refused) << "'" << c.part << "'";

    // Kept on this system: a Linux folder holds them as it holds any other name.
    for (const char* name : {"CON", "sub\\nul.txt", "name."})
        EXPECT_TRUE(std::holds_alternative<std::filesystem::path>(safeOutputPath("/t", name))) << name;
}

TEST(Gathering, TreeIsDepthFirstInNameOrderAndFlatTakesTopFilesOnly) {
    test::TempDir dir;
    test::writeFile(dir / "b.txt", "bb");
    test::writeFile(dir / "a.txt", "a");
    test::writeFile(dir / "s" / "z.txt", "zzz");
    test::writeFile(dir / "s" / "deeper" / "y", "");
    test::writeFile(dir / ".hidden", "h");
    std::filesystem::create_directories(dir / "empty");
    std::filesystem::create_directory_symlink(dir.path(), dir / "s" / "loop"); // never followed

    const auto tree = GatherFolderTree(dir.path());
    std::vector<std::string> names;
    for (const auto& f : tree)
        names.push_back(f.name);
    EXPECT_EQ(names, (std::vector<std::string>{".hidden", "a.txt", "b.txt", "s\\deeper\\y", "s\\z.txt"}));
    EXPECT_EQ(tree[3].size, 0u);
    EXPECT_EQ(tree[4].size, 3u);
    EXPECT_EQ(SourceTotalSize(tree), 7u);

    const auto flat = GatherFolderFiles(dir.path());
    ASSERT_EQ(flat.size(), 3u);
    EXPECT_EQ(flat[1].name, "a.txt");
    EXPECT_NE(flat[1].time, 0u); // a creation time after 1601
    EXPECT_EQ(SourceTotalSize({}), 0u);
    EXPECT_THROW(GatherFolderFiles(dir / "missing"), Error); // named, never taken for an empty folder
}

} // namespace
} // namespace vexa
