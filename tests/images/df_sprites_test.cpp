// Dark Forces pictures in run-length columns: FME frames, WAX cells, compressed BMs, laid out by
// hand and decoded against their pixels; damaged and looping ones refused.

#include "base/errors.h"
#include "base/file_io.h"
#include "images/DF_BM.h"
#include "images/content_builders.h"
#include "images/content_faults.h"
#include "images/df_sprites.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using Rows = std::vector<std::string>;

// Index 0 is see-through; columns are stored from the bottom up.
const Rows kFrame = {"102", "340", "000", "000", "056"};
const Rows kFrameShown = {"1.2", "34.", "...", "...", ".56"};

TEST(DfFme, PlainAndCompressedCellsGiveTheirPixelsAndInsertionPoint) {
    for (const bool compressed : {false, true}) {
        SCOPED_TRACE(compressed ? "compressed" : "plain");
        const auto fme = test::dfFme(-5, -9, 0, test::dfCell(kFrame, compressed));
        ASSERT_TRUE(isDfFme(fme));
        const auto set = decodeDfFme(fme, "TROOP.FME");
        ASSERT_EQ(set.pictures.size(), 1u);
        EXPECT_EQ(test::rowsOf(set.pictures[0]), kFrameShown);
        ASSERT_TRUE(set.pictures[0].offset);
        EXPECT_EQ(*set.pictures[0].offset, (PictureOffset{5, 9}));
        EXPECT_TRUE(set.notes.empty());
    }
    // Found by fuzzing: an insertion point whose negation an int cannot hold.
    const auto farthest = decodeDfFme(test::dfFme(INT32_MIN, -1, 0, test::dfCell(kFrame, false)), "FAR.FME");
    EXPECT_EQ(*farthest.pictures.at(0).offset, (PictureOffset{INT32_MAX, 1}));

    const auto mirrored = decodeDfFme(test::dfFme(0, 0, 1, test::dfCell(kFrame, false)), "M.FME");
    EXPECT_EQ(test::rowsOf(mirrored.pictures.at(0)), kFrameShown);
    EXPECT_EQ(mirrored.notes,
              (std::vector<std::string>{"the frame is drawn mirrored; the picture is its cell as stored"}));
}

TEST(DfFme, DamagedFramesAreRefused) {
    const auto plain = test::dfFme(0, 0, 0, test::dfCell(kFrame, false));
    const auto packed = test::dfFme(0, 0, 0, test::dfCell(kFrame, true));
    auto patched = [](Bytes bytes, std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
        return bytes;
    };
    // In the compressed cell (at 32): the table at 56, column 0's runs from 68.
    const std::vector<test::ContentFault> cases = {
        {"short", Bytes(20), "the frame at offset 0 runs past the end of the file (20 bytes)"},
        {"flip_2", patched(plain, 8, 2), "flip 2 is neither 0 nor 1"},
        {"cell_in_header", patched(plain, 12, 8), "its cell offset 8 points into the headers"},
        {"cell_past_end", patched(plain, 12, 9000), "the cell at offset 9000 runs past the end"},
        {"no_width", patched(plain, 32, 0), "0 x 5 pixels"},
        {"huge", patched(patched(plain, 32, 32767), 36, 32767), "32767 x 32767 pixels is not a picture size"},
        {"compression_2", patched(plain, 40, 2), "compression 2 is neither 0 nor 1"},
        {"pixels_past_end", Bytes(plain.begin(), plain.end() - 1), "its 3 x 5 pixels run past the end"},
        {"table_in_header", patched(packed, 48, 20), "its column table at 20 lies inside its header"},
        {"table_past_end", patched(packed, 48, 9000), "its table of 3 column offsets runs past"},
        {"column_past_end", patched(packed, 56 + 4, 9000), "column 1 offset 9000 runs past the end"},
        {"run_past_height", patched(packed, 68, 0x86), "a run of 6 pixels at byte 36 goes past its 5 pixels",
         true},
        {"data_ends", Bytes(packed.begin(), packed.end() - 2), "column 2: its data ends at byte", true},
    };
    test::expectRefused(cases, isDfFme, decodeDfFme);
}

TEST(DfWax, DistinctCellsComeInTheOrderTheirFramesAreFirstMet) {
    const auto a = test::dfCell({"12", "30"}, false), b = test::dfCell(kFrame, true);
    // Action 0: view 0 shows b then a; view 1 a, a gap, b. Action 1 shows b again.
    const auto wax = test::dfWax({a, b}, {{{1, 0}, {0, -1, 1}}, {{1}}});
    ASSERT_TRUE(isDfWax(wax));
    const auto set = decodeDfWax(wax, "STORMTRP.WAX");
    ASSERT_EQ(set.pictures.size(), 2u);
    EXPECT_EQ(set.pictures[0].name, "cell00");
    EXPECT_EQ(test::rowsOf(set.pictures[0]), kFrameShown);
    EXPECT_EQ(*set.pictures[0].offset, (PictureOffset{0, 0})); // frame 0 met it first
    EXPECT_EQ(set.pictures[1].name, "cell01");
    EXPECT_EQ(test::rowsOf(set.pictures[1]), (Rows{"12", "3."}));
    EXPECT_EQ(*set.pictures[1].offset, (PictureOffset{1, 2}));
}

