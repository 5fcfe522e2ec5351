// The main window, driven through its controls (found by their object names) with scripted Prompts.

#include "WindowFixture.h"
#include "app/extract.h"
#include "app/kinds.h"
#include "base/Files_global.h"
#include "formats/DF_Gob.h"
#include "ui/FileListModel.h"

#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QTabWidget>
#include <QTreeView>

#include <gtest/gtest.h>

#include <map>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::q;

class Window : public test::WindowFixture {
  protected:
    QTreeView* LB1() { return control<QTreeView>("LB1"); }
    QListWidget* LBExt() { return control<QListWidget>("LBExt"); }

    QStringList rows() {
        QStringList out;
        auto* model = LB1()->model();
        for (int i = 0; i < model->rowCount(); ++i)
            out << model->index(i, 0).data().toString();
        return out;
    }
    QStringList extensions() {
        QStringList out;
        for (int i = 0; i < LBExt()->count(); ++i)
            out << LBExt()->item(i)->text();
        return out;
    }
    void clickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        auto* list = LB1();
        list->scrollTo(list->model()->index(row, 0));
        const auto where = list->visualRect(list->model()->index(row, 0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, where);
    }
    void clickExtension(const QString& extension, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        auto* list = LBExt();
        const auto items = list->findItems(extension, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers,
                          list->visualItemRect(items[0]).center());
    }
    bool listCommandsEnabled() {
        return control<QPushButton>("SBExtract")->isEnabled() &&
               control<QPushButton>("SBExtract_All")->isEnabled() &&
               control<QPushButton>("SBExtract_Ext")->isEnabled() &&
               control<QAction>("Extract1")->isEnabled() && control<QAction>("ExtractAll1")->isEnabled() &&
               LBExt()->isVisible();
    }
    bool anyListCommandEnabled() {
        return control<QPushButton>("SBExtract")->isEnabled() ||
               control<QPushButton>("SBExtract_All")->isEnabled() ||
               control<QPushButton>("SBExtract_Ext")->isEnabled() ||
               control<QAction>("Extract1")->isEnabled() || control<QAction>("ExtractAll1")->isEnabled() ||
               LBExt()->isVisible();
    }

    // A DF GOB built by the real writer from a folder of the given files.
    fs::path makeGob(const std::string& name, const std::vector<std::pair<std::string, Bytes>>& entries) {
        const auto source = work / (name + ".src");
        fs::create_directories(source);
        for (const auto& [entry, bytes] : entries)
            test::writeFile(source / entry, bytes);
        const auto path = work / name;
        TDFGobReader().WriteContainer(path, source, GatherFolderFiles(source), nullptr);
        return path;
    }
    // Five entries, gathered (and so listed) in byte order of their names.
    fs::path sampleGob() {
        return makeGob("sample.gob", {{"A.WAV", test::patternBytes(5, 1)},
                                      {"B.VOC", test::patternBytes(7, 2)},
                                      {"C.wav", test::patternBytes(11, 3)},
                                      {"D.LEV", test::patternBytes(13, 4)},
                                      {"README", test::patternBytes(17, 5)}});
    }

    fs::path extractInto(const char* command, bool isAction = false) {
        const auto target = work / ("target" + std::to_string(++targets_));
        fs::create_directories(target);
        prompts.folderAnswers.push_back(q(target));
        if (isAction)
            trigger(command);
        else
            click(command);
        return target;
    }
    static std::vector<std::string> filesIn(const fs::path& folder) {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(folder))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    int targets_ = 0;
};

const QStringList kSampleRows = {"A.WAV", "B.VOC", "C.wav", "D.LEV", "README"};

