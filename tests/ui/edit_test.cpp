// Editing an open container in the window: the edit commands, Undo and Redo, Save off the window's
// thread, and the question to save before the file goes. Containers are laid out and read back here,
// byte by byte, independently of the format modules.

#include "WindowFixture.h"
#include "app/kinds.h"
#include "base/Files_global.h"
#include "support/gob_layout.h"
#include "ui/FilesPage.h"

#include <QApplication>
#include <QDropEvent>
#include <QMenu>
#include <QMimeData>
#include <QTreeView>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>

namespace vexa {
namespace {

using test::Bytes;
using test::q;
using Entries = std::vector<std::pair<std::string, Bytes>>;

std::uint32_t u32At(const Bytes& bytes, std::size_t at) {
    if (at + 4 > bytes.size()) throw std::out_of_range("past the end");
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

// The entries of a GOB file as stored.
Entries readGob(const fs::path& path) {
    const auto bytes = test::readFile(path);
    Entries entries;
    if (bytes.size() < 8 || std::string(bytes.begin(), bytes.begin() + 4) != "GOB\n") return entries;
    const auto directory = u32At(bytes, 4);
    const auto count = u32At(bytes, directory);
    for (std::size_t i = 0; i < count; ++i) {
        const auto record = directory + 4 + i * 21;
        const auto offset = u32At(bytes, record), size = u32At(bytes, record + 4);
        if (record + 21 > bytes.size() || offset + size > bytes.size()) throw std::out_of_range("record");
        std::string name(reinterpret_cast<const char*>(&bytes[record + 8]), 13);
        name.resize(name.find('\0') == std::string::npos ? 13 : name.find('\0'));
        entries.emplace_back(name, Bytes(bytes.begin() + offset, bytes.begin() + offset + size));
    }
    return entries;
}

// A PAK: "PACK", the directory's offset and length, then 64-byte records (56-byte name, offset, size).
Entries readPak(const fs::path& path) {
    const auto bytes = test::readFile(path);
    Entries entries;
    if (bytes.size() < 12 || std::string(bytes.begin(), bytes.begin() + 4) != "PACK") return entries;
    const auto directory = u32At(bytes, 4), length = u32At(bytes, 8);
    for (std::size_t record = directory; record + 64 <= directory + length; record += 64) {
        const auto offset = u32At(bytes, record + 56), size = u32At(bytes, record + 60);
        if (offset + size > bytes.size()) throw std::out_of_range("record");
        std::string name(reinterpret_cast<const char*>(&bytes[record]), 56);
        name.resize(name.find('\0'));
        entries.emplace_back(name, Bytes(bytes.begin() + offset, bytes.begin() + offset + size));
    }
    return entries;
}

const Entries kSample = {{"A.WAV", test::patternBytes(5, 1)},
                         {"B.VOC", test::patternBytes(7, 2)},
                         {"C.LEV", test::patternBytes(11, 3)}};

class Edit : public test::WindowFixture {
  protected:
    QTreeView* LB1() { return control<QTreeView>("LB1"); }
    QStringList listed() {
        QStringList names;
        for (int i = 0; i < LB1()->model()->rowCount(); ++i)
            names << LB1()->model()->index(i, 0).data().toString();
        return names;
    }
    void select(int row) {
        LB1()->setFocus();
        const auto where = LB1()->visualRect(LB1()->model()->index(row, 0)).center();
        QTest::mouseClick(LB1()->viewport(), Qt::LeftButton, Qt::NoModifier, where);
    }
    // A key on the list, as the user presses it: the window's shortcuts take it.
    void key(int keyCode, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(LB1(), static_cast<Qt::Key>(keyCode), modifiers);
        waitForJob();
    }
    fs::path gob(const std::string& name, const Entries& entries = kSample) {
        test::writeFile(work / name, test::dfGobBytes(entries));
        return work / name;
    }
    fs::path file(const std::string& name, const Bytes& bytes) {
        test::writeFile(work / name, bytes);
        return work / name;
    }
    bool edited() { return window->windowTitle().endsWith("*"); }
    bool visible(const char* action) { return control<QAction>(action)->isVisible(); }
    // Drops files on the list over row (or below the rows), as a file manager does.
    void drop(const std::vector<fs::path>& paths, int row) {
        QList<QUrl> urls;
        for (const auto& path : paths)
            urls << QUrl::fromLocalFile(q(path));
        QMimeData data;
        data.setUrls(urls);
        const auto onList = row < 0 ? LB1()->viewport()->rect().bottomLeft() + QPoint(20, -5)
                                    : LB1()->visualRect(LB1()->model()->index(row, 0)).center();
        const auto at = window->mapFromGlobal(LB1()->viewport()->mapToGlobal(onList));
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        ASSERT_TRUE(enter.isAccepted());
        QDropEvent event(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &event);
        waitForJob();
    }
};

TEST_F(Edit, AddRenameRemoveUndoSaveAndReadBack) {
    const auto path = gob("flow.gob");
    const auto added = file("NEW.TXT", test::patternBytes(9, 7));
    start();
    open(path);
    EXPECT_EQ(window->windowTitle(), "VEXA ver 0.3 - flow.gob");
    EXPECT_FALSE(control<QAction>("Save1")->isEnabled());

    prompts.filesAnswers.push_back({q(added)});
    trigger("AddFiles1");
    EXPECT_EQ(listed(), QStringList({"A.WAV", "B.VOC", "C.LEV", "NEW.TXT"}));
    EXPECT_EQ(window->windowTitle(), "VEXA ver 0.3 - flow.gob*");
    EXPECT_TRUE(text("SLab").contains("not saved")) << text("SLab").toStdString();
    // Rows not saved yet cannot be extracted from the file, nor previewed.
    EXPECT_FALSE(control<QAction>("Extract1")->isEnabled());

    select(0);
    prompts.textAnswers.push_back(QStringLiteral("Z.WAV"));
    key(Qt::Key_F2);
    EXPECT_EQ(listed(), QStringList({"Z.WAV", "B.VOC", "C.LEV", "NEW.TXT"}));

    select(1);
    key(Qt::Key_Delete);
    EXPECT_EQ(listed(), QStringList({"Z.WAV", "C.LEV", "NEW.TXT"}));
    // The row that took its place is selected: Delete goes on down the list.
    EXPECT_EQ(control<ui::FilesPage>("Files")->selectedEntries(), std::vector<std::size_t>{1});
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(listed(), QStringList({"Z.WAV", "B.VOC", "C.LEV", "NEW.TXT"}));
    key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(listed(), QStringList({"Z.WAV", "C.LEV", "NEW.TXT"}));
    key(Qt::Key_Z, Qt::ControlModifier);
    key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    key(Qt::Key_Z, Qt::ControlModifier); // B.VOC back once more
    // The file is untouched until Save.
    EXPECT_EQ(readGob(path), kSample);

    key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("\n").toStdString();
    const Entries expected = {{"Z.WAV", kSample[0].second},
                              {"B.VOC", kSample[1].second},
                              {"C.LEV", kSample[2].second},
                              {"NEW.TXT", test::patternBytes(9, 7)}};
    EXPECT_EQ(readGob(path), expected);
    EXPECT_EQ(window->windowTitle(), "VEXA ver 0.3 - flow.gob");
    EXPECT_EQ(listed(), QStringList({"Z.WAV", "B.VOC", "C.LEV", "NEW.TXT"}));
    // What was saved cannot be undone; the saved file lists and extracts as any other.
    EXPECT_FALSE(control<QAction>("Undo1")->isEnabled());
    EXPECT_FALSE(control<QAction>("Save1")->isEnabled());
    select(3);
    EXPECT_TRUE(control<QAction>("Extract1")->isEnabled());
    EXPECT_EQ(text("FszLab"), "9 Bytes");
}

// The question before the edited file goes, and what each answer does; a stop signal (Ctrl-C)
// asks it as closing does.
TEST_F(Edit, UnsavedEditsAreSavedDiscardedOrKeptBeforeTheFileGoes) {
    enum class By { Opening, Closing, Signal };
    struct Case {
        const char* name;
        By by;
        const char* answer;
        bool saved; // the edit reached the file
        bool stays; // the edited file is still the one open
    };
    const Case cases[] = {
        {"open, save", By::Opening, "Save", true, false},
        {"open, discard", By::Opening, "Discard", false, false},
        {"open, cancel", By::Opening, "Cancel", false, true},
        {"close, save", By::Closing, "Save", true, false},
        {"close, discard", By::Closing, "Discard", false, false},
        {"close, cancel", By::Closing, "Cancel", false, true},
        {"signal, save", By::Signal, "Save", true, false},
        {"signal, cancel", By::Signal, "Cancel", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        prompts = {};
        const auto path = gob("prompt.gob");
        const auto other = gob("other.gob", {{"OTHER.TXT", test::patternBytes(3, 9)}});
        start();
        open(path);
        select(0);
        trigger("Remove1");
        ASSERT_TRUE(edited());

        prompts.choiceAnswers.push_back(c.answer);
        // Closing asks whether to empty the temporary folder; a signal does not.
        if (c.by == By::Signal) test::writeFile(window->Folders().temp / "left.tmp", "x");
        if (!c.stays && c.by == By::Opening) prompts.fileAnswers.push_back(q(other));
        if (c.by == By::Opening) {
            trigger("Open1");
        } else {
            if (c.by == By::Closing)
                window->close();
            else
                window->StopBySignal();
            waitForJob();
        }
        ASSERT_EQ(prompts.questions.size(), 1);
        EXPECT_EQ(prompts.questions[0], "Save the changes to prompt.gob?");
        EXPECT_EQ(readGob(path).size(), c.saved ? 2u : 3u);
        if (c.by != By::Opening) {
            EXPECT_EQ(window->isVisible(), c.stays);
        } else {
            EXPECT_EQ(listed(), c.stays ? QStringList({"B.VOC", "C.LEV"}) : QStringList({"OTHER.TXT"}));
        }
        EXPECT_EQ(edited(), c.stays);
        window.reset();
        EXPECT_TRUE(prompts.fileAnswers.empty());
    }
}

TEST_F(Edit, OnlyWritableKindsShowTheEditCommands) {
    test::ByteBuilder grp; // a GRP, which VEXA reads but does not write
    grp.raw("KenSilverman").u32(1).name("ONE.MAP", 12).u32(3).raw("abc");
    const auto grpPath = file("game.grp", grp.bytes());
    const auto gobPath = gob("some.gob");
    const auto pak = [&] {
        test::ByteBuilder b;
        b.raw("PACK").u32(12 + 3).u32(64).raw("xyz").name("maps/a.bsp", 56).u32(12).u32(3);
        return file("some.pak", b.bytes());
    }();
    struct Case {
        fs::path path;
        bool edit, folders;
    };
    start();
    for (const auto& c : {Case{grpPath, false, false}, Case{gobPath, true, false}, Case{pak, true, true}}) {
        SCOPED_TRACE(c.path.filename().string());
        open(c.path);
        EXPECT_EQ(control<QMenu>("Edit1")->menuAction()->isVisible(), c.edit);
        for (const auto* action : {"Save1", "SaveAs1", "AddFiles1", "Replace1", "Rename1", "Remove1"})
            EXPECT_EQ(visible(action), c.edit) << action;
        EXPECT_EQ(visible("AddFolder1"), c.folders);
    }
    // And none in the idle window.
    window->ResetWindow();
    EXPECT_FALSE(control<QMenu>("Edit1")->menuAction()->isVisible());
    EXPECT_FALSE(visible("Save1"));
}

TEST_F(Edit, FilesDroppedOnTheListAreAddedWhereTheyFallOrOpened) {
    struct Case {
        const char* answer;
        int row; // the row dropped on; -1: below the rows
        QStringList rows;
    };
    const Case cases[] = {
        {"Add", 1, {"A.WAV", "D1.TXT", "D2.TXT", "B.VOC", "C.LEV"}},
        {"Add", -1, {"A.WAV", "B.VOC", "C.LEV", "D1.TXT", "D2.TXT"}},
        {"Open", 1, {"INNER.TXT"}}, // the first file dropped, a GOB of one entry
        {"Cancel", 1, {"A.WAV", "B.VOC", "C.LEV"}},
    };
    const auto one = gob("D1.TXT", {{"INNER.TXT", test::patternBytes(2, 4)}});
    const auto two = file("D2.TXT", test::patternBytes(4, 5));
    start();
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.answer) + " at " + std::to_string(c.row));
        if (edited()) prompts.choiceAnswers.push_back("Discard");
        open(gob("drop.gob"));
        prompts.questions.clear();
        prompts.choiceAnswers.push_back(c.answer);
        drop({one, two}, c.row);
        EXPECT_EQ(prompts.questions.size(), 1);
        EXPECT_EQ(listed(), c.rows);
    }
}

TEST_F(Edit, AFailedSaveKeepsTheEditsAndAChangeOnDiskOffersSaveAs) {
    const auto path = gob("fail.gob");
    const auto source = file("GONE.TXT", test::patternBytes(6, 6));
    start();
    open(path);
    prompts.filesAnswers.push_back({q(source)});
    trigger("AddFiles1");
    fs::remove(source); // vanishes before Save

    trigger("Save1");
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].contains(q(source))) << prompts.messages[0].toStdString();
    EXPECT_TRUE(edited());
    EXPECT_EQ(readGob(path), kSample);
    EXPECT_TRUE(control<QAction>("Save1")->isEnabled());

    trigger("Undo1");
    EXPECT_FALSE(edited());
    select(0);
    trigger("Remove1");
    // Another program puts a file of its own in its place: Save says so, writes nothing, and offers
    // Save As, which still has the entries of the file as it was opened.
    const auto theirs = gob("theirs.gob", {{"THEIRS.TXT", test::patternBytes(1, 1)}});
    fs::rename(theirs, path);
    prompts.questionAnswers.push_back(true);
    const auto copy = work / "copy.pak";
    prompts.saveAsAnswers.push_back(test::ScriptedPrompts::SaveAs{q(copy), "PAK"});
    trigger("Save1");
    ASSERT_EQ(prompts.questions.size(), 1);
    EXPECT_TRUE(prompts.questions[0].contains("another file")) << prompts.questions[0].toStdString();
    EXPECT_EQ(readGob(path), Entries({{"THEIRS.TXT", test::patternBytes(1, 1)}}));
    // Saved as a PAK (converted): the window is over the new file, of the new kind.
    EXPECT_EQ(readPak(copy), Entries({kSample[1], kSample[2]}));
    EXPECT_EQ(window->CurrentType(), ContainerType::Pak);
    EXPECT_EQ(window->windowTitle(), "VEXA ver 0.3 - copy.pak");
}

