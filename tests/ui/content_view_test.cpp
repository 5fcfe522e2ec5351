// What an entry holds, in the window: the Content column (shown, sorted, filtered as --filter takes
// it), pictures previewed in their palette with zoom, see-through pixels and Doom's offsets, a texture
// list's textures each composed on a click, ENDOOM in its colours, text in its code page, and
// extraction that converts, with what it could not convert reported.

#include "WindowFixture.h"
#include "images/content_builders.h"
#include "media/media_builders.h"
#include "support/container_builders.h"
#include "ui/EndoomView.h"
#include "ui/FileListModel.h"
#include "ui/MusicSynth.h"
#include "ui/PicturePreview.h"
#include "ui/PreviewPane.h"
#include "ui/SoundPlayer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QToolButton>
#include <QTreeView>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <map>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::q;

struct Lump {
    std::string name;
    Bytes data;
};

Bytes doomWad(const std::vector<Lump>& lumps) {
    test::NamedBytes named;
    for (const auto& lump : lumps)
        named.emplace_back(lump.name, lump.data);
    return test::doomWadOf(named);
}

// Two palettes in PLAYPAL; pictures are painted with the first.
const Bytes kPlaypal = [] {
    auto bytes = test::knownPalette(7);
    const auto second = test::knownPalette(90);
    bytes.insert(bytes.end(), second.begin(), second.end());
    return bytes;
}();

// A sprite whose origin lies left of its pixels: rows "1..", "2.3", "...", "..4".
const Bytes kSprite = test::doomPicture(3, 4, -1, 2, {{{0, {1, 2}}}, {}, {{1, {3}}, {3, {4}}}});

// The entries of the WAD in list order, with the content word each row shows.
struct Row {
    std::string name;
    Bytes data;
    std::string content;
};
const std::vector<Row> kRows = {
    {"PLAYPAL", kPlaypal, "palette"},
    {"ENDOOM", test::endoomScreen({{0, test::bytesOf("Bye")}}), "text"},
    {"DSPISTOL", test::dmxSound(11025, test::patternBytes(40, 3)), "sound"},
    {"PNAMES", test::patchNames({"WALLA", "WALLB", "GONE"}), "data"},
    // BOTH lays WALLB over WALLA one pixel right; HOLE names a patch the WAD lacks.
    {"TEXTURE1",
     test::textureList(
         {{"AONE", 2, 2, {{0, 0, 0}}}, {"BOTH", 3, 2, {{0, 0, 0}, {1, 0, 1}}}, {"HOLE", 2, 2, {{0, 0, 2}}}}),
     "picture"},
    {"S_START", {}, "data"},
    {"TROOA1", kSprite, "picture"},
    {"S_END", {}, "data"},
    {"P_START", {}, "data"},
    {"WALLA", test::doomPicture(2, 2, 0, 0, {{{0, {5, 6}}}, {{0, {7, 8}}}}), "picture"},
    {"WALLB", test::doomPicture(2, 2, 0, 0, {{{0, {9, 9}}}, {{0, {10, 10}}}}), "picture"},
    {"P_END", {}, "data"},
};

QRgb colourOf(const Bytes& palette, std::size_t index) {
    return qRgb(palette.at(3 * index), palette.at(3 * index + 1), palette.at(3 * index + 2));
}

class ContentView : public test::WindowFixture {
  protected:
    ~ContentView() override { QSettings().remove(QStringLiteral("extract/convert")); }

    QTreeView* LB1() { return control<QTreeView>("LB1"); }
    ui::PreviewPane* pane() { return control<ui::PreviewPane>("PreviewPane"); }
    ui::PicturePreview* picture() { return control<ui::PicturePreview>("PicturePreview"); }
    ui::PictureCanvas* canvas() { return control<ui::PictureCanvas>("PreviewCanvas"); }

    fs::path sampleWad() {
        std::vector<Lump> lumps;
        for (const auto& row : kRows)
            lumps.push_back({row.name, row.data});
        const auto path = work / "doom.wad";
        test::writeFile(path, doomWad(lumps));
        return path;
    }
    QStringList column(int column) {
        QStringList out;
        auto* model = LB1()->model();
        for (int i = 0; i < model->rowCount(); ++i)
            out << model->index(i, column).data().toString();
        return out;
    }
    void filter(const QString& pattern) {
        auto* field = control<QLineEdit>("EFilter");
        field->clear();
        QTest::keyClicks(field, pattern);
    }
    int rowOf(const QString& name) { return static_cast<int>(column(ui::FileListModel::Name).indexOf(name)); }
    void preview(const QString& name) {
        const auto index = LB1()->model()->index(rowOf(name), 0);
        ASSERT_TRUE(index.isValid()) << name.toStdString();
        LB1()->scrollTo(index);
        QTest::mouseClick(LB1()->viewport(), Qt::LeftButton, Qt::NoModifier,
                          LB1()->visualRect(index).center());
        waitForPreview();
    }
    QString caption() { return pane()->captionText(); }
    void choosePalette(const QString& item) {
        auto* chooser = control<QComboBox>("PreviewPalette");
        const int found = chooser->findText(item);
        ASSERT_GE(found, 0) << item.toStdString();
        chooser->setCurrentIndex(found);
        waitForPreview();
    }
};

