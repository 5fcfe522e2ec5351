#include "app/extract.h"
#include "app/kinds.h"
#include "app/listing.h"
#include "formats/rpk.h"
#include "support/fault_cases.h"
#include "support/format_checks.h"

#include <gtest/gtest.h>
#include <optional>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::TempDir;

// An RPK laid out field by field; the optional fields replace what would be written, to make
// damaged files.
struct Rpk {
    struct String {
        std::int32_t index;
        std::string text;
        std::optional<std::int32_t> length = {};
    };
    struct Folder {
        std::int32_t name, parent;
    };
    struct File {
        std::int32_t name, folder;
        Bytes data = {};
        std::optional<std::int32_t> offset = {}, size = {};
    };
    std::int32_t skip = 0;
    std::vector<String> strings;
    std::vector<Folder> folders;
    std::vector<File> files;
    std::optional<std::int32_t> stringCount = {}, folderCount = {}, fileCount = {};

    Bytes bytes() const {
        ByteBuilder b;
        b.raw("Roni").zeros(12).i32(skip).zeros(skip > 0 && skip < 1000 ? static_cast<std::size_t>(skip) : 0);
        b.u32(0).i32(stringCount.value_or(static_cast<std::int32_t>(strings.size())));
        for (const auto& s : strings)
            b.i32(s.index).i32(s.length.value_or(static_cast<std::int32_t>(s.text.size()))).raw(s.text);
        b.zeros(24).i32(folderCount.value_or(static_cast<std::int32_t>(folders.size())));
        for (const auto& f : folders)
            b.zeros(12).i32(f.name).i32(f.parent).zeros(8);
        b.i32(fileCount.value_or(static_cast<std::int32_t>(files.size())));
        std::vector<std::size_t> offsetFields;
        for (const auto& f : files) {
            b.zeros(8).i32(f.name).i32(f.folder).zeros(8);
            offsetFields.push_back(b.size());
            b.i32(f.offset.value_or(0)).i32(f.size.value_or(static_cast<std::int32_t>(f.data.size())));
        }
        for (std::size_t i = 0; i < files.size(); ++i) {
            if (!files[i].offset) b.patchU32(offsetFields[i], static_cast<std::uint32_t>(b.size()));
            b.raw(files[i].data);
        }
        return b.bytes();
    }
};

// Strings 0 data, 1 tex, 2 a.bmp, 3 b.wav, 4 late, 5 (empty), 6 top.txt; indices up to 107 exist.
Rpk sampleRpk() {
    Rpk r;
    r.skip = 6;
    r.strings = {{0, "data"}, {1, "tex"}, {2, "a.bmp"}, {3, "b.wav"}, {4, "late"}, {5, ""}, {6, "top.txt"}};
    r.folders = {{1, 0}, {0, 0}, {4, 0}, {5, 5}}; // tex comes before its parent: it stays at the top
    r.files = {
        {2, 0, test::patternBytes(30, 1)}, // data\a.bmp
        {3, 4, test::patternBytes(12, 2)}, // data\late\b.wav
        {2, 1, test::patternBytes(7, 3)},  // tex\a.bmp
        {6, 50, Bytes(4, 4)},              // folder 50 never got a path: top.txt
        {60, 0},                           // string 60 was never filled: data\NULL
        {107, 70},                         // the last index there is: NULL
        {6, 5},                            // a folder with an empty name: \top.txt
    };
    return r;
}

TEST(Rpk, ListsFilesWithTheirFolderPaths) {
    TempDir dir;
    test::writeFile(dir / "s.rpk", sampleRpk().bytes());
    auto rpk = CreateContainerObject(detectKind(dir / "s.rpk"));
    ASSERT_TRUE(rpk);
    rpk->ReadDirectory(openFileBytes(dir / "s.rpk"));
    EXPECT_EQ(rpk->EntryNames(), (std::vector<std::string>{"data\\a.bmp", "data\\late\\b.wav", "tex\\a.bmp",
                                                           "top.txt", "data\\NULL", "NULL", "\\top.txt"}));
    EXPECT_EQ(rpk->EntrySize(1), 12u);
    EXPECT_EQ(statusLine(*rpk), (dir / "s.rpk").string() + "   Contains  7 files");
}

TEST(Rpk, ExtractionRecreatesTheFolders) {
    TempDir dir, target;
    const auto r = sampleRpk();
    test::writeFile(dir / "s.rpk", r.bytes());
    TRpkReader rpk;
    rpk.ReadDirectory(openFileBytes(dir / "s.rpk"));
    const auto result = extractRows(rpk, target.path(), {0, 1, 2, 3, 6});
    EXPECT_EQ(result.written, 4u);
    ASSERT_EQ(result.refused.size(), 1u); // the rooted "\top.txt"
    EXPECT_EQ(result.refused[0].index, 6u);
    EXPECT_EQ(test::readFile(target / "data" / "a.bmp"), r.files[0].data);
    EXPECT_EQ(test::readFile(target / "data" / "late" / "b.wav"), r.files[1].data);
    EXPECT_EQ(test::readFile(target / "tex" / "a.bmp"), r.files[2].data);
    EXPECT_EQ(test::readFile(target / "top.txt"), r.files[3].data);
}

