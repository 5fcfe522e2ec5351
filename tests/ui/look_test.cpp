// Looking before extracting: the filter field, sorting by a column, the preview, drag and drop, and
// jobs off the window's thread with their Cancel button, driven through the real window.

#include "WindowFixture.h"
#include "base/Files_global.h"
#include "formats/DF_Gob.h"
#include "formats/texture_builders.h"
#include "ui/BackgroundJob.h"
#include "ui/FileListModel.h"
#include "ui/FilesPage.h"
#include "ui/PreviewPane.h"
#include "ui/QtText.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTreeView>
#include <QUrl>

#include <gtest/gtest.h>

#include <map>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::q;

// Entry indices and the rows a filter or a sort shows differ on purpose: extracting view row n
// as entry n is the fault these tests are after.
struct Entry {
    std::string name;
    Bytes bytes;
};
const std::vector<Entry> kEntries = {
    {"A_MAP.LEV", test::patternBytes(30, 1)},  {"B_SND.VOC", test::patternBytes(10, 2)},
    {"C_MAP.LEV", test::patternBytes(20, 3)},  {"D_TXT.TXT", test::bytesOf("hi\nyo")},
    {"E_MAP.LEV", test::patternBytes(100, 5)}, {"f_snd.voc", test::patternBytes(15, 6)},
};

class Look : public test::WindowFixture {
  protected:
    QTreeView* LB1() { return control<QTreeView>("LB1"); }
    QLineEdit* filterField() { return control<QLineEdit>("EFilter"); }
    ui::PreviewPane* pane() { return control<ui::PreviewPane>("PreviewPane"); }

    QStringList rows() {
        QStringList out;
        auto* model = LB1()->model();
        for (int i = 0; i < model->rowCount(); ++i)
            out << model->index(i, 0).data().toString();
        return out;
    }
    void filter(const QString& pattern) {
        filterField()->clear();
        QTest::keyClicks(filterField(), pattern); // as typed, one key at a time
    }
    void clickHeader(int column, int times = 1) {
        auto* header = LB1()->header();
        for (int i = 0; i < times; ++i) {
            const int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
            QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier,
                              QPoint(x, header->height() / 2));
        }
    }
    void clickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        auto* list = LB1();
        const auto index = list->model()->index(row, 0);
        list->scrollTo(index);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, modifiers, list->visualRect(index).center());
    }
    void previewRow(int row) {
        clickRow(row);
        waitForPreview();
    }

    fs::path makeGob(const std::string& name, const std::vector<Entry>& entries) {
        const auto source = work / (name + ".src");
        fs::create_directories(source);
        for (const auto& e : entries)
            test::writeFile(source / e.name, e.bytes);
        const auto path = work / name;
        TDFGobReader().WriteContainer(path, source, GatherFolderFiles(source), nullptr);
        return path;
    }
    fs::path sampleGob() { return makeGob("look.gob", kEntries); }

    fs::path newTarget() {
        const auto target = work / ("target" + std::to_string(++targets_));
        fs::create_directories(target);
        return target;
    }
    fs::path extractInto(const char* command, bool isAction = false) {
        const auto target = newTarget();
        prompts.folderAnswers.push_back(q(target));
        if (isAction)
            trigger(command);
        else
            click(command);
        return target;
    }
    static std::map<std::string, Bytes> filesIn(const fs::path& folder) {
        std::map<std::string, Bytes> files;
        for (const auto& e : fs::recursive_directory_iterator(folder))
            if (e.is_regular_file())
                files[fs::relative(e.path(), folder).string()] = test::readFile(e.path());
        return files;
    }
    static std::map<std::string, Bytes> entriesNamed(const std::vector<std::string>& names) {
        std::map<std::string, Bytes> files;
        for (const auto& name : names)
            for (const auto& e : kEntries)
                if (e.name == name) files[name] = e.bytes;
        return files;
    }

  private:
    int targets_ = 0;
};

