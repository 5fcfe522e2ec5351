// PNG output: every picture a conversion writes as BMP comes out as an 8-bit paletted PNG with the
// same indices and the same palette in the same order; nothing else changes.

#include "app/extract.h"
#include "app/kinds.h"
#include "base/errors.h"
#include "formats/DF_Gob.h"
#include "formats/HL_WAD3.h"
#include "formats/texture_builders.h"
#include "images/Png_writer.h"
#include "images/image_builders.h"
#include "images/picture_output.h"
#include "images/png_decode.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::TempDir;

using test::namesIn;

// The palette of a BMP the writer made, as red, green, blue triples.
Bytes bmpPalette(const Bytes& bmp) {
    Bytes rgb;
    for (std::size_t i = 0; i < 256; ++i)
        rgb.insert(rgb.end(), {bmp.at(54 + 4 * i + 2), bmp.at(54 + 4 * i + 1), bmp.at(54 + 4 * i)});
    return rgb;
}

class PngPictures : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const auto& g : gamePalettes()) {
            const auto path = palettes_ / std::string(g.defaultFile);
            test::writeFile(path, test::knownPalette(static_cast<std::uint8_t>(60 + int(g.game))));
            games_.set(g.game, path);
        }
    }
    std::unique_ptr<ContainerReader> open(const fs::path& path) {
        const auto code = detectKind(path);
        loadKindPalette(code, games_, current_);
        auto object = CreateContainerObject(code);
        object->ReadDirectory(openFileBytes(path));
        return object;
    }
    ExtractionResult extractAll(const ContainerReader& object, const fs::path& target, PictureFormat format) {
        std::vector<std::size_t> rows(object.EntryCount());
        for (std::size_t i = 0; i < rows.size(); ++i)
            rows[i] = i;
        ExtractionOptions options;
        options.pictures = format;
        options.games = games_;
        return extractRows(object, target, rows, options, current_);
    }
    TempDir palettes_;
    GamePalettePaths games_;
    Palette current_;
};

TEST_F(PngPictures, EachKindGivesTheIndicesAndPaletteOfItsBmp) {
    const auto rows = test::patternBytes(6 * 5, 3);
    const auto odd = test::patternBytes(3 * 7, 4);
    const auto own = test::knownPalette(201);
    const struct {
        const char* file;
        Bytes bytes;
    } cases[] = {
        {"ANIM.BM", test::dfMultipleBm({{6, 5, rows}, {3, 7, odd}})},
        {"door.bm", test::jkBm({{6, 5, rows}, {3, 7, odd}}, own)},
        {"floor.mat", test::jkTextureMat({{6, 5, 3, rows}})},
        {"red.mat", test::jkColourMat(9)},
        {"brick.wal", test::q2Wal(3, 7, odd)},
        {"hl.wad", test::wadFile("WAD3", {{"{A", 0x43,
                                           test::wad3MipTexture("{A", 8, 4, test::patternBytes(32, 1), own)},
                                          {"b", 0x42, test::wad3Picture(3, 7, odd, Bytes(30, 99))},
                                          {"snd", 0x44, Bytes(9, 1)}})},
        {"gfx.wad", test::wadFile("WAD2", {{"pic", 0x42, test::plainPicture(3, 7, odd)}})},
        {"map.bsp",
         test::bspFile(test::textureLump({test::mipTexture("*lava", 8, 4, test::patternBytes(32, 2))}))},
    };
    for (const auto& c : cases) {
        TempDir in, bmpOut, pngOut;
        test::writeFile(in / c.file, c.bytes);
        // Each run from the same starting palette, as the window's runs would be.
        const auto start = current_;
        extractAll(*open(in / c.file), bmpOut.path(), PictureFormat::Bmp);
        current_ = start;
        const auto result = extractAll(*open(in / c.file), pngOut.path(), PictureFormat::Png);
        EXPECT_EQ(result.statusText(), "Extraction  Complete") << c.file;
        current_ = start;

        const auto bmps = namesIn(bmpOut.path());
        ASSERT_FALSE(bmps.empty()) << c.file;
        std::vector<std::string> expected;
        for (const auto& bmpName : bmps)
            expected.push_back(fs::path(bmpName).replace_extension(".png").string());
        EXPECT_EQ(namesIn(pngOut.path()), expected) << c.file;
        for (const auto& bmpName : bmps) {
            const auto bmp = test::readFile(bmpOut / bmpName);
            const auto png = test::decodePng(pngOut / fs::path(bmpName).replace_extension(".png"));
            ASSERT_TRUE(png.ok) << c.file << ": " << bmpName;
            const auto picture = test::decodeBmp(bmp);
            EXPECT_EQ(png.bitDepth, 8);
            EXPECT_EQ(png.colourType, PNG_COLOR_TYPE_PALETTE);
            EXPECT_EQ(png.paletteEntries, 256);
            EXPECT_FALSE(png.transparency);
            EXPECT_EQ(png.width, picture.width) << bmpName;
            EXPECT_EQ(png.height, picture.height) << bmpName;
            EXPECT_EQ(png.indices, picture.rows) << c.file << ": " << bmpName;
            EXPECT_EQ(png.palette, bmpPalette(bmp)) << c.file << ": " << bmpName;
        }
    }
}