TEST_F(Edit, SaveAsSaysWhichNamesTheOtherKindCutsBeforeWriting) {
    test::writeFile(work / "src" / "averylongname.txt", test::patternBytes(4, 1));
    test::writeFile(work / "src" / "SHORT.TXT", test::patternBytes(3, 2));
    const auto pak = work / "long.pak";
    findCreatableKind("pak")->createWriter()->WriteContainer(pak, work / "src",
                                                             GatherFolderTree(work / "src"), nullptr);
    start();
    open(pak);
    const auto copy = work / "copy.gob";
    for (const char* answer : {"Cancel", "Save"}) {
        SCOPED_TRACE(answer);
        prompts.questions.clear();
        prompts.saveAsAnswers.push_back(test::ScriptedPrompts::SaveAs{q(copy), "Dark Forces GOB"});
        prompts.choiceAnswers.push_back(answer);
        trigger("SaveAs1");
        ASSERT_EQ(prompts.questions.size(), 1);
        EXPECT_EQ(prompts.questions[0], "1 name is too long for Dark Forces GOB and will be cut:\n"
                                        "averylongname.txt \u2192 averylongna");
        EXPECT_EQ(fs::exists(copy), std::string_view(answer) == "Save");
    }
    EXPECT_EQ(readGob(copy),
              Entries({{"SHORT.TXT", test::patternBytes(3, 2)}, {"averylongna", test::patternBytes(4, 1)}}));
}