TEST_F(Look, FilterAndSortKeepExtractionOnTheEntriesTheRowsShow) {
    const struct Case {
        const char* what;
        QString pattern;
        int column, headerClicks; // column -1: archive order
        std::vector<int> clicked; // view rows, the first a plain click, the others with Ctrl
        QStringList shown;
        std::vector<std::string> extracted;
        QString size; // the size label: of the selected row shown highest
    } cases[] = {
        {"substring in any case",
         "map",
         -1,
         0,
         {1},
         {"A_MAP.LEV", "C_MAP.LEV", "E_MAP.LEV"},
         {"C_MAP.LEV"},
         "20 Bytes"},
        {"wildcards", "?_snd*", -1, 0, {1}, {"B_SND.VOC", "f_snd.voc"}, {"f_snd.voc"}, "15 Bytes"},
        {"sorted by size, numerically",
         "",
         ui::FileListModel::Size,
         1,
         {2},
         {"D_TXT.TXT", "B_SND.VOC", "f_snd.voc", "C_MAP.LEV", "A_MAP.LEV", "E_MAP.LEV"},
         {"f_snd.voc"},
         "15 Bytes"},
        {"sorted by size, descending",
         "",
         ui::FileListModel::Size,
         2,
         {0, 5},
         {"E_MAP.LEV", "A_MAP.LEV", "C_MAP.LEV", "f_snd.voc", "B_SND.VOC", "D_TXT.TXT"},
         {"D_TXT.TXT", "E_MAP.LEV"},
         "100 Bytes"},
        {"filtered and sorted by name, descending",
         "_MAP",
         ui::FileListModel::Name,
         2,
         {0, 2},
         {"E_MAP.LEV", "C_MAP.LEV", "A_MAP.LEV"},
         {"A_MAP.LEV", "E_MAP.LEV"},
         "100 Bytes"},
        {"a third click puts archive order back",
         "",
         ui::FileListModel::Offset,
         3,
         {1},
         {"A_MAP.LEV", "B_SND.VOC", "C_MAP.LEV", "D_TXT.TXT", "E_MAP.LEV", "f_snd.voc"},
         {"B_SND.VOC"},
         "10 Bytes"},
    };
    start();
    open(sampleGob());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        filter(c.pattern);
        LB1()->clearSelection();
        if (c.column >= 0) clickHeader(c.column, c.headerClicks);
        ASSERT_EQ(rows(), c.shown);
        for (std::size_t i = 0; i < c.clicked.size(); ++i)
            clickRow(c.clicked[i], i == 0 ? Qt::NoModifier : Qt::ControlModifier);
        EXPECT_EQ(text("FszLab"), c.size);
        const auto target = extractInto("SBExtract");
        EXPECT_EQ(filesIn(target), entriesNamed(c.extracted));
        EXPECT_EQ(text("SLab"), "Extraction  Complete");
        // What the rows show is left as it was.
        EXPECT_EQ(rows(), c.shown);
        if (c.column >= 0 && c.headerClicks < 3) clickHeader(c.column, 3 - c.headerClicks);
    }
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("|").toStdString();
}

TEST_F(Look, ASortStaysWhileAFilterIsTypedAndCleared) {
    const struct Case {
        const char* what;
        int column, headerClicks;
        QString pattern;
        QStringList filtered, all;
    } cases[] = {
        {"size, descending",
         ui::FileListModel::Size,
         2,
         "_s",
         {"f_snd.voc", "B_SND.VOC"},
         {"E_MAP.LEV", "A_MAP.LEV", "C_MAP.LEV", "f_snd.voc", "B_SND.VOC", "D_TXT.TXT"}},
        {"name, descending",
         ui::FileListModel::Name,
         2,
         "map",
         {"E_MAP.LEV", "C_MAP.LEV", "A_MAP.LEV"},
         {"f_snd.voc", "E_MAP.LEV", "D_TXT.TXT", "C_MAP.LEV", "B_SND.VOC", "A_MAP.LEV"}},
    };
    start();
    open(sampleGob());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        clickHeader(c.column, c.headerClicks);
        ASSERT_EQ(rows(), c.all);
        filter(c.pattern);
        EXPECT_EQ(rows(), c.filtered);
        // The rows the filter lets back in take their places in the order the header shows.
        for (int i = 0; i < c.pattern.size(); ++i)
            QTest::keyClick(filterField(), Qt::Key_Backspace);
        EXPECT_EQ(rows(), c.all);
        clickHeader(c.column, 3 - c.headerClicks);
    }
}

