// The Palettes page, driven through its controls with scripted Prompts: the game choice and its
// preview, palette loads from the five kinds of file, failures, and a missing default palette.

#include "WindowFixture.h"
#include "formats/texture_builders.h"
#include "ui/RadioGroup.h"

#include <QImage>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeView>

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::q;

const QString kKnownFiles =
    "Known Files (*.wad *.gob *.goo *.lab *.pak *.bsp *.bm *.wal *.mat *.hog *.d3c *.d3m *.mn3 *.vp)"
    ";;All Files (*)";
const QString kWrongFile = "That does not appear to be the correct file type or no palette is in that file";

// Palette files of each kind the page loads, holding the colours of rgb (768 bytes, R G B).
Bytes bmpWith(const Bytes& rgb, std::uint16_t bitCount = 8) {
    ByteBuilder b;
    b.raw("BM").u32(1082).u32(0).u32(1078).u32(40).u32(1).u32(1).u16(1).u16(bitCount).zeros(24);
    for (std::size_t i = 0; i < 256; ++i)
        b.u8(rgb[3 * i + 2]).u8(rgb[3 * i + 1]).u8(rgb[3 * i]).u8(0);
    return b.u32(0).bytes();
}
Bytes cmpWith(const Bytes& rgb) {
    return ByteBuilder().raw("CMP ").zeros(62).raw(rgb).zeros(64).bytes();
}
Bytes jkBmWith(const Bytes& rgb) {
    return test::jkBm({{2, 2, Bytes(4, 7)}}, rgb);
}
Bytes pltWith(const Bytes& rgb) {
    return ByteBuilder().u8(0).u8(255).raw(rgb).bytes();
}
// Components below 64: taken as 6-bit and widened on loading.
Bytes sixBitPalette() {
    Bytes rgb(768);
    for (std::size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = static_cast<std::uint8_t>((i * 5) % 64);
    return rgb;
}
Bytes widened(Bytes rgb) {
    for (auto& v : rgb)
        v = widenSixBit(v);
    return rgb;
}

class PalettesPage : public test::WindowFixture {
  protected:
    ui::RadioGroup* RGpal() { return control<ui::RadioGroup>("RGpal"); }
    ui::RadioGroup* RGPalGet() { return control<ui::RadioGroup>("RGPalGet"); }
    QWidget* PB1() { return control<QWidget>("PB1"); }

    void showPage() { control<QTabWidget>("PC1")->setCurrentIndex(1); }
    void choose(ui::RadioGroup* group, int item) {
        auto* button = group->button(item);
        QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(8, button->height() / 2));
        ASSERT_EQ(group->itemIndex(), item);
    }
    void chooseGame(int item) { choose(RGpal(), item); }
    // Loads file as source item, with the dialog answered by file (or cancelled).
    void loadPalette(int source, const std::optional<fs::path>& file) {
        choose(RGPalGet(), source);
        prompts.fileAnswers.push_back(file ? std::optional<QString>(q(*file)) : std::nullopt);
        click("SBGetPal");
    }

    // Compares each square of the preview with rgb: its inside in the entry's colour, its outline
    // black, the one-pixel gap to the next square and the box beyond the grid left unpainted.
    void expectPreview(const Bytes& rgb, const std::string& what) {
        showPage();
        const auto image = PB1()->grab().toImage();
        ASSERT_EQ(image.size(), QSize(200, 200));
        const auto background = image.pixelColor(190, 190);
        int wrong = 0;
        for (int i = 0; i < 256 && wrong < 3; ++i) {
            const int x = 11 * (i % 16), y = 11 * (i / 16);
            const QColor colour(rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]);
            const bool ok = image.pixelColor(x + 5, y + 5) == colour &&
                            image.pixelColor(x + 1, y + 8) == colour &&
                            image.pixelColor(x, y) == QColor(Qt::black) &&
                            image.pixelColor(x + 9, y + 9) == QColor(Qt::black) &&
                            image.pixelColor(x + 10, y + 5) == background &&
                            image.pixelColor(x + 5, y + 10) == background;
            if (!ok) {
                ++wrong;
                ADD_FAILURE() << what << ": square " << i << " is "
                              << image.pixelColor(x + 5, y + 5).name().toStdString() << ", expected "
                              << colour.name().toStdString();
            }
        }
        EXPECT_NE(background, QColor(Qt::black)) << what;
    }

    void expectDefaultPaths() {
        for (std::size_t item = 0; item < gamePalettes().size(); ++item)
            EXPECT_EQ(window->GamePalettes().path(gamePalettes()[item].game), defaultPalettePath(item))
                << item;
    }
};

