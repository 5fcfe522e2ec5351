// The New_C page, driven through its controls with scripted Prompts: choosing a kind, "Begin",
// the review on the Files page, "Remove", "OK" through the kind's writer, and the WAD item's go.bat.

#include "ScriptedPrompts.h"
#include "WindowFixture.h"
#include "app/kinds.h"
#include "base/Files_global.h"
#include "support/test_files.h"
#include "ui/FileListModel.h"
#include "ui/Main.h"
#include "ui/NewContainerPage.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <algorithm>

namespace vexa {
namespace {

using test::Bytes;
using test::ScriptedPrompts;
using test::TempDir;

QString q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

std::size_t itemOf(std::string_view cliName) {
    const auto& kinds = creatableKinds();
    const auto it =
        std::find_if(kinds.begin(), kinds.end(), [&](const auto& k) { return k.cliName == cliName; });
    EXPECT_NE(it, kinds.end()) << cliName;
    return static_cast<std::size_t>(it - kinds.begin());
}

// Top-level files and two levels of sub-folders; the flat kinds take only the first three.
const std::vector<std::pair<std::string, std::size_t>> kTree = {
    {"A.ANM", 100}, {"B.PLT", 768}, {"C.VOC", 0}, {"SUB/D.TXT", 300}, {"SUB/DEEP/E.WAV", 20}};
const QStringList kFlatRows = {"A.ANM", "B.PLT", "C.VOC"};
const QStringList kTreeRows = {"A.ANM", "B.PLT", "C.VOC", "SUB\\D.TXT", "SUB\\DEEP\\E.WAV"};
constexpr std::uint64_t kFlatTotal = 868;
constexpr std::uint64_t kTreeTotal = 1188;

class NewContainer : public test::WindowFixture {
  public: // the fault cases reach into the fixture
    ui::NewContainerPage* page = nullptr;

    void SetUp() override {
        for (std::size_t i = 0; i < kTree.size(); ++i)
            test::writeFile(source() / kTree[i].first,
                            test::patternBytes(kTree[i].second, static_cast<std::uint8_t>(i)));
        start();
        page = window->findChild<ui::NewContainerPage*>(QStringLiteral("New_C"));
        ASSERT_NE(page, nullptr);
    }

    fs::path source() const { return work / "src"; }
    fs::path temp() const { return program / "Temp"; }

    QPushButton* button(const char* name) { return control<QPushButton>(name); }
    QLineEdit* edit(const char* name) { return control<QLineEdit>(name); }
    QRadioButton* kindItem(std::size_t item) {
        return control<QRadioButton>(("RGConCreateItem" + std::to_string(item)).c_str());
    }
    QTreeView* LB1() { return control<QTreeView>("LB1"); }
    QStringList rows() {
        QStringList out;
        auto* model = LB1()->model();
        for (int i = 0; i < model->rowCount(); ++i)
            out << model->index(i, 0).data().toString();
        return out;
    }
    void clickRow(int row) {
        window->ShowFilesPage();
        auto* list = LB1();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          list->visualRect(list->model()->index(row, 0)).center());
    }
    static std::vector<std::string> filesIn(const fs::path& folder) {
        std::vector<std::string> names;
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(folder, ec))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    QString currentPage() { return control<QTabWidget>("PC1")->currentWidget()->objectName(); }

    void showPage() { control<QTabWidget>("PC1")->setCurrentWidget(page); }
    void chooseKind(std::size_t item) {
        showPage();
        QTest::mouseClick(kindItem(item), Qt::LeftButton);
    }
    void chooseFolder(const fs::path& folder) {
        prompts.folderAnswers.push_back(q(folder));
        QTest::mouseClick(button("SBBrwseFiles"), Qt::LeftButton);
    }
    void typeInto(QLineEdit* edit, const QString& typed) {
        showPage();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, typed);
    }
    // Kind, source folder and "Begin": the review is shown.
    void begin(std::size_t item, const fs::path& folder) {
        chooseKind(item);
        chooseFolder(folder);
        QTest::mouseClick(button("SBCreate"), Qt::LeftButton);
    }