TEST_F(Look, ThePreviewTakesRoomOnlyOnceThereIsSomethingToShow) {
    const auto gob = makeGob("view.gob", {{"A_MAP.LEV", test::patternBytes(30, 1)},
                                          {"B.VOC", test::patternBytes(300, 2)},
                                          {"C_MAP.LEV", test::patternBytes(20, 3)}});
    start();
    open(gob);
    // The default size: nothing clicked yet, so the list has the page.
    EXPECT_TRUE(pane()->isHidden());
    EXPECT_GT(LB1()->height(), control<QWidget>("Files")->height() * 3 / 4);

    // A hex view keeps its printable column in sight, by fewer bytes a line where it is narrow.
    previewRow(1);
    ASSERT_TRUE(pane()->isVisible());
    auto* hex = control<QPlainTextEdit>("PreviewText");
    const auto fits = [&] {
        const auto lines = hex->toPlainText().split('\n', Qt::SkipEmptyParts);
        return !lines.isEmpty() &&
               hex->fontMetrics().horizontalAdvance(lines[0]) <= hex->viewport()->width() &&
               lines[0].endsWith('|');
    };
    EXPECT_LT(pane()->hexBytesPerLine(), 16u);
    EXPECT_TRUE(fits()) << hex->toPlainText().toStdString();
    window->resize(1800, 700);
    QTest::qWait(20);
    EXPECT_EQ(pane()->hexBytesPerLine(), 16u);
    EXPECT_TRUE(fits());

    // A filter that hides the row shown takes its preview away; one that keeps it leaves it.
    previewRow(0);
    filter("MAP");
    waitForPreview();
    ASSERT_TRUE(pane()->showsEntry());
    filter("C_");
    waitForPreview();
    EXPECT_FALSE(pane()->showsEntry());
    EXPECT_TRUE(pane()->isHidden());
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("|").toStdString();
}

TEST_F(Look, ExtractAllWithAFilterExtractsWhatIsShownAndSaysSoInItsCaption) {
    start();
    open(sampleGob());
    clickRow(0);
    auto* all = control<QPushButton>("SBExtract_All");
    auto* menu = control<QAction>("ExtractAll1");
    EXPECT_EQ(all->text(), "Extract All");

    filter("LEV");
    EXPECT_EQ(all->text(), "Extract Shown");
    EXPECT_EQ(menu->text(), "Extract S&hown");
    EXPECT_EQ(control<QPushButton>("SBExtract")->text(), "Extract");
    clickHeader(ui::FileListModel::Size, 2); // the order shown does not matter
    EXPECT_EQ(filesIn(extractInto("SBExtract_All")), entriesNamed({"A_MAP.LEV", "C_MAP.LEV", "E_MAP.LEV"}));
    EXPECT_EQ(filesIn(extractInto("ExtractAll1", true)),
              entriesNamed({"A_MAP.LEV", "C_MAP.LEV", "E_MAP.LEV"}));
    EXPECT_EQ(text("SLab"), "Extraction  Complete");

    // Extract Ext takes the shown rows of the chosen extensions.
    filter("a_");
    auto* extensions = control<QListWidget>("LBExt");
    extensions->findItems(".LEV", Qt::MatchExactly).front()->setSelected(true);
    extensions->findItems(".VOC", Qt::MatchExactly).front()->setSelected(true);
    EXPECT_EQ(filesIn(extractInto("SBExtract_Ext")), entriesNamed({"A_MAP.LEV"}));

    // A filter that shows nothing extracts nothing and asks nothing.
    filter("zzz");
    EXPECT_TRUE(rows().isEmpty());
    const auto dialogs = prompts.dialogs.size();
    click("SBExtract_All");
    EXPECT_EQ(prompts.dialogs.size(), dialogs);

    // No filter: every row, and the captions as they always were.
    filterField()->clear();
    EXPECT_EQ(all->text(), "Extract All");
    EXPECT_EQ(menu->text(), "Extract &All");
    EXPECT_EQ(filesIn(extractInto("SBExtract_All")).size(), kEntries.size());
    EXPECT_EQ(filesIn(extractInto("SBExtract_Ext")),
              entriesNamed({"A_MAP.LEV", "B_SND.VOC", "C_MAP.LEV", "E_MAP.LEV", "f_snd.voc"}));

    // A new open starts unfiltered.
    filter("map");
    open(sampleGob());
    EXPECT_TRUE(filterField()->text().isEmpty());
    EXPECT_EQ(rows().size(), static_cast<int>(kEntries.size()));
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("|").toStdString();
}