TEST_F(PalettesPage, StartsWithTheFirstGamesDefaultPaletteShown) {
    start();
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("|").toStdString();
    EXPECT_EQ(text("Plab"), q(defaultPalettePath(0)));
    EXPECT_TRUE(control<QLabel>("Plab")->font().bold());
    EXPECT_EQ(RGpal()->itemIndex(), 0);
    EXPECT_EQ(RGPalGet()->itemIndex(), 0);
    expectDefaultPaths();
    expectPreview(defaultPalette(0), "at start");

    // Two columns filled top to bottom: the game after the first half heads the second column.
    const int second = static_cast<int>((gamePalettes().size() + 1) / 2);
    EXPECT_GT(RGpal()->button(second)->x(), RGpal()->button(0)->x());
    EXPECT_EQ(RGpal()->button(second)->y(), RGpal()->button(0)->y());
}

TEST_F(PalettesPage, ChoosingAGameShowsItsPathAndPalette) {
    start();
    showPage();
    for (const int item : {4, 1, 3, 2, 0}) {
        chooseGame(item);
        EXPECT_EQ(text("Plab"), q(defaultPalettePath(static_cast<std::size_t>(item)))) << item;
        expectPreview(defaultPalette(static_cast<std::size_t>(item)), "game " + std::to_string(item));
    }
    expectDefaultPaths();
    EXPECT_TRUE(prompts.messages.isEmpty());
}

TEST_F(PalettesPage, EachSourceKindLoadsSavesACopyAndReplacesOnlyTheChosenGamesPalette) {
    const auto eightBit = test::knownPalette(77);
    const struct {
        int source, game;
        const char* file;
        Bytes bytes;
        const char* copy;
        Bytes colours; // what the copy holds and the preview shows
    } cases[] = {
        {0, 4, "mine.pal", sixBitPalette(), "mine.pal", widened(sixBitPalette())},
        {1, 2, "textures.bmp", bmpWith(eightBit), "textures.pal", eightBit},
        {2, 1, "dark.cmp", cmpWith(eightBit), "dark.pal", eightBit},
        {3, 1, "pic.bm", jkBmWith(sixBitPalette()), "pic.pal", widened(sixBitPalette())},
        {4, 0, "level.plt", pltWith(eightBit), "level.pal", eightBit},
        {0, 3, "NoExtension", eightBit, "NoExtension.pal", eightBit},
    };
    for (const auto& c : cases) {
        const auto what = std::string(c.file);
        prompts = {};
        start();
        showPage();
        const auto file = work / c.file;
        test::writeFile(file, c.bytes);
        chooseGame(c.game);
        loadPalette(c.source, file);

        EXPECT_TRUE(prompts.messages.isEmpty()) << what << ": " << prompts.messages.join("|").toStdString();
        ASSERT_EQ(prompts.dialogs.size(), 1u) << what;
        EXPECT_EQ(prompts.dialogs[0].folder, q(program / "Data")) << what;
        EXPECT_EQ(prompts.dialogs[0].filter, "All Files (*)") << what;
        const auto copy = program / "Data" / c.copy;
        ASSERT_TRUE(fs::exists(copy)) << what;
        EXPECT_EQ(test::readFile(copy), c.colours) << what;
        EXPECT_EQ(text("Plab"), q(copy)) << what;
        EXPECT_EQ(text("SLab"), "New Palette Loaded Ok") << what;
        expectPreview(c.colours, what);
        for (std::size_t item = 0; item < gamePalettes().size(); ++item)
            EXPECT_EQ(window->GamePalettes().path(gamePalettes()[item].game),
                      static_cast<int>(item) == c.game ? copy : defaultPalettePath(item))
                << what << ", game " << item;
        EXPECT_EQ(test::readFile(file), c.bytes) << what << ": the source file is left as it was";
    }
}

