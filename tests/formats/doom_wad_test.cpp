#include "app/extract.h"
#include "app/kinds.h"
#include "app/listing.h"
#include "formats/Doom_Wad.h"
#include "support/fault_cases.h"
#include "support/physfs_peer.h"

#include <gtest/gtest.h>

#include <fstream>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::TempDir;

struct Lump {
    std::string name; // stored bytes, up to 8
    Bytes data;
};

// Header, the lumps back to back, then the directory.
Bytes makeWad(const std::vector<Lump>& lumps, std::string_view magic = "PWAD") {
    ByteBuilder b;
    b.raw(magic).u32(static_cast<std::uint32_t>(lumps.size())).u32(0);
    std::vector<std::uint32_t> offsets;
    for (const auto& l : lumps) {
        offsets.push_back(static_cast<std::uint32_t>(b.size()));
        b.raw(l.data);
    }
    b.patchU32(8, static_cast<std::uint32_t>(b.size()));
    for (std::size_t i = 0; i < lumps.size(); ++i)
        b.u32(offsets[i]).u32(static_cast<std::uint32_t>(lumps[i].data.size())).name(lumps[i].name, 8);
    return b.bytes();
}

TEST(DoomWad, ListsWholeLumpNamesAndTheirSizes) {
    TempDir dir;
    test::writeFile(dir / "a.wad",
                    makeWad({{"ABCDEFGH", Bytes(3, 1)}, {"S_START", {}}, {"E1M1", Bytes(9, 2)}}, "IWAD"));
    auto wad = CreateContainerObject(detectKind(dir / "a.wad"));
    ASSERT_TRUE(wad);
    wad->ReadDirectory(openFileBytes(dir / "a.wad"));
    EXPECT_EQ(wad->EntryNames(), (std::vector<std::string>{"ABCDEFGH", "S_START", "E1M1"}));
    EXPECT_EQ(wad->EntrySize(0), 3u);
    EXPECT_EQ(wad->EntrySize(1), 0u);
    EXPECT_EQ(statusLine(*wad), (dir / "a.wad").string() + "   Contains  3 files");

    test::writeFile(dir / "empty.wad", makeWad({}));
    TDoomWadReader empty;
    empty.ReadDirectory(openFileBytes(dir / "empty.wad"));
    EXPECT_EQ(statusLine(empty), (dir / "empty.wad").string() + "   Contains  0 files");
}

TEST(DoomWad, MarkerLumpsMayPointAnywhere) {
    TempDir dir;
    ByteBuilder b;
    b.raw("PWAD").u32(2).u32(12).i32(-1).u32(0).name("F_START", 8).u32(999999).u32(0).name("F_END", 8);
    test::writeFile(dir / "m.wad", b.bytes());
    TDoomWadReader wad;
    wad.ReadDirectory(openFileBytes(dir / "m.wad"));
    EXPECT_EQ(wad.EntryNames(), (std::vector<std::string>{"F_START", "F_END"}));
    TempDir target;
    EXPECT_EQ(extractRows(wad, target.path(), {0, 1}).written, 2u);
    EXPECT_EQ(fs::file_size(target / "F_START"), 0u);
}

// One extraction of everything writes every lump, byte for byte, and never one over another.
TEST(DoomWad, ExtractsEveryLumpUnderAFileNameOfItsOwn) {
    const std::vector<Lump> lumps = {
        {"MAP01", {}},
        {"SEGS", test::patternBytes(10, 1)},
        {"LINEDEFS", test::patternBytes(14, 2)},
        {"MAP02", {}},
        {"SEGS", test::patternBytes(20, 3)},
        {"LINEDEFS", test::patternBytes(28, 4)},
        {"SEGS_1", Bytes(1)},
        {"VILE\\1", test::patternBytes(5, 5)},
        {"VILE^1", Bytes(2)},
        {"A/B", Bytes(3, 9)},
        {"", Bytes(4, 8)},
        {"..", Bytes(6, 7)},
        {"VILEA2D", Bytes(1, 1)},  // rows, filter and files all keep
        {"VILEA2D8", Bytes(1, 2)}, // the whole name
    };
    const std::vector<std::string> files = {"MAP01",      "SEGS",   "LINEDEFS", "MAP02",    "SEGS_2",
                                            "LINEDEFS_1", "SEGS_1", "VILE^1",   "VILE^1_1", "A^B",
                                            "^",          "^..",    "VILEA2D",  "VILEA2D8"};
    TempDir dir, target;
    test::writeFile(dir / "m.wad", makeWad(lumps));
    TDoomWadReader wad;
    wad.ReadDirectory(openFileBytes(dir / "m.wad"));
    EXPECT_EQ(wad.EntryNames()[13], "VILEA2D8");
    std::vector<std::size_t> all(lumps.size());
    for (std::size_t i = 0; i < all.size(); ++i)
        all[i] = i;
    const auto result = extractRows(wad, target.path(), all);
    EXPECT_EQ(result.statusText(), "Extraction  Complete") << result.refusalText();
    EXPECT_EQ(std::distance(fs::directory_iterator(target.path()), fs::directory_iterator()),
              static_cast<std::ptrdiff_t>(lumps.size()));
    for (std::size_t i = 0; i < lumps.size(); ++i) {
        EXPECT_EQ(wad.OutputName(i), files[i]);
        EXPECT_EQ(test::readFile(target / files[i]), lumps[i].data) << files[i];
    }
}