TEST_F(Look, ImageListingsSayShownInTheirOwnCaption) {
    const auto folder = work / "pics";
    test::writeFile(folder / "WALL.BM", test::dfPlainBm(2, 2, Bytes{1, 2, 3, 4}));
    test::writeFile(folder / "DOOR.BM", test::dfPlainBm(2, 2, Bytes{5, 6, 7, 8}));
    start();
    open(folder / "WALL.BM");
    clickRow(0);
    EXPECT_EQ(control<QPushButton>("SBExtract_All")->text(), "Img > bmp All");
    QApplication::processEvents();
    const auto* all = control<QPushButton>("SBExtract_All");
    const auto before = all->mapTo(window.get(), QPoint(0, 0));
    const auto widthBefore = all->width();
    filter("wall");
    QApplication::processEvents();
    EXPECT_EQ(all->text(), "Img > bmp Shown");
    EXPECT_EQ(control<QPushButton>("SBExtract")->text(), "Img > bmp");
    // The column does not move when the caption changes, and the caption is not cut.
    EXPECT_EQ(all->mapTo(window.get(), QPoint(0, 0)), before);
    EXPECT_EQ(all->width(), widthBefore);
    EXPECT_GE(all->width(), all->fontMetrics().horizontalAdvance(all->text()));
    const auto files = filesIn(extractInto("SBExtract_All"));
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files.begin()->first, "WALL.bmp");
    filterField()->clear();
    EXPECT_EQ(control<QPushButton>("SBExtract_All")->text(), "Img > bmp All");
}

TEST_F(Look, EachKindShowsTheColumnsItHas) {
    const auto wad = work / "t.wad";
    test::writeFile(wad,
                    test::wadFile("WAD3", {{"PIC", 0x42, test::wad3Picture(1, 1, Bytes{0}, Bytes(3, 99))}}));
    const auto folder = work / "pics";
    test::writeFile(folder / "WALL.BM", test::dfPlainBm(2, 2, Bytes{1, 2, 3, 4}));
    const struct {
        const char* what;
        fs::path file;
        std::vector<bool> shown; // size, offset, type
        QString firstSize;
    } cases[] = {
        {"a record archive", sampleGob(), {true, true, false}, "30"},
        {"a WAD3 with lump types", wad, {true, true, true}, QString::number(8 + 1 + 2 + 3)},
        {"an image folder", folder / "WALL.BM", {true, false, false}, QString::number(32 + 4)},
    };
    start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        open(c.file);
        EXPECT_FALSE(LB1()->isHeaderHidden());
        for (int column = ui::FileListModel::Size; column <= ui::FileListModel::Type; ++column)
            EXPECT_EQ(!LB1()->isColumnHidden(column), c.shown[static_cast<std::size_t>(column - 1)])
                << column;
        EXPECT_EQ(LB1()->model()->index(0, ui::FileListModel::Size).data().toString(), c.firstSize);
    }
    EXPECT_EQ(LB1()->model()->index(0, ui::FileListModel::Name).data().toString(), "WALL.BM");
}

TEST_F(Look, ADamagedEntryIsListedWithAMarkAndATooltipSayingWhy) {
    const auto pak = work / "cut.pak";
    test::writeFile(pak, test::ByteBuilder()
                             .raw("PACK")
                             .u32(15)
                             .u32(128)
                             .raw("abc")
                             .name("whole.txt", 56)
                             .u32(12)
                             .u32(3)
                             .name("cut.wav", 56)
                             .u32(143)
                             .u32(5000)
                             .raw("part")
                             .bytes());
    start();
    open(pak);
    const auto name = [&](int row) { return LB1()->model()->index(row, ui::FileListModel::Name); };
    EXPECT_EQ(name(1).data().toString(), "cut.wav");
    EXPECT_FALSE(name(0).data(Qt::ToolTipRole).isValid());
    EXPECT_FALSE(name(0).data(Qt::DecorationRole).isValid());
    EXPECT_TRUE(
        name(1).data(Qt::ToolTipRole).toString().startsWith("Damaged: offset 143 + size 5000 runs past"))
        << name(1).data(Qt::ToolTipRole).toString().toStdString();
    EXPECT_TRUE(name(1).data(Qt::DecorationRole).isValid());
}