TEST_F(Window, StartsIdleWithItsPagesAndControlsAndMakesTheFiveFolders) {
    start();
    EXPECT_EQ(window->windowTitle(), "VEXA ver 0.3");
    for (const auto* folder : {"Extracted_Files", "Data", "Help", "Temp", "HalfLife"})
        EXPECT_TRUE(fs::is_directory(program / folder)) << folder;
    auto* pages = control<QTabWidget>("PC1");
    ASSERT_EQ(pages->count(), 3);
    EXPECT_EQ(pages->tabText(0), "Files");
    EXPECT_EQ(pages->tabText(1), "Palettes");
    EXPECT_EQ(pages->tabText(2), "New_C");
    EXPECT_EQ(pages->currentWidget()->objectName(), "Files");
    EXPECT_EQ(pages->widget(1)->objectName(), "Palettes");
    EXPECT_EQ(pages->widget(2)->objectName(), "New_C");
    for (const auto* button : {"SBOK", "SBRemove", "SBExtract", "SBExtract_All", "SBExtract_Ext", "SBCancel"})
        EXPECT_FALSE(control<QPushButton>(button)->isEnabled()) << button;
    EXPECT_FALSE(anyListCommandEnabled());
    EXPECT_EQ(LB1()->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(control<QAction>("Exit1")->text(), "E&xit");
    EXPECT_EQ(control<QPushButton>("SBExtract")->toolTip(), "Extracts the selected items ");
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(Window, OpensADarkForcesGobAndListsItsEntries) {
    const auto gob = sampleGob();
    start();
    open(gob);
    ASSERT_EQ(prompts.dialogs.size(), 1u);
    EXPECT_EQ(prompts.dialogs[0].folder, q(program / "Extracted_Files"));
    EXPECT_EQ(prompts.dialogs[0].filter, "All Files (*)");
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("|").toStdString();
    EXPECT_EQ(window->CurrentType(), ContainerType::DFGob);
    EXPECT_EQ(rows(), kSampleRows);
    EXPECT_EQ(text("SLab"), q(gob) + "   Contains  5 files");
    EXPECT_EQ(extensions(), (QStringList{".LEV", ".VOC", ".WAV"}));
    EXPECT_FALSE(anyListCommandEnabled()); // until the first click on the list
}

TEST_F(Window, AClickShowsTheFirstSelectedEntrysSizeAndEnablesTheCommands) {
    start();
    open(sampleGob());
    clickRow(3);
    EXPECT_EQ(text("FszLab"), "13 Bytes");
    EXPECT_TRUE(listCommandsEnabled());
    clickRow(1, Qt::ControlModifier); // rows 3 and 1: the lowest one's size
    EXPECT_EQ(text("FszLab"), "7 Bytes");
    EXPECT_EQ(control<QPushButton>("SBExtract")->text(), "Extract");
    EXPECT_FALSE(control<QPushButton>("SBOK")->isEnabled());
}

TEST_F(Window, AClickThatSelectsNothingStillEnablesTheCommands) {
    start();
    open(sampleGob());
    auto* list = LB1();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(5, list->viewport()->height() - 3)); // below the last row
    EXPECT_TRUE(list->selectionModel()->selection().isEmpty());
    EXPECT_TRUE(listCommandsEnabled());
    EXPECT_EQ(text("FszLab"), "");
}

TEST_F(Window, MovingTheSelectionWithTheKeyboardCountsAsAClick) {
    start();
    open(sampleGob());
    LB1()->setFocus();
    LB1()->setCurrentIndex(LB1()->model()->index(0, 0));
    EXPECT_FALSE(anyListCommandEnabled());
    QTest::keyClick(LB1(), Qt::Key_Down);
    EXPECT_EQ(LB1()->currentIndex().row(), 1);
    EXPECT_EQ(text("FszLab"), "7 Bytes");
    EXPECT_TRUE(listCommandsEnabled());
}

TEST_F(Window, CancelReturnsToTheIdleState) {
    start();
    open(sampleGob());
    clickRow(0);
    auto* cancel = control<QPushButton>("SBCancel");
    cancel->setEnabled(true); // as the New_C page's review does
    control<QTabWidget>("PC1")->setCurrentIndex(2);
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_EQ(control<QTabWidget>("PC1")->currentWidget()->objectName(), "Files");
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_TRUE(extensions().isEmpty());
    EXPECT_EQ(text("SLab"), "");
    EXPECT_EQ(text("FszLab"), "");
    EXPECT_EQ(window->LiveObject(), nullptr);
    EXPECT_FALSE(anyListCommandEnabled());
    EXPECT_FALSE(cancel->isEnabled());
}

TEST_F(Window, ClicksDoNothingWhileCreationModeIsSet) {
    start();
    open(sampleGob());
    window->SetCreationMode(true);
    clickRow(0);
    EXPECT_FALSE(anyListCommandEnabled());
    EXPECT_EQ(text("FszLab"), "");
}

TEST_F(Window, ExtractWritesExactlyTheSelectedRows) {
    const auto gob = sampleGob();
    start();
    open(gob);
    clickRow(1);
    clickRow(3, Qt::ControlModifier);
    const auto target = extractInto("SBExtract");
    EXPECT_EQ(filesIn(target), (std::vector<std::string>{"B.VOC", "D.LEV"}));
    EXPECT_EQ(filesIn(extractInto("Extract1", true)), filesIn(target)); // the menu item does the same
    EXPECT_EQ(test::readFile(target / "B.VOC"), test::patternBytes(7, 2));
    EXPECT_EQ(test::readFile(target / "D.LEV"), test::patternBytes(13, 4));
    EXPECT_EQ(text("SLab"), "Extraction  Complete");
    EXPECT_EQ(control<QProgressBar>("PBar")->value(), 0);
    EXPECT_EQ(prompts.dialogs.back().title, "Choose Directory");
    EXPECT_EQ(prompts.dialogs.back().folder, q(program / "Extracted_Files"));
    EXPECT_TRUE(prompts.messages.isEmpty());
    // The commands leave the listing as it was and can run again.
    EXPECT_EQ(rows(), kSampleRows);
    EXPECT_EQ(LB1()->selectionModel()->selectedRows().size(), 2);
}

TEST_F(Window, ExtractAllFromTheMenuWritesEveryRow) {
    start();
    open(sampleGob());
    clickRow(0);
    const auto target = extractInto("ExtractAll1", true);
    EXPECT_EQ(filesIn(target), (std::vector<std::string>{"A.WAV", "B.VOC", "C.wav", "D.LEV", "README"}));
    EXPECT_EQ(test::readFile(target / "README"), test::patternBytes(17, 5));
    EXPECT_EQ(text("SLab"), "Extraction  Complete");
}

TEST_F(Window, ExtractExtWritesTheRowsOfTheSelectedExtensionsInAnyLetterCase) {
    start();
    open(sampleGob());
    clickRow(0);
    clickExtension(".WAV");
    clickExtension(".LEV", Qt::ControlModifier);
    const auto target = extractInto("SBExtract_Ext");
    EXPECT_EQ(filesIn(target), (std::vector<std::string>{"A.WAV", "C.wav", "D.LEV"}));
    EXPECT_EQ(text("SLab"), "Extraction  Complete");
}

TEST_F(Window, ExtractExtWithNoExtensionSelectedSaysSoAndAsksNothing) {
    start();
    open(sampleGob());
    clickRow(0);
    const auto dialogs = prompts.dialogs.size();
    click("SBExtract_Ext");
    EXPECT_EQ(text("SLab"), "No File Extension(s) selected");
    EXPECT_EQ(prompts.dialogs.size(), dialogs);
}

TEST_F(Window, NothingToExtractAsksNothingWritesNothingAndSaysWhy) {
    const struct Case {
        const char* what;
        bool empty;      // the empty GOB instead of the sample
        QString pattern; // typed into the filter after row 0 was clicked
        const char* command;
        QString status;
    } cases[] = {
        {"an empty list", true, "", "SBExtract", "No row selected: nothing extracted"},
        {"an empty list, all", true, "", "SBExtract_All", "The list is empty: nothing extracted"},
        {"a selection the filter hides", false, "VOC", "SBExtract",
         "No row selected among those the filter shows: nothing extracted"},
        {"a filter that shows nothing", false, "zzz", "SBExtract_All",
         "The filter shows no rows: nothing extracted"},
        {"an extension the filter hides", false, "VOC", "SBExtract_Ext",
         "No row shown has the selected extension(s): nothing extracted"},
    };
    const auto sample = sampleGob();
    const auto empty = makeGob("empty.gob", {});
    start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        open(c.empty ? empty : sample);
        clickRow(0); // on the empty list: a click on no row
        ASSERT_TRUE(listCommandsEnabled());
        LBExt()->clearSelection();
        if (!c.empty) LBExt()->findItems(".WAV", Qt::MatchExactly).front()->setSelected(true);
        QTest::keyClicks(control<QLineEdit>("EFilter"), c.pattern);
        const auto dialogs = prompts.dialogs.size();
        click(c.command);
        EXPECT_EQ(prompts.dialogs.size(), dialogs);
        EXPECT_EQ(text("SLab"), c.status);
    }
    EXPECT_TRUE(fs::is_empty(program / "Extracted_Files"));
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(Window, CancelledDialogsChangeNothing) {
    const auto gob = sampleGob();
    start();
    open(gob);
    clickRow(2);
    const auto status = text("SLab");

    prompts.fileAnswers.push_back(std::nullopt);
    trigger("Open1");
    EXPECT_EQ(rows(), kSampleRows);
    EXPECT_EQ(window->CurrentType(), ContainerType::DFGob);
    EXPECT_NE(window->LiveObject(), nullptr);
    EXPECT_EQ(LB1()->selectionModel()->selectedRows().size(), 1);

    prompts.folderAnswers.push_back(std::nullopt);
    click("SBExtract_All");
    EXPECT_EQ(text("SLab"), status);
    EXPECT_EQ(control<QProgressBar>("PBar")->value(), 0);
    EXPECT_TRUE(fs::is_empty(program / "Extracted_Files"));
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(Window, LowFreeSpaceAsksFirstAndNoWritesNothing) {
    start();
    open(sampleGob());
    clickRow(0);
    window->setFreeSpaceProbe([](const fs::path&) { return kFreeSpaceThreshold - 1; });

    prompts.questionAnswers.push_back(false);
    const auto refused = extractInto("SBExtract_All");
    ASSERT_EQ(prompts.questions.size(), 1);
    EXPECT_EQ(prompts.questions[0],
              QString::fromStdString(*lowSpaceQuestion(refused, kFreeSpaceThreshold - 1)));
    EXPECT_TRUE(fs::is_empty(refused));
    EXPECT_TRUE(prompts.messages.isEmpty());

    prompts.questionAnswers.push_back(true);
    const auto accepted = extractInto("SBExtract_All");
    EXPECT_EQ(filesIn(accepted).size(), 5u);
}

TEST_F(Window, EntriesThatWouldLeaveTheTargetAreRefusedAndReported) {
    ByteBuilder b;
    b.raw("GOB\n").u32(0);
    b.raw("safe").raw("evil");
    b.patchU32(4, static_cast<std::uint32_t>(b.size()));
    b.u32(2).u32(8).u32(4).name("SAFE.TXT", 13).u32(12).u32(4).name("..\\EVIL.TXT", 13);
    const auto gob = work / "evil.gob";
    test::writeFile(gob, b.bytes());
    start();
    open(gob);
    clickRow(0);
    const auto target = extractInto("SBExtract_All");
    EXPECT_EQ(filesIn(target), (std::vector<std::string>{"SAFE.TXT"}));
    EXPECT_FALSE(fs::exists(work / "EVIL.TXT"));
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].contains("..\\EVIL.TXT")) << prompts.messages[0].toStdString();
    EXPECT_NE(text("SLab"), "Extraction  Complete");
}