TEST_F(ContentView, TheContentColumnShowsEachRowsWordSortsAndFilters) {
    start();
    open(sampleWad());
    ASSERT_FALSE(LB1()->isColumnHidden(ui::FileListModel::Content));
    EXPECT_EQ(LB1()->model()->headerData(ui::FileListModel::Content, Qt::Horizontal).toString(), "Content");
    QStringList expected;
    for (const auto& row : kRows)
        expected << q(row.content);
    EXPECT_EQ(column(ui::FileListModel::Content), expected);

    // As `--filter` takes it: a content, then a name pattern; a word still being typed keeps none.
    const struct {
        const char* pattern;
        QStringList shown;
        bool refused;
    } filters[] = {
        {"content:picture", {"TEXTURE1", "TROOA1", "WALLA", "WALLB"}, false},
        {"CONTENT:Palette", {"PLAYPAL"}, false},
        {"content:picture wall*", {"WALLA", "WALLB"}, false},
        {"content:text", {"ENDOOM"}, false},
        {"content:sound", {"DSPISTOL"}, false},
        {"content:pic", {}, true},
        {"WALL", {"WALLA", "WALLB"}, false},
    };
    for (const auto& f : filters) {
        SCOPED_TRACE(f.pattern);
        filter(QString::fromLatin1(f.pattern));
        EXPECT_EQ(column(ui::FileListModel::Name), f.shown);
        const auto hint = control<QLineEdit>("EFilter")->toolTip();
        EXPECT_EQ(hint.contains("no such content"), f.refused) << hint.toStdString();
    }

    // Sorted by its header, a content's rows together, each keeping its own entry.
    filter({});
    auto* header = LB1()->header();
    const int x = header->sectionViewportPosition(ui::FileListModel::Content) +
                  header->sectionSize(ui::FileListModel::Content) / 2;
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(x, header->height() / 2));
    const auto words = column(ui::FileListModel::Content);
    auto sorted = words;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(words, sorted);
    const auto names = column(ui::FileListModel::Name);
    for (const auto& row : kRows)
        EXPECT_EQ(words.at(names.indexOf(q(row.name))), q(row.content)) << row.name;
}