TEST_F(PalettesPage, ALoadedPaletteColoursTheGamesConversionsAndNoOtherGames) {
    start();
    const auto rgb = test::knownPalette(99);
    test::writeFile(work / "textures.bmp", bmpWith(rgb));
    chooseGame(2); // JediKnight MAT
    loadPalette(1, work / "textures.bmp");
    ASSERT_TRUE(prompts.messages.isEmpty());

    const Bytes pixels = {1, 2, 3, 4};
    fs::create_directories(work / "mats");
    test::writeFile(work / "mats" / "wall.mat", test::jkTextureMat({{2, 2, 1, pixels}}));
    open(work / "mats" / "wall.mat");
    auto* list = control<QTreeView>("LB1");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualRect(list->model()->index(0, 0)).center());
    prompts.folderAnswers.push_back(q(work / "out"));
    fs::create_directories(work / "out");
    click("SBExtract_All");
    ASSERT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("|").toStdString();
    std::vector<fs::path> written;
    for (const auto& e : fs::directory_iterator(work / "out"))
        written.push_back(e.path());
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(test::readFile(written[0]), test::expectedBmp(2, 2, pixels, rgb));

    // The Quake 2 palette is still the default one.
    chooseGame(4);
    expectPreview(defaultPalette(4), "Quake2 after the MAT load");
}

TEST_F(PalettesPage, AWad3sColoursBecomeTheCurrentPaletteOnceConvertedNotOncePreviewed) {
    start();
    const auto before = defaultPalette(0);
    Bytes colours = test::knownPalette(77);
    colours.resize(3 * 16); // 16 colours of its own: the other 240 entries keep the current ones
    test::writeFile(work / "t.wad",
                    test::wadFile("WAD3", {{"pic", 0x42, test::wad3Picture(2, 1, {1, 2}, colours)}}));
    open(work / "t.wad");
    auto* list = control<QTreeView>("LB1");
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualRect(list->model()->index(0, 0)).center());
    waitForPreview();
    expectPreview(before, "after a preview");

    control<QTabWidget>("PC1")->setCurrentIndex(0);
    prompts.folderAnswers.push_back(q(work / "out"));
    fs::create_directories(work / "out");
    click("SBExtract");
    ASSERT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("|").toStdString();
    auto expected = before;
    std::copy(colours.begin(), colours.end(), expected.begin());
    EXPECT_EQ(test::readFile(work / "out" / "pic.bmp"), test::expectedBmp(2, 1, {1, 2}, expected));
    expectPreview(expected, "after the conversion");
    EXPECT_EQ(window->CurrentPalette().source, "the own palette of entry 0 'pic' (16 colours)");
}

TEST_F(PalettesPage, ARefusedOrUnreadableFileIsReportedAndChangesNothing) {
    const auto rgb = test::knownPalette(5);
    const struct {
        int source;
        const char* file;
        std::optional<Bytes> bytes; // nullopt: no such file
        QString message;            // "%1": the file's path
    } cases[] = {
        {0, "short.pal", Bytes(765, 100), kWrongFile},
        {1, "deep.bmp", bmpWith(rgb, 24), kWrongFile},
        {1, "tiny.bmp", Bytes{'B', 'M', 0, 0}, kWrongFile},
        {2, "wrong.cmp", ByteBuilder().raw("CMX ").zeros(900).bytes(), kWrongFile},
        {2, "short.cmp", ByteBuilder().raw("CMP ").zeros(400).bytes(), kWrongFile},
        {3, "nopal.bm", test::jkBm({{2, 2, Bytes(4, 7)}}), kWrongFile},
        {4, "short.plt", ByteBuilder().u8(0).u8(255).raw(Bytes(700, 1)).bytes(), kWrongFile},
        {4, "empty.plt", Bytes{}, kWrongFile},
        {0, "gone.pal", std::nullopt, "Cannot open file %1: No such file or directory"},
        {4, "gone.plt", std::nullopt, "Cannot open file %1: No such file or directory"},
    };
    start();
    chooseGame(3);
    const auto status = text("SLab");
    for (const auto& c : cases) {
        const auto what = std::string(c.file);
        if (c.bytes) test::writeFile(work / c.file, *c.bytes);
        prompts.messages.clear();
        loadPalette(c.source, work / c.file);
        EXPECT_EQ(prompts.messages, QStringList{QString(c.message).replace("%1", q(work / c.file))}) << what;
        EXPECT_EQ(text("Plab"), q(defaultPalettePath(3))) << what;
        EXPECT_EQ(text("SLab"), status) << what;
        expectDefaultPaths();
        // The palette in use stays: a failed load does not blacken it.
        expectPreview(defaultPalette(3), what);
    }
    for (const auto& e : fs::directory_iterator(program / "Data"))
        EXPECT_EQ(e.path().filename().string().rfind("default_", 0), 0u) << e.path();
}

