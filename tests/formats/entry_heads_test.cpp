// The first bytes of many entries read together: every head equals the entry's own first bytes in
// any order asked, near heads share a read, far ones are read a few bytes each, and a directory that
// lies about where entries end does not read past the file.

#include "app/kinds.h"
#include "base/byte_source.h"
#include "formats/content.h"
#include "formats/entry_heads.h"
#include "media/media_builders.h"
#include "support/container_builders.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace vexa {
namespace {

using test::Bytes;

// A file in memory that counts its reads.
class CountedBytes final : public ByteSource {
  public:
    explicit CountedBytes(Bytes bytes)
        : ByteSource("counted.pak", bytes.size()), inner_(std::move(bytes), "counted.pak") {}
    std::size_t readSome(std::uint64_t offset, std::span<std::uint8_t> buffer) const override {
        ++reads;
        const auto got = inner_.readSome(offset, buffer);
        bytesRead += got;
        return got;
    }
    mutable std::size_t reads = 0;
    mutable std::uint64_t bytesRead = 0;

  private:
    MemoryBytes inner_;
};

struct HeadsCase {
    const char* what;
    std::vector<std::size_t> sizes; // of the PAK's entries, in the order they lie
    std::size_t headBytes;
    std::size_t maxReads;       // of the heads, after the directory
    std::uint64_t maxBytesRead; // of the heads
};

TEST(EntryHeads, EqualTheEntriesFirstBytesWithFewReads) {
    const std::vector<HeadsCase> cases = {
        {"small entries side by side share reads", std::vector<std::size_t>(200, 700), 4, 2, 256u << 10},
        {"empty and one-byte entries", {0, 1, 0, 3, 1, 0}, 16, 1, 1u << 10},
        {"large entries: a few bytes each", std::vector<std::size_t>(20, 200u << 10), 4, 20, 20 * 4},
        {"heads longer than the entries", {5, 600, 2, 513}, 512, 1, 4u << 10},
        {"near and far mixed", {100, 100, 300u << 10, 100, 100, 300u << 10, 7}, 8, 4, 1u << 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::NamedBytes entries;
        for (std::size_t i = 0; i < c.sizes.size(); ++i)
            entries.push_back(
                {"e" + std::to_string(i), test::patternBytes(c.sizes[i], static_cast<std::uint8_t>(i))});
        auto bytes = std::make_shared<CountedBytes>(test::pakOf(entries));
        const auto reader = openContainer(bytes, "counted.pak").reader;
        const auto directoryReads = bytes->reads;
        const auto directoryBytes = bytes->bytesRead;
        EntryHeads heads(*reader, c.headBytes);
        std::vector<std::uint8_t> own;
        for (const auto i : heads.offsetOrder()) {
            const auto want = std::min(c.headBytes, c.sizes[i]);
            const auto head = heads.head(i, own);
            EXPECT_EQ(Bytes(head.begin(), head.end()),
                      Bytes(entries[i].second.begin(), entries[i].second.begin() + want))
                << "entry " << i;
        }
        EXPECT_LE(bytes->reads - directoryReads, c.maxReads);
        EXPECT_LE(bytes->bytesRead - directoryBytes, c.maxBytesRead);
        // Backwards, every head is still right (each read again).
        for (std::size_t i = entries.size(); i-- > 0;) {
            const auto head = heads.head(i, own);
            EXPECT_EQ(head.size(), std::min(c.headBytes, c.sizes[i])) << "entry " << i;
        }
    }
}

TEST(EntryHeads, AnEntryTheFileEndsInsideGivesWhatThereIs) {
    // Two entries; the directory says the second runs 1,000 bytes past the end of the file.
    auto pak = test::pakOf({{"a", test::patternBytes(10, 1)}, {"b", test::patternBytes(10, 2)}});
    const auto directory = pak.size() - 128;
    pak[directory + 64 + 60] = 0xE8; // b's size: 1,000 + 10
    pak[directory + 64 + 61] = 0x03;
    const auto reader = openContainer(std::make_shared<MemoryBytes>(pak, "lies.pak"), "lies.pak").reader;
    EntryHeads heads(*reader, 2048);
    std::vector<std::uint8_t> own;
    for (const auto i : heads.offsetOrder()) {
        try {
            const auto head = heads.head(i, own);
            EXPECT_LE(head.size(), pak.size());
        } catch (const Error&) {
            // refusing the lying entry is as good as a short head
        }
    }
    EXPECT_EQ(heads.head(0, own).size(), 10u);
}

// Telling each entry's content reads the heads of entries no kind's magic starts, not their bytes:
// a container of large data entries is listed for the price of its heads, and the songs and sounds
// among them are still told by their whole bytes.
TEST(EntryHeads, ContentIsToldFromTheHeadsOfWhatNoKindClaims) {
    test::NamedBytes entries;
    for (int i = 0; i < 20; ++i)
        entries.push_back({"data/e" + std::to_string(i) + ".bin",
                           test::patternBytes(200u << 10, static_cast<std::uint8_t>(i))});
    entries.push_back({"song.mus", test::musLump({0x10, 60, 0x60})});
    entries.push_back({"shot.voc", test::vocFile({test::vocSoundData(0xA5, 0, Bytes(64, 0x80))})});
    auto bytes = std::make_shared<CountedBytes>(test::pakOf(entries));
    const auto reader = openContainer(bytes, "counted.pak").reader;
    const auto directoryBytes = bytes->bytesRead;
    const auto kinds = classifyEntries(*reader, ContainerType::Pak);
    EXPECT_LE(bytes->bytesRead - directoryBytes, 64u << 10);
    ASSERT_EQ(kinds.size(), entries.size());
    ASSERT_NE(kinds[20], nullptr);
    EXPECT_EQ(contentWord(kinds[20]->content), "music");
    ASSERT_NE(kinds[21], nullptr);
    EXPECT_EQ(contentWord(kinds[21]->content), "sound");
}

} // namespace
} // namespace vexa
