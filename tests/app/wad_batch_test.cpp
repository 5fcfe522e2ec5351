#include "app/wad_batch.h"
#include "base/errors.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::TempDir;

TEST(HalfLifeWadBatch, TwoLinesForTheTwoTools) {
    const struct {
        const char* source;
        const char* newPath;
        const char* expected;
    } cases[] = {
        {"/tex/", "/work/New_HL_Wad.Wad",
         "/hl/makels.exe /tex /work/New_HL_Wad /work/New_HL_Wad.ls\r\n/hl/qlumpy.exe "
         "/work/New_HL_Wad.ls\r\n"},
        {"/tex", "/work/New_HL_Wad.Wad",
         "/hl/makels.exe /tex /work/New_HL_Wad /work/New_HL_Wad.ls\r\n/hl/qlumpy.exe "
         "/work/New_HL_Wad.ls\r\n"},
        // An empty folder argument leaves two spaces, as the line's shape says.
        {"", "/w/x.wad", "/hl/makels.exe  /w/x /w/x.ls\r\n/hl/qlumpy.exe /w/x.ls\r\n"},
        // A new path without an extension, and a dot in a folder name that is not an extension.
        {"/t/", "/w.d/plain",
         "/hl/makels.exe /t /w.d/plain /w.d/plain.ls\r\n/hl/qlumpy.exe /w.d/plain.ls\r\n"},
        // Arguments holding a space are quoted, or the tools would get them in pieces.
        {"/my tex/", "/my work/a.wad",
         "/hl/makels.exe \"/my tex\" \"/my work/a\" \"/my work/a.ls\"\r\n/hl/qlumpy.exe \"/my "
         "work/a.ls\"\r\n"},
        // So are those holding a character cmd.exe would act on: inside quotes it is part of the path.
        {"/a&b/", "/w/x(1).wad",
         "/hl/makels.exe \"/a&b\" \"/w/x(1)\" \"/w/x(1).ls\"\r\n/hl/qlumpy.exe \"/w/x(1).ls\"\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(halfLifeWadBatchText("/hl", c.source, c.newPath), c.expected)
            << c.source << " " << c.newPath;
}

TEST(HalfLifeWadBatch, WrittenIntoTheTempFolderWithAbsolutePaths) {
    TempDir program, sources;
    const auto folders = ProgramFolders::beside(program.path());
    test::writeFile(folders.temp / "go.bat", "an old batch file");
    const auto batch = writeHalfLifeWadBatch(folders, sources.path() / "", program / "New_HL_Wad.Wad");
    EXPECT_EQ(batch, folders.temp / "go.bat");
    const auto expected =
        (program / "HalfLife" / "makels.exe").string() + " " + sources.path().string() + " " +
        (program / "New_HL_Wad").string() + " " + (program / "New_HL_Wad.ls").string() + "\r\n" +
        (program / "HalfLife" / "qlumpy.exe").string() + " " + (program / "New_HL_Wad.ls").string() + "\r\n";
    EXPECT_EQ(test::readFile(batch), test::bytesOf(expected));
}

// What no quoting keeps from cmd.exe is refused, naming the path, and no go.bat is written.
TEST(HalfLifeWadBatch, PathsCmdCannotTakeAreRefusedAndNothingIsWritten) {
    const char* sources[] = {"/wad src\" & echo INJECTED & \"x", "/50%done", "/wow!", "/two\nlines",
                             "/esc\x1b"};
    for (const auto* source : sources) {
        SCOPED_TRACE(source);
        TempDir program;
        const auto folders = ProgramFolders::beside(program.path());
        try {
            writeHalfLifeWadBatch(folders, source, "/w/a.wad");
            ADD_FAILURE() << "accepted";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()).rfind("Cannot create file go.bat: the path ", 0), 0u) << e.what();
        }
        EXPECT_FALSE(fs::exists(folders.temp / "go.bat"));
    }
}

TEST(HalfLifeWadBatch, MissingTempFolderIsCreated) {
    TempDir program;
    const auto folders = ProgramFolders::beside(program / "deeper");
    const auto batch = writeHalfLifeWadBatch(folders, "/tex", "/w/a.wad");
    EXPECT_TRUE(fs::exists(batch));
}

} // namespace
} // namespace vexa
