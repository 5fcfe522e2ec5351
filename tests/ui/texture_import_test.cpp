// Game textures made from pictures in the window: the New_C page's texture WAD items building from a
// folder of PNG and BMP files, and File > Import picture… with its preview, each read back by the
// program's own readers.

#include "WindowFixture.h"
#include "app/kinds.h"
#include "base/file_io.h"
#include "images/picture_builders.h"
#include "images/picture_output.h"
#include "ui/ImportPictureDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeView>

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::Bytes;
using test::q;

// ---- pictures made for the tests ----------------------------------------------------------------

// Every index differs from its neighbours, so a level, a row or a column out of place shows.
IndexedImage patternImage(std::uint32_t width, std::uint32_t height, std::uint8_t seed) {
    IndexedImage image{width, height, {}};
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x)
            image.indices.push_back(static_cast<std::uint8_t>(seed + 7 * x + 13 * y));
    return image;
}

void writeIndexedPicture(const fs::path& path, const IndexedImage& image, const Bytes& palette) {
    fs::create_directories(path.parent_path());
    const auto format = path.extension() == ".png" ? PictureFormat::Png : PictureFormat::Bmp;
    const auto written = writePicture(path, image, test::paletteTable(test::coloursOf(palette)), format);
    if (written.path() != path) fs::rename(written.path(), path);
}

Bytes gradientBmp(std::uint32_t width, std::uint32_t height) {
    Bytes rgba;
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x)
            rgba.insert(rgba.end(), {static_cast<std::uint8_t>(x * 255 / width),
                                     static_cast<std::uint8_t>(y * 255 / height), 90, 255});
    return test::rgbBmp(24, width, height, rgba);
}

// Pictures the import refuses, with the parts of the message that names each and its reason.
struct BadPicture {
    const char* what;
    std::string name;
    Bytes bytes;
    QStringList parts;
};
std::vector<BadPicture> badPictures() {
    const auto good = gradientBmp(32, 32);
    return {
        {"a side not a multiple of 16", "narrow.bmp", gradientBmp(40, 16), {"narrow.bmp", "16"}},
        {"a damaged PNG", "broken.png", test::bytesOf("\x89PNG\r\n\x1a\n but nothing more"), {"broken.png"}},
        {"a BMP cut short", "short.bmp", Bytes(good.begin(), good.begin() + 300), {"short.bmp"}},
        {"not a picture", "notes.bmp", test::bytesOf("just some words"), {"notes.bmp"}},
    };
}

void expectMessageNames(const QStringList& messages, const QStringList& parts) {
    ASSERT_EQ(messages.size(), 1) << messages.join("|").toStdString();
    for (const auto& part : parts)
        EXPECT_TRUE(messages[0].contains(part)) << messages[0].toStdString();
}

// ---- reading back -------------------------------------------------------------------------------

struct Texture {
    std::string name;
    IndexedImage image;
    std::vector<std::uint8_t> ownColours; // WAD3: red, green, blue per entry
};

std::vector<Texture> readWad(ContainerType type, const fs::path& path) {
    auto object = CreateContainerObject(type);
    object->ReadDirectory(openFileBytes(path));
    EXPECT_TRUE(object->HasPictures());
    std::vector<Texture> out;
    for (std::size_t i = 0; i < object->EntryCount(); ++i) {
        auto decoded = object->DecodePictures(i);
        EXPECT_EQ(decoded.pictures.size(), 1u);
        out.push_back({object->EntryNames()[i], decoded.pictures.at(0).image, decoded.palette.colours});
    }
    return out;
}

IndexedImage readSingleTexture(ContainerType type, const fs::path& path) {
    const auto decoded = findKind(type)->createDecoder()->Decode(InputFile(path));
    EXPECT_FALSE(decoded.pictures.empty());
    return decoded.pictures.empty() ? IndexedImage{} : decoded.pictures[0].image;
}

void expectSameImage(const IndexedImage& got, const IndexedImage& expected) {
    EXPECT_EQ(got.width, expected.width);
    EXPECT_EQ(got.height, expected.height);
    EXPECT_EQ(got.indices, expected.indices);
}

