#include "app/extract.h"
#include "app/kinds.h"
#include "base/errors.h"
#include "formats/image_folder.h"
#include "images/DF_BM.h"
#include "images/JK_BM.h"
#include "images/JK_Mat.h"
#include "images/Q2_Wal.h"
#include "images/image_builders.h"
#include "images/picture_output.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::TempDir;

// Every game palette points at its own known 8-bit palette file.
class Converters : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const auto& g : gamePalettes()) {
            const auto path = palettes_ / std::string(g.defaultFile);
            test::writeFile(path, paletteOf(g.game));
            games_.set(g.game, path);
        }
    }

    // Converts the image file in of kind code as extraction does: the kind's game palette loaded
    // as the file opens, each picture written beside out with the palette it names.
    void convert(ContainerType code, const fs::path& out, const fs::path& in) {
        loadKindPalette(code, games_, current_);
        const InputFile file(in);
        const auto pictures = findKind(code)->createDecoder()->Decode(file);
        const auto& palette = applyPaletteNeed(pictures.palette, games_, current_);
        for (const auto& picture : pictures.pictures)
            writePicture(withExtension(out, picture.suffix), picture.image, palette.table,
                         PictureFormat::Bmp);
    }
    static Bytes paletteOf(Game game) {
        return test::knownPalette(static_cast<std::uint8_t>(10 + int(game)));
    }

    fs::path input(const std::string& name, const Bytes& bytes) {
        test::writeFile(in_ / name, bytes);
        return in_ / name;
    }
    std::vector<std::string> outputs() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(out_.path()))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    Bytes output(const std::string& name) const { return test::readFile(out_ / name); }

    TempDir palettes_, in_, out_;
    GamePalettePaths games_;
    Palette current_;
};

Bytes rowsOf(std::uint32_t width, std::uint32_t height, std::uint8_t seed) {
    return test::patternBytes(std::size_t{width} * height, seed);
}

// ---- Dark Forces BM ----

TEST_F(Converters, DfPlainBmTurnsColumnsIntoRows) {
    const auto rows = rowsOf(3, 2, 1);
    convert(ContainerType::DFBm, out_ / "WALL.BM", input("WALL.BM", test::dfPlainBm(3, 2, rows)));
    EXPECT_EQ(outputs(), (std::vector<std::string>{"WALL.bmp"}));
    EXPECT_EQ(output("WALL.bmp"), test::expectedBmp(3, 2, rows, paletteOf(Game::DarkForcesBm)));

    // Column 0 all index 7 is the left edge; the file's first pixel byte is the bottom-left corner.
    ByteBuilder b;
    b.raw("BM \x1E").u16(64).u16(64).zeros(24).u8(9).raw(Bytes(63, 7)).zeros(64 * 63);
    convert(ContainerType::DFBm, out_ / "E.BM", input("E.BM", b.bytes()));
    const auto picture = test::decodeBmp(output("E.bmp"));
    EXPECT_EQ(picture.at(0, 63), 9);
    for (std::uint32_t y = 0; y < 63; ++y)
        EXPECT_EQ(picture.at(0, y), 7) << y;
    EXPECT_EQ(picture.at(1, 0), 0);
}

TEST_F(Converters, DfBmKindsThatAreNotConvertedGiveNothing) {
    const struct {
        const char* name;
        Bytes bytes;
    } cases[] = {
        {"TALL.BM", test::dfPlainBm(2, 257, rowsOf(2, 257, 1))},
        {"MARKED.BM", ByteBuilder().raw("BM \x1E").u16(2).u16(1).u16(0xFFFE).zeros(22).u16(0).bytes()},
        {"BADSIZE.BM",
         ByteBuilder().raw("BM \x1E").u16(1).u16(99).u16(0xFFFE).u16(1).zeros(20).zeros(40).bytes()},
    };
    for (const auto& c : cases)
        convert(ContainerType::DFBm, out_ / c.name, input(c.name, c.bytes));
    EXPECT_TRUE(outputs().empty());

    convert(ContainerType::DFBm, out_ / "MAX.BM",
            input("MAX.BM", test::dfPlainBm(2, 256, rowsOf(2, 256, 3))));
    convert(ContainerType::DFBm, out_ / "PAD.BM", input("PAD.BM", test::dfPlainBm(10, 2, rowsOf(10, 2, 3))));
    EXPECT_EQ(outputs(), (std::vector<std::string>{"MAX.bmp", "PAD.bmp"}));
    EXPECT_EQ(output("PAD.bmp").size(), 1078u + 12 * 2);
}

