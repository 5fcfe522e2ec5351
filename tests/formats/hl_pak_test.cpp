#include "app/kinds.h"
#include "base/errors.h"
#include "formats/HL_Pak.h"
#include "support/format_checks.h"
#include "support/physfs_peer.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::TempDir;

// A PAK with the directory at the end; names given as stored ("/" between levels).
Bytes makePak(const std::vector<std::pair<std::string, Bytes>>& entries) {
    ByteBuilder b;
    b.raw("PACK").u32(0).u32(64 * static_cast<std::uint32_t>(entries.size()));
    std::vector<std::uint32_t> offsets;
    for (const auto& e : entries) {
        offsets.push_back(static_cast<std::uint32_t>(b.size()));
        b.raw(e.second);
    }
    b.patchU32(4, static_cast<std::uint32_t>(b.size()));
    for (std::size_t i = 0; i < entries.size(); ++i)
        b.name(entries[i].first, 56)
            .u32(offsets[i])
            .u32(static_cast<std::uint32_t>(entries[i].second.size()));
    return b.bytes();
}

TEST(HLPak, WritesTheExactLayout) {
    TempDir src, out;
    const auto bsp = test::patternBytes(100, 1), wav = test::patternBytes(20, 2);
    test::writeFile(src / "maps" / "e1m1.bsp", bsp);
    test::writeFile(src / "sound" / "a.wav", wav);
    THLPakReader writer;
    writer.WriteContainer(out / "new.pak", src.path(), GatherFolderTree(src.path()), nullptr);

    ByteBuilder expected;
    expected.raw("PACK").u32(132).u32(128).raw(bsp).raw(wav);
    expected.name("maps/e1m1.bsp", 56).u32(12).u32(100).name("sound/a.wav", 56).u32(112).u32(20);
    EXPECT_EQ(test::readFile(out / "new.pak"), expected.bytes());

    THLPakReader pak;
    pak.ReadDirectory(openFileBytes(out / "new.pak"));
    EXPECT_EQ(pak.EntryNames(), (std::vector<std::string>{"maps\\e1m1.bsp", "sound\\a.wav"}));
}

TEST(HLPak, EmptyFolderWritesHeaderAlone) {
    TempDir src, out;
    THLPakReader writer;
    writer.WriteContainer(out / "e.pak", src.path(), {}, nullptr);
    EXPECT_EQ(test::readFile(out / "e.pak"), ByteBuilder().raw("PACK").u32(12).u32(0).bytes());
}

TEST(HLPak, EntryCountIsTheDirectoryLengthOverSixtyFour) {
    const struct {
        std::int32_t length;
        std::size_t count;
    } cases[] = {{0, 0}, {-64, 0}, {63, 0}, {64, 1}, {100, 1}, {128, 2}};
    for (const auto& c : cases) {
        TempDir dir;
        ByteBuilder b;
        b.raw("PACK").u32(12).i32(c.length).name("a", 56).u32(0).u32(4).name("b/c", 56).u32(4).u32(8);
        test::writeFile(dir / "a.pak", b.bytes());
        THLPakReader pak;
        pak.ReadDirectory(openFileBytes(dir / "a.pak"));
        EXPECT_EQ(pak.EntryCount(), c.count) << c.length;
    }
}

TEST(HLPak, FullNameFieldListsItsFirst55Characters) {
    TempDir dir;
    const std::string full(56, 'n');
    test::writeFile(dir / "a.pak", makePak({{full, Bytes(2, 9)}}));
    THLPakReader pak;
    pak.ReadDirectory(openFileBytes(dir / "a.pak"));
    EXPECT_EQ(pak.EntryNames()[0], full.substr(0, 55));
}