std::size_t itemOf(std::string_view cliName) {
    const auto& kinds = creatableKinds();
    for (std::size_t i = 0; i < kinds.size(); ++i)
        if (kinds[i].cliName == cliName) return i;
    ADD_FAILURE() << cliName;
    return 0;
}

class TextureImport : public test::WindowFixture {
  protected:
    void SetUp() override { start(); }

    fs::path temp() const { return program / "Temp"; }
    // The game palettes the window starts with (WindowFixture ships one per game).
    static Bytes gamePalette(Game game) { return defaultPalette(static_cast<std::size_t>(game)); }

    QStringList rows() {
        QStringList out;
        auto* model = control<QTreeView>("LB1")->model();
        for (int i = 0; i < model->rowCount(); ++i)
            out << model->index(i, 0).data().toString();
        return out;
    }

    // New_C: kind, folder, "Begin"; the review is shown.
    void begin(std::string_view cliName, const fs::path& folder) {
        auto* page = window->findChild<QWidget*>(QStringLiteral("New_C"));
        control<QTabWidget>("PC1")->setCurrentWidget(page);
        QTest::mouseClick(
            control<QRadioButton>(("RGConCreateItem" + std::to_string(itemOf(cliName))).c_str()),
            Qt::LeftButton);
        prompts.folderAnswers.push_back(q(folder));
        QTest::mouseClick(control<QPushButton>("SBBrwseFiles"), Qt::LeftButton);
        QTest::mouseClick(control<QPushButton>("SBCreate"), Qt::LeftButton);
    }

    // File > Import picture…, its dialog, and waiting for what it maps or writes.
    ui::ImportPictureDialog* openImport() {
        trigger("ImportPicture1");
        auto* dialog = window->findChild<ui::ImportPictureDialog*>(QStringLiteral("ImportPicture"));
        EXPECT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog && dialog->isVisible());
        return dialog;
    }
    void settle(ui::ImportPictureDialog* dialog) {
        EXPECT_TRUE(waitWhile([dialog] { return dialog->busy(); })) << "the dialog's work did not end";
    }
    template <class T> T* in(ui::ImportPictureDialog* dialog, const char* name) {
        auto* found = dialog->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void choosePicture(ui::ImportPictureDialog* dialog, const fs::path& picture) {
        prompts.fileAnswers.push_back(q(picture));
        QTest::mouseClick(in<QPushButton>(dialog, "SBBrowsePicture"), Qt::LeftButton);
        settle(dialog);
    }
    void chooseKind(ui::ImportPictureDialog* dialog, TextureKind kind) {
        auto* kinds = in<QComboBox>(dialog, "CBTextureKind");
        kinds->setCurrentIndex(kinds->findData(static_cast<int>(kind)));
        settle(dialog);
    }
    void write(ui::ImportPictureDialog* dialog) {
        QTest::mouseClick(in<QPushButton>(dialog, "SBWrite"), Qt::LeftButton);
        settle(dialog);
    }
    // The preview's pixels as the indices they are.
    static IndexedImage previewIndices(const QImage& image) {
        IndexedImage out{
            static_cast<std::uint32_t>(image.width()), static_cast<std::uint32_t>(image.height()), {}};
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                out.indices.push_back(static_cast<std::uint8_t>(image.pixelIndex(x, y)));
        return out;
    }
};

// ---- the New_C page -----------------------------------------------------------------------------

