// Containers inside containers in the window, driven offscreen: Enter and a double-click open a row that
// is a container in place, the breadcrumb and its keys go back up with the entry left selected, and the
// inner container extracts and stays read only.

#include "WindowFixture.h"
#include "support/game_tree.h"
#include "ui/Breadcrumb.h"
#include "ui/FilesPage.h"
#include "ui/FindDialog.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QToolButton>
#include <QTreeView>
#include <QTreeWidget>

namespace vexa {
namespace {

using test::WindowFixture;

// A double-click as a hand makes it: a click, then the second press that the system reports as one.
void doubleClick(QWidget* widget, const QPoint& at) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
}

// Where VEXA_SHOTS names a folder, the widget as it is now, saved there (run under a real display for
// pictures of the window as a person sees it).
void shot(QWidget* widget, const char* name) {
    const auto folder = qEnvironmentVariable("VEXA_SHOTS");
    if (!folder.isEmpty()) widget->grab().save(folder + "/" + name);
}

class NestedWindow : public WindowFixture {
  protected:
    fs::path game() {
        const auto root = work / "game";
        if (!fs::exists(root)) test::writeGameTree(root);
        return root;
    }
    QTreeView* list() { return control<QTreeView>("LB1"); }
    ui::Breadcrumb* crumbs() { return control<ui::Breadcrumb>("Breadcrumb"); }
    std::string firstRow() { return window->LiveObject()->EntryName(0); }
    // The row of entry, current and selected, as a click leaves it.
    QModelIndex rowOf(std::size_t entry) {
        window->findChild<ui::FilesPage*>()->selectEntries({entry});
        return list()->currentIndex();
    }
    void pressOn(std::size_t entry, Qt::Key key) {
        rowOf(entry);
        list()->setFocus();
        QTest::keyClick(list(), key);
        waitForJob();
    }
    void doubleClickOn(std::size_t entry) {
        const auto index = rowOf(entry);
        list()->doItemsLayout(); // rows shown a moment ago have their places now
        const auto rect = list()->visualRect(index);
        ASSERT_TRUE(rect.isValid()) << "no row for entry " << entry;
        doubleClick(list()->viewport(), rect.center());
        waitForJob();
    }
    void keyOnWindow(QKeyCombination key) {
        QTest::keyClick(window.get(), key.key(), key.keyboardModifiers());
        waitForJob();
    }
};

TEST_F(NestedWindow, ARowThatIsAContainerOpensInPlaceAndTheBreadcrumbGoesBackUp) {
    start();
    open(game() / "id1" / "pak1.pak");
    EXPECT_FALSE(crumbs()->isVisible());
    EXPECT_TRUE(control<QMenu>("Edit1")->menuAction()->isVisible()) << "a PAK of its own is edited";

    pressOn(0, Qt::Key_Return); // mod\inner.pak
    EXPECT_EQ(window->CurrentType(), ContainerType::Pak);
    EXPECT_EQ(firstRow(), "deep.wad");
    doubleClickOn(0); // deep.wad
    EXPECT_EQ(window->CurrentType(), ContainerType::Q1Wad2);
    EXPECT_EQ(firstRow(), "WALL9");
    EXPECT_TRUE(crumbs()->isVisible());
    EXPECT_EQ(crumbs()->text(), QStringLiteral("pak1.pak \u203a mod \u203a inner.pak \u203a deep.wad"));
    EXPECT_EQ(window->windowTitle(), "VEXA ver 0.3 - pak1.pak/mod\\inner.pak/deep.wad");
    EXPECT_FALSE(control<QMenu>("Edit1")->menuAction()->isVisible()) << "an entry is read only";
    shot(window.get(), "breadcrumb-nested.png");

    // Each way back up: the level above, the entry it was left by selected again.
    keyOnWindow(Qt::Key_Backspace);
    EXPECT_EQ(firstRow(), "deep.wad");
    EXPECT_EQ(window->findChild<ui::FilesPage*>()->selectedEntries(), std::vector<std::size_t>{0});
    doubleClickOn(0);
    QTest::mouseClick(control<QToolButton>("BreadcrumbLevel0"), Qt::LeftButton);
    waitForJob();
    EXPECT_EQ(firstRow(), "mod\\inner.pak");
    EXPECT_FALSE(crumbs()->isVisible());
    EXPECT_TRUE(control<QMenu>("Edit1")->menuAction()->isVisible());
    pressOn(0, Qt::Key_Enter);
    keyOnWindow(Qt::ALT | Qt::Key_Up);
    EXPECT_EQ(firstRow(), "mod\\inner.pak");
    EXPECT_EQ(window->windowTitle(), "VEXA ver 0.3 - pak1.pak");
    keyOnWindow(Qt::ALT | Qt::Key_Up); // at the file: nothing above
    EXPECT_EQ(firstRow(), "mod\\inner.pak");
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("\n").toStdString();
}

TEST_F(NestedWindow, RowsOfOtherContentsAndDamagedContainersStayWhereTheyAre) {
    start();
    const auto path = work / "mixed.pak";
    test::writeFile(path, test::pakOf({{"readme.txt", test::bytesOf("hello")},
                                       {"bad.wad", test::ByteBuilder().raw("WAD2").u32(900).u32(12).bytes()},
                                       {"gfx.wad", test::wad2Of({"WALL1"})}}));
    open(path);
    const struct {
        std::size_t entry;
        bool message; // the user is told why it did not open
    } cases[] = {{0, false}, {1, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry);
        prompts.messages.clear();
        doubleClickOn(c.entry);
        EXPECT_EQ(window->CurrentType(), ContainerType::Pak);
        EXPECT_EQ(firstRow(), "readme.txt");
        EXPECT_EQ(prompts.messages.size(), c.message ? 1 : 0);
    }
}

TEST_F(NestedWindow, AnInnerContainerExtractsAsAFileWould) {
    start();
    open(game() / "id1" / "pak0.pak");
    pressOn(1, Qt::Key_Return); // maps\e1m1.bsp
    ASSERT_EQ(window->CurrentType(), ContainerType::Q1Bsp);
    EXPECT_EQ(crumbs()->text(), QStringLiteral("pak0.pak \u203a maps \u203a e1m1.bsp"));
    // A click on a row gives the list's commands, as after any open.
    const auto index = rowOf(0);
    list()->doItemsLayout();
    QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualRect(index).center());
    const auto target = work / "out";
    fs::create_directories(target);
    prompts.folderAnswers.push_back(test::q(target));
    click("SBExtract_All");
    EXPECT_EQ(test::namesIn(target), std::vector<std::string>{"wall_floor.bmp"})
        << prompts.messages.join("\n").toStdString() << " / " << text("SLab").toStdString();
}

