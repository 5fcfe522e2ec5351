// The Freedoom IWADs (Debian's freedoom package): every sprite and patch between the section
// markers is claimed and decoded, and its pixels equal a decoding written here another way; every
// flat decodes, and the textures compose from the patches with nothing missing.

#include "images/doom_graphics.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <cctype>
#include <iostream>
#include <map>
#include <optional>

namespace vexa {
namespace {

namespace fs = std::filesystem;

struct Lump {
    std::string name;
    std::size_t offset, size;
};

std::uint32_t le32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b.at(at)) | static_cast<std::uint32_t>(b.at(at + 1)) << 8 |
           static_cast<std::uint32_t>(b.at(at + 2)) << 16 | static_cast<std::uint32_t>(b.at(at + 3)) << 24;
}

std::vector<Lump> directoryOf(const std::vector<std::uint8_t>& wad) {
    std::vector<Lump> lumps;
    const std::uint32_t count = le32(wad, 4), at = le32(wad, 8);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t record = at + 16 * std::size_t{i};
        std::string name(reinterpret_cast<const char*>(&wad.at(record + 8)), 8);
        name.resize(std::min(name.find('\0'), name.size()));
        lumps.push_back({name, le32(wad, record), le32(wad, record + 4)});
    }
    return lumps;
}

// The lumps between prefix_START (or prefixprefix_START) and the matching end, markers left out.
std::vector<Lump> between(const std::vector<Lump>& lumps, const std::string& prefix) {
    std::vector<Lump> inside;
    bool in = false;
    for (const auto& lump : lumps) {
        if (lump.name == prefix + "_START" || lump.name == prefix + prefix + "_START")
            in = true;
        else if (lump.name == prefix + "_END" || lump.name == prefix + prefix + "_END")
            in = false;
        else if (in && lump.size > 0)
            inside.push_back(lump);
    }
    return inside;
}

// A picture as one int a pixel, -1 where no post covers it, read the way the format notes put
// it: for each column, posts until 0xFF, each "topdelta, length, pad, pixels, pad", a topdelta no
// greater than the previous post's row adding to it.
struct Pixels {
    int width = 0, height = 0, left = 0, top = 0;
    std::vector<int> at; // rows top first
};

Pixels independentDecode(const std::uint8_t* lump) {
    const auto s16 = [&](int at) {
        return static_cast<int>(static_cast<std::int16_t>(lump[at] | lump[at + 1] << 8));
    };
    Pixels p{s16(0), s16(2), s16(4), s16(6), {}};
    p.at.assign(static_cast<std::size_t>(p.width * p.height), -1);
    for (int x = 0; x < p.width; ++x) {
        const std::uint8_t* post = lump + (lump[8 + 4 * x] | lump[9 + 4 * x] << 8 | lump[10 + 4 * x] << 16);
        int row = -1;
        while (post[0] != 0xFF) {
            row = post[0] <= row ? row + post[0] : post[0];
            for (int k = 0; k < post[1]; ++k)
                p.at[static_cast<std::size_t>((row + k) * p.width + x)] = post[3 + k];
            post += post[1] + 4;
        }
    }
    return p;
}

// Each IWAD is read once for both tests.
const std::vector<std::uint8_t>& wadBytes(const fs::path& path) {
    static std::map<fs::path, std::vector<std::uint8_t>> read;
    auto& bytes = read[path];
    if (bytes.empty()) bytes = test::readFile(path);
    return bytes;
}

class FreedoomPictures : public ::testing::TestWithParam<const char*> {};