// --- preview ------------------------------------------------------------------------------------

struct PreviewCase {
    const char* what;
    std::function<fs::path(const fs::path& work)> make; // the file to open
    int row;
    std::size_t pictures;
    QString paletteWords; // part of the caption
};

TEST_F(Look, APreviewIsTheBmpExtractionWritesAndLeavesThePaletteAlone) {
    const Bytes rows16 = test::patternBytes(16, 7);
    const auto jkPalette = test::knownPalette(200);
    const std::vector<PreviewCase> cases = {
        {"WAD3 mip texture with its own colours",
         [&](const fs::path& w) {
             test::writeFile(
                 w / "a.wad",
                 test::wadFile(
                     "WAD3",
                     {{"NOTE", 0x40, Bytes(5, 1)},
                      {"{TEX", 0x43, test::wad3MipTexture("{TEX", 4, 4, rows16, test::knownPalette(90))}}));
             return w / "a.wad";
         },
         1, 1, "entry 1"},
        {"WAD3 plain picture",
         [&](const fs::path& w) {
             test::writeFile(
                 w / "b.wad",
                 test::wadFile("WAD3",
                               {{"PIC", 0x42, test::wad3Picture(4, 4, rows16, test::knownPalette(70))}}));
             return w / "b.wad";
         },
         0, 1, "entry 0"},
        {"WAD2 plain picture with the Quake palette",
         [&](const fs::path& w) {
             test::writeFile(w / "c.wad",
                             test::wadFile("WAD2", {{"PIC", 0x42, test::plainPicture(4, 4, rows16)}}));
             return w / "c.wad";
         },
         0, 1, "Quake"},
        {"BSP texture",
         [&](const fs::path& w) {
             test::writeFile(w / "d.bsp",
                             test::bspFile(test::textureLump({test::mipTexture("wall", 4, 4, rows16)})));
             return w / "d.bsp";
         },
         0, 1, "Quake"},
        {"Dark Forces BM folder, several pictures",
         [&](const fs::path& w) {
             test::writeFile(w / "df" / "A.BM", test::dfPlainBm(2, 2, Bytes{1, 2, 3, 4}));
             test::writeFile(w / "df" / "B.BM",
                             test::dfMultipleBm({{4, 4, rows16}, {2, 2, Bytes{9, 9, 9, 9}}}));
             return w / "df" / "A.BM";
         },
         1, 2, "DarkForces BM"},
        {"Quake 2 WAL folder",
         [&](const fs::path& w) {
             test::writeFile(w / "q2" / "floor.wal", test::q2Wal(4, 4, rows16));
             return w / "q2" / "floor.wal";
         },
         0, 1, "Quake"},
        {"Jedi Knight MAT folder",
         [&](const fs::path& w) {
             test::writeFile(w / "mat" / "wall.mat", test::jkTextureMat({{4, 4, 1, rows16}}));
             return w / "mat" / "wall.mat";
         },
         0, 1, "JediKnight MAT"},
        {"Jedi Knight BM folder with its own palette",
         [&](const fs::path& w) {
             test::writeFile(w / "jk" / "sky.bm", test::jkBm({{4, 4, rows16}}, jkPalette));
             return w / "jk" / "sky.bm";
         },
         0, 1, "sky.bm"},
    };
    start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        open(c.make(work.path()));
        ASSERT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("|").toStdString();
        const auto before = window->CurrentPalette();
        previewRow(c.row);
        const auto& shown = pane()->shown();
        ASSERT_TRUE(shown.has_value()) << pane()->captionText().toStdString();
        ASSERT_EQ(shown->kind, PreviewKind::Picture);
        EXPECT_EQ(shown->pictures, c.pictures);
        EXPECT_TRUE(pane()->captionText().contains(c.paletteWords)) << pane()->captionText().toStdString();
        EXPECT_FALSE(pane()->image().isNull());
        EXPECT_EQ(pane()->image().size(),
                  QSize(static_cast<int>(shown->width), static_cast<int>(shown->height)));
        // The preview painted with its own copy: the palette the next conversion uses is as it was.
        EXPECT_EQ(window->CurrentPalette().table, before.table);
        EXPECT_EQ(window->CurrentPalette().source, before.source);

        const auto written = filesIn(extractInto("SBExtract"));
        ASSERT_EQ(written.size(), c.pictures);
        EXPECT_EQ(written.begin()->second, shown->bytes) << written.begin()->first;
    }
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("|").toStdString();
}