TEST_F(TextureImport, TheTextureWadItemsBuildFromThePicturesOfAFolder) {
    struct Case {
        const char* cliName;
        ContainerType type;
        fs::path target;
    };
    const std::vector<Case> cases = {
        {"wad3", ContainerType::HLWad3, temp() / "New_HL_Textures.Wad"},
        {"wad2", ContainerType::Q1Wad2, temp() / "New_Q1_Textures.Wad"},
    };
    // WAD3 keeps each 8-bit picture's own palette; WAD2 maps onto the Quake palette, which the
    // pictures already hold, so both keep every index.
    const auto own = test::knownPalette(77);
    const auto quake = gamePalette(Game::Quake1Bsp);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.cliName);
        const bool wad3 = c.type == ContainerType::HLWad3;
        const auto folder = work / c.cliName;
        const auto brick = patternImage(32, 16, 3);
        const auto floor = patternImage(16, 48, 200);
        writeIndexedPicture(folder / "brick.png", brick, wad3 ? own : quake);
        writeIndexedPicture(folder / "Floor.BMP", floor, wad3 ? own : quake);
        test::writeFile(folder / "notes.txt", std::string_view("not a picture"));
        test::writeFile(folder / "colours.lmp", test::knownPalette(1));
        writeIndexedPicture(folder / "sub" / "deep.png", brick, own); // the folder's own files only

        begin(c.cliName, folder);
        EXPECT_EQ(rows(), (QStringList{"Floor.BMP", "brick.png"}));
        EXPECT_TRUE(control<QPushButton>("SBOK")->isEnabled());
        click("SBOK");

        EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("|").toStdString();
        EXPECT_EQ(text("SLab"), "Created File " + q(c.target));
        EXPECT_EQ(window->CurrentType(), c.type);
        const auto back = readWad(c.type, c.target);
        ASSERT_EQ(back.size(), 2u);
        EXPECT_EQ(back[0].name, "Floor");
        EXPECT_EQ(back[1].name, "brick");
        expectSameImage(back[0].image, floor);
        expectSameImage(back[1].image, brick);
        for (const auto& texture : back) {
            if (!wad3) continue;
            ASSERT_GE(texture.ownColours.size(), 768u);
            EXPECT_EQ(Bytes(texture.ownColours.begin(), texture.ownColours.begin() + 768), own);
        }
    }
}

TEST_F(TextureImport, TheTextureWadItemsRefuseABadPictureAndWriteNothing) {
    const Bytes goodBmp = gradientBmp(16, 16);
    auto cases = badPictures();
    cases.push_back({"a name over 15 bytes", "far_too_long_a_name.bmp", goodBmp, {"far_too_long_a_name"}});
    cases.push_back({"a name given twice", "GOOD.png", goodBmp, {"GOOD", "good"}});
    const auto target = temp() / "New_HL_Textures.Wad";
    test::writeFile(target, std::string_view("old")); // a file of that name from before
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        prompts.messages.clear();
        const auto folder = work / ("bad-" + c.name);
        test::writeFile(folder / "good.bmp", goodBmp);
        test::writeFile(folder / c.name, c.bytes);

        begin("wad3", folder);
        ASSERT_EQ(rows().size(), 2);
        prompts.choiceAnswers.push_back("Replace"); // the old file stays all the same
        click("SBOK");

        expectMessageNames(prompts.messages, c.parts);
        EXPECT_EQ(test::readFile(target), test::bytesOf("old"));
        EXPECT_EQ(test::namesIn(temp()), std::vector<std::string>{"New_HL_Textures.Wad"});
        EXPECT_FALSE(text("SLab").contains("Created File"));
        // The review stays, so that the picture can be removed and the rest written.
        EXPECT_TRUE(control<QPushButton>("SBOK")->isEnabled());
    }
}

// ---- File > Import picture… ---------------------------------------------------------------------

