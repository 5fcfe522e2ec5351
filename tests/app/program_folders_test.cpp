// Where the program keeps its folders: beside a copy run from its own folder, in the user's folders
// for an installed copy.

#include "app/Global.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::TempDir;

TEST(ProgramFolders, InstalledCopyUsesTheUserFoldersAndTheShippedOnes) {
    TempDir root;
    const auto bin = root / "bin", share = root / "share" / "vexa";
    fs::create_directories(bin);
    const UserFolders user{root / "home-data" / "vexa", root / "home-cache" / "vexa", root / "Documents"};

    const struct {
        const char* layout;
        bool installedTree;
        ProgramFolders expected;
    } cases[] = {
        {"a folder of its own", false, ProgramFolders::beside(bin)},
        {"the bin folder of an installed tree",
         true,
         {bin, user.documents, user.data / "Data", share / "Help", user.cache / "Temp",
          user.data / "HalfLife", share / "Data"}},
    };
    for (const auto& c : cases) {
        if (c.installedTree) fs::create_directories(share / "Data");
        const auto f = ProgramFolders::locate(bin, user);
        const auto& e = c.expected;
        EXPECT_EQ(f.program, e.program) << c.layout;
        EXPECT_EQ(f.extract, e.extract) << c.layout;
        EXPECT_EQ(f.data, e.data) << c.layout;
        EXPECT_EQ(f.help, e.help) << c.layout;
        EXPECT_EQ(f.temp, e.temp) << c.layout;
        EXPECT_EQ(f.halfLife, e.halfLife) << c.layout;
        EXPECT_EQ(f.defaults, e.defaults) << c.layout;
    }
}

TEST(ProgramFolders, InstalledCopySeedsMissingDefaultsAndKeepsTheUsersOwn) {
    TempDir root;
    const auto bin = root / "bin", shipped = root / "share" / "vexa" / "Data";
    fs::create_directories(bin);
    fs::create_directories(shipped / "not-a-palette");
    test::writeFile(shipped / "default_quake1.pal", "shipped quake1");
    test::writeFile(shipped / "default_quake2.pal", "shipped quake2");
    // The user's data folder does not exist yet, nor its parents.
    const UserFolders user{root / "home" / ".local" / "share" / "vexa", root / "home" / ".cache" / "vexa",
                           root / "home" / "Documents"};
    const auto folders = ProgramFolders::locate(bin, user);

    folders.ensureAll();
    EXPECT_EQ(test::namesIn(folders.data),
              (std::vector<std::string>{"default_quake1.pal", "default_quake2.pal"}));
    for (const auto* folder : {&folders.extract, &folders.temp, &folders.halfLife})
        EXPECT_TRUE(fs::is_directory(*folder)) << *folder;

    // A palette the user changed, or removed and put back as his own, is never overwritten.
    test::writeFile(folders.data / "default_quake2.pal", "my quake2");
    fs::remove(folders.data / "default_quake1.pal");
    folders.ensureAll();
    EXPECT_EQ(test::readFile(folders.data / "default_quake1.pal"), test::bytesOf("shipped quake1"));
    EXPECT_EQ(test::readFile(folders.data / "default_quake2.pal"), test::bytesOf("my quake2"));
    EXPECT_EQ(test::namesIn(bin), std::vector<std::string>{}) << "nothing is made beside an installed copy";
}

} // namespace
} // namespace vexa
