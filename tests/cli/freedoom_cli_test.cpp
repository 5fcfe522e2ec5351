// vexa-cli on a real Doom WAD: the Freedoom IWAD of Debian's freedoom package, held against a
// separate reading of its directory. Under Wine it shows the Windows build lists the same rows.

#include "support/test_files.h"

#include "cli/cli_runner.h"

#include <gtest/gtest.h>

#include <numeric>
#include <sstream>

namespace vexa {
namespace {

namespace fs = std::filesystem;

const fs::path kFreedoom2 = "/usr/share/games/doom/freedoom2.wad";

struct Lump {
    std::string name;
    std::uint32_t size;
};

std::vector<Lump> lumpsOf(const std::vector<std::uint8_t>& bytes) {
    const auto le32 = [&bytes](std::size_t at) {
        return static_cast<std::uint32_t>(bytes.at(at) | bytes.at(at + 1) << 8 | bytes.at(at + 2) << 16 |
                                          static_cast<std::uint32_t>(bytes.at(at + 3)) << 24);
    };
    std::vector<Lump> lumps;
    for (std::uint32_t i = 0, count = le32(4), dirAt = le32(8); i < count; ++i) {
        const std::size_t at = dirAt + 16 * std::size_t{i};
        std::string field(reinterpret_cast<const char*>(&bytes.at(at + 8)), 8);
        lumps.push_back({field.substr(0, field.find('\0')), le32(at + 4)});
    }
    return lumps;
}

TEST(CliFreedoom, ListsEveryLumpAndExtractsThemWhole) {
    if (!fs::exists(kFreedoom2)) GTEST_SKIP() << "the freedoom package is not installed";
    const auto lumps = lumpsOf(test::readFile(kFreedoom2));
    ASSERT_GT(lumps.size(), 1000u);

    const auto listed = test::cli({"list", kFreedoom2.string()});
    ASSERT_EQ(listed.exitCode, 0) << listed.err;
    std::istringstream rows(listed.out);
    std::size_t i = 0;
    for (std::string row; std::getline(rows, row); ++i) {
        ASSERT_LT(i, lumps.size()) << row;
        EXPECT_EQ(row, lumps[i].name) << "row " << i;
    }
    EXPECT_EQ(i, lumps.size());

    test::TempDir out;
    const auto extracted = test::cli({"extract", kFreedoom2.string(), out.path().string(), "--yes"});
    ASSERT_EQ(extracted.exitCode, 0) << extracted.err;
    std::uint64_t files = 0, bytes = 0;
    for (const auto& file : fs::recursive_directory_iterator(out.path()))
        if (file.is_regular_file()) ++files, bytes += file.file_size();
    EXPECT_EQ(files, lumps.size()) << "one file per lump, the repeated map lumps included";
    EXPECT_EQ(bytes, std::accumulate(lumps.begin(), lumps.end(), std::uint64_t{0},
                                     [](std::uint64_t sum, const Lump& lump) { return sum + lump.size; }));
}

} // namespace
} // namespace vexa
