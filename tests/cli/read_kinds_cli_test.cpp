// vexa-cli on the read-only kinds: Doom WAD, GRP, ZFS and RPK files made here.

#include "support/test_files.h"

#include "cli/cli_runner.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::TempDir;
namespace fs = std::filesystem;

// A PWAD with two maps (THINGS twice) and an Arch-vile sprite frame named with "\".
Bytes doomWad() {
    ByteBuilder b;
    b.raw("PWAD").u32(5).u32(21).raw("aaaa").raw("bb").raw("ccc");
    b.u32(0).u32(0).name("MAP01", 8).u32(12).u32(4).name("THINGS", 8).u32(0).u32(0).name("MAP02", 8);
    b.u32(16).u32(2).name("THINGS", 8).u32(18).u32(3).name("VILE\\1", 8);
    return b.bytes();
}

Bytes grp() {
    return ByteBuilder()
        .raw("KenSilverman")
        .u32(2)
        .name("A.ART", 12)
        .u32(3)
        .name("B.MAP", 12)
        .u32(1)
        .raw("xyzw")
        .bytes();
}

Bytes zfs() { // two blocks of one record each
    ByteBuilder b;
    b.raw("ZFS3").zeros(8).u32(1).u32(2).zeros(8);
    b.u32(68).name("ONE.RAW", 16).u32(108).u32(0).u32(2).zeros(8);
    b.u32(0).name("TWO.RAW", 16).u32(110).u32(0).u32(1).zeros(8);
    b.raw("12").raw("3");
    return b.bytes();
}

Bytes rpk(const std::string& folder) { // folder\file.txt
    ByteBuilder b;
    b.raw("Roni").zeros(12).u32(0).u32(0).u32(2);
    b.u32(0).u32(static_cast<std::uint32_t>(folder.size())).raw(folder).u32(1).u32(8).raw("file.txt");
    b.zeros(24).u32(1).zeros(12).u32(0).u32(0).zeros(8);
    const auto dataAt = static_cast<std::uint32_t>(b.size() + 4 + 32);
    b.u32(1).zeros(8).u32(1).u32(0).zeros(8).u32(dataAt).u32(5).raw("hello");
    return b.bytes();
}

TEST(CliReadKinds, ListsAsJsonAndExtractsEachKind) {
    const struct {
        const char* file;
        Bytes bytes;
        const char* json; // a part of the listing
        std::vector<std::pair<std::string, std::string>> written;
    } cases[] = {
        {"maps.wad",
         doomWad(),
         R"("type": 5, "kind": "Doom WAD", "count": 5, "entries": [
  {"index": 0, "name": "MAP01", "size": 0, "content": "data"},
  {"index": 1, "name": "THINGS", "size": 4, "content": "text"},
  {"index": 2, "name": "MAP02", "size": 0, "content": "data"},
  {"index": 3, "name": "THINGS", "size": 2, "content": "text"},
  {"index": 4, "name": "VILE\\1", "size": 3, "content": "text"}
]})",
         {{"MAP01", ""}, {"THINGS", "aaaa"}, {"MAP02", ""}, {"THINGS_1", "bb"}, {"VILE^1", "ccc"}}},
        {"duke.GRP", grp(), R"("type": 12, "kind": "GRP", "count": 2)", {{"A.ART", "xyz"}, {"B.MAP", "w"}}},
        {"game.zfs",
         zfs(),
         R"({"index": 1, "name": "TWO.RAW", "size": 1, "content": "text"})",
         {{"ONE.RAW", "12"}, {"TWO.RAW", "3"}}},
        {"pack.rpk",
         rpk("sounds"),
         R"({"index": 0, "name": "sounds\\file.txt", "size": 5, "content": "text"})",
         {{"sounds/file.txt", "hello"}}},
    };
    for (const auto& c : cases) {
        TempDir dir;
        test::writeFile(dir / c.file, c.bytes);
        const auto list = test::cli({"list", (dir / c.file).string(), "--json"});
        EXPECT_EQ(list.exitCode, 0) << c.file << list.err;
        EXPECT_NE(list.out.find(c.json), std::string::npos) << c.file << "\n" << list.out;

        const auto extract = test::cli({"extract", (dir / c.file).string(), (dir / "out").string(), "--yes"});
        EXPECT_EQ(extract.exitCode, 0) << c.file << extract.err;
        EXPECT_EQ(extract.out, "Extraction  Complete\n") << c.file;
        std::size_t files = 0;
        for (const auto& e : fs::recursive_directory_iterator(dir / "out"))
            files += e.is_regular_file();
        EXPECT_EQ(files, c.written.size()) << c.file;
        for (const auto& [name, text] : c.written)
            EXPECT_EQ(test::readFile(dir / "out" / name), test::bytesOf(text)) << name;
    }
}

TEST(CliReadKinds, RefusesWhatWouldLeaveTheTargetAndDamagedFiles) {
    TempDir dir;
    test::writeFile(dir / "up.rpk", rpk(".."));
    const auto up = test::cli({"extract", (dir / "up.rpk").string(), (dir / "out").string(), "--yes"});
    EXPECT_EQ(up.exitCode, 1);
    EXPECT_NE(up.err.find("entry 0 '..\\file.txt' was not extracted"), std::string::npos) << up.err;
    EXPECT_FALSE(fs::exists(dir / "file.txt"));

    test::writeFile(dir / "loop.zfs",
                    ByteBuilder().raw("ZFS3").zeros(8).u32(1).u32(2).zeros(8).u32(28).zeros(76).bytes());
    const auto loop = test::cli({"list", (dir / "loop.zfs").string()});
    EXPECT_EQ(loop.exitCode, 1);
    EXPECT_NE(loop.err.find((dir / "loop.zfs").string() + ": the directory block chain leads back"),
              std::string::npos)
        << loop.err;
}

} // namespace
} // namespace vexa