TEST_F(ContentView, ASpriteShowsInItsPaletteOverTheCheckerboardWithItsOffsetsAndZooms) {
    start();
    open(sampleWad());
    preview("TROOA1");
    ASSERT_TRUE(pane()->shownContent().has_value()) << caption().toStdString();
    const auto& image = pane()->image();
    ASSERT_EQ(image.size(), QSize(3, 4));
    // The container's PLAYPAL paints it; where no post is, nothing is.
    const struct {
        int x, y;
        std::optional<std::size_t> index; // nullopt: see-through
    } pixels[] = {{0, 0, 1}, {0, 1, 2}, {2, 1, 3}, {2, 3, 4}, {1, 0, {}}, {1, 3, {}}, {0, 2, {}}};
    for (const auto& p : pixels) {
        SCOPED_TRACE(testing::Message() << p.x << "," << p.y);
        if (p.index)
            EXPECT_EQ(image.pixel(p.x, p.y), colourOf(kPlaypal, *p.index));
        else
            EXPECT_EQ(qAlpha(image.pixel(p.x, p.y)), 0);
    }
    EXPECT_TRUE(caption().contains("PLAYPAL")) << caption().toStdString();
    EXPECT_TRUE(caption().contains("offsets -1, 2")) << caption().toStdString();

    // Each zoom button paints a picture pixel that many screen pixels wide; the cross sits at the
    // origin, left of the picture here.
    const struct {
        const char* button;
        double scale;
    } zooms[] = {{"Zoom1", 1}, {"Zoom2", 2}, {"Zoom4", 4}};
    for (const auto& z : zooms) {
        SCOPED_TRACE(z.button);
        QTest::mouseClick(control<QToolButton>(z.button), Qt::LeftButton);
        EXPECT_DOUBLE_EQ(canvas()->scale(), z.scale);
        EXPECT_TRUE(control<QToolButton>(z.button)->isChecked());
        const auto origin = canvas()->originPoint();
        ASSERT_TRUE(origin.has_value());
        EXPECT_EQ(*origin, canvas()->pictureCorner() + QPointF(-1, 2) * z.scale);
        // What is painted: the picture's pixel, and the checkerboard under a see-through one (at 1x
        // the cross's arms cover this small picture).
        if (z.scale < 2) continue;
        const auto shot = canvas()->grab().toImage();
        const auto corner = canvas()->pictureCorner();
        const auto at = [&](double px, double py) {
            return shot.pixel(static_cast<int>(corner.x() + (px + 0.5) * z.scale),
                              static_cast<int>(corner.y() + (py + 0.5) * z.scale));
        };
        EXPECT_EQ(at(2, 3), colourOf(kPlaypal, 4));
        const auto under = QColor(at(1, 3));
        EXPECT_TRUE(under == QColor(255, 255, 255) || under == QColor(204, 204, 204))
            << under.name().toStdString();
    }
    // The wheel steps up from 4x and back down.
    QWheelEvent up(QPointF(5, 5), canvas()->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, 120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(canvas(), &up);
    EXPECT_DOUBLE_EQ(canvas()->scale(), 6);
    EXPECT_FALSE(control<QToolButton>("Zoom4")->isChecked());
    QWheelEvent down(QPointF(5, 5), canvas()->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(canvas(), &down);
    EXPECT_DOUBLE_EQ(canvas()->scale(), 4);

    // Another palette paints it again and says which; the choice stays for the next picture.
    const auto doom = gamePalettes().at(static_cast<std::size_t>(Game::Doom));
    choosePalette(
        QString::fromLatin1(doom.caption.data(), static_cast<int>(doom.caption.size())).simplified());
    EXPECT_EQ(pane()->image().pixel(2, 3), colourOf(defaultPalette(static_cast<std::size_t>(Game::Doom)), 4));
    EXPECT_TRUE(caption().contains(q(std::string(doom.defaultFile)))) << caption().toStdString();
    preview("WALLA");
    EXPECT_EQ(pane()->image().pixel(0, 0), colourOf(defaultPalette(static_cast<std::size_t>(Game::Doom)), 5));
    choosePalette("The container's own");
    EXPECT_EQ(pane()->image().pixel(0, 0), colourOf(kPlaypal, 5));
    EXPECT_TRUE(caption().contains("PLAYPAL")) << caption().toStdString();
    // Previewing changed nothing extraction uses.
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("|").toStdString();
}

TEST_F(ContentView, ATextureListListsItsTexturesAndComposesTheOneClicked) {
    start();
    open(sampleWad());
    preview("TEXTURE1");
    auto* list = control<QListWidget>("PreviewPictures");
    ASSERT_TRUE(list->isVisible());
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names << list->item(i)->text();
    EXPECT_EQ(names, QStringList({"AONE", "BOTH", "HOLE"}));
    EXPECT_EQ(pane()->image().size(), QSize(2, 2)); // the first shows at once

    const struct {
        const char* texture;
        QSize size;
        std::vector<std::pair<QPoint, std::optional<std::size_t>>> pixels;
        const char* note; // in the caption, or null
    } textures[] = {
        {"BOTH", {3, 2}, {{{0, 0}, 5}, {{1, 0}, 9}, {{2, 0}, 10}, {{0, 1}, 6}}, nullptr},
        {"HOLE", {2, 2}, {{{0, 0}, {}}, {{1, 1}, {}}}, "GONE"},
        {"AONE", {2, 2}, {{{0, 0}, 5}, {{1, 1}, 8}}, nullptr},
    };
    for (const auto& t : textures) {
        SCOPED_TRACE(t.texture);
        const auto item = list->findItems(QString::fromLatin1(t.texture), Qt::MatchExactly);
        ASSERT_EQ(item.size(), 1);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                          list->visualItemRect(item.front()).center());
        waitForPreview();
        ASSERT_EQ(pane()->image().size(), t.size);
        for (const auto& [point, index] : t.pixels)
            if (index) {
                EXPECT_EQ(pane()->image().pixel(point), colourOf(kPlaypal, *index));
            } else {
                EXPECT_EQ(qAlpha(pane()->image().pixel(point)), 0);
            }
        EXPECT_TRUE(caption().startsWith("TEXTURE1: " + QString::fromLatin1(t.texture)))
            << caption().toStdString();
        if (t.note) {
            EXPECT_TRUE(caption().contains(t.note)) << caption().toStdString();
        }
        EXPECT_EQ(list->count(), 3); // the list stays
    }
}

TEST_F(ContentView, EndoomShowsInItsColoursAndTextInItsCodePage) {
    // Row 0: "Bye", then a blank cell in yellow on blue.
    auto screen = test::endoomScreen({{0, test::bytesOf("Bye")}});
    screen[2 * 3 + 1] = 0x1E;
    const auto wad = work / "end.wad";
    test::writeFile(wad, doomWad({{"ENDOOM", screen}}));
    start();
    open(wad);
    preview("ENDOOM");
    auto* view = control<ui::EndoomView>("PreviewEndoom");
    ASSERT_TRUE(view->isVisible()) << caption().toStdString();
    const auto shot = view->grab().toImage();
    const struct {
        int row, column;
        int background;
    } cells[] = {{0, 3, 1}, {0, 4, 0}, {5, 40, 0}};
    for (const auto& c : cells) {
        SCOPED_TRACE(testing::Message() << c.row << "," << c.column);
        const auto box = view->cellRect(c.row, c.column);
        EXPECT_EQ(QColor(shot.pixel(box.center())), ui::EndoomView::textColour(c.background));
    }
    EXPECT_TRUE(caption().contains("437")) << caption().toStdString();

    // A text file in code page 437 (box drawing, no Latin-1 text) and one in Latin-1.
    const auto gobSource = work / "text.src";
    const struct {
        const char* name;
        Bytes bytes;
        QString shown;
        const char* page;
    } texts[] = {
        {"BOX.TXT", Bytes{0xC9, 0xCD, 0xBB, '\n', 'h', 'i'}, QString::fromUtf8("\u2554\u2550\u2557\nhi"),
         "437"},
        {"CAFE.TXT", Bytes{'c', 'a', 'f', 0xE9}, QString::fromUtf8("caf\u00e9"), "Latin-1"},
    };
    std::vector<Lump> lumps;
    for (const auto& t : texts)
        lumps.push_back({t.name, t.bytes});
    const auto textWad = work / "text.wad";
    test::writeFile(textWad, doomWad(lumps));
    open(textWad);
    for (const auto& t : texts) {
        SCOPED_TRACE(t.name);
        preview(t.name);
        EXPECT_EQ(control<QPlainTextEdit>("PreviewText")->toPlainText(), t.shown);
        EXPECT_TRUE(caption().contains(t.page)) << caption().toStdString();
    }
}

TEST_F(ContentView, ConvertPicturesWritesWhatEntriesHoldAndReportsWhatItLeftOut) {
    start();
    open(sampleWad());
    preview("PNAMES"); // the commands wait for a click on the list
    auto* convert = control<QCheckBox>("CBConvert");
    ASSERT_FALSE(convert->isChecked());
    convert->click();
    EXPECT_TRUE(QSettings().value("extract/convert").toBool()); // kept for the next run

    const auto target = work / "out";
    fs::create_directories(target);
    prompts.folderAnswers.push_back(q(target));
    click("SBExtract_All");
    std::set<std::string> written;
    for (const auto& e : fs::recursive_directory_iterator(target))
        if (e.is_regular_file()) written.insert(fs::relative(e.path(), target).generic_string());
    std::string all;
    for (const auto& name : written)
        all += name + " ";
    SCOPED_TRACE(all + "| " + control<QLabel>("SLab")->text().toStdString());
    for (const auto* name : {"TROOA1.png", "WALLA.png", "TEXTURE1/BOTH.png", "PLAYPAL/00.png", "PLAYPAL.pal",
                             "ENDOOM.txt", "DSPISTOL.wav", "PNAMES"})
        EXPECT_TRUE(written.count(name)) << name;
    EXPECT_FALSE(written.count("TROOA1")); // not also as stored
    // The texture whose patch is missing is named in the job's report.
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages.front().contains("GONE")) << prompts.messages.front().toStdString();

    // Unticked, extraction writes every entry as stored again.
    convert->click();
    const auto plain = work / "plain";
    fs::create_directories(plain);
    prompts.folderAnswers.push_back(q(plain));
    click("SBExtract_All");
    EXPECT_EQ(test::readFile(plain / "TROOA1"), kSprite);
    EXPECT_FALSE(fs::exists(plain / "TROOA1.png"));
}