TEST(DfWax, OffsetsThatRepeatOrLoopNeitherHangNorMultiplyCells) {
    const auto cell = test::dfCell({"12", "34"}, false);
    auto wax = test::dfWax({cell}, {{{0}}});
    const auto u32At = [&](std::size_t at) {
        return static_cast<std::uint32_t>(wax[at] | wax[at + 1] << 8 | wax[at + 2] << 16 | wax[at + 3] << 24);
    };
    const std::uint32_t action = u32At(32), view = u32At(action + 28), frame = u32At(view + 16);
    auto put = [](Bytes& bytes, std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i)
            bytes.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
    };
    // Every slot of every table points at the one action, view and frame: 32,768 visits, one cell.
    auto repeated = wax;
    for (std::size_t i = 0; i < 32; ++i) {
        put(repeated, 32 + 4 * i, action);
        put(repeated, action + 28 + 4 * i, view);
        put(repeated, view + 16 + 4 * i, frame);
    }
    ASSERT_TRUE(isDfWax(repeated));
    const auto set = decodeDfWax(repeated, "LOOP.WAX");
    ASSERT_EQ(set.pictures.size(), 1u);
    EXPECT_EQ(test::rowsOf(set.pictures[0]), (Rows{"12", "34"}));

    auto patched = [&](std::size_t at, std::uint32_t value) {
        auto bytes = wax;
        put(bytes, at, value);
        return bytes;
    };
    const std::vector<test::ContentFault> cases = {
        {"short", Bytes(100), "160-byte header, the file has 100"},
        {"no_actions", patched(32, 0), "no frame of the WAX leads to a cell"},
        {"action_past_end", patched(32, 9000), "action 0 at offset 9000 lies outside the file's records"},
        {"action_in_header", patched(32, 8), "action 0 at offset 8 lies outside"},
        // The view read at the action itself: its frames are the action's view offsets, and the
        // action read as a frame has flip 8.
        {"view_is_its_action", patched(action + 28, action), "flip 8 is neither 0 nor 1"},
        {"only_frame_unused", patched(view + 16, 0), "no frame of the WAX leads to a cell"},
        {"cell_in_header", patched(frame + 12, 4), "its cell offset 4 points into the headers"},
        {"cell_past_end", patched(frame + 12, 9000), "the cell at offset 9000 runs past the end"},
    };
    test::expectRefused(cases, isDfWax, decodeDfWax);
}

// ---- Compressed BM -------------------------------------------------------------------------------

TEST(DfCompressedBm, BothCodingsGiveTheColumnsPixels) {
    const Rows rows = {"1111", "2002", "3003", "4994", "5995", "6006", "7777"};
    for (const std::uint16_t compression : {1, 2}) {
        SCOPED_TRACE(compression);
        const test::TempDir dir;
        test::writeFile(dir / "W.BM", test::dfCompressedBm(rows, compression));
        const auto pictures = TDFBMReader().Decode(InputFile(dir / "W.BM"));
        ASSERT_EQ(pictures.pictures.size(), 1u);
        EXPECT_EQ(pictures.pictures[0].suffix, ".bmp");
        EXPECT_EQ(pictures.pictures[0].image.width, 4u);
        EXPECT_EQ(pictures.pictures[0].image.indices, test::indicesOf(rows));
    }
}

TEST(DfCompressedBm, DamagedOnesAreRefusedNotSkipped) {
    const Rows rows = {"12", "34", "56"};
    const auto bm = test::dfCompressedBm(rows, 1);
    auto patched = [&](std::size_t at, std::uint32_t value) {
        auto bytes = bm;
        for (int i = 0; i < 4; ++i)
            bytes.at(at + i) = static_cast<std::uint8_t>(value >> (8 * i));
        return bytes;
    };
    const std::size_t table = bm.size() - 8;
    const struct {
        const char* name;
        Bytes bytes;
        const char* expected;
    } cases[] = {
        {"RLE.BM",
         ByteBuilder().raw("BM \x1E").u16(2).u16(2).zeros(6).u16(1).zeros(16).raw(Bytes(4, 1)).bytes(),
         "0 bytes of coded columns and a table of 2 column offsets run past the end of the file (36 bytes)"},
        {"C3.BM", patched(14, 3), "compression 3 is none of the BM's"},
        {"SIZE.BM", patched(16, 9000), "9000 bytes of coded columns"},
        {"COLUMN.BM", patched(table + 4, 50), "column 1 offset 50 lies outside the 8 bytes of coded columns"},
        {"RUN.BM", patched(table + 4, 1), "column 1: a run of 5 pixels at byte 1 goes past its 3 pixels"},
        // Every column the one run of zeros: two bytes of data for 16384 x 16384 pixels.
        {"HUGE.BM",
         ByteBuilder()
             .raw("BM \x1E")
             .u16(16384)
             .u16(16384)
             .zeros(6)
             .u16(2)
             .u32(2)
             .zeros(12)
             .u8(0xFF)
             .u8(0)
             .raw(Bytes(4 * 16384, 0))
             .bytes(),
         "16384 x 16384 pixels is more than the 16777216 pixels a picture may have"},
    };
    for (const auto& c : cases) {
        const test::TempDir dir;
        test::writeFile(dir / c.name, c.bytes);
        try {
            TDFBMReader().Decode(InputFile(dir / c.name));
            ADD_FAILURE() << c.name << " was decoded";
        } catch (const FormatError& e) {
            EXPECT_NE(std::string(e.what()).find(c.expected), std::string::npos)
                << c.name << ": " << e.what();
        }
    }
}

} // namespace
} // namespace vexa