TEST_F(Window, AnErrorWhileExtractingEndsTheCommandWithItsMessage) {
    const auto gob = sampleGob();
    start();
    open(gob);
    clickRow(0);
    // A target folder gone by the time the run writes: its first output cannot be created.
    const auto status = text("SLab");
    const auto target = work / "gone";
    prompts.folderAnswers.push_back(q(target));
    click("SBExtract_All");
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].startsWith("Cannot create file " + q(target)))
        << prompts.messages[0].toStdString();
    EXPECT_EQ(text("SLab"), status);
    EXPECT_EQ(control<QProgressBar>("PBar")->value(), 0);
    EXPECT_FALSE(fs::exists(target));
    // The window stays usable.
    open(sampleGob());
    EXPECT_EQ(rows(), kSampleRows);
}

TEST_F(Window, OpeningASecondFileReplacesTheListing) {
    start();
    open(sampleGob());
    clickRow(0);
    const auto second = makeGob("second.gob", {{"X.BM", Bytes(3, 9)}});
    open(second);
    EXPECT_EQ(rows(), QStringList{"X.BM"});
    EXPECT_EQ(extensions(), QStringList{".BM"});
    EXPECT_EQ(text("SLab"), q(second) + "   Contains  1 files");
    EXPECT_EQ(text("FszLab"), "");
    EXPECT_FALSE(anyListCommandEnabled());
}