TEST_F(Look, OtherEntriesShowAsTextPaletteOrHexAndSeveralRowsShowNone) {
    const auto bmp = test::expectedBmp(3, 2, Bytes{1, 2, 3, 4, 5, 6}, test::knownPalette(33));
    const auto gob = makeGob("mixed.gob", {{"GAME.PAL", test::knownPalette(10)},
                                           {"NOTES.TXT", test::bytesOf("line one\nline two")},
                                           {"PIC.BMP", bmp},
                                           {"SOUND.VOC", test::patternBytes(40, 3)}});
    start();
    open(gob);

    previewRow(0);
    ASSERT_TRUE(pane()->shown().has_value());
    EXPECT_EQ(pane()->shown()->kind, PreviewKind::Palette);
    EXPECT_EQ(pane()->image().pixel(1, 0),
              qRgb(test::knownPalette(10)[3], test::knownPalette(10)[4], test::knownPalette(10)[5]));
    EXPECT_TRUE(pane()->captionText().contains("palette")) << pane()->captionText().toStdString();

    previewRow(1); // text, read in the code page it is written in
    ASSERT_TRUE(pane()->shownContent().has_value()) << pane()->captionText().toStdString();
    EXPECT_EQ(pane()->shownContent()->kind, ui::ContentRendering::Kind::Text);
    EXPECT_EQ(control<QPlainTextEdit>("PreviewText")->toPlainText(), "line one\nline two");

    previewRow(2); // an 8-bit BMP entry: its own picture, the bytes extraction copies
    ASSERT_TRUE(pane()->shown().has_value());
    EXPECT_EQ(pane()->shown()->kind, PreviewKind::Picture);
    EXPECT_EQ(pane()->shown()->bytes, bmp);

    previewRow(3);
    ASSERT_TRUE(pane()->shown().has_value());
    EXPECT_EQ(pane()->shown()->kind, PreviewKind::Hex);
    EXPECT_TRUE(control<QPlainTextEdit>("PreviewText")->toPlainText().startsWith("00000000 "));
    EXPECT_TRUE(pane()->captionText().endsWith("40 bytes")) << pane()->captionText().toStdString();

    clickRow(0, Qt::ControlModifier);
    waitForPreview();
    EXPECT_FALSE(pane()->shown().has_value());

    // A damaged picture is said so beside the list, and the window goes on.
    const auto bad = work / "bad.wad";
    test::writeFile(bad, test::wadFile("WAD3", {{"BAD", 0x42, test::plainPicture(1000, 1000, Bytes(4, 1))}}));
    open(bad);
    previewRow(0);
    EXPECT_FALSE(pane()->shown().has_value());
    EXPECT_TRUE(pane()->captionText().contains("BAD")) << pane()->captionText().toStdString();
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("|").toStdString();
}

// --- jobs and Cancel ----------------------------------------------------------------------------