TEST_F(PalettesPage, AFailedLoadLeavesNoOkFromTheLoadBefore) {
    start();
    test::writeFile(work / "good.pal", test::knownPalette(3));
    test::writeFile(work / "bad.pal", Bytes(10, 1));
    for (const auto* file : {"bad.pal", "gone.pal"}) {
        loadPalette(0, work / "good.pal");
        ASSERT_EQ(text("SLab"), "New Palette Loaded Ok");
        prompts.messages.clear();
        loadPalette(0, work / file);
        EXPECT_EQ(prompts.messages.size(), 1) << file;
        EXPECT_EQ(text("SLab"), "") << file;
    }
}

TEST_F(PalettesPage, AfterALoadTheOpenDialogOffersTheKnownFilesUntilTheWindowIsReset) {
    start();
    const struct {
        const char* what;
        std::optional<fs::path> file;
    } cases[] = {{"cancelled", std::nullopt},
                 {"refused", work / "bad.pal"},
                 {"not found", work / "gone.pal"},
                 {"loaded", work / "good.pal"}};
    test::writeFile(work / "bad.pal", Bytes(10, 1));
    test::writeFile(work / "good.pal", test::knownPalette(3));
    for (const auto& c : cases) {
        loadPalette(0, c.file);
        prompts.fileAnswers.push_back(std::nullopt);
        trigger("Open1");
        EXPECT_EQ(prompts.dialogs.back().filter, kKnownFiles) << c.what;
        EXPECT_EQ(prompts.dialogs.back().folder, q(program / "Extracted_Files")) << c.what;
    }
    // Cancelled: nothing loaded, nothing said.
    EXPECT_EQ(prompts.messages.size(), 2); // refused, not found

    // Opening a file resets the window, and with it the filter.
    test::writeFile(work / "empty.gob", ByteBuilder().raw("GOB\n").u32(8).u32(0).bytes());
    open(work / "empty.gob");
    prompts.fileAnswers.push_back(std::nullopt);
    trigger("Open1");
    EXPECT_EQ(prompts.dialogs.back().filter, "All Files (*)");
}

TEST_F(PalettesPage, ABrokenDefaultPaletteIsReportedAndTheWindowStaysUsable) {
    const struct {
        const char* what;
        std::optional<Bytes> darkForces; // nullopt: missing
        QString message;                 // "%1": the file's path
    } cases[] = {{"missing", std::nullopt, "Cannot open file %1: No such file or directory"},
                 {"short", Bytes(100, 200), "%1: a palette file holds 768 bytes, this one has 100"}};
    for (const auto& c : cases) {
        prompts = {};
        fs::remove_all(program / "Data");
        if (c.darkForces) test::writeFile(defaultPalettePath(0), *c.darkForces);
        shipDefaultPalettes = false;
        start();
        EXPECT_EQ(prompts.messages, QStringList{c.message.arg(q(defaultPalettePath(0)))}) << c.what;
        EXPECT_EQ(text("Plab"), q(defaultPalettePath(0))) << c.what;
        expectPreview(Bytes(768, 0), c.what);

        // Another game whose palette is there shows it; the Files page still lists.
        test::writeFile(defaultPalettePath(4), defaultPalette(4));
        chooseGame(4);
        expectPreview(defaultPalette(4), c.what);
        test::writeFile(work / "empty.gob", ByteBuilder().raw("GOB\n").u32(8).u32(0).bytes());
        open(work / "empty.gob");
        EXPECT_EQ(text("SLab"), q(work / "empty.gob") + "   Contains  0 files") << c.what;
        EXPECT_EQ(prompts.messages.size(), 1) << c.what;
    }
}

TEST_F(PalettesPage, AMissingDefaultPaletteDoesNotStopACommandLineOpen) {
    shipDefaultPalettes = false;
    test::writeFile(work / "empty.gob", ByteBuilder().raw("GOB\n").u32(8).u32(0).bytes());
    start({q(work / "empty.gob")});
    EXPECT_EQ(prompts.messages,
              QStringList{"Cannot open file " + q(defaultPalettePath(0)) + ": No such file or directory"});
    EXPECT_EQ(text("SLab"), q(work / "empty.gob") + "   Contains  0 files");
}

} // namespace
} // namespace vexa