TEST_P(FreedoomPictures, EverySpriteAndPatchMatchesAnIndependentDecode) {
    const fs::path path = std::string("/usr/share/games/doom/") + GetParam();
    if (!fs::exists(path)) GTEST_SKIP() << path << " is missing: the freedoom package is not installed";
    const auto& wad = wadBytes(path);
    const auto lumps = directoryOf(wad);

    std::size_t pictures = 0;
    for (const char* section : {"S", "P"}) {
        for (const auto& lump : between(lumps, section)) {
            SCOPED_TRACE(lump.name);
            const std::span<const std::uint8_t> bytes(wad.data() + lump.offset, lump.size);
            ASSERT_TRUE(isDoomPicture(bytes));
            const auto decoded = std::move(decodeDoomPicture(bytes, lump.name).pictures.at(0));
            const auto expected = independentDecode(bytes.data());
            ASSERT_EQ(decoded.image.width, static_cast<std::uint32_t>(expected.width));
            ASSERT_EQ(decoded.image.height, static_cast<std::uint32_t>(expected.height));
            EXPECT_EQ(decoded.offset, (PictureOffset{expected.left, expected.top}));
            std::size_t mismatches = 0;
            const std::uint8_t* alpha = decoded.alpha.empty() ? nullptr : decoded.alpha.data();
            const std::uint8_t* indices = decoded.image.indices.data();
            const int* want = expected.at.data();
            for (std::size_t i = 0, n = expected.at.size(); i < n; ++i) {
                const bool opaque = !alpha || alpha[i] == kOpaque;
                if (opaque != (want[i] >= 0) || (opaque && indices[i] != want[i])) ++mismatches;
            }
            EXPECT_EQ(mismatches, 0u);
            ++pictures;
        }
    }
    RecordProperty("pictures", static_cast<int>(pictures));
    std::cout << GetParam() << ": " << pictures << " sprites and patches decoded\n";
    EXPECT_GT(pictures, 1000u);
}

TEST_P(FreedoomPictures, FlatsDecodeAndTexturesComposeWithNothingMissing) {
    const fs::path path = std::string("/usr/share/games/doom/") + GetParam();
    if (!fs::exists(path)) GTEST_SKIP() << path << " is missing: the freedoom package is not installed";
    const auto& wad = wadBytes(path);
    const auto lumps = directoryOf(wad);
    const auto bytesOf = [&](const Lump& lump) {
        return std::span<const std::uint8_t>(wad.data() + lump.offset, lump.size);
    };

    const auto flats = between(lumps, "F");
    for (const auto& flat : flats) {
        EXPECT_TRUE(isDoomFlat(bytesOf(flat))) << flat.name << " " << flat.size;
        EXPECT_EQ(decodeDoomFlat(bytesOf(flat), flat.name).pictures.at(0).image.width, 64u) << flat.name;
    }
    EXPECT_GT(flats.size(), 100u);

    // Lumps by name, the last of a name winning as in the engine; PNAMES's names in any case.
    std::map<std::string, Lump> byName;
    for (const auto& lump : lumps) {
        std::string upper = lump.name;
        for (auto& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        byName[upper] = lump;
    }
    const PatchLookup lookup = [&](std::string_view name) -> std::optional<std::vector<std::uint8_t>> {
        std::string upper(name);
        for (auto& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const auto it = byName.find(upper);
        if (it == byName.end()) return std::nullopt;
        const auto bytes = bytesOf(it->second);
        return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
    };
    std::size_t textures = 0;
    for (const char* list : {"TEXTURE1", "TEXTURE2"}) {
        if (!byName.count(list)) continue;
        ASSERT_TRUE(isDoomTextureList(bytesOf(byName.at(list))));
        const auto set =
            decodeDoomTextures(bytesOf(byName.at(list)), bytesOf(byName.at("PNAMES")), lookup, list);
        EXPECT_EQ(set.notes, std::vector<std::string>{});
        for (const auto& texture : set.pictures)
            EXPECT_EQ(texture.image.indices.size(), std::size_t{texture.image.width} * texture.image.height);
        textures += set.pictures.size();
    }
    std::cout << GetParam() << ": " << flats.size() << " flats, " << textures << " textures\n";
    EXPECT_GT(textures, 100u);

    const auto playpal = decodeDoomPlaypal(bytesOf(byName.at("PLAYPAL")), "PLAYPAL");
    EXPECT_EQ(playpal.pictures.size(), 14u);
    EXPECT_EQ(decodeDoomColormap(bytesOf(byName.at("COLORMAP")), "COLORMAP").pictures.at(0).image.height,
              34u);
}

INSTANTIATE_TEST_SUITE_P(Iwads, FreedoomPictures, ::testing::Values("freedoom1.wad", "freedoom2.wad"),
                         [](const auto& info) { return std::string(info.param).substr(0, 9); });

} // namespace
} // namespace vexa