TEST_F(Edit, CancellingASaveLeavesTheFileAndTheEdits) {
    const auto path = gob("cancel.gob");
    start();
    open(path);
    select(2);
    trigger("Remove1");
    test::WorkerGate gate(window->document().jobs());
    control<QAction>("Save1")->trigger();
    gate.waitForWorker();
    EXPECT_TRUE(control<QPushButton>("SBCancelJob")->isVisible());
    EXPECT_FALSE(control<QAction>("Remove1")->isEnabled()); // no edit while the worker reads them
    QTest::mouseClick(control<QPushButton>("SBCancelJob"), Qt::LeftButton);
    gate.release();
    waitForJob();
    EXPECT_TRUE(text("SLab").startsWith("Saving cancelled")) << text("SLab").toStdString();
    EXPECT_EQ(readGob(path), kSample);
    EXPECT_TRUE(edited());
    EXPECT_EQ(listed(), QStringList({"A.WAV", "B.VOC"}));
}

// An edit the kind refuses ends with its message; the edit, the list and the history stay as they were.
TEST_F(Edit, ARefusedEditSaysWhyAndChangesNothing) {
    fs::create_directories(work / "folder");
    struct Case {
        const char* name;
        const char* command;
        std::function<void(test::ScriptedPrompts&)> answer;
        const char* says; // part of the message
    };
    const Case cases[] = {
        {"a name the kind cannot store", "Rename1",
         [](auto& p) { p.textAnswers.push_back(QStringLiteral("\u0141\u00d3D\u0179.TXT")); },
         "Cannot rename"},
        {"a name another row has", "Rename1",
         [](auto& p) { p.textAnswers.push_back(QStringLiteral("B.VOC")); }, "B.VOC"},
        {"a file that is not there", "Replace1",
         [this](auto& p) { p.fileAnswers.push_back(q(work / "missing.bin")); }, "missing.bin"},
        {"a folder in a kind without folders", "AddFiles1",
         [this](auto& p) { p.filesAnswers.push_back({q(work / "folder")}); }, "no folders"},
    };
    start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        open(gob("refuse.gob"));
        select(0);
        prompts.messages.clear();
        c.answer(prompts);
        trigger(c.command);
        ASSERT_EQ(prompts.messages.size(), 1);
        EXPECT_TRUE(prompts.messages[0].contains(c.says)) << prompts.messages[0].toStdString();
        EXPECT_EQ(listed(), QStringList({"A.WAV", "B.VOC", "C.LEV"}));
        EXPECT_FALSE(edited());
        EXPECT_FALSE(control<QAction>("Undo1")->isEnabled());
    }
}

TEST_F(Edit, AFolderIsAddedUnderItsNameWhereEntriesHaveFolders) {
    test::ByteBuilder pak;
    pak.raw("PACK").u32(12 + 3).u32(64).raw("xyz").name("maps/a.bsp", 56).u32(12).u32(3);
    const auto path = file("tree.pak", pak.bytes());
    test::writeFile(work / "maps/e2.bsp", test::patternBytes(8, 2));
    test::writeFile(work / "maps/sub/e3.bsp", test::patternBytes(4, 3));
    start();
    open(path);
    prompts.folderAnswers.push_back(q(work / "maps"));
    trigger("AddFolder1");
    EXPECT_TRUE(edited());
    trigger("Save1");
    const Entries expected = {{"maps/a.bsp", test::bytesOf("xyz")},
                              {"maps/e2.bsp", test::patternBytes(8, 2)},
                              {"maps/sub/e3.bsp", test::patternBytes(4, 3)}};
    EXPECT_EQ(readPak(path), expected);
}

} // namespace
} // namespace vexa