TEST_F(TextureImport, ImportWritesEachKindWithThePictureAsPreviewed) {
    struct Case {
        TextureKind kind;
        ContainerType type;
        Game game;
        const char* file;
    };
    const std::vector<Case> cases = {
        {TextureKind::Wal, ContainerType::Q2Wal, Game::Quake2Wal, "wall.wal"},
        {TextureKind::DfBm, ContainerType::DFBm, Game::DarkForcesBm, "wall.bm"},
        {TextureKind::JkMat, ContainerType::JKMat, Game::JediKnightMat, "wall.mat"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        prompts.messages.clear();
        // An 8-bit picture in the kind's game palette keeps its indices exactly.
        const auto picture = work / ("pictures-" + std::string(c.file)) / "wall.bmp";
        const auto image = patternImage(32, 16, 9);
        writeIndexedPicture(picture, image, gamePalette(c.game));

        auto* dialog = openImport();
        ASSERT_NE(dialog, nullptr);
        chooseKind(dialog, c.kind);
        choosePicture(dialog, picture);
        // The texture is proposed in Temp under the picture's name, with the kind's extension.
        const auto expectedPath = temp() / c.file;
        EXPECT_EQ(in<QLineEdit>(dialog, "ETexture")->text(), q(expectedPath));

        const auto preview = dialog->previewImage();
        ASSERT_FALSE(preview.isNull()) << dialog->previewNote().toStdString();
        expectSameImage(previewIndices(preview), image);
        const auto palette = test::paletteTable(test::coloursOf(gamePalette(c.game)));
        for (int i = 0; i < 256; ++i) {
            const auto rgb = paletteColour(palette, static_cast<std::size_t>(i));
            EXPECT_EQ(preview.color(i), qRgb(rgb[0], rgb[1], rgb[2])) << i;
        }
        EXPECT_TRUE(dialog->previewNote().startsWith("wall.bmp: 32 x 16 as a "))
            << dialog->previewNote().toStdString();
        EXPECT_FALSE(fs::exists(expectedPath)); // nothing is written before Write

        write(dialog);
        EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("|").toStdString();
        EXPECT_FALSE(dialog->isVisible());
        // Quake II's palette is the game's own; the others' defaults are stand-ins, and that is said.
        EXPECT_TRUE(text("SLab").startsWith("Created File " + q(expectedPath))) << text("SLab").toStdString();
        EXPECT_EQ(text("SLab").contains(" - Painted with a placeholder"), c.game != Game::Quake2Wal)
            << text("SLab").toStdString();
        expectSameImage(readSingleTexture(c.type, expectedPath), image);
    }
}

TEST_F(TextureImport, DitherChangesThePreviewAndTheKindChangesTheExtension) {
    const auto picture = work / "gradient.bmp";
    test::writeFile(picture, gradientBmp(64, 32));
    auto* dialog = openImport();
    ASSERT_NE(dialog, nullptr);
    chooseKind(dialog, TextureKind::Wal);
    choosePicture(dialog, picture);
    const auto plain = dialog->previewImage();
    ASSERT_FALSE(plain.isNull()) << dialog->previewNote().toStdString();
    EXPECT_EQ(plain.size(), QSize(64, 32));

    in<QCheckBox>(dialog, "CBDither")->click();
    settle(dialog);
    const auto dithered = dialog->previewImage();
    EXPECT_EQ(dithered.size(), plain.size());
    EXPECT_NE(previewIndices(dithered).indices, previewIndices(plain).indices);
    EXPECT_TRUE(dialog->previewNote().contains("dithered"));

    in<QCheckBox>(dialog, "CBDither")->click();
    settle(dialog);
    EXPECT_EQ(previewIndices(dialog->previewImage()).indices, previewIndices(plain).indices);

    // The proposed name follows the kind; one the user typed keeps its name and takes the extension.
    chooseKind(dialog, TextureKind::JkMat);
    EXPECT_EQ(in<QLineEdit>(dialog, "ETexture")->text(), q(temp() / "gradient.mat"));
    auto* texture = in<QLineEdit>(dialog, "ETexture");
    texture->clear();
    QTest::keyClicks(texture, q(work / "mine.mat"));
    chooseKind(dialog, TextureKind::DfBm);
    EXPECT_EQ(texture->text(), q(work / "mine.bm"));
    choosePicture(dialog, picture);
    EXPECT_EQ(texture->text(), q(work / "mine.bm"));

    // The dithered picture is what is written.
    in<QCheckBox>(dialog, "CBDither")->click();
    settle(dialog);
    const auto shown = previewIndices(dialog->previewImage());
    write(dialog);
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("|").toStdString();
    expectSameImage(readSingleTexture(ContainerType::DFBm, work / "mine.bm"), shown);
}

TEST_F(TextureImport, ImportSaysWhatIsWrongAndKeepsWhatWasThere) {
    auto cases = badPictures();
    cases.push_back({"no picture", "", {}, {"No picture chosen"}}); // none chosen
    const auto target = work / "kept.wal";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        prompts.messages.clear();
        test::writeFile(target, std::string_view("old"));
        auto* dialog = openImport();
        ASSERT_NE(dialog, nullptr);
        chooseKind(dialog, TextureKind::Wal);
        auto* picture = in<QLineEdit>(dialog, "EPicture");
        picture->clear();
        if (!c.name.empty()) {
            test::writeFile(work / c.name, c.bytes);
            choosePicture(dialog, work / c.name);
        }
        auto* texture = in<QLineEdit>(dialog, "ETexture");
        texture->clear();
        QTest::keyClicks(texture, q(target));

        if (!c.name.empty()) prompts.choiceAnswers.push_back("Replace"); // the old file stays all the same
        write(dialog);
        expectMessageNames(prompts.messages, c.parts);
        EXPECT_EQ(test::readFile(target), test::bytesOf("old"));
        EXPECT_EQ(test::namesIn(work.path()).size(), c.name.empty() ? 1u : 2u); // nothing beside them
        // The dialog stays open for another try.
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_TRUE(in<QPushButton>(dialog, "SBWrite")->isEnabled());
        if (!c.name.empty() && c.parts.size() == 1) { // damaged: the preview says so already
            EXPECT_TRUE(dialog->previewNote().contains(QString::fromStdString(c.name)))
                << dialog->previewNote().toStdString();
        }
        QTest::mouseClick(in<QPushButton>(dialog, "SBClose"), Qt::LeftButton);
        EXPECT_FALSE(dialog->isVisible());
        if (!c.name.empty()) fs::remove(work / c.name);
    }
}