    bool reviewCommandsEnabled() {
        return button("SBOK")->isEnabled() && button("SBRemove")->isEnabled() &&
               button("SBCancel")->isEnabled();
    }
    void expectIdle() {
        EXPECT_EQ(currentPage(), "Files");
        EXPECT_EQ(page->ItemIndex(), -1);
        EXPECT_TRUE(rows().isEmpty());
        EXPECT_EQ(text("FszLab"), "");
        EXPECT_FALSE(window->CreationMode());
        EXPECT_EQ(LB1()->selectionMode(), QAbstractItemView::ExtendedSelection);
        for (const auto* name :
             {"SBOK", "SBRemove", "SBCancel", "SBExtract", "SBExtract_All", "SBExtract_Ext"})
            EXPECT_FALSE(button(name)->isEnabled()) << name;
        EXPECT_TRUE(control<QLineEdit>("EConName")->text().isEmpty());
        EXPECT_TRUE(control<QLineEdit>("EGetFiles")->text().isEmpty());
        EXPECT_FALSE(control<QLineEdit>("EGetFiles")->isReadOnly());
        EXPECT_FALSE(button("SBCreate")->isEnabled());
        EXPECT_EQ(control<QProgressBar>("PBar")->value(), 0);
    }
};

// What the core reads back from a container: its kind, rows and each entry's bytes.
struct ReadBack {
    ContainerType type = ContainerType::Unknown;
    QStringList rows;
    std::vector<Bytes> contents;
};
ReadBack readBack(const fs::path& container, const fs::path& scratch) {
    ReadBack out;
    fs::create_directories(scratch);
    out.type = detectKind(container);
    auto object = CreateContainerObject(out.type);
    if (!object) return out;
    object->ReadDirectory(openFileBytes(container));
    for (std::size_t i = 0; i < object->EntryCount(); ++i) {
        out.rows << QString::fromStdString(object->EntryNames()[i]);
        const auto target = scratch / ("entry" + std::to_string(i));
        object->ExtractEntry(target, i);
        out.contents.push_back(test::readFile(target));
    }
    return out;
}

TEST_F(NewContainer, ThePageStartsWithItsItemsInTwoColumnsAndNoneChosen) {
    showPage();
    EXPECT_EQ(control<QGroupBox>("RGConCreate")->title(), "Select container file type to create");
    const auto count = creatableKinds().size();
    ASSERT_EQ(count, 12u);
    ASSERT_EQ(page->findChildren<QRadioButton*>().size(), count);
    EXPECT_EQ(kindItem(10)->text(), "WAD3 textures (built in)");
    EXPECT_EQ(kindItem(11)->text(), "WAD2 textures (built in)");
    const auto half = count / 2;
    for (std::size_t i = 0; i < count; ++i) {
        auto* item = kindItem(i);
        EXPECT_EQ(item->text().toStdString(), creatableKinds()[i].caption); // blanks kept as given
        EXPECT_FALSE(item->isChecked()) << i;
        // Filled column by column: the second half stands to the right of the first, row for row.
        if (i >= half) {
            EXPECT_GT(item->x(), kindItem(i - half)->x() + kindItem(i - half)->width() / 2) << i;
            EXPECT_EQ(item->y(), kindItem(i - half)->y()) << i;
        }
    }
    EXPECT_EQ(page->ItemIndex(), -1);
    EXPECT_EQ(control<QGroupBox>("NewNameGroup")->title(), "New filename and path");
    EXPECT_EQ(control<QGroupBox>("GetFilesGroup")->title(), "Get files from directory");
    EXPECT_EQ(button("SBBrowseNewName")->toolTip(), "Browse ");
    EXPECT_EQ(button("SBBrwseFiles")->toolTip(), "Browse ");
    EXPECT_EQ(button("SBCreate")->text(), "Begin");
    EXPECT_FALSE(button("SBCreate")->isEnabled());
}