TEST_F(Window, AnUnknownKindSaysSoAndLeavesTheWindowIdle) {
    start();
    open(sampleGob());
    clickRow(0);
    const auto unknown = work / "notes.bin";
    test::writeFile(unknown, std::string_view("ZZZZ not a container"));
    open(unknown);
    EXPECT_EQ(prompts.messages, QStringList{"Sorry do not know that file type"});
    EXPECT_EQ(window->CurrentType(), ContainerType::Unknown);
    EXPECT_EQ(window->LiveObject(), nullptr);
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_TRUE(extensions().isEmpty());
    EXPECT_EQ(text("SLab"), "");
    EXPECT_FALSE(anyListCommandEnabled());
}

TEST_F(Window, AKnownKindThisBuildCannotOpenYetGivesAMessageNotACrash) {
    const ContainerKind* missing = nullptr;
    for (const auto* kind : containerKinds())
        if (!kind->createReader && !kind->createDecoder) missing = kind;
    if (!missing) GTEST_SKIP() << "every kind of the registry has its class in this build";

    fs::path file;
    if (!missing->extension.empty()) {
        file = work / ("sample" + std::string(missing->extension));
        test::writeFile(file, std::string_view("whatever"));
    } else {
        file = work / "sample.dat";
        test::writeFile(file, std::string(missing->signatures[0]) + std::string(64, '\0'));
    }
    start();
    open(file);
    EXPECT_EQ(window->CurrentType(), missing->code);
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_FALSE(prompts.messages[0].isEmpty());
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_FALSE(anyListCommandEnabled());
    open(sampleGob());
    EXPECT_EQ(rows(), kSampleRows);
}

