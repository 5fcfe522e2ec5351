// What every writer of the new-container page shares: it is registered with its reader, it
// refuses what it cannot store before writing anything, and a failed write keeps the old file.

#include "app/kinds.h"
#include "base/errors.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::TempDir;

std::vector<const CreatableKind*> writerKinds() {
    std::vector<const CreatableKind*> kinds;
    for (const auto& k : creatableKinds())
        if (k.createWriter) kinds.push_back(&k);
    return kinds;
}

TEST(CreatableKinds, EveryItemButTheWadsHasAWriterWhoseOutputItsReaderOpens) {
    // The go.bat WAD item and the two texture WADs, which are built from pictures.
    EXPECT_EQ(writerKinds().size(), creatableKinds().size() - 3);
    TempDir src, out;
    test::writeFile(src / "a.anm", test::patternBytes(9, 1));
    for (const auto* kind : writerKinds()) {
        const auto path = out / std::string(kind->defaultName);
        const auto files =
            kind->gathering == Gathering::Tree ? GatherFolderTree(src.path()) : GatherFolderFiles(src.path());
        kind->createWriter()->WriteContainer(path, src.path(), files, nullptr);
        EXPECT_EQ(detectKind(path), kind->code) << kind->cliName;
        auto reader = CreateContainerObject(kind->code);
        ASSERT_TRUE(reader) << kind->cliName;
        reader->ReadDirectory(openFileBytes(path));
        EXPECT_EQ(reader->EntryNames(), (std::vector<std::string>{"a.anm"})) << kind->cliName;
    }
}

TEST(CreatableKinds, EmptyFolderGivesAnEmptyContainerThatOpens) {
    TempDir src, out;
    for (const auto* kind : writerKinds()) {
        const auto path = out / std::string(kind->defaultName);
        kind->createWriter()->WriteContainer(path, src.path(), {}, nullptr);
        auto reader = CreateContainerObject(detectKind(path));
        ASSERT_TRUE(reader) << kind->cliName;
        reader->ReadDirectory(openFileBytes(path));
        EXPECT_EQ(reader->EntryCount(), 0u) << kind->cliName;
    }
}

TEST(CreatableKinds, WhatCannotBeStoredIsRefusedBeforeAnythingIsWritten) {
    const struct {
        const char* fault;
        SourceFileList files;
        const char* named; // the message names this
    } cases[] = {
        {"file_of_2_gib", {{"a.anm", 1, 0}, {"huge.anm", 0x80000000ull, 0}}, "huge.anm"},
        {"file_of_4_gib", {{"huge.anm", 0x100000000ull, 0}}, "huge.anm"},
        {"name_without_a_single_byte_form", {{"\xE2\x82\xAC.anm", 1, 0}}, "\xE2\x82\xAC.anm"},
    };
    TempDir src, out;
    test::writeFile(src / "a.anm", "a");
    for (const auto& c : cases)
        for (const auto* kind : writerKinds()) {
            const auto path = out / std::string(kind->defaultName);
            try {
                kind->createWriter()->WriteContainer(path, src.path(), c.files, nullptr);
                ADD_FAILURE() << kind->cliName << " wrote " << c.fault;
            } catch (const Error& e) {
                EXPECT_NE(std::string(e.what()).find(c.named), std::string::npos)
                    << kind->cliName << ": " << e.what();
                EXPECT_NE(std::string(e.what()).find(path.string()), std::string::npos) << e.what();
            }
            EXPECT_FALSE(fs::exists(path)) << kind->cliName << " " << c.fault;
        }
}

TEST(CreatableKinds, SourceChangedOrGoneFailsTheWriteAndKeepsTheOldFile) {
    for (const auto* kind : writerKinds()) {
        TempDir src, out;
        test::writeFile(src / "a.anm", "abc");
        test::writeFile(src / "b.plt", "de");
        const auto path = out / "old";
        test::writeFile(path, "previous");
        const auto files = GatherFolderFiles(src.path());
        test::writeFile(src / "b.plt", "changed");
        EXPECT_THROW(kind->createWriter()->WriteContainer(path, src.path(), files, nullptr), Error)
            << kind->cliName;
        fs::remove(src / "b.plt");
        EXPECT_THROW(kind->createWriter()->WriteContainer(path, src.path(), files, nullptr), Error)
            << kind->cliName;
        EXPECT_EQ(test::readFile(path), test::bytesOf("previous")) << kind->cliName;
        EXPECT_EQ(std::distance(fs::directory_iterator(out.path()), fs::directory_iterator()), 1)
            << kind->cliName;
    }
}

class RecordingProgress : public ProgressSink {
  public:
    void setRange(int maximum) override { calls.push_back("range " + std::to_string(maximum)); }
    void setPosition(int position) override { calls.push_back("at " + std::to_string(position)); }
    std::vector<std::string> calls;
};

TEST(CreatableKinds, ProgressStepsOncePerFileAndEndsAtZero) {
    TempDir src, out;
    for (const auto* name : {"a.anm", "b.plt", "c.voc"})
        test::writeFile(src / name, "x");
    const std::vector<std::string> expected = {"range 2", "at 0", "at 1", "at 2", "at 3", "range 2", "at 0"};
    for (const auto* kind : writerKinds()) {
        RecordingProgress progress;
        kind->createWriter()->WriteContainer(out / std::string(kind->defaultName), src.path(),
                                             GatherFolderFiles(src.path()), &progress);
        EXPECT_EQ(progress.calls, expected) << kind->cliName;
    }
}

TEST(CreatableKinds, EachItemGathersWhatItsWriterTakes) {
    TempDir src;
    for (const auto* name : {"a.png", "B.BMP", "c.Png", "notes.txt", "png", "x.bmp.txt", "sub/d.png"})
        test::writeFile(src / name, "x");
    using Names = std::vector<std::string>;
    const struct {
        const char* cliName;
        Names names;
    } cases[] = {
        {"df-gob", {"B.BMP", "a.png", "c.Png", "notes.txt", "png", "x.bmp.txt"}},
        {"pak", {"B.BMP", "a.png", "c.Png", "notes.txt", "png", "sub\\d.png", "x.bmp.txt"}},
        // Only the folder's own pictures, whatever the letter case of their extension.
        {"wad3", {"B.BMP", "a.png", "c.Png"}},
        {"wad2", {"B.BMP", "a.png", "c.Png"}},
        {"hl-wad", {}},
    };
    for (const auto& c : cases) {
        const auto* kind = findCreatableKind(c.cliName);
        ASSERT_NE(kind, nullptr) << c.cliName;
        Names names;
        for (const auto& file : gatherSources(*kind, src.path()))
            names.push_back(file.name);
        EXPECT_EQ(names, c.names) << c.cliName;
        // Every item that lists files has a writer for them.
        EXPECT_EQ(createKindWriter(*kind, ImportOptions{GamePalettePaths::defaults(src.path()), false}) !=
                      nullptr,
                  kind->gathering != Gathering::None)
            << c.cliName;
    }
}

} // namespace
} // namespace vexa
