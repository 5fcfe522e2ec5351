// Names across the kinds: repeated entries each get a file of their own, writers refuse names
// their cutting makes one, and gathering refuses names that would read back as folders.

#include "app/extract.h"
#include "app/kinds.h"
#include "base/errors.h"
#include "formats/DF_Lfd.h"
#include "formats/Descent_Hog.h"
#include "support/format_checks.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::TempDir;

std::vector<std::size_t> allRows(const ContainerReader& reader) {
    std::vector<std::size_t> rows(reader.EntryCount());
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = i;
    return rows;
}

TEST(RepeatedNames, TwoEntriesOfOneNameGiveTwoFilesAndATakenNumberIsSkipped) {
    ByteBuilder b;
    b.raw("DHF");
    for (const auto& [name, data] : std::vector<std::pair<std::string, std::string>>{
             {"A.TXT", "first"}, {"A.TXT", "second"}, {"A_1.TXT", "real"}, {"a.txt", "fourth"}})
        b.name(name, 13).u32(static_cast<std::uint32_t>(data.size())).raw(data);
    TempDir dir, target;
    test::writeFile(dir / "r.hog", b.bytes());
    TDescentHogReader hog;
    hog.ReadDirectory(openFileBytes(dir / "r.hog"));
    EXPECT_EQ(extractRows(hog, target.path(), allRows(hog)).statusText(), "Extraction  Complete");
    EXPECT_EQ(test::namesIn(target.path()),
              (std::vector<std::string>{"A.TXT", "A_1.TXT", "A_2.TXT", "a_3.txt"}));
    EXPECT_EQ(test::readFile(target / "A.TXT"), test::bytesOf("first"));
    EXPECT_EQ(test::readFile(target / "A_2.TXT"), test::bytesOf("second"));
    EXPECT_EQ(test::readFile(target / "A_1.TXT"), test::bytesOf("real"));
    // The file name does not depend on which rows a run takes.
    TempDir alone;
    extractRows(hog, alone.path(), {1});
    EXPECT_EQ(test::namesIn(alone.path()), (std::vector<std::string>{"A_2.TXT"}));
}

// Every writer kind: "A.TXT" and "a.txt" are two sources on this system; extracted, they are two
// files on any system.
TEST(RepeatedNames, NamesDifferingInLetterCaseGiveTwoFilesInEveryWrittenKind) {
    for (const auto& kind : creatableKinds()) {
        if (!kind.createWriter) continue;
        TempDir src, out, target;
        test::writeFile(src / "A.TXT", "upper");
        test::writeFile(src / "a.txt", "lower");
        const auto files =
            kind.gathering == Gathering::Tree ? GatherFolderTree(src.path()) : GatherFolderFiles(src.path());
        kind.createWriter()->WriteContainer(out / "c", src.path(), files, nullptr);
        auto reader = CreateContainerObject(kind.code);
        reader->ReadDirectory(openFileBytes(out / "c"));
        const auto result = extractRows(*reader, target.path(), allRows(*reader));
        EXPECT_EQ(result.written, 2u) << kind.cliName << ": " << result.refusalText();
        EXPECT_EQ(test::namesIn(target.path()).size(), 2u) << kind.cliName;
    }
}

TEST(CutNames, WritersRefuseNamesTheirCuttingMakesOneNamingBoth) {
    const struct {
        const char* kind;
        std::string first, second;
    } cases[] = {
        {"df-gob", "abcdefghijk1.txt", "abcdefghijk2.txt"},
        {"hog", "abcdefghijkl1", "abcdefghijkl2"},
        {"hog2", std::string(35, 'h') + "1", std::string(35, 'h') + "2"},
        {"vp", std::string(31, 'v') + "1", std::string(31, 'v') + "2"},
        {"lfd", "abcdefghijk.anm", "abcdefghxyz.anm"},
    };
    for (const auto& c : cases) {
        TempDir src, out;
        test::writeFile(src / c.first, "1");
        test::writeFile(src / c.second, "2");
        const auto* kind = findCreatableKind(c.kind);
        ASSERT_TRUE(kind) << c.kind;
        try {
            kind->createWriter()->WriteContainer(out / "new", src.path(), GatherFolderFiles(src.path()),
                                                 nullptr);
            ADD_FAILURE() << c.kind << ": accepted";
        } catch (const Error& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find("'" + c.first + "' and '" + c.second + "'"), std::string::npos) << message;
        }
        EXPECT_FALSE(fs::exists(out / "new")) << c.kind;
    }
}

TEST(CutNames, LfdTypesKeepOnlyCharactersAFileNameHolds) {
    EXPECT_EQ(TDFLfdReader::ListExtension("A/BC"), ".a^bc");
    EXPECT_EQ(TDFLfdReader::ListExtension("X\\:*"), ".x^^^");
    EXPECT_EQ(TDFLfdReader::ListExtension("ANIM"), ".anm");
}

TEST(CutNames, GatheringRefusesANameHoldingABackslash) {
    TempDir src;
    test::writeFile(src / "sub" / "back\\slash.txt", "x");
    using Gather = SourceFileList (*)(const fs::path&);
    const Gather flat = GatherFolderFiles;
    for (const Gather gather : {static_cast<Gather>(GatherFolderTree), flat}) {
        const auto root = gather == flat ? src / "sub" : src.path();
        try {
            gather(root);
            ADD_FAILURE() << "accepted";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("back\\slash.txt"), std::string::npos) << e.what();
        }
    }
}

} // namespace
} // namespace vexa