TEST_F(ContentView, ASoundSaysWhatItIsAndPlaysWhereTheSystemHasADevice) {
    // A second of sound, so that it is still playing when the test looks.
    const auto second = test::patternBytes(11025, 0x80);
    const auto wad = work / "noise.wad";
    test::writeFile(wad, doomWad({{"DSPISTOL", test::dmxSound(11025, second)}}));
    start();
    open(wad);

    preview("DSPISTOL");
    auto* player = control<ui::SoundPlayer>("PreviewSound");
    ASSERT_TRUE(player->isVisible()) << caption().toStdString();
    // The padding DMX keeps around its samples is not part of the sound.
    for (const char* fact : {"1.00 s", "11025 Hz", "8-bit mono"})
        EXPECT_TRUE(caption().contains(fact)) << fact << " in " << caption().toStdString();
    player->setFocus();
    QTest::keyClick(player, Qt::Key_Space);
    if (!ui::SoundPlayer::hasOutput()) {
        // Said plainly, and nothing pretends to play.
        EXPECT_FALSE(player->playing());
        EXPECT_TRUE(player->stateText().startsWith("No sound device")) << player->stateText().toStdString();
        GTEST_SKIP()
            << "this system offers no sound device (start PulseAudio with module-null-sink to have one)";
    }
    EXPECT_TRUE(player->playing()) << player->stateText().toStdString();
    EXPECT_EQ(control<QPushButton>("SoundPlay")->text(), "Stop");
    QTest::keyClick(player, Qt::Key_Space);
    EXPECT_FALSE(player->playing());
    EXPECT_EQ(control<QPushButton>("SoundPlay")->text(), "Play");
    // Played to its end, it stops by itself.
    QTest::keyClick(player, Qt::Key_Space);
    EXPECT_TRUE(waitWhile([&] { return player->playing(); })) << "the sound never ended";
    EXPECT_EQ(player->stateText(), "Stopped");
}