TEST_F(Look, CancelStopsAnExtractionBetweenEntriesAndLeavesOnlyWholeFiles) {
    std::vector<Entry> many;
    for (int i = 0; i < 20; ++i)
        many.push_back({"F" + std::to_string(10 + i) + ".DAT",
                        test::patternBytes(1000 + i, static_cast<std::uint8_t>(i))});
    start();
    open(makeGob("many.gob", many));
    clickRow(0);
    auto* cancel = control<QPushButton>("SBCancelJob");
    EXPECT_FALSE(cancel->isVisible());

    test::WorkerGate gate(window->document().jobs());
    const auto target = newTarget();
    prompts.folderAnswers.push_back(q(target));
    QTest::mouseClick(control<QPushButton>("SBExtract_All"), Qt::LeftButton);
    gate.waitForWorker(); // the first entry is written, the worker waits

    // While the job runs: Cancel shows, the commands wait, the list can be looked through.
    EXPECT_TRUE(window->JobRunning());
    EXPECT_TRUE(cancel->isVisible());
    for (const auto* name : {"SBExtract", "SBExtract_All", "SBExtract_Ext"})
        EXPECT_FALSE(control<QPushButton>(name)->isEnabled()) << name;
    for (const auto* name : {"Open1", "Extract1", "ExtractAll1", "ImportPicture1"})
        EXPECT_FALSE(control<QAction>(name)->isEnabled()) << name;
    EXPECT_FALSE(control<QWidget>("New_C")->isEnabled());
    EXPECT_FALSE(control<QWidget>("Palettes")->isEnabled());
    EXPECT_TRUE(LB1()->isEnabled());
    EXPECT_TRUE(filterField()->isEnabled());

    QTest::mouseClick(cancel, Qt::LeftButton);
    gate.release();
    waitForJob();

    EXPECT_EQ(text("SLab"), "Extraction cancelled: 1 written, 19 not started");
    const auto written = filesIn(target);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written.begin()->second, many[0].bytes); // whole, not cut short
    EXPECT_FALSE(cancel->isVisible());
    EXPECT_EQ(control<QProgressBar>("PBar")->value(), 0);
    for (const auto* name : {"SBExtract", "SBExtract_All", "SBExtract_Ext"})
        EXPECT_TRUE(control<QPushButton>(name)->isEnabled()) << name;
    EXPECT_TRUE(control<QAction>("Open1")->isEnabled());
    EXPECT_TRUE(control<QAction>("ImportPicture1")->isEnabled());
    EXPECT_TRUE(control<QWidget>("Palettes")->isEnabled());
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("|").toStdString();

    // Not cancelled, the same command ends as it always did.
    EXPECT_EQ(filesIn(extractInto("SBExtract_All")).size(), many.size());
    EXPECT_EQ(text("SLab"), "Extraction  Complete");
}

TEST_F(Look, ACancelledOpenLeavesTheWindowIdleAndUsable) {
    const auto gob = sampleGob();
    start();
    prompts.fileAnswers.push_back(q(gob));
    control<QAction>("Open1")->trigger();
    window->document().jobs().cancel(); // before the window hears the job's end
    waitForJob();
    EXPECT_EQ(window->LiveObject(), nullptr);
    EXPECT_TRUE(rows().isEmpty());
    EXPECT_EQ(text("SLab"), "Opening cancelled: " + q(gob));
    EXPECT_FALSE(control<QPushButton>("SBExtract")->isEnabled());
    open(gob);
    EXPECT_EQ(rows().size(), static_cast<int>(kEntries.size()));
}

// --- drag and drop ------------------------------------------------------------------------------

TEST_F(Look, DraggingRowsOutCarriesTheFilesExtractWrites) {
    const auto wad = work / "tex.wad";
    test::writeFile(
        wad, test::wadFile("WAD3",
                           {{"ONE", 0x42, test::wad3Picture(2, 2, Bytes{1, 2, 3, 4}, test::knownPalette(80))},
                            {"TWO", 0x42, test::wad3Picture(2, 1, Bytes{5, 6}, test::knownPalette(90))},
                            {"FNT", 0x46, Bytes(10, 1)}}));
    const struct {
        const char* what;
        fs::path file;
        QString pattern;
        std::vector<int> rows; // view rows
    } cases[] = {
        {"filtered container rows", sampleGob(), "map", {0, 2}},
        {"texture lumps become pictures", wad, "", {0, 1, 2}},
    };
    start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        open(c.file);
        filter(c.pattern);
        for (std::size_t i = 0; i < c.rows.size(); ++i)
            clickRow(c.rows[i], i == 0 ? Qt::NoModifier : Qt::ControlModifier);
        const auto extracted = filesIn(extractInto("SBExtract"));
        ASSERT_FALSE(extracted.empty());

        const auto data = window->DragOutData(control<ui::FilesPage>("Files")->selectedEntries());
        ASSERT_NE(data, nullptr);
        std::map<std::string, Bytes> dragged;
        for (const auto& url : data->urls()) {
            ASSERT_TRUE(url.isLocalFile());
            const auto path = ui::fsPath(url.toLocalFile());
            // Below the program's Temp folder, one folder per drag.
            EXPECT_EQ(path.parent_path().parent_path(), program / "Temp");
            dragged[path.filename().string()] = test::readFile(path);
        }
        EXPECT_EQ(dragged, extracted);
    }
    // The drags' folders go with the window.
    const auto temp = program / "Temp";
    EXPECT_FALSE(fs::is_empty(temp));
    window.reset();
    EXPECT_TRUE(fs::is_empty(temp));
}