TEST_F(Window, AFileThatCannotBeReadLeavesTheListingAsItWas) {
    start();
    const auto gob = sampleGob();
    open(gob);
    open(work / "gone.gob");
    EXPECT_EQ(prompts.messages,
              QStringList{"Cannot open file " + q(work / "gone.gob") + ": No such file or directory"});
    EXPECT_EQ(rows(), kSampleRows);
    EXPECT_EQ(text("SLab"), q(gob) + "   Contains  5 files");
}

TEST_F(Window, ADamagedContainerGivesItsMessageAndAnEmptyList) {
    ByteBuilder b;
    b.raw("GOB\n").u32(8).u32(1000).u32(8).u32(1).name("BIG.DAT", 13); // 1000 records, room for one
    test::writeFile(work / "damaged.gob", b.bytes());
    start();
    open(work / "damaged.gob");
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].contains("1000 directory records")) << prompts.messages[0].toStdString();
    EXPECT_TRUE(rows().isEmpty());
}

TEST_F(Window, ACommandLinePathIsListedAtStart) {
    const auto gob = sampleGob();
    start({q(gob)});
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(prompts.messages.isEmpty());
    EXPECT_EQ(rows(), kSampleRows);
    EXPECT_EQ(text("SLab"), q(gob) + "   Contains  5 files");
    EXPECT_EQ(extensions(), (QStringList{".LEV", ".VOC", ".WAV"}));
    clickRow(4);
    EXPECT_EQ(text("FszLab"), "17 Bytes");
}