TEST(DoomWad, DamagedFilesAreRefusedWithTheFileNamed) {
    const auto rec = [](ByteBuilder b, std::int32_t offset, std::int32_t size) {
        return b.i32(offset).i32(size).name("LUMP", 8).bytes();
    };
    test::expectRefused<TDoomWadReader>(
        {
            {"too_small", test::bytesOf("PWAD\1\0\0\0")},
            {"negative_count", ByteBuilder().raw("PWAD").i32(-1).u32(12).bytes(), "negative"},
            {"count_too_large", ByteBuilder().raw("PWAD").u32(0x7FFFFFFF).u32(12).zeros(16).bytes(),
             "do not fit"},
            {"directory_out_of_bounds", ByteBuilder().raw("PWAD").u32(1).u32(4096).bytes(), "do not fit"},
            {"negative_directory_offset", ByteBuilder().raw("PWAD").u32(0).i32(-12).bytes(), "negative"},
            {"directory_cut_short", ByteBuilder().raw("PWAD").u32(2).u32(12).zeros(20).bytes(), "do not fit"},
            {"negative_lump_size", rec(ByteBuilder().raw("PWAD").u32(1).u32(12), 0, -1), "negative"},
            {"negative_lump_offset", rec(ByteBuilder().raw("PWAD").u32(1).u32(12), -4, 4), "negative"},
        },
        ".wad");
}

// PhysicsFS shows all eight characters of a name and one lump per name: the WAD keeps to names
// both readers show alike.
TEST(DoomWad, PhysicsFsReadsTheSameLumps) {
    std::vector<Lump> lumps;
    for (int i = 0; i < 12; ++i)
        lumps.push_back({"LUMP" + std::to_string(i),
                         test::patternBytes(static_cast<std::size_t>(i * 37), static_cast<std::uint8_t>(i))});
    TempDir dir;
    test::writeFile(dir / "p.wad", makeWad(lumps));
    TDoomWadReader wad;
    wad.ReadDirectory(openFileBytes(dir / "p.wad"));
    const auto peer = test::readWithPhysfs(dir / "p.wad");
    ASSERT_EQ(peer.size(), wad.EntryCount());
    TempDir target;
    for (std::size_t i = 0; i < wad.EntryCount(); ++i) {
        wad.ExtractEntry(target / "out", i);
        ASSERT_TRUE(peer.count(wad.EntryNames()[i])) << wad.EntryNames()[i];
        EXPECT_EQ(test::readFile(target / "out"), peer.at(wad.EntryNames()[i])) << i;
    }
}

// A whole file in one read (the Freedoom IWADs are large for a byte-wise reader under the sanitizers).
Bytes slurp(const fs::path& path) {
    Bytes bytes(fs::file_size(path));
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// The Freedoom IWADs of Debian's freedoom package, held against a separate reading of their
// header and directory.
TEST(DoomWad, FreedoomIwadsListInFullAndExtractByteForByte) {
    const fs::path folder = "/usr/share/games/doom";
    bool any = false;
    for (const auto* name : {"freedoom1.wad", "freedoom2.wad"}) {
        const auto path = folder / name;
        if (!fs::exists(path)) continue;
        any = true;
        const auto bytes = slurp(path);
        const auto le32 = [&bytes](std::size_t at) {
            return static_cast<std::uint32_t>(bytes.at(at) | bytes.at(at + 1) << 8 | bytes.at(at + 2) << 16 |
                                              static_cast<std::uint32_t>(bytes.at(at + 3)) << 24);
        };
        const auto count = le32(4), dirAt = le32(8);
        std::vector<std::string> names;
        std::vector<std::uint32_t> offsets, sizes;
        for (std::uint32_t i = 0; i < count; ++i) {
            const std::size_t at = dirAt + 16 * i;
            offsets.push_back(le32(at));
            sizes.push_back(le32(at + 4));
            std::string field(reinterpret_cast<const char*>(&bytes.at(at + 8)), 8);
            names.push_back(field.substr(0, field.find('\0')));
        }

        TDoomWadReader wad;
        wad.ReadDirectory(openFileBytes(path));
        EXPECT_GT(count, 1000u) << name;
        ASSERT_EQ(wad.EntryNames(), names) << name;
        for (const auto* full : {"LINEDEFS", "VERTEXES", "TEXTURE1"})
            EXPECT_NE(std::find(names.begin(), names.end(), full), names.end()) << name << " " << full;
        for (std::uint32_t i = 0; i < count; ++i)
            EXPECT_EQ(wad.EntrySize(i), sizes[i]) << name << " " << i;
        // Extracting one of them is enough: Freedoom 2 has the repeated map lumps and the "\" names.
        if (std::string_view(name) != "freedoom2.wad") continue;

        TempDir target;
        std::vector<std::size_t> all(count);
        for (std::size_t i = 0; i < count; ++i)
            all[i] = i;
        EXPECT_EQ(extractRows(wad, target.path(), all).statusText(), "Extraction  Complete") << name;
        EXPECT_EQ(std::distance(fs::directory_iterator(target.path()), fs::directory_iterator()),
                  static_cast<std::ptrdiff_t>(count));
        for (std::uint32_t i = 0; i < count; ++i) {
            const auto out = slurp(target / wad.OutputName(i));
            ASSERT_EQ(out.size(), sizes[i]) << name << " lump " << i;
            ASSERT_TRUE(std::equal(out.begin(), out.end(), bytes.begin() + offsets[i]))
                << name << " lump " << i;
        }
    }
    if (!any) GTEST_SKIP() << "the freedoom package is not installed";
}

} // namespace
} // namespace vexa