TEST(Rpk, NamesThatWouldLeaveTheTargetAreRefused) {
    TempDir dir;
    const auto target = dir / "target";
    Rpk r;
    r.strings = {{0, ".."}, {1, "evil.txt"}, {2, "ok.txt"}, {3, "a/../../evil.txt"},
                 {4, "C:"}, {5, "/evil.txt"}};
    r.folders = {{0, 0}, {4, 4}};
    r.files = {{1, 0, Bytes(1)}, {2, 9, Bytes(2)}, {3, 9, Bytes(3)}, {1, 4, Bytes(4)}, {5, 9, Bytes(5)}};
    test::writeFile(dir / "e.rpk", r.bytes());
    TRpkReader rpk;
    rpk.ReadDirectory(openFileBytes(dir / "e.rpk"));
    fs::create_directory(target);
    const auto result = extractRows(rpk, target, {0, 1, 2, 3, 4});
    EXPECT_EQ(result.written, 1u);
    EXPECT_EQ(result.refused.size(), 4u) << result.refusalText();
    EXPECT_EQ(test::readFile(target / "ok.txt"), Bytes(2));
    EXPECT_FALSE(fs::exists(dir / "evil.txt"));
    EXPECT_FALSE(fs::exists("/evil.txt"));
}

TEST(Rpk, DamagedFilesAreRefusedWithTheFileNamed) {
    const auto with = [](auto change) {
        Rpk r;
        r.strings = {{0, "d"}, {1, "f"}, {2, "g"}};
        r.folders = {{0, 0}};
        r.files = {{1, 0, Bytes(3)}};
        change(r);
        return r.bytes();
    };
    Rpk deep; // each folder one level below the one before, 101 bytes a level
    for (std::int32_t i = 0; i < 50; ++i) {
        deep.strings.push_back({i, std::string(100, 'd')});
        deep.folders.push_back({i, i == 0 ? 0 : i - 1});
    }
    test::expectRefused<TRpkReader>(
        {
            {"too_small", test::bytesOf("Roni\0\0\0\0\0\0\0\0")},
            {"negative_skip", with([](Rpk& r) { r.skip = -8; }), "negative"},
            {"skip_past_end", with([](Rpk& r) { r.skip = 100000; }), "runs past"},
            {"negative_string_count", with([](Rpk& r) { r.stringCount = -5; }), "negative"},
            {"string_count_too_large", with([](Rpk& r) { r.stringCount = 0x7FFFFFFF; }), "do not fit"},
            {"negative_string_length", with([](Rpk& r) { r.strings[1].length = -2; }), "negative"},
            {"string_length_past_end", with([](Rpk& r) { r.strings[2].length = 0x7FFFFFF0; }), "runs past"},
            {"string_index_out_of_bounds", with([](Rpk& r) { r.strings[0].index = 104; }),
             "string record 0: List index out of bounds (104)"},
            {"negative_string_index", with([](Rpk& r) { r.strings[1].index = -1; }),
             "List index out of bounds (-1)"},
            {"negative_folder_count", with([](Rpk& r) { r.folderCount = -1; }), "negative"},
            {"folder_count_too_large", with([](Rpk& r) { r.folderCount = 0x10000000; }), "do not fit"},
            {"folder_name_index_out_of_bounds", with([](Rpk& r) {
                 r.folders[0] = {500, 500};
             }),
             "folder record 1: List index out of bounds (500)"},
            {"parent_index_out_of_bounds", with([](Rpk& r) {
                 r.folders[0] = {0, 104};
             }),
             "List index out of bounds (104)"},
            {"negative_file_count", with([](Rpk& r) { r.fileCount = -1; }), "negative"},
            {"file_count_too_large", with([](Rpk& r) { r.fileCount = 1000; }), "do not fit"},
            {"file_folder_index_out_of_bounds", with([](Rpk& r) { r.files[0].folder = 103 + 1; }),
             "file record 0: List index out of bounds (104)"},
            {"file_name_index_out_of_bounds", with([](Rpk& r) { r.files[0].name = -7; }),
             "List index out of bounds (-7)"},
            {"negative_entry_offset", with([](Rpk& r) { r.files[0].offset = -1; }), "negative"},
            {"folder_path_too_long", deep.bytes(), "folder record 41: the path is 4141 bytes long"},
        },
        ".rpk");
    test::expectDamagedEntriesPassedOver(
        [] { return std::make_unique<TRpkReader>(); }, ".rpk",
        {{"entry_out_of_bounds", with([](Rpk& r) { r.files[0].size = 4; }), 1, {0}}});
}

} // namespace
} // namespace vexa
