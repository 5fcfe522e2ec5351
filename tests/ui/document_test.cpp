// The Document without a window: opening, editing and saving a container, the palette a kind makes
// current, and the signals that tell a view about each, in the order a view needs them.

#include "formats/texture_builders.h"
#include "support/gob_layout.h"
#include "support/test_files.h"
#include "ui/Document.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

namespace vexa {
namespace {

using test::Bytes;

const std::vector<std::pair<std::string, Bytes>> kEntries = {{"A.WAV", test::patternBytes(5, 1)},
                                                             {"B.VOC", test::patternBytes(7, 2)}};

class DocumentTest : public ::testing::Test {
  protected:
    test::TempDir work;
    ui::Document document;
    // What a view saw of the rows at each signal: "about:N" before they change, "edits:N" after.
    std::vector<std::string> seen;

    DocumentTest() {
        document.gamePalettes() = GamePalettePaths::defaults(work.path());
        const auto rows = [this] { return std::to_string(document.editRows().size()); };
        QObject::connect(&document, &ui::Document::rowsAboutToChange,
                         [=, this] { seen.push_back("about:" + rows()); });
        QObject::connect(&document, &ui::Document::editsChanged,
                         [=, this] { seen.push_back("edits:" + rows()); });
        QObject::connect(&document, &ui::Document::opened, [this] { seen.push_back("opened"); });
    }