TEST_F(Look, DraggingOutFollowsTheSafetyRulesOfExtraction) {
    ByteBuilder b;
    b.raw("GOB\n").u32(0);
    b.raw("safe").raw("evil");
    b.patchU32(4, static_cast<std::uint32_t>(b.size()));
    b.u32(2).u32(8).u32(4).name("SAFE.TXT", 13).u32(12).u32(4).name("..\\EVIL.TXT", 13);
    const auto gob = work / "evil.gob";
    test::writeFile(gob, b.bytes());
    start();
    open(gob);
    const auto data = window->DragOutData({0, 1});
    ASSERT_NE(data, nullptr);
    ASSERT_EQ(data->urls().size(), 1);
    EXPECT_TRUE(data->urls()[0].toLocalFile().endsWith("/SAFE.TXT"));
    EXPECT_FALSE(fs::exists(program / "Temp" / "EVIL.TXT"));
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].contains("..\\EVIL.TXT")) << prompts.messages[0].toStdString();

    // Nothing written, nothing dragged.
    prompts.messages.clear();
    EXPECT_EQ(window->DragOutData({1}), nullptr);
    EXPECT_EQ(window->DragOutData({}), nullptr);
}

TEST_F(Look, DroppingAFileOpensItAsOpenDoes) {
    const auto gob = sampleGob();
    start();
    const auto send = [&](const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        const QPoint at = window->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(window.get(), &enter);
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        if (enter.isAccepted()) QApplication::sendEvent(window.get(), &drop);
        waitForJob();
        return enter.isAccepted();
    };
    EXPECT_FALSE(send({QUrl(QStringLiteral("https://example.org/x.gob"))}));
    EXPECT_TRUE(rows().isEmpty());

    EXPECT_TRUE(send({QUrl::fromLocalFile(q(gob))}));
    EXPECT_EQ(window->CurrentType(), ContainerType::DFGob);
    EXPECT_EQ(rows().size(), static_cast<int>(kEntries.size()));
    EXPECT_EQ(text("SLab"), q(gob) + "   Contains  6 files");

    // A file that cannot be read says so, and the listing stays. (A GOB can be edited: the drop
    // asks first whether its files are to be added.)
    prompts.choiceAnswers.push_back("Open");
    EXPECT_TRUE(send({QUrl::fromLocalFile(q(work / "gone.gob"))}));
    EXPECT_EQ(prompts.messages,
              QStringList{"Cannot open file " + q(work / "gone.gob") + ": No such file or directory"});
    EXPECT_EQ(rows().size(), static_cast<int>(kEntries.size()));
}

TEST_F(Look, AHundredThousandRowsFilterSortAndExtractByEntry) {
    constexpr std::uint32_t count = 100'000;
    ByteBuilder b;
    b.raw("GOB\n").u32(8).u32(count);
    for (std::uint32_t i = 0; i < count; ++i)
        b.u32(8).u32(0).name("F" + std::to_string(i) + ".DAT", 13);
    test::writeFile(work / "big.gob", b.bytes());
    start();
    open(work / "big.gob");
    filter("f9999?.dat");
    EXPECT_EQ(rows().size(), 10);
    clickHeader(ui::FileListModel::Name, 2);
    EXPECT_EQ(rows().front(), "F99999.DAT");
    filter("f9998?.dat"); // a new filter keeps the order chosen
    EXPECT_EQ(rows().front(), "F99989.DAT");
    filter("f9999?.dat");
    clickRow(0);
    EXPECT_EQ(control<ui::FilesPage>("Files")->selectedEntries(), std::vector<std::size_t>{99999});
    const auto files = filesIn(extractInto("SBExtract_All"));
    ASSERT_EQ(files.size(), 10u);
    EXPECT_EQ(files.begin()->first, "F99990.DAT");
}

} // namespace
} // namespace vexa