TEST_F(Window, AMissingCommandLinePathGivesOneMessageAndAnEmptyWindow) {
    start({q(work / "missing.gob"), "ignored"});
    EXPECT_EQ(prompts.messages, QStringList{"Canot handle that file"});
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(window->LiveObject(), nullptr);
    EXPECT_FALSE(anyListCommandEnabled());
}

TEST_F(Window, ClosingWithFilesInTempAsksOnceAndYesDeletesThemAll) {
    start();
    test::writeFile(program / "Temp" / "a.tmp", std::string_view("a"));
    test::writeFile(program / "Temp" / "NoDot", std::string_view("b"));
    test::writeFile(program / "Temp" / "sub" / "kept.txt", std::string_view("c"));
    prompts.questionAnswers.push_back(true);
    window->close();
    EXPECT_EQ(prompts.questions, QStringList{"Delete Files in " + q(program / "Temp" / "") + " directory ?"});
    EXPECT_FALSE(fs::exists(program / "Temp" / "a.tmp"));
    EXPECT_FALSE(fs::exists(program / "Temp" / "NoDot"));
    EXPECT_TRUE(fs::exists(program / "Temp" / "sub" / "kept.txt"));
    EXPECT_FALSE(window->isVisible());
}

TEST_F(Window, ClosingAndAnsweringNoKeepsTheTempFiles) {
    start();
    open(sampleGob());
    test::writeFile(program / "Temp" / "a.tmp", std::string_view("a"));
    prompts.questionAnswers.push_back(false);
    window->close();
    EXPECT_EQ(prompts.questions.size(), 1);
    EXPECT_TRUE(fs::exists(program / "Temp" / "a.tmp"));
    EXPECT_EQ(window->LiveObject(), nullptr);
    EXPECT_FALSE(window->isVisible());
}

TEST_F(Window, ClosingWithAnEmptyTempAsksNothing) {
    start();
    fs::create_directories(program / "Temp" / "sub");
    trigger("Exit1");
    EXPECT_TRUE(prompts.questions.isEmpty());
    EXPECT_FALSE(window->isVisible());
}

TEST_F(Window, HelpContentsWithoutThePageSaysWhichFileIsMissing) {
    start();
    trigger("Contents1");
    EXPECT_EQ(prompts.messages, QStringList{"Missing File " + q(program / "Help" / "index.html")});
    EXPECT_TRUE(prompts.openedWithDesktop.isEmpty());
}

TEST_F(Window, HelpContentsOpensThePageWithTheDesktop) {
    start();
    const auto page = q(program / "Help" / "index.html");
    test::writeFile(program / "Help" / "index.html", std::string_view("<html></html>"));
    trigger("Contents1");
    EXPECT_EQ(prompts.openedWithDesktop, QStringList{page});
    EXPECT_TRUE(prompts.messages.isEmpty());

    // The page is there, but nothing on this desktop opens it: that is what is said.
    prompts.desktopOpens = false;
    trigger("Contents1");
    EXPECT_EQ(prompts.messages, QStringList{"No program is set to open " + page});
}