TEST_F(ContentView, ASongIsRenderedToPlayOrIsDescribedWithWhyItCannotPlay) {
    // Two seconds of one piano note.
    const auto song = test::midiFile(0, 96,
                                     {Bytes{0x00, 0xC0, 0x00, 0x00, 0x90, 0x3C, 0x64, 0x83, 0x00, 0x80, 0x3C,
                                            0x40, 0x00, 0xFF, 0x2F, 0x00}});
    const auto wad = work / "music.wad";
    test::writeFile(wad, doomWad({{"D_RUNNIN", song}, {"D_STALKS", song}}));
    start();
    open(wad);
    auto* player = control<ui::SoundPlayer>("PreviewSound");
    auto* play = control<QPushButton>("SoundPlay");
    const auto about = [&] { return control<QLabel>("SoundAbout")->text(); };

    // With no font the song is described, and the pane says why it is not heard.
    pane()->setSoundFont(std::nullopt);
    preview("D_RUNNIN");
    ASSERT_TRUE(player->isVisible()) << caption().toStdString();
    EXPECT_TRUE(caption().contains("2.00 s")) << caption().toStdString();
    for (const char* fact : {"1 track", "Acoustic Grand Piano"})
        EXPECT_TRUE(about().contains(fact)) << fact << " in " << about().toStdString();
    EXPECT_FALSE(play->isVisible());
    const auto why = ui::SoundPlayer::hasOutput() ? "No sound font" : "No sound device";
    EXPECT_TRUE(player->stateText().startsWith(why)) << player->stateText().toStdString();

    const auto font = ui::findSoundFont();
    if (!font) GTEST_SKIP() << "no General MIDI sound font installed (Debian's timgm6mb-soundfont)";
    if (!ui::SoundPlayer::hasOutput())
        GTEST_SKIP()
            << "this system offers no sound device (start PulseAudio with module-null-sink to have one)";
    pane()->setSoundFont(font);
    preview("D_STALKS");
    ASSERT_TRUE(play->isVisible()) << player->stateText().toStdString();
    EXPECT_TRUE(about().contains(QString::fromStdString(font->filename().string()))) << about().toStdString();
    EXPECT_TRUE(about().contains("Acoustic Grand Piano")) << about().toStdString();
    player->setFocus();
    QTest::keyClick(player, Qt::Key_Space);
    EXPECT_TRUE(player->playing()) << player->stateText().toStdString();
    EXPECT_EQ(play->text(), "Stop");
    // How far it is, of the song's length as the caption gives it (its last note rings on after).
    QTest::qWait(400);
    EXPECT_TRUE(player->stateText().startsWith("Playing, 0.")) << player->stateText().toStdString();
    EXPECT_TRUE(player->stateText().endsWith(" of 2.00 s")) << player->stateText().toStdString();
    QTest::keyClick(player, Qt::Key_Space);
    EXPECT_FALSE(player->playing());
    EXPECT_EQ(player->stateText(), "Stopped");
}

} // namespace
} // namespace vexa