TEST(HLPak, NamesThatWouldNotReadBackAreRefusedBeforeWriting) {
    TempDir src, out;
    test::writeFile(src / "maps" / std::string(50, 'a'), "fits"); // 55 bytes stored
    THLPakReader writer;
    writer.WriteContainer(out / "ok.pak", src.path(), GatherFolderTree(src.path()), nullptr);
    EXPECT_TRUE(fs::exists(out / "ok.pak"));

    test::writeFile(src / "maps" / std::string(51, 'b'), "56 bytes stored: no room for the end mark");
    try {
        writer.WriteContainer(out / "long.pak", src.path(), GatherFolderTree(src.path()), nullptr);
        FAIL() << "a 56-byte name was written";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find((out / "long.pak").string()), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("maps\\" + std::string(51, 'b')), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(out / "long.pak"));
}

TEST(HLPak, WriteReadExtractRoundTripKeepsSubFolders) {
    TempDir src, out;
    test::makeSourceTree(src.path());
    THLPakReader writer;
    writer.WriteContainer(out / "r.pak", src.path(), GatherFolderTree(src.path()), nullptr);
    test::expectReadsBackAs(out / "r.pak", ContainerType::Pak,
                            {"3do\\mat\\wall.mat", "3do\\model.3do", "empty.dat", "sound\\a.wav", "top.txt"},
                            src.path());
}

TEST(HLPak, PhysicsFSReadsWhatVexaWrites) {
    TempDir src, out;
    test::makeSourceTree(src.path());
    THLPakReader writer;
    writer.WriteContainer(out / "peer.pak", src.path(), GatherFolderTree(src.path()), nullptr);
    const auto seen = test::readWithPhysfs(out / "peer.pak");
    std::map<std::string, Bytes> expected;
    for (const auto* name : {"3do/mat/wall.mat", "3do/model.3do", "empty.dat", "sound/a.wav", "top.txt"})
        expected[name] = test::readFile(src.path() / name);
    EXPECT_EQ(seen, expected);
}

TEST(HLPak, EscapingNamesAreRefusedOnExtraction) {
    TempDir dir;
    test::writeFile(dir / "e.pak",
                    makePak({{"..\\x", Bytes(1, 1)}, {"/abs", Bytes(1, 2)}, {"good.txt", Bytes(3, 3)}}));
    test::expectEscapingNamesRefused(dir / "e.pak", {"..\\x", "\\abs", "good.txt"});

    // Stored with "/", the same names list with "\" and are refused the same way.
    test::writeFile(dir / "f.pak",
                    makePak({{"../x", Bytes(1, 1)}, {"/abs", Bytes(1, 2)}, {"good.txt", Bytes(3, 3)}}));
    test::expectEscapingNamesRefused(dir / "f.pak", {"..\\x", "\\abs", "good.txt"});
}

TEST(HLPak, DamagedFilesAreRefusedWithTheFileNamed) {
    auto header = [](std::int32_t offset, std::int32_t length) {
        return ByteBuilder().raw("PACK").i32(offset).i32(length);
    };
    test::expectAllRefused(
        [] { return std::make_unique<THLPakReader>(); }, ".pak",
        {
            {"too_small", test::bytesOf("PACK")},
            {"negative_directory_offset", header(-12, 64).name("a", 56).u32(0).u32(0).bytes()},
            {"directory_past_end", header(5000, 64).bytes()},
            {"length_too_large", header(12, 0x7FFFFFC0).name("a", 56).u32(0).u32(0).bytes()},
            {"directory_cut_short", header(12, 128).name("a", 56).u32(0).u32(0).bytes()},
            {"negative_entry_offset", header(12, 64).name("a", 56).i32(-1).u32(0).bytes()},
            {"negative_entry_size", header(12, 64).name("a", 56).u32(0).i32(-1).bytes()},
        });
    // Its last entry cut short by the end of the file: the first still comes out.
    const auto two = [&](std::uint32_t size) {
        return header(12, 128).name("a", 56).u32(0).u32(4).name("b", 56).u32(12).u32(size).bytes();
    };
    test::expectDamagedEntriesPassedOver([] { return std::make_unique<THLPakReader>(); }, ".pak",
                                         {
                                             {"entry_out_of_bounds", two(1000), 2, {1}},
                                             {"entry_size_overflows", two(0x7FFFFFFF), 2, {1}},
                                         });
}

} // namespace
} // namespace vexa