// The WAL header's fields: shown for a WAL only, a number that is none said before anything is
// written, the fields typed written, and those left empty kept from the WAL written over.
TEST_F(TextureImport, TheWalHeaderFieldsAreWrittenAndKept) {
    const auto picture = work / "lava.bmp";
    writeIndexedPicture(picture, patternImage(32, 16, 3), gamePalette(Game::Quake2Wal));
    const auto target = work / "textures" / "e1u1" / "brlava.wal";
    fs::create_directories(target.parent_path());
    const auto header = [&] {
        const auto bytes = test::readFile(target);
        return std::make_tuple(std::string(reinterpret_cast<const char*>(&bytes[0])),
                               std::string(reinterpret_cast<const char*>(&bytes[56])),
                               Bytes(bytes.begin() + 88, bytes.begin() + 100));
    };
    const auto importWith = [&](const QStringList& typed) {
        prompts.messages.clear();
        auto* dialog = openImport();
        chooseKind(dialog, TextureKind::DfBm);
        EXPECT_FALSE(in<QWidget>(dialog, "WalFields")->isVisible());
        chooseKind(dialog, TextureKind::Wal);
        EXPECT_TRUE(in<QWidget>(dialog, "WalFields")->isVisible());
        choosePicture(dialog, picture);
        const char* edits[] = {"EWalName", "EWalNext", "EWalFlags", "EWalContents", "EWalValue"};
        for (int i = 0; i < 5; ++i)
            QTest::keyClicks(in<QLineEdit>(dialog, edits[i]), typed.value(i));
        auto* texture = in<QLineEdit>(dialog, "ETexture");
        texture->clear();
        QTest::keyClicks(texture, q(target));
        if (fs::exists(target)) prompts.choiceAnswers.push_back("Replace");
        write(dialog);
        if (dialog->isVisible()) QTest::mouseClick(in<QPushButton>(dialog, "SBClose"), Qt::LeftButton);
    };

    importWith({});
    EXPECT_TRUE(prompts.messages.isEmpty()) << prompts.messages.join("|").toStdString();
    EXPECT_EQ(header(), std::make_tuple(std::string("e1u1/brlava"), std::string(), Bytes(12, 0)));

    importWith({"", "e1u1/brlava2", "0x8", "", "-2"});
    EXPECT_EQ(header(), std::make_tuple(std::string("e1u1/brlava"), std::string("e1u1/brlava2"),
                                        Bytes{8, 0, 0, 0, 0, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF}));

    const auto before = test::readFile(target);
    importWith({"", "", "", "lava"});
    ASSERT_EQ(prompts.messages.size(), 1);
    EXPECT_TRUE(prompts.messages[0].contains("contents takes a number")) << prompts.messages[0].toStdString();
    EXPECT_EQ(test::readFile(target), before);
}

} // namespace
} // namespace vexa