TEST_F(NewContainer, ChoosingAKindProposesItsDefaultNameInTempAndStartsOver) {
    for (std::size_t i = 0; i < creatableKinds().size(); ++i) {
        chooseKind(i);
        EXPECT_EQ(control<QLineEdit>("EConName")->text().toStdString(),
                  (temp() / std::string(creatableKinds()[i].defaultName)).string());
        EXPECT_EQ(page->ItemIndex(), static_cast<int>(i));
        EXPECT_TRUE(window->CreationMode());
        EXPECT_EQ(LB1()->selectionMode(), QAbstractItemView::SingleSelection);
    }

    // LAB, a source folder, then HOG2: the name is replaced and the folder cleared with its value.
    chooseKind(itemOf("lab"));
    EXPECT_EQ(control<QLineEdit>("EConName")->text(), q(temp() / "New_Lab.Lab"));
    chooseFolder(source());
    EXPECT_EQ(control<QLineEdit>("EGetFiles")->text(), q(source() / ""));
    EXPECT_TRUE(button("SBCreate")->isEnabled());
    chooseKind(itemOf("hog2"));
    EXPECT_EQ(control<QLineEdit>("EConName")->text(), q(temp() / "New_Descent3.Hog"));
    EXPECT_TRUE(control<QLineEdit>("EGetFiles")->text().isEmpty());
    EXPECT_FALSE(button("SBCreate")->isEnabled());
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(NewContainer, ChoosingAKindEndsAListingThatWasOpen) {
    const auto gob = work / "open.gob";
    begin(itemOf("df-gob"), source());
    click("SBOK");
    fs::rename(temp() / "New_DF.Gob", gob);
    prompts.fileAnswers.push_back(q(gob));
    trigger("Open1");
    ASSERT_EQ(rows(), kFlatRows);
    clickRow(0);
    ASSERT_TRUE(button("SBExtract")->isEnabled());

    chooseKind(itemOf("pak"));
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(window->LiveObject(), nullptr);
    EXPECT_EQ(text("SLab"), "");
    EXPECT_EQ(text("FszLab"), "");
    EXPECT_FALSE(button("SBExtract")->isEnabled());
    EXPECT_FALSE(control<QAction>("Extract1")->isEnabled());
}

TEST_F(NewContainer, BeginSaysWhatIsMissingAndGathersNothing) {
    struct Case {
        const char* what;
        bool chooseAKind;
        QString folderText;
        QStringList messages;
    };
    const auto missing = q(work / "no-such-folder");
    const std::vector<Case> cases = {
        {"no kind", false, q(source()), {" No file type to create selected"}},
        {"blank folder", true, "   ", {" No files directory selected"}},
        {"neither", false, "   ", {" No file type to create selected", " No files directory selected"}},
        // A folder that is not there would gather to nothing and build an empty container.
        {"missing folder", true, missing, {"Cannot open file " + missing}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        window->ResetWindow();
        prompts.messages.clear();
        if (c.chooseAKind) chooseKind(itemOf("df-gob"));
        showPage();
        typeInto(control<QLineEdit>("EGetFiles"), c.folderText);
        ASSERT_TRUE(button("SBCreate")->isEnabled()); // any text enables "Begin"
        QTest::mouseClick(button("SBCreate"), Qt::LeftButton);
        EXPECT_EQ(prompts.messages, c.messages);
        EXPECT_TRUE(rows().isEmpty());
        EXPECT_FALSE(button("SBOK")->isEnabled());
        EXPECT_EQ(currentPage(), "New_C");
    }
}

TEST_F(NewContainer, BeginListsTheGatheredFilesForReview) {
    struct Case {
        const char* cliName;
        QStringList rows;
        std::uint64_t total;
    };
    const std::vector<Case> cases = {
        {"df-gob", kFlatRows, kFlatTotal}, // flat: the sub-folders are left out
        {"hog", kFlatRows, kFlatTotal},
        {"jk-gob", kTreeRows, kTreeTotal}, // (subdirs): every level, "\" between levels
        {"pak", kTreeRows, kTreeTotal},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cliName);
        begin(itemOf(c.cliName), source());
        EXPECT_TRUE(prompts.messages.isEmpty());
        EXPECT_EQ(rows(), c.rows);
        // Each file's size beside its name, under a header.
        ASSERT_FALSE(LB1()->isColumnHidden(ui::FileListModel::Size));
        EXPECT_FALSE(LB1()->isHeaderHidden());
        for (int row = 0; row < c.rows.size(); ++row) {
            const auto size = LB1()->model()->index(row, ui::FileListModel::Size).data().toString();
            EXPECT_EQ(size, QString::number(kTree[static_cast<std::size_t>(row)].second)) << row;
        }
        EXPECT_EQ(text("SLab"),
                  " These files will be included , remove files , or press OK to create container");
        EXPECT_EQ(text("FszLab"), QString::number(c.total) + " Bytes");
        EXPECT_EQ(currentPage(), "Files");
        EXPECT_TRUE(reviewCommandsEnabled());
        EXPECT_FALSE(button("SBExtract")->isEnabled());
        EXPECT_EQ(LB1()->selectionMode(), QAbstractItemView::SingleSelection);
        // The rows came from this folder: it cannot change under the review.
        EXPECT_TRUE(control<QLineEdit>("EGetFiles")->isReadOnly());
        EXPECT_FALSE(button("SBBrwseFiles")->isEnabled());
        // Clicks on the list show no sizes and enable no extraction while reviewing.
        clickRow(1);
        EXPECT_EQ(text("FszLab"), QString::number(c.total) + " Bytes");
        EXPECT_FALSE(button("SBExtract")->isEnabled());
    }
}

TEST_F(NewContainer, RemoveTakesOutTheSelectedFileAndItsSize) {
    begin(itemOf("df-gob"), source());
    ASSERT_EQ(rows(), kFlatRows);

    // Nothing selected: the rows stay and the total is shown again.
    control<QLabel>("FszLab")->clear();
    click("SBRemove");
    EXPECT_EQ(rows(), kFlatRows);
    EXPECT_EQ(text("FszLab"), QString::number(kFlatTotal) + " Bytes");

    clickRow(0); // A.ANM, 100 bytes
    click("SBRemove");
    EXPECT_EQ(rows(), (QStringList{"B.PLT", "C.VOC"}));
    EXPECT_EQ(LB1()->model()->index(0, ui::FileListModel::Size).data().toString(), "768");
    EXPECT_EQ(text("FszLab"), QString::number(kFlatTotal - 100) + " Bytes");
    EXPECT_TRUE(fs::exists(source() / "A.ANM")); // removing changes nothing on disk

    clickRow(1); // C.VOC, the last row
    click("SBRemove");
    EXPECT_EQ(rows(), QStringList{"B.PLT"});

    click("SBOK");
    const auto back = readBack(temp() / "New_DF.Gob", work / "back");
    EXPECT_EQ(back.rows, QStringList{"B.PLT"});
}

TEST_F(NewContainer, OkWritesEveryKindThroughItsWriterAndReturnsToIdle) {
    TempDir emptyFolder;
    for (std::size_t item = 0; item < creatableKinds().size(); ++item) {
        const auto& kind = creatableKinds()[item];
        if (!kind.createWriter) continue;
        for (const bool empty : {false, true}) {
            SCOPED_TRACE(std::string(kind.cliName) + (empty ? " from an empty folder" : ""));
            const auto target = temp() / std::string(kind.defaultName);
            fs::remove(target);
            begin(item, empty ? emptyFolder.path() : source());
            click("SBOK");
            if (kind.code == ContainerType::FreeSpaceVP && !empty) {
                // A VP with folders cannot hold the empty C.VOC: it would read back as a folder.
                ASSERT_EQ(prompts.messages.size(), 1);
                EXPECT_TRUE(prompts.messages[0].contains("'C.VOC' is empty"))
                    << prompts.messages[0].toStdString();
                EXPECT_FALSE(fs::exists(target));
                prompts.messages.clear();
                continue;
            }
            EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("|").toStdString();
            EXPECT_EQ(text("SLab"), "Created File " + q(target));
            expectIdle();
            EXPECT_EQ(window->CurrentType(), kind.code);

            const auto back =
                readBack(target, work / ("back-" + std::string(kind.cliName) + (empty ? "-empty" : "")));
            EXPECT_EQ(back.type, kind.code);
            if (empty) {
                EXPECT_TRUE(back.rows.isEmpty());
                continue;
            }
            const auto& expected = kind.gathering == Gathering::Tree ? kTreeRows : kFlatRows;
            // LFD keeps a type code, not the extension's letters: the case comes back as its table says.
            const auto caseOf = [&](const QStringList& r) {
                return kind.code == ContainerType::DFLfd ? r.join('|').toUpper() : r.join('|');
            };
            ASSERT_EQ(caseOf(back.rows), caseOf(expected));
            for (int i = 0; i < expected.size(); ++i) {
                auto name = expected[i].toStdString();
                std::replace(name.begin(), name.end(), '\\', '/');
                EXPECT_EQ(back.contents[static_cast<std::size_t>(i)], test::readFile(source() / name))
                    << name;
            }
        }
    }
}

TEST_F(NewContainer, AFailingWriteIsReportedAndNothingIsLeftBehind) {
    struct Case {
        const char* what;
        std::function<void(NewContainer&)> spoil; // after "Begin", before "OK"
        fs::path target;
        QString messageStart;
    };
    const auto inMissingFolder = work / "no-such-folder" / "x.gob";
    const std::vector<Case> cases = {
        {"a source file removed after Begin", [](NewContainer& t) { fs::remove(t.source() / "B.PLT"); },
         temp() / "New_DF.Gob", "Cannot open file " + q(source() / "B.PLT")},
        {"a source file that changed size",
         [](NewContainer& t) { test::writeFile(t.source() / "A.ANM", std::string_view("short")); },
         temp() / "New_DF.Gob", "Cannot create file " + q(temp() / "New_DF.Gob")},
        {"a folder that does not exist",
         [&](NewContainer& t) { t.typeInto(t.edit("EConName"), q(inMissingFolder)); }, inMissingFolder,
         "Cannot create file " + q(inMissingFolder)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        prompts.messages.clear();
        fs::remove_all(source());
        for (std::size_t i = 0; i < kTree.size(); ++i)
            test::writeFile(source() / kTree[i].first,
                            test::patternBytes(kTree[i].second, static_cast<std::uint8_t>(i)));
        // A file of that name from before must come through untouched.
        std::error_code ec;
        const bool hadOld = fs::is_directory(c.target.parent_path(), ec);
        if (hadOld) test::writeFile(c.target, std::string_view("old"));

        begin(itemOf("df-gob"), source());
        c.spoil(*this);
        const auto before = filesIn(c.target.parent_path());
        if (hadOld) prompts.choiceAnswers.push_back("Replace");
        click("SBOK");

        ASSERT_EQ(prompts.messages.size(), 1);
        EXPECT_TRUE(prompts.messages[0].startsWith(c.messageStart)) << prompts.messages[0].toStdString();
        EXPECT_FALSE(text("SLab").contains("Created File"));
        EXPECT_TRUE(text("SLab").contains(q(c.target)));
        if (hadOld)
            EXPECT_EQ(test::readFile(c.target), test::bytesOf("old"));
        else
            EXPECT_FALSE(fs::exists(c.target));
        EXPECT_EQ(filesIn(c.target.parent_path()), before); // no partial or temporary file
        EXPECT_EQ(control<QProgressBar>("PBar")->value(), 0);
        // The review stays, so the user can put it right and try again.
        EXPECT_TRUE(reviewCommandsEnabled());
        EXPECT_EQ(rows(), kFlatRows);
    }

    // Put right: without the missing file the same review writes the container.
    fs::remove(source() / "B.PLT");
    prompts.messages.clear();
    clickRow(1);
    click("SBRemove");
    typeInto(control<QLineEdit>("EConName"), q(work / "fixed.gob"));
    click("SBOK");
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("|").toStdString();
    EXPECT_EQ(text("SLab"), "Created File " + q(work / "fixed.gob"));
    EXPECT_EQ(readBack(work / "fixed.gob", work.path()).rows, (QStringList{"A.ANM", "C.VOC"}));
}

TEST_F(NewContainer, TheReviewMarksEachNameTheKindWillCutAndCountsThem) {
    const auto folder = work / "long";
    test::writeFile(folder / "averylongname.txt", std::string_view("x"));
    test::writeFile(folder / "SHORT.TXT", std::string_view("y"));
    begin(itemOf("df-gob"), folder);
    EXPECT_EQ(rows(), (QStringList{"SHORT.TXT", "averylongname.txt  \u2192 averylongna"}));
    EXPECT_TRUE(text("SLab").startsWith("1 name is too long for this kind and will be cut"))
        << text("SLab").toStdString();
    // A kind that stores the name whole marks nothing.
    begin(itemOf("pak"), folder);
    EXPECT_EQ(rows(), (QStringList{"SHORT.TXT", "averylongname.txt"}));
}

TEST_F(NewContainer, OkOverAnExistingContainerAsksBeforeReplacingIt) {
    const auto target = work / "old.lab";
    test::writeFile(target, std::string_view("old container"));
    for (const char* answer : {"Cancel", "Replace"}) {
        SCOPED_TRACE(answer);
        begin(itemOf("lab"), source());
        typeInto(control<QLineEdit>("EConName"), q(target));
        prompts.questions.clear();
        prompts.choiceAnswers.push_back(answer);
        click("SBOK");
        ASSERT_EQ(prompts.questions.size(), 1);
        EXPECT_EQ(prompts.questions[0], q(target) + " already exists. Replace it?");
        if (std::string_view(answer) == "Cancel") {
            EXPECT_EQ(test::readFile(target), test::bytesOf("old container"));
            EXPECT_TRUE(reviewCommandsEnabled()); // the review stays for another name
        } else {
            EXPECT_EQ(readBack(target, work.path()).rows, kFlatRows);
        }
    }
}

TEST_F(NewContainer, CancelWhileWritingLeavesNoContainerAndKeepsTheReview) {
    const auto target = temp() / "New_DF.Gob";
    test::writeFile(target, std::string_view("old")); // a file of that name from before
    begin(itemOf("df-gob"), source());
    const auto before = filesIn(temp());

    test::WorkerGate gate(window->document().jobs());
    prompts.choiceAnswers.push_back("Replace");
    QTest::mouseClick(button("SBOK"), Qt::LeftButton);
    gate.waitForWorker();
    EXPECT_TRUE(control<QPushButton>("SBCancelJob")->isVisible());
    EXPECT_FALSE(button("SBOK")->isEnabled());
    QTest::mouseClick(control<QPushButton>("SBCancelJob"), Qt::LeftButton);
    gate.release();
    waitForJob();

    EXPECT_EQ(text("SLab"), "Writing cancelled: " + q(target) + " was not written");
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("|").toStdString();
    EXPECT_EQ(test::readFile(target), test::bytesOf("old"));
    EXPECT_EQ(filesIn(temp()), before); // no temporary file left
    EXPECT_EQ(control<QProgressBar>("PBar")->value(), 0);
    EXPECT_TRUE(reviewCommandsEnabled());
    EXPECT_EQ(rows(), kFlatRows);

    // The same review, not cancelled, writes as it always did.
    prompts.choiceAnswers.push_back("Replace");
    click("SBOK");
    EXPECT_EQ(text("SLab"), "Created File " + q(target));
    EXPECT_EQ(readBack(target, work / "back").rows, kFlatRows);
}

TEST_F(NewContainer, TypedFolderAndNameAreTheValuesUsed) {
    chooseKind(itemOf("lab"));
    typeInto(control<QLineEdit>("EGetFiles"), q(source()));
    typeInto(control<QLineEdit>("EConName"), q(work / "typed.lab"));
    QTest::mouseClick(button("SBCreate"), Qt::LeftButton);
    EXPECT_EQ(rows(), kFlatRows);
    click("SBOK");
    EXPECT_EQ(text("SLab"), "Created File " + q(work / "typed.lab"));
    EXPECT_EQ(readBack(work / "typed.lab", work.path()).rows, kFlatRows);
    EXPECT_FALSE(fs::exists(temp() / "New_Lab.Lab"));

    // An empty name is said, not written somewhere unexpected.
    begin(itemOf("lab"), source());
    typeInto(control<QLineEdit>("EConName"), "");
    click("SBOK");
    EXPECT_EQ(prompts.messages, QStringList{" No new filename and path selected"});
    EXPECT_TRUE(reviewCommandsEnabled());
}

TEST_F(NewContainer, TheBrowseButtonsFillTheEditBoxes) {
    chooseKind(itemOf("hog"));
    prompts.fileAnswers.push_back(q(work / "chosen.hog"));
    QTest::mouseClick(button("SBBrowseNewName"), Qt::LeftButton);
    ASSERT_EQ(prompts.dialogs.size(), 1u);
    EXPECT_EQ(prompts.dialogs[0].kind, "save");
    EXPECT_EQ(prompts.dialogs[0].folder, q(temp() / "New_Descent12.Hog")); // starts at the proposed name
    EXPECT_EQ(control<QLineEdit>("EConName")->text(), q(work / "chosen.hog"));

    prompts.fileAnswers.push_back(std::nullopt); // cancelled: the name stays
    QTest::mouseClick(button("SBBrowseNewName"), Qt::LeftButton);
    EXPECT_EQ(control<QLineEdit>("EConName")->text(), q(work / "chosen.hog"));

    prompts.folderAnswers.push_back(std::nullopt);
    QTest::mouseClick(button("SBBrwseFiles"), Qt::LeftButton);
    EXPECT_EQ(prompts.dialogs.back().folder, q(program / "Extracted_Files"));
    EXPECT_TRUE(control<QLineEdit>("EGetFiles")->text().isEmpty());
    EXPECT_FALSE(button("SBCreate")->isEnabled());
    chooseFolder(source());
    EXPECT_EQ(control<QLineEdit>("EGetFiles")->text(), q(source() / ""));
    EXPECT_TRUE(button("SBCreate")->isEnabled());

    QTest::mouseClick(button("SBCreate"), Qt::LeftButton);
    click("SBOK");
    EXPECT_EQ(readBack(work / "chosen.hog", work.path()).rows, kFlatRows);
}

TEST_F(NewContainer, TheWadItemWritesGoBatAndAsksTheDesktopToOpenIt) {
    const auto wadItem = itemOf("hl-wad");
    begin(wadItem, source());
    const auto batch = temp() / "go.bat";
    const auto newPath = (temp() / "New_HL_Wad").string();
    const auto halfLife = (program / "HalfLife").string();
    const auto expected = halfLife + "/makels.exe " + source().string() + " " + newPath + " " + newPath +
                          ".ls\r\n" + halfLife + "/qlumpy.exe " + newPath + ".ls\r\n";
    EXPECT_EQ(test::readFile(batch), test::bytesOf(expected));
    EXPECT_EQ(prompts.openedWithDesktop, QStringList{q(batch)});
    EXPECT_TRUE(prompts.messages.isEmpty());
    // No review: nothing listed, nothing to OK.
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_FALSE(button("SBOK")->isEnabled());
    EXPECT_EQ(currentPage(), "New_C");
    EXPECT_FALSE(fs::exists(temp() / "New_HL_Wad.Wad"));

    // A desktop that cannot open it is told to the user.
    prompts.desktopOpens = false;
    QTest::mouseClick(button("SBCreate"), Qt::LeftButton);
    EXPECT_EQ(prompts.messages, QStringList{"No program is set to open " + q(batch)});
}

TEST_F(NewContainer, CancelOrOpeningAFileEndsTheReview) {
    const auto gob = work / "some.gob";
    begin(itemOf("df-gob"), source());
    click("SBOK");
    fs::rename(temp() / "New_DF.Gob", gob);

    begin(itemOf("jk-gob"), source());
    ASSERT_TRUE(reviewCommandsEnabled());
    click("SBCancel");
    expectIdle();
    EXPECT_EQ(text("SLab"), "");
    EXPECT_FALSE(fs::exists(temp() / "New_JK.Gob"));

    begin(itemOf("jk-gob"), source());
    prompts.fileAnswers.push_back(q(gob));
    trigger("Open1");
    EXPECT_EQ(rows(), kFlatRows); // the opened file's entries, multi-select again
    EXPECT_EQ(LB1()->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_FALSE(window->CreationMode());
    EXPECT_FALSE(button("SBOK")->isEnabled());
    EXPECT_EQ(page->ItemIndex(), -1);
    EXPECT_TRUE(prompts.messages.isEmpty());
}

} // namespace
} // namespace vexa