TEST_F(Converters, DfMultipleBmGivesNumberedPictures) {
    const std::vector<test::SubPicture> images = {
        {4, 4, rowsOf(4, 4, 1)}, {2, 5, rowsOf(2, 5, 2)}, {7, 1, rowsOf(7, 1, 3)}};
    convert(ContainerType::DFBm, out_ / "name.bm", input("name.bm", test::dfMultipleBm(images)));
    EXPECT_EQ(outputs(), (std::vector<std::string>{"name_0.bmp", "name_1.bmp", "name_2.bmp"}));
    for (std::size_t i = 0; i < images.size(); ++i)
        EXPECT_EQ(output("name_" + std::to_string(i) + ".bmp"),
                  test::expectedBmp(images[i].width, images[i].height, images[i].rowsTopDown,
                                    paletteOf(Game::DarkForcesBm)))
            << i;
}

// ---- Jedi Knight BM ----

TEST_F(Converters, JkBmUsesItsOwnPaletteWhenFlagged) {
    const auto rows = rowsOf(32, 32, 4);
    Bytes own = test::knownPalette(77);
    convert(ContainerType::JKBm, out_ / "a.bm", input("a.bm", test::jkBm({{32, 32, rows}}, own)));
    EXPECT_EQ(output("a.bmp"), test::expectedBmp(32, 32, rows, own));

    // Without a palette of its own the game palette is loaded again, whatever came before.
    convert(ContainerType::JKBm, out_ / "b.bm", input("b.bm", test::jkBm({{32, 32, rows}})));
    EXPECT_EQ(output("b.bmp"), test::expectedBmp(32, 32, rows, paletteOf(Game::JediKnightBm)));

    // A 6-bit palette of its own is widened.
    convert(ContainerType::JKBm, out_ / "c.bm",
            input("c.bm", test::jkBm({{2, 2, rowsOf(2, 2, 1)}}, Bytes(768, 63))));
    EXPECT_EQ(output("c.bmp")[54], 255);
    EXPECT_EQ(outputs(), (std::vector<std::string>{"a.bmp", "b.bmp", "c.bmp"}));
}

TEST_F(Converters, JkBmWithSeveralImagesGivesNumberedPictures) {
    const std::vector<test::SubPicture> images = {
        {8, 8, rowsOf(8, 8, 1)}, {4, 4, rowsOf(4, 4, 2)}, {3, 2, rowsOf(3, 2, 3)}};
    convert(ContainerType::JKBm, out_ / "w.bm", input("w.bm", test::jkBm(images)));
    EXPECT_EQ(outputs(), (std::vector<std::string>{"w_0.bmp", "w_1.bmp", "w_2.bmp"}));
    EXPECT_EQ(output("w_2.bmp"),
              test::expectedBmp(3, 2, images[2].rowsTopDown, paletteOf(Game::JediKnightBm)));

    // 16-bit BMs and BMs without images give nothing.
    convert(ContainerType::JKBm, out_ / "h.bm", input("h.bm", test::jkBm(images, {}, 16)));
    convert(ContainerType::JKBm, out_ / "e.bm", input("e.bm", test::jkBm({})));
    EXPECT_EQ(outputs().size(), 3u);
}

// ---- Jedi Knight MAT ----

TEST_F(Converters, MatTexturesSkipTheirSmallerMipLevels) {
    const auto big = rowsOf(64, 64, 1);
    convert(ContainerType::JKMat, out_ / "one.mat", input("one.mat", test::jkTextureMat({{64, 64, 4, big}})));
    EXPECT_EQ(output("one.bmp"), test::expectedBmp(64, 64, big, paletteOf(Game::JediKnightMat)));

    const auto first = rowsOf(32, 32, 2), second = rowsOf(32, 32, 3);
    const auto two = test::jkTextureMat({{32, 32, 4, first}, {32, 32, 4, second}});
    ASSERT_EQ(two[76 + 80 + 24 + 1024 + 256 + 64 + 16 + 24], second[0]);
    convert(ContainerType::JKMat, out_ / "two.mat", input("two.mat", two));
    EXPECT_EQ(output("two_1.bmp"), test::expectedBmp(32, 32, first, paletteOf(Game::JediKnightMat)));
    EXPECT_EQ(output("two_2.bmp"), test::expectedBmp(32, 32, second, paletteOf(Game::JediKnightMat)));
    EXPECT_EQ(outputs(), (std::vector<std::string>{"one.bmp", "two_1.bmp", "two_2.bmp"}));
}

TEST_F(Converters, ColourMatIsOneColourSquare) {
    convert(ContainerType::JKMat, out_ / "c.mat", input("c.mat", test::jkColourMat(0x7F)));
    EXPECT_EQ(output("c.bmp"), test::expectedBmp(64, 64, Bytes(4096, 127), paletteOf(Game::JediKnightMat)));

    ByteBuilder empty;
    empty.raw("MAT ").u32(0).i32(2).i32(0).zeros(60);
    convert(ContainerType::JKMat, out_ / "e.mat", input("e.mat", empty.bytes()));
    EXPECT_EQ(outputs(), (std::vector<std::string>{"c.bmp"}));
}