TEST_F(PngPictures, EntriesThatAreNotConvertedStayByteForByte) {
    TempDir source, in, out;
    const auto bmp = test::expectedBmp(2, 2, {1, 2, 3, 4}, test::knownPalette(1));
    test::writeFile(source / "PIC.BMP", bmp);
    test::writeFile(source / "A.DAT", test::patternBytes(500, 2));
    TDFGobReader().WriteContainer(in / "t.gob", source.path(), GatherFolderFiles(source.path()), nullptr);
    const auto result = extractAll(*open(in / "t.gob"), out.path(), PictureFormat::Png);
    EXPECT_EQ(result.statusText(), "Extraction  Complete");
    EXPECT_EQ(namesIn(out.path()), (std::vector<std::string>{"A.DAT", "PIC.BMP"}));
    EXPECT_EQ(test::readFile(out / "PIC.BMP"), bmp);
    EXPECT_EQ(test::readFile(out / "A.DAT"), test::patternBytes(500, 2));
}

// Hands out rows until `failAt`, then fails as a short source would.
class FailingRows : public PixelRows {
  public:
    FailingRows(std::size_t width, std::size_t failAt) : width_(width), failAt_(failAt) {}
    void readRows(std::size_t first, std::span<std::uint8_t> rows) const override {
        if (first + rows.size() / width_ > failAt_)
            throw FormatError("the source ended at row " + std::to_string(failAt_));
        std::fill(rows.begin(), rows.end(), std::uint8_t{7});
    }

  private:
    std::size_t width_, failAt_;
};

TEST_F(PngPictures, AFailedWriteLeavesNoFile) {
    TempDir out;
    // Rows are read in bands: the failure comes after the first band was encoded.
    EXPECT_THROW(writeIndexedPng(out / "a.png", 1000, 300, FailingRows(1000, 150), current_.table),
                 FormatError);
    EXPECT_TRUE(namesIn(out.path()).empty());
    EXPECT_THROW(writeIndexedPng(out / "missing" / "a.png", 4, 4, FailingRows(4, 4), current_.table), Error);
    EXPECT_THROW(writeIndexedPng(out / "b.png", 0, 4, FailingRows(4, 4), current_.table), Error);
    EXPECT_TRUE(namesIn(out.path()).empty());
    // The same rows, whole, write a picture that decodes.
    writeIndexedPng(out / "c.png", 1000, 300, FailingRows(1000, 300), current_.table);
    const auto png = test::decodePng(out / "c.png");
    ASSERT_TRUE(png.ok);
    EXPECT_EQ(png.indices, Bytes(300000, 7));
}

TEST_F(PngPictures, APictureNeverReplacesTheContainerBeingRead) {
    // A WAD named as the PNG of its own lump, extracted into its own folder.
    TempDir in;
    test::writeFile(in / "pic.png", test::wadFile("WAD3", {{"pic", 0x42, test::wad3Picture(1, 1, {1}, {})}}));
    const auto before = test::readFile(in / "pic.png");
    TWadReader object;
    object.ReadDirectory(openFileBytes(in / "pic.png"));
    ExtractionOptions options;
    options.pictures = PictureFormat::Png;
    EXPECT_EQ(extractRows(object, in.path(), {0}, options, current_).refused.size(), 1u);
    EXPECT_EQ(test::readFile(in / "pic.png"), before);
}

TEST(PictureOutputPath, OnlyBmpNamesTurnIntoPng) {
    const struct {
        const char* path;
        PictureFormat format;
        const char* expected;
    } cases[] = {{"out/a.bmp", PictureFormat::Bmp, "out/a.bmp"},
                 {"out/a.bmp", PictureFormat::Png, "out/a.png"},
                 {"out/a_1.BMP", PictureFormat::Png, "out/a_1.png"},
                 {"out/a.dat", PictureFormat::Png, "out/a.dat"}};
    for (const auto& c : cases)
        EXPECT_EQ(pictureOutputPath(OutputPath(c.path), c.format).path(), fs::path(c.expected)) << c.path;
}

} // namespace
} // namespace vexa