    fs::path file(const std::string& name, const Bytes& bytes) {
        test::writeFile(work / name, bytes);
        return work / name;
    }
    // Starts one of the document's jobs and runs it to its end: what its done was handed.
    std::exception_ptr run(const std::function<bool(ui::Document::Done)>& start) {
        std::optional<std::exception_ptr> outcome;
        EXPECT_TRUE(start([&](std::exception_ptr error) { outcome = error; }));
        QElapsedTimer timer;
        timer.start();
        while (!outcome && timer.elapsed() < 60'000)
            QTest::qWait(2);
        EXPECT_TRUE(outcome) << "the job did not end";
        return outcome.value_or(nullptr);
    }
    // Both steps of an open, as the window takes them.
    std::exception_ptr open(const fs::path& path) {
        document.detect(path);
        return run([this](ui::Document::Done done) { return document.readDirectory(std::move(done)); });
    }
};

// A file that cannot be read changes nothing; a kind that opens nothing is refused before any job;
// a directory that cannot be read leaves its reader the open one, with no edit, and no opened().
TEST_F(DocumentTest, AFailedOpenSaysSoAtTheStepItFails) {
    enum class Fails { Detecting, Starting, Reading };
    const struct {
        const char* name;
        std::optional<Bytes> bytes;
        Fails fails;
    } cases[] = {
        {"missing.gob", std::nullopt, Fails::Detecting},
        {"noise.xyz", test::patternBytes(40, 9), Fails::Starting},
        {"short.gob", test::ByteBuilder().raw("GOB\n").u32(1000).bytes(), Fails::Reading},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        seen.clear();
        const auto path = c.bytes ? file(c.name, *c.bytes) : work / c.name;
        const auto before = document.path();
        if (c.fails == Fails::Detecting) {
            EXPECT_THROW(document.detect(path), Error);
            EXPECT_EQ(document.path(), before);
        } else if (c.fails == Fails::Starting) {
            document.detect(path);
            EXPECT_THROW(document.readDirectory([](std::exception_ptr) { ADD_FAILURE() << "a job ended"; }),
                         Error);
            EXPECT_FALSE(document.jobRunning());
        } else {
            EXPECT_THROW(std::rethrow_exception(open(path)), Error);
            EXPECT_NE(document.reader(), nullptr);
            EXPECT_EQ(document.edits().edit(), nullptr);
        }
        EXPECT_EQ(std::count(seen.begin(), seen.end(), "opened"), 0);
    }
}

TEST_F(DocumentTest, OpenEditUndoRedoAndSaveShowTheirRowsInOrder) {
    QSignalSpy running(&document, &ui::Document::jobRunningChanged);
    ASSERT_EQ(open(file("sample.gob", test::dfGobBytes(kEntries))), nullptr);
    EXPECT_EQ(document.kind(), ContainerType::DFGob);
    EXPECT_EQ(document.reader()->EntryName(1), "B.VOC");
    EXPECT_EQ(seen, (std::vector<std::string>{"about:0", "about:0", "edits:0", "opened"}));
    EXPECT_EQ(running.size(), 2); // started, ended

    const auto added = file("C.TXT", test::bytesOf("new bytes"));
    seen.clear();
    document.edits().apply("Add", [&](ContainerEdit& edit) { edit.add(added); });
    EXPECT_EQ(document.storedEntry(1), std::optional<std::size_t>(1));
    EXPECT_EQ(document.storedEntry(2), std::nullopt); // not in the file until it is saved
    EXPECT_EQ(document.rowSize(2), std::optional<std::uint64_t>(9));
    document.edits().steps().undo();
    document.edits().steps().redo();
    EXPECT_EQ(seen,
              (std::vector<std::string>{"about:0", "edits:3", "about:3", "edits:0", "about:0", "edits:3"}));

    const struct {
        std::optional<ui::Document::SaveTarget> target; // none: over the open file
        ContainerType kind;
    } saves[] = {{std::nullopt, ContainerType::DFGob},
                 {ui::Document::SaveTarget{work / "other.pak", ContainerType::Pak}, ContainerType::Pak}};
    for (const auto& s : saves) {
        const auto path = s.target ? s.target->path : work / "sample.gob";
        SCOPED_TRACE(path.filename().string());
        document.edits().apply("Remove", [](ContainerEdit& edit) { edit.remove({0}); });
        seen.clear();
        ASSERT_EQ(run([&](ui::Document::Done done) {
                      return document.save(s.target, ContainerEdit::Writing::WholeFile, std::move(done));
                  }),
                  nullptr);
        EXPECT_EQ(document.kind(), s.kind);
        EXPECT_EQ(document.path(), path);
        EXPECT_FALSE(document.edits().modified());
        EXPECT_EQ(seen.back(), "opened");
    }
    ASSERT_EQ(document.reader()->EntryCount(), 1u);
    EXPECT_EQ(document.reader()->EntryName(0), "C.TXT");
}

// Opening a kind with a game palette makes it current; one that cannot be loaded leaves black.
TEST_F(DocumentTest, TheKindsGamePaletteBecomesCurrentAsItOpens) {
    enum class Current { Unchanged, GamePalette, Black };
    const struct {
        const char* name;
        Bytes bytes;
        bool paletteShipped;
        Current current;
    } cases[] = {
        {"sample.gob", test::dfGobBytes(kEntries), true, Current::Unchanged}, // no game palette
        {"textures.wad", test::wadFile("WAD2", {}), true, Current::GamePalette},
        {"textures.wad", test::wadFile("WAD2", {}), false, Current::Black}, // and the open throws
    };
    const auto quakeFile = document.gamePalettes().path(Game::Quake1Bsp);
    const Palette before{{}, "before"};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.paletteShipped ? "" : " without its palette"));
        fs::remove(quakeFile);
        if (c.paletteShipped) test::writeFile(quakeFile, test::patternBytes(768, 5));
        const auto expected = c.current == Current::GamePalette
                                  ? loadGamePalette(Game::Quake1Bsp, document.gamePalettes())
                                  : (c.current == Current::Black ? Palette{} : before);
        document.setCurrentPalette(before);
        QSignalSpy changed(&document, &ui::Document::paletteChanged);
        document.detect(file(c.name, c.bytes));
        if (c.current == Current::Black)
            EXPECT_THROW(document.readDirectory([](std::exception_ptr) {}), Error);
        else
            ASSERT_EQ(
                run([this](ui::Document::Done done) { return document.readDirectory(std::move(done)); }),
                nullptr);
        EXPECT_EQ(document.currentPalette().table, expected.table);
        EXPECT_EQ(document.currentPalette().source, expected.source);
        EXPECT_EQ(changed.size(), c.current == Current::Unchanged ? 0 : 1);
    }
}

} // namespace
} // namespace vexa
