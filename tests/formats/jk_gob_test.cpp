#include "app/kinds.h"
#include "base/errors.h"
#include "formats/JK_Gob.h"
#include "support/format_checks.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::TempDir;

// A JK GOB laid out as the game's tools do: header, directory, then the data.
Bytes makeJkGob(const std::vector<std::pair<std::string, Bytes>>& entries) {
    ByteBuilder b;
    b.raw("GOB ").u32(20).u32(12).u32(static_cast<std::uint32_t>(entries.size()));
    std::uint32_t offset = 16 + 136 * static_cast<std::uint32_t>(entries.size());
    for (const auto& [name, data] : entries) {
        b.u32(offset).u32(static_cast<std::uint32_t>(data.size())).name(name, 128);
        offset += static_cast<std::uint32_t>(data.size());
    }
    for (const auto& entry : entries)
        b.raw(entry.second);
    return b.bytes();
}

TEST(JKGob, WritesTheExactLayout) {
    TempDir src, out;
    const auto a = test::patternBytes(10, 1), b = test::patternBytes(5, 2);
    test::writeFile(src / "a.txt", a);
    test::writeFile(src / "sub" / "b.dat", b);
    TJKGobReader writer;
    writer.WriteContainer(out / "new.gob", src.path(), GatherFolderTree(src.path()), nullptr);

    ByteBuilder expected;
    expected.raw("GOB ").u32(20).u32(12).u32(2);
    expected.u32(288).u32(10).name("a.txt", 128).u32(298).u32(5).name("sub\\b.dat", 128);
    expected.raw(a).raw(b);
    EXPECT_EQ(test::readFile(out / "new.gob"), expected.bytes());
}

TEST(JKGob, GobAndGooItemsWriteTheSameBytes) {
    TempDir src, out;
    test::makeSourceTree(src.path());
    for (const auto* item : {"jk-gob", "goo"}) {
        const auto* kind = findCreatableKind(item);
        ASSERT_TRUE(kind && kind->createWriter) << item;
        EXPECT_EQ(kind->gathering, Gathering::Tree);
        kind->createWriter()->WriteContainer(out / item, src.path(), GatherFolderTree(src.path()), nullptr);
    }
    EXPECT_EQ(test::readFile(out / "jk-gob"), test::readFile(out / "goo"));
}

TEST(JKGob, EmptyFolderWritesHeaderAlone) {
    TempDir src, out;
    TJKGobReader writer;
    writer.WriteContainer(out / "e.gob", src.path(), {}, nullptr);
    EXPECT_EQ(test::readFile(out / "e.gob"), ByteBuilder().raw("GOB ").u32(20).u32(12).u32(0).bytes());
    TJKGobReader gob;
    gob.ReadDirectory(openFileBytes(out / "e.gob"));
    EXPECT_EQ(gob.EntryCount(), 0u);
}

TEST(JKGob, DirectoryIsTakenFromTheHeaderWordLessFour) {
    TempDir dir;
    ByteBuilder b;
    b.raw("GOB ").u32(40).u32(12).u32(1).zeros(20); // the directory at 36
    b.u32(172).u32(3).name("x\\y.txt", 128).raw("abc");
    test::writeFile(dir / "a.gob", b.bytes());
    TJKGobReader gob;
    gob.ReadDirectory(openFileBytes(dir / "a.gob"));
    EXPECT_EQ(gob.EntryNames(), (std::vector<std::string>{"x\\y.txt"}));
    EXPECT_EQ(gob.Rows()[0].offset, 172u);
}

TEST(JKGob, FullNameFieldListsItsFirst127Characters) {
    TempDir dir;
    const std::string full(128, 'n');
    test::writeFile(dir / "a.gob", makeJkGob({{full, Bytes(2, 9)}}));
    TJKGobReader gob;
    gob.ReadDirectory(openFileBytes(dir / "a.gob"));
    EXPECT_EQ(gob.EntryNames()[0], full.substr(0, 127));
}

TEST(JKGob, NamesThatWouldNotReadBackAreRefusedBeforeWriting) {
    TempDir src, out;
    test::writeFile(src / std::string(127, 'a'), "fits");
    TJKGobReader writer;
    writer.WriteContainer(out / "ok.gob", src.path(), GatherFolderTree(src.path()), nullptr);
    EXPECT_TRUE(fs::exists(out / "ok.gob"));

    // 128 bytes: sub\ and 124 more.
    test::writeFile(src / "sub" / std::string(124, 'b'), "too long");
    try {
        writer.WriteContainer(out / "long.gob", src.path(), GatherFolderTree(src.path()), nullptr);
        FAIL() << "a 128-byte name was written";
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find((out / "long.gob").string()), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find("128"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(fs::exists(out / "long.gob"));
}

TEST(JKGob, WriteReadExtractRoundTripKeepsSubFolders) {
    TempDir src, out;
    test::makeSourceTree(src.path());
    TJKGobReader writer;
    writer.WriteContainer(out / "r.goo", src.path(), GatherFolderTree(src.path()), nullptr);
    test::expectReadsBackAs(out / "r.goo", ContainerType::JKGob,
                            {"3do\\mat\\wall.mat", "3do\\model.3do", "empty.dat", "sound\\a.wav", "top.txt"},
                            src.path());
}

TEST(JKGob, EscapingNamesAreRefusedOnExtraction) {
    TempDir dir;
    test::writeFile(dir / "e.gob",
                    makeJkGob({{"..\\x", Bytes(1, 1)}, {"/abs", Bytes(1, 2)}, {"good.txt", Bytes(3, 3)}}));
    test::expectEscapingNamesRefused(dir / "e.gob");
}

TEST(JKGob, DamagedFilesAreRefusedWithTheFileNamed) {
    auto header = [](std::int32_t word, std::int32_t count) {
        return ByteBuilder().raw("GOB ").i32(word).u32(12).i32(count);
    };
    test::expectAllRefused([] { return std::make_unique<TJKGobReader>(); }, ".gob",
                           {
                               {"too_small", test::bytesOf("GOB \x14\0\0\0")},
                               {"directory_before_start", header(3, 0).bytes()},
                               {"directory_past_end", header(5000, 1).bytes()},
                               {"negative_count", header(20, -1).bytes()},
                               {"count_too_large", header(20, 0x7FFFFFFF).zeros(136).bytes()},
                               {"directory_cut_short", header(20, 2).u32(288).u32(0).name("a", 128).bytes()},
                               {"negative_entry_offset", header(20, 1).i32(-1).u32(0).name("a", 128).bytes()},
                               {"negative_entry_size", header(20, 1).u32(0).i32(-5).name("a", 128).bytes()},
                           });
    test::expectDamagedEntriesPassedOver(
        [] { return std::make_unique<TJKGobReader>(); }, ".gob",
        {
            {"entry_out_of_bounds", header(20, 1).u32(152).u32(10).name("a", 128).bytes(), 1, {0}},
            {"entry_size_overflows", header(20, 1).u32(152).u32(0x7FFFFFFF).name("a", 128).bytes(), 1, {0}},
        });
}

} // namespace
} // namespace vexa