class FindInFolder : public NestedWindow {
  protected:
    ui::FindDialog* dialog() { return window->findChild<ui::FindDialog*>("FindDialog"); }
    QTreeWidget* results() { return dialog()->findChild<QTreeWidget*>("LVResults"); }
    // Runs a search with the dialog's fields and waits for its end.
    void search(const fs::path& folder, const QString& pattern, const QString& content = "any") {
        dialog()->findChild<QLineEdit*>("EFolder")->setText(test::q(folder));
        dialog()->findChild<QLineEdit*>("EPattern")->setText(pattern);
        dialog()->findChild<QComboBox*>("CBContent")->setCurrentText(content);
        QTest::mouseClick(dialog()->findChild<QPushButton*>("SBFind"), Qt::LeftButton);
        EXPECT_TRUE(waitWhile([this] { return dialog()->searching(); })) << "the search did not end";
    }
    QStringList rows() {
        QStringList shown;
        const auto prefix = test::q(work / "game") + "/";
        for (int i = 0; i < results()->topLevelItemCount(); ++i) {
            const auto* item = results()->topLevelItem(i);
            shown << item->text(0).mid(prefix.size()) + " | " + item->text(1) + " | " + item->text(2) +
                         " | " + item->text(3);
        }
        return shown;
    }
};

