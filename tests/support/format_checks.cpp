#include "support/format_checks.h"

#include "app/extract.h"
#include "app/kinds.h"
#include "base/errors.h"
#include "base/file_io.h"

#include <gtest/gtest.h>

namespace vexa::test {

void expectAllRefused(const ReaderFactory& make, const std::string& extension,
                      const std::vector<FaultCase>& cases) {
    for (const auto& c : cases) {
        TempDir dir;
        const auto path = dir / (std::string(c.fault) + extension);
        writeFile(path, c.bytes);
        auto reader = make();
        try {
            reader->ReadDirectory(openFileBytes(path));
            ADD_FAILURE() << c.fault << " was accepted with " << reader->EntryCount() << " entries";
        } catch (const FormatError& e) {
            EXPECT_NE(std::string(e.what()).find(path.string()), std::string::npos)
                << c.fault << ": " << e.what();
        }
    }
}

void expectDamagedEntriesPassedOver(const ReaderFactory& make, const std::string& extension,
                                    const std::vector<DamagedCase>& cases) {
    for (const auto& c : cases) {
        TempDir dir;
        const auto path = dir / (c.fault + extension);
        writeFile(path, c.bytes);
        auto reader = make();
        try {
            reader->ReadDirectory(openFileBytes(path));
        } catch (const Error& e) {
            ADD_FAILURE() << c.fault << " was refused: " << e.what();
            continue;
        }
        ASSERT_EQ(reader->EntryCount(), c.count) << c.fault;
        std::vector<std::size_t> all(c.count), damaged;
        for (std::size_t i = 0; i < c.count; ++i) {
            all[i] = i;
            if (!reader->EntryDamage(i).empty()) damaged.push_back(i);
        }
        EXPECT_EQ(damaged, c.damaged) << c.fault;
        if (!damaged.empty()) {
            EXPECT_NE(reader->EntryDamage(damaged[0]).find("runs past the end"), std::string::npos)
                << c.fault;
        }

        const auto target = dir / "out";
        fs::create_directories(target);
        const auto result = extractRows(*reader, target, all);
        std::vector<std::size_t> refused;
        for (const auto& r : result.refused)
            refused.push_back(r.index);
        EXPECT_EQ(refused, c.damaged) << c.fault << ": " << result.refusalText();
        EXPECT_EQ(result.written, c.count - c.damaged.size()) << c.fault;
    }
}

void expectEscapingNamesRefused(const fs::path& container, const std::vector<std::string>& rows) {
    TempDir outer;
    const auto target = outer / "target";
    fs::create_directories(target);
    auto reader = CreateContainerObject(detectKind(container));
    ASSERT_TRUE(reader) << container;
    reader->ReadDirectory(openFileBytes(container));
    ASSERT_EQ(reader->EntryNames(), rows);
    const auto result = extractRows(*reader, target, {0, 1, 2});
    EXPECT_EQ(result.written, 1u);
    ASSERT_EQ(result.refused.size(), 2u);
    EXPECT_EQ(result.refused[0].index, 0u);
    EXPECT_EQ(result.refused[1].index, 1u);
    EXPECT_TRUE(fs::exists(target / rows[2]));
    EXPECT_FALSE(fs::exists(outer / "x"));
    EXPECT_FALSE(fs::exists("/abs"));
    EXPECT_EQ(
        std::distance(fs::recursive_directory_iterator(outer.path()), fs::recursive_directory_iterator()), 2);
}

void makeSourceTree(const fs::path& root) {
    writeFile(root / "top.txt", patternBytes(300, 1));
    writeFile(root / "empty.dat", Bytes{});
    writeFile(root / "3do" / "mat" / "wall.mat", patternBytes(5000, 2));
    writeFile(root / "3do" / "model.3do", patternBytes(77, 3));
    writeFile(root / "sound" / "a.wav", patternBytes(20, 4));
    fs::create_directories(root / "nothing_here"); // an empty folder contributes nothing
}

void makeSourceFiles(const fs::path& root) {
    writeFile(root / "A.ANM", patternBytes(100, 5));
    writeFile(root / "B.PLT", patternBytes(768, 6));
    writeFile(root / "EMPTY.VOC", Bytes{});
    writeFile(root / "LAST.TXT", patternBytes(70000, 7));
}

void expectReadsBackAs(const fs::path& container, ContainerType code,
                       const std::vector<std::string>& expected, const fs::path& source) {
    ASSERT_EQ(detectKind(container), code);
    auto reader = CreateContainerObject(code);
    ASSERT_TRUE(reader);
    reader->ReadDirectory(openFileBytes(container));
    ASSERT_EQ(reader->EntryNames(), expected);
    TempDir target;
    std::vector<std::size_t> rows(expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i] = i;
    const auto result = extractRows(*reader, target.path(), rows);
    EXPECT_EQ(result.statusText(), "Extraction  Complete") << result.refusalText();
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const auto relative = entryNameToPath(expected[i]);
        EXPECT_EQ(reader->EntrySize(i), fs::file_size(source / relative)) << expected[i];
        EXPECT_EQ(readFile(target.path() / relative), readFile(source / relative)) << expected[i];
    }
}

} // namespace vexa::test