TEST_F(Window, AboutHasNameCreditsAndAPointerToContents) {
    start();
    trigger("About1");
    ASSERT_EQ(prompts.messages.size(), 1);
    const auto lines = prompts.messages[0].split("\n\r");
    ASSERT_GE(lines.size(), 5);
    EXPECT_TRUE(lines.first().startsWith("VEXA"));
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[lines.size() - 2], "");
    EXPECT_TRUE(lines.last().contains("Contents"));
    // Every break is a line feed followed by a carriage return, never the other way round.
    EXPECT_EQ(prompts.messages[0].count('\n'), lines.size() - 1);
    EXPECT_EQ(prompts.messages[0].count('\r'), lines.size() - 1);
}

TEST_F(Window, AnImageFolderListsItsImagesAndConvertsThemWithTheGamesPalette) {
    const Bytes wall = {1, 2, 3, 4, 5, 6}, door = {9, 8, 7, 6};
    const auto folder = work / "textures";
    test::writeFile(folder / "WALL.BM", test::dfPlainBm(3, 2, wall));
    test::writeFile(folder / "door.bm", test::dfPlainBm(2, 2, door));
    test::writeFile(folder / "notes.txt", std::string_view("not an image"));
    start();
    open(folder / "WALL.BM");
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("|").toStdString();
    EXPECT_EQ(window->CurrentType(), ContainerType::DFBm);
    EXPECT_EQ(rows(), (QStringList{"door.bm", "WALL.BM"}));
    EXPECT_EQ(control<QPushButton>("SBExtract")->text(), "Extract"); // until the first click

    clickRow(1);
    EXPECT_EQ(control<QPushButton>("SBExtract")->text(), "Img > bmp");
    EXPECT_EQ(control<QPushButton>("SBExtract_All")->text(), "Img > bmp All");
    EXPECT_EQ(text("FszLab"), ""); // an image row has no size to show
    EXPECT_TRUE(listCommandsEnabled());

    const auto one = extractInto("SBExtract");
    EXPECT_EQ(filesIn(one), std::vector<std::string>{"WALL.bmp"});
    const auto all = extractInto("SBExtract_All");
    EXPECT_EQ(filesIn(all), (std::vector<std::string>{"WALL.bmp", "door.bmp"}));
    // Coloured with the Dark Forces palette the window loaded at start.
    EXPECT_EQ(test::readFile(all / "WALL.bmp"), test::expectedBmp(3, 2, wall, defaultPalette(0)));
    EXPECT_EQ(test::readFile(all / "door.bmp"), test::expectedBmp(2, 2, door, defaultPalette(0)));
    // The default Dark Forces palette is a stand-in, and the status line says so, once.
    EXPECT_TRUE(
        text("SLab").startsWith("Extraction  Complete - Painted with a placeholder (DarkForces BM palette"))
        << text("SLab").toStdString();
    EXPECT_EQ(text("SLab").count("placeholder"), 1);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("|").toStdString();

    // A container opened next has the plain captions back.
    open(sampleGob());
    EXPECT_EQ(control<QPushButton>("SBExtract")->text(), "Extract");
    EXPECT_EQ(control<QPushButton>("SBExtract_All")->text(), "Extract All");
}

TEST_F(Window, AHundredThousandEntriesAreListedAndReachable) {
    constexpr std::uint32_t count = 100'000;
    ByteBuilder b;
    b.raw("GOB\n").u32(8).u32(count);
    for (std::uint32_t i = 0; i < count; ++i)
        b.u32(8).u32(0).name("F" + std::to_string(i) + ".DAT", 13);
    test::writeFile(work / "big.gob", b.bytes());
    start();
    open(work / "big.gob");
    EXPECT_EQ(LB1()->model()->rowCount(), static_cast<int>(count));
    EXPECT_EQ(text("SLab"), q(work / "big.gob") + "   Contains  100000 files");
    clickRow(count - 1);
    EXPECT_EQ(LB1()->currentIndex().data().toString(), "F99999.DAT");
    EXPECT_EQ(text("FszLab"), "0 Bytes");
}

} // namespace
} // namespace vexa