// ---- Quake 2 WAL ----

TEST_F(Converters, WalConvertsMipLevelZero) {
    const struct { std::uint32_t width, height; } sizes[] = {{64, 64}, {24, 8}, {30, 2}};
    for (const auto& s : sizes) {
        const auto rows = rowsOf(s.width, s.height, static_cast<std::uint8_t>(s.width));
        const auto name = std::to_string(s.width) + ".wal";
        auto bytes = test::q2Wal(s.width, s.height, rows);
        bytes.insert(bytes.end(), 500, 0xEE); // smaller mip levels
        convert(ContainerType::Q2Wal, out_ / name, input(name, bytes));
        EXPECT_EQ(output(std::to_string(s.width) + ".bmp"),
                  test::expectedBmp(s.width, s.height, rows, paletteOf(Game::Quake2Wal)));
    }
    EXPECT_EQ(output("64.bmp").size(), 1078u + 4096);
}

// ---- damaged and hostile files ----

TEST_F(Converters, DamagedImagesAreRefusedAndWriteNothing) {
    auto withoutLastByte = [](Bytes bytes) {
        bytes.pop_back();
        return bytes;
    };
    auto jkHeader = [](std::int32_t flag, std::int32_t count) {
        ByteBuilder b;
        b.raw("BM  ").zeros(8).i32(flag).i32(count).zeros(16).i32(8).zeros(88);
        return b;
    };
    auto matHeader = [](std::int32_t count) {
        ByteBuilder b;
        b.raw("MAT ").u32(0).i32(2).i32(count).zeros(60);
        return b;
    };
    auto walHeader = [](std::uint32_t w, std::uint32_t h, std::uint32_t offset) {
        ByteBuilder b;
        b.zeros(32).u32(w).u32(h).u32(offset).zeros(56);
        return b;
    };
    auto dfMultiple = [](std::uint16_t count, const Bytes& body) {
        ByteBuilder b;
        b.raw("BM \x1E").u16(1).u16(static_cast<std::uint16_t>(body.size())).u16(0xFFFE).u16(count).zeros(20);
        return b.raw(body).bytes();
    };
    const auto df = ContainerType::DFBm, jk = ContainerType::JKBm, mat = ContainerType::JKMat,
               wal = ContainerType::Q2Wal;

    const struct {
        const char* fault;
        ContainerType kind;
        Bytes bytes;
    } cases[] = {
        {"df_too_small.bm", df, test::bytesOf("BM \x1E\x04")},
        {"df_pixels_cut_short.bm", df, withoutLastByte(test::dfPlainBm(8, 8, Bytes(64, 1)))},
        {"df_width_zero.bm", df, test::dfPlainBm(0, 8, {})},
        {"df_width_too_large.bm", df,
         ByteBuilder().raw("BM \x1E").u16(20000).u16(1).zeros(24).zeros(20000).bytes()},
        {"df_more_than_50.bm", df, dfMultiple(51, Bytes(2 + 51 * 4 + 51 * 29, 1))},
        {"df_offsets_past_end.bm", df, dfMultiple(40, Bytes(10, 0))},
        {"df_sub_image_past_end.bm", df,
         dfMultiple(
             2,
             ByteBuilder().zeros(2 + 8).u16(1).u16(1).zeros(24).u8(5).u16(200).u16(200).zeros(24).bytes())},
        {"df_sub_image_empty.bm", df,
         dfMultiple(1, ByteBuilder().zeros(2 + 4).u16(0).u16(9).zeros(24).bytes())},
        {"jk_too_small.bm", jk, test::bytesOf("BM  ")},
        {"jk_count_too_large.bm", jk, jkHeader(0, 0x7FFFFFFF).i32(1).i32(1).u8(3).bytes()},
        {"jk_negative_count.bm", jk, jkHeader(0, -1).i32(1).i32(1).u8(3).bytes()},
        {"jk_negative_width.bm", jk, jkHeader(0, 1).i32(-4).i32(4).zeros(16).bytes()},
        {"jk_size_overflows.bm", jk, jkHeader(0, 1).i32(0x7FFFFFFF).i32(0x7FFFFFFF).zeros(16).bytes()},
        {"jk_pixels_run_into_palette.bm", jk, jkHeader(2, 1).i32(4).i32(4).zeros(8).zeros(768).bytes()},
        {"jk_palette_missing.bm", jk, jkHeader(2, 1).i32(2).i32(2).zeros(4).bytes()},
        {"mat_too_small.mat", mat, test::bytesOf("MAT ")},
        {"mat_count_too_large.mat", mat, matHeader(0x7FFFFFFF).zeros(40 + 24).bytes()},
        {"mat_negative_count.mat", mat, matHeader(-2).zeros(100).bytes()},
        {"mat_texture_past_end.mat", mat,
         matHeader(1).zeros(40).i32(64).i32(64).zeros(12).i32(1).zeros(100).bytes()},
        {"mat_mip_chain_past_end.mat", mat,
         matHeader(1).zeros(40).i32(8).i32(8).zeros(12).i32(4).zeros(64 + 16).bytes()},
        {"mat_huge_texture.mat", mat,
         matHeader(1).zeros(40).i32(1 << 20).i32(1 << 20).zeros(12).i32(1).bytes()},
        {"mat_colour_record_missing.mat", mat,
         ByteBuilder().raw("MAT ").u32(0).i32(0).i32(1).zeros(60).zeros(8).bytes()},
        {"wal_too_small.wal", wal, Bytes(99, 0)},
        {"wal_size_overflows.wal", wal, walHeader(65536, 65536, 100).zeros(64).bytes()},
        {"wal_offset_past_end.wal", wal, walHeader(2, 2, 5000).zeros(4).bytes()},
        {"wal_pixels_past_end.wal", wal, walHeader(16, 16, 100).zeros(255).bytes()},
        {"wal_width_zero.wal", wal, walHeader(0, 16, 100).zeros(16).bytes()},
    };
    for (const auto& c : cases) {
        const auto path = input(c.fault, c.bytes);
        try {
            convert(c.kind, out_ / c.fault, path);
            ADD_FAILURE() << c.fault << " was accepted";
        } catch (const FormatError& e) {
            EXPECT_NE(std::string(e.what()).find(path.string()), std::string::npos)
                << c.fault << ": " << e.what();
        }
        EXPECT_TRUE(outputs().empty()) << c.fault;
    }
}