TEST_F(FindInFolder, ResultsStreamInAndADoubleClickOpensTheirContainer) {
    start();
    const auto root = game();
    trigger("FindInFolder1");
    ASSERT_NE(dialog(), nullptr);
    EXPECT_EQ(control<QAction>("FindInFolder1")->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+F")));
    const struct {
        QString pattern, content;
        QStringList rows;
    } cases[] = {
        {"wall?",
         "picture",
         {"id1/pak0.pak/gfx.wad | WALL1 | 464 | picture", "id1/pak0.pak/gfx.wad | WALL2 | 464 | picture",
          "id1/pak0.pak/maps/e1m1.bsp | wall_floor | 380 | picture",
          "id1/pak1.pak/mod/inner.pak/deep.wad | WALL9 | 464 | picture"}},
        {"",
         "container",
         {"dark/dark.gob | SECBASE.LFD | 93 | container", "id1/pak0.pak | gfx.wad | 1004 | container",
          "id1/pak0.pak | maps\\e1m1.bsp | 596 | container",
          "id1/pak1.pak | mod\\inner.pak | 584 | container",
          "id1/pak1.pak/mod/inner.pak | deep.wad | 508 | container",
          "renamed.dat | sky.wad | 508 | container"}},
        {"nothing like it", "any", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pattern.toStdString());
        search(root, c.pattern, c.content);
        EXPECT_EQ(rows(), c.rows);
        EXPECT_TRUE(dialog()->findChild<QLabel*>("FindProgress")->text().contains("found in 5 files"))
            << dialog()->findChild<QLabel*>("FindProgress")->text().toStdString();
    }

    search(root, "wall", "picture");
    shot(dialog(), "find-dialog-results.png");
    search(root, "wall9");
    ASSERT_EQ(results()->topLevelItemCount(), 1);
    auto* hit = results()->topLevelItem(0);
    doubleClick(results()->viewport(), results()->visualItemRect(hit).center());
    waitForJob();
    EXPECT_EQ(window->CurrentType(), ContainerType::Q1Wad2);
    EXPECT_EQ(window->findChild<ui::FilesPage*>()->selectedEntries(), std::vector<std::size_t>{0});
    EXPECT_EQ(crumbs()->text(), QStringLiteral("pak1.pak \u203a mod \u203a inner.pak \u203a deep.wad"));
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("\n").toStdString();
}

TEST_F(FindInFolder, CancelStopsASearchAndWhatItFoundStays) {
    start();
    // Enough files that the search is still going when Cancel is pressed.
    for (int i = 0; i < 300; ++i)
        test::writeFile(work / "many" / (std::to_string(1000 + i) + ".pak"),
                        test::pakOf({{"t.wad", test::wad2Of({"WALL" + std::to_string(i)})}}));
    trigger("FindInFolder1");
    dialog()->findChild<QLineEdit*>("EFolder")->setText(test::q(work / "many"));
    dialog()->findChild<QLineEdit*>("EPattern")->setText("wall");
    QTest::mouseClick(dialog()->findChild<QPushButton*>("SBFind"), Qt::LeftButton);
    EXPECT_TRUE(waitWhile([this] { return results()->topLevelItemCount() == 0 && dialog()->searching(); }));
    QTest::mouseClick(dialog()->findChild<QPushButton*>("SBCancelFind"), Qt::LeftButton);
    EXPECT_FALSE(dialog()->searching());
    const auto kept = results()->topLevelItemCount();
    QTest::qWait(50); // nothing of the cancelled search comes in after it
    EXPECT_EQ(results()->topLevelItemCount(), kept);
    EXPECT_GT(kept, 0);
    if (kept == 300) GTEST_SKIP() << "the search ended before Cancel was pressed: nothing was cancelled";
    EXPECT_TRUE(dialog()->findChild<QLabel*>("FindProgress")->text().contains("cancelled"));
}

} // namespace
} // namespace vexa
