// Daikatana's PAK: told apart from Quake's by its 72-byte records, its compressed entries undone
// opcode by opcode, and a damaged stream costing only its own entry.

#include "app/extract.h"
#include "app/kinds.h"
#include "base/errors.h"
#include "formats/DK_Pak.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::TempDir;

struct DkEntry {
    std::string name;
    Bytes stored;
    std::uint32_t size; // once decompressed
    bool compressed;
};

// A Daikatana PAK with the directory at the end, 72 bytes a record.
Bytes makeDkPak(const std::vector<DkEntry>& entries) {
    ByteBuilder b;
    b.raw("PACK").u32(0).u32(72 * static_cast<std::uint32_t>(entries.size()));
    std::vector<std::uint32_t> offsets;
    for (const auto& e : entries) {
        offsets.push_back(static_cast<std::uint32_t>(b.size()));
        b.raw(e.stored);
    }
    b.patchU32(4, static_cast<std::uint32_t>(b.size()));
    for (std::size_t i = 0; i < entries.size(); ++i)
        b.name(entries[i].name, 56)
            .u32(offsets[i])
            .u32(entries[i].size)
            .u32(static_cast<std::uint32_t>(entries[i].stored.size()))
            .u32(entries[i].compressed ? 1 : 0);
    return b.bytes();
}

TEST(DaikatanaDecompress, EveryOpcode) {
    struct Case {
        const char* what;
        Bytes stream;
        Bytes expected;
    };
    const Case cases[] = {
        {"0x00: one literal byte", {0x00, 'a', 0xFF}, {'a'}},
        {"0x3F: 64 literal bytes",
         [] {
             Bytes s{0x3F};
             for (int i = 0; i < 64; ++i)
                 s.push_back(static_cast<std::uint8_t>(i));
             return s;
         }(),
         [] {
             Bytes e;
             for (int i = 0; i < 64; ++i)
                 e.push_back(static_cast<std::uint8_t>(i));
             return e;
         }()},
        {"0x40: two zero bytes", {0x40}, {0, 0}},
        {"0x7F: 65 zero bytes", {0x7F, 0xFF}, Bytes(65, 0)},
        {"0x80: the next byte twice", {0x80, 'z'}, {'z', 'z'}},
        {"0xBF: the next byte 65 times", {0xBF, 'q'}, Bytes(65, 'q')},
        {"0xC0: two bytes from 2 back", {0x01, 'a', 'b', 0xC0, 0x00}, {'a', 'b', 'a', 'b'}},
        {"0xC1: three bytes from 3 back", {0x02, 'x', 'y', 'z', 0xC1, 0x01}, {'x', 'y', 'z', 'x', 'y', 'z'}},
        {"0xFD: 63 bytes copied over themselves",
         {0x01, 'a', 'b', 0xFD, 0x00},
         [] {
             Bytes e{'a', 'b'};
             for (int i = 0; i < 63; ++i)
                 e.push_back(e[e.size() - 2]);
             return e;
         }()},
        {"0xFE: nothing", {0xFE, 0x00, 'k', 0xFE}, {'k'}},
        {"0xFF ends the stream before the stored bytes do", {0x00, 'k', 0xFF, 0x00, 'j'}, {'k'}},
        {"the stored bytes end the stream", {0x40, 0x00, 'k'}, {0, 0, 'k'}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(daikatanaDecompress(c.stream, c.expected.size(), "e"), c.expected);
    }
}

TEST(DaikatanaDecompress, DamagedStreamsAreRefused) {
    struct Case {
        const char* what;
        Bytes stream;
        std::uint64_t size;
        const char* message;
    };
    const Case cases[] = {
        {"a literal past the stored bytes", {0x05, 'a', 'b'}, 6, "past the stored"},
        {"a run's missing operand", {0x80}, 2, "operand"},
        {"a copy from before the output", {0x00, 'a', 0xC0, 0x05}, 3, "bytes back"},
        {"a copy's missing operand", {0x00, 'a', 0xC0}, 3, "operand"},
        {"more bytes than the record says", {0x7F}, 10, "left of the 10"},
        {"fewer bytes than the record says", {0x40, 0xFF}, 3, "gives 2 bytes"},
        {"a size no stream of its bytes gives", {0x7F}, 1000, "can give"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        try {
            daikatanaDecompress(c.stream, c.size, "entry 'x'");
            ADD_FAILURE() << "not refused";
        } catch (const FormatError& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find("entry 'x'"), std::string::npos) << e.what();
        }
    }
}

TEST(DaikatanaPak, DetectedListedAndExtractedWithADamagedEntryCostingOnlyItself) {
    TempDir dir;
    const auto path = dir / "pak0.pak";
    // Four records are 288 bytes: a multiple of 72 but not of 64.
    test::writeFile(path, makeDkPak({
                              {"maps/e1m1.bsp", {0x40, 0x80, 'x', 0x01, 'a', 'b'}, 6, true},
                              {"readme.txt", {'h', 'i'}, 2, false},
                              {"bad.dat", {0x00, 'a', 0xC0, 0x09}, 3, true},
                              {"sound/s.wav", {0xC0}, 2, true},
                          }));
    const auto opened = openContainer(path);
    ASSERT_EQ(opened.kind->code, ContainerType::DaikatanaPak);
    EXPECT_EQ(opened.kind->name, "Daikatana PAK");
    const auto& rows = opened.reader->Rows();
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].name, "maps\\e1m1.bsp");
    EXPECT_EQ(rows[0].size, 6u); // the size once decompressed, not the 6 stored by chance: see row 1
    EXPECT_EQ(rows[1].size, 2u);

    fs::create_directories(dir / "out");
    const auto result = extractRows(*opened.reader, dir / "out", {0, 1, 2, 3}, ExtractionOptions{});
    EXPECT_EQ(result.written, 2u);
    ASSERT_EQ(result.refused.size(), 2u);
    EXPECT_EQ(test::readFile(dir / "out" / "maps" / "e1m1.bsp"), (Bytes{0, 0, 'x', 'x', 'a', 'b'}));
    EXPECT_EQ(test::readFile(dir / "out" / "readme.txt"), (Bytes{'h', 'i'}));
    EXPECT_FALSE(fs::exists(dir / "out" / "bad.dat"));
}

TEST(DaikatanaPak, QuakesLayoutStaysQuakes) {
    TempDir dir;
    struct Case {
        const char* what;
        Bytes file;
        ContainerType kind;
    };
    // Nine Quake records and eight Daikatana ones are both 576 bytes: the records decide.
    ByteBuilder quake;
    quake.raw("PACK").u32(12 + 9).u32(9 * 64).raw(Bytes(9, 'd'));
    for (std::uint32_t i = 0; i < 9; ++i)
        quake.name("f" + std::to_string(i), 56).u32(12 + i).u32(1);
    std::vector<DkEntry> eight;
    for (int i = 0; i < 8; ++i)
        eight.push_back({"g" + std::to_string(i), {'d'}, 1, false});
    const Case cases[] = {
        {"nine Quake records", quake.bytes(), ContainerType::Pak},
        {"eight Daikatana records", makeDkPak(eight), ContainerType::DaikatanaPak},
        {"an empty directory", ByteBuilder().raw("PACK").u32(12).u32(0).bytes(), ContainerType::Pak},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto path = dir / "x.pak";
        test::writeFile(path, c.file);
        EXPECT_EQ(detectKind(path), c.kind);
    }
}

} // namespace
} // namespace vexa