TEST_F(Converters, MissingGamePaletteRefusesTheConversion) {
    const struct {
        Game game;
        std::function<void()> create;
    } cases[] = {
        {Game::DarkForcesBm, [this] { loadKindPalette(ContainerType::DFBm, games_, current_); }},
        {Game::JediKnightMat, [this] { loadKindPalette(ContainerType::JKMat, games_, current_); }},
        {Game::Quake2Wal, [this] { loadKindPalette(ContainerType::Q2Wal, games_, current_); }},
        {Game::JediKnightBm,
         [this] {
             convert(ContainerType::JKBm, out_ / "x.bm", input("x.bm", test::jkBm({{1, 1, {1}}})));
         }},
    };
    for (const auto& c : cases) {
        games_.set(c.game, in_ / "gone.pal");
        try {
            c.create();
            ADD_FAILURE() << static_cast<int>(c.game);
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()),
                      "Cannot open file " + (in_ / "gone.pal").string() + ": No such file or directory");
        }
    }
    EXPECT_TRUE(outputs().empty());
}

// Through the kind table, as the window and vexa-cli reach them: the folder is listed with the
// kind's mask and each row converted.
TEST_F(Converters, ImageFoldersAreListedAndConvertedThroughTheKindTable) {
    input("B.WAL", test::q2Wal(2, 2, {1, 2, 3, 4}));
    input("a.wal", test::q2Wal(4, 1, {5, 6, 7, 8}));
    input("notes.txt", test::bytesOf("x"));
    auto object = CreateContainerObject(detectKind(in_ / "a.wal"));
    ASSERT_TRUE(object);
    object->ReadDirectory(openFileBytes(in_ / "a.wal"));
    EXPECT_EQ(object->EntryNames(), (std::vector<std::string>{"a.wal", "B.WAL"}));
    ExtractionOptions options;
    options.games = games_;
    const auto result = extractRows(*object, out_.path(), {0, 1}, options, current_);
    EXPECT_EQ(result.statusText(), "Extraction  Complete");
    EXPECT_EQ(outputs(), (std::vector<std::string>{"B.bmp", "a.bmp"}));

    for (const auto code :
         {ContainerType::DFBm, ContainerType::JKBm, ContainerType::JKMat, ContainerType::Q2Wal})
        EXPECT_TRUE(CreateContainerObject(code));
}

// Rows are in name order without regard to case; names that differ only in case keep byte order.
TEST_F(Converters, ImageFolderRowsAreSortedWithoutRegardToCase) {
    for (const char* name : {"b.wal", "a.wal", "C.wal", "A.WAL", "a.WAL", "_x.wal", ".hidden.wal"})
        input(name, test::q2Wal(1, 1, {1}));
    EXPECT_EQ(ListFolderFiles(in_.path(), "*.wal"),
              (std::vector<std::string>{"A.WAL", "a.WAL", "a.wal", "b.wal", "C.wal", "_x.wal"}));
}

} // namespace
} // namespace vexa
