// The tree a mount serves: the names extraction writes, folders for "\" levels, reads straight from the
// container; converted files decoded when first asked for and kept in a bounded cache; containers
// inside containers as folders; a container changed on disk refused.

#include "app/extract.h"
#include "app/mount_tree.h"
#include "base/errors.h"
#include "formats/texture_builders.h"
#include "images/content_builders.h"
#include "images/image_builders.h"
#include "support/container_builders.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

namespace vexa {
namespace {

using test::ByteBuilder;
using test::Bytes;
using test::doomWadOf;
using test::lfdOf;
using test::pakOf;
using test::TempDir;

// The file at path below the tree's root, read whole through the tree.
Bytes readPath(MountTree& tree, const std::string& path) {
    MountTree::NodeId at = MountTree::kRoot;
    for (std::size_t start = 0; start < path.size();) {
        const auto sep = path.find('/', start);
        const auto part = path.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
        const auto next = tree.child(at, part);
        if (!next) throw Error("no " + path);
        at = *next;
        start = sep == std::string::npos ? path.size() : sep + 1;
    }
    const auto size = tree.attributes(at).size;
    Bytes out(static_cast<std::size_t>(size));
    // In pieces, as a program reads: each read is independent.
    for (std::size_t done = 0; done < out.size();)
        done +=
            tree.read(at, done, std::span(out).subspan(done, std::min<std::size_t>(7, out.size() - done)));
    return out;
}

std::vector<std::string> namesIn(MountTree& tree, MountTree::NodeId folder) {
    std::vector<std::string> names;
    for (const auto& [name, id] : tree.children(folder))
        names.push_back(name);
    return names;
}

TEST(MountTree, ServesTheNamesAndBytesExtractionWrites) {
    TempDir dir;
    const auto wall = test::mipTexture("WALL", 16, 16, Bytes(340, 7));
    const auto wad2 = test::wadFile("WAD2", {{"WALL", 0x44, wall}});
    test::writeFile(dir / "a.pak", pakOf({{"maps/e1m1.bsp", Bytes(9, 1)},
                                          {"gfx.wad", wad2},
                                          {"readme.txt", test::bytesOf("hi")},
                                          {"README.TXT", test::bytesOf("HI")},
                                          {"../escape", Bytes(3, 2)}}));
    MountTree tree(dir / "a.pak", {});
    EXPECT_EQ(namesIn(tree, MountTree::kRoot),
              (std::vector<std::string>{"maps", "gfx.wad", "readme.txt", "README_1.TXT"}));
    EXPECT_EQ(readPath(tree, "maps/e1m1.bsp"), Bytes(9, 1));
    EXPECT_EQ(readPath(tree, "README_1.TXT"), test::bytesOf("HI"));
    EXPECT_EQ(readPath(tree, "gfx.wad"), wad2);
    const auto said = tree.takeMessages();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("escape' is left out"), std::string::npos) << said[0];
    EXPECT_TRUE(tree.takeMessages().empty()); // said once

    // Recursive: the WAD2 inside is a folder of its lumps.
    MountTree::Options recursive;
    recursive.recursive = true;
    MountTree deep(dir / "a.pak", recursive);
    const auto wad = deep.child(MountTree::kRoot, "gfx.wad");
    ASSERT_TRUE(wad);
    EXPECT_TRUE(deep.attributes(*wad).folder);
    EXPECT_EQ(namesIn(deep, *wad), (std::vector<std::string>{"WALL"}));
    EXPECT_EQ(readPath(deep, "gfx.wad/WALL"), wall);
}

TEST(MountTree, ConvertedFilesAreDecodedWhenAskedForAndKeptInABoundedCache) {
    TempDir dir;
    const auto sprite = test::doomPicture(3, 4, -1, 2, {{{0, {1, 2}}}, {}, {{1, {3}}, {3, {4}}}});
    const auto patch = test::doomPicture(2, 2, 0, 0, {{{0, {5, 6}}}, {{0, {7, 8}}}});
    test::writeFile(dir / "d.wad",
                    doomWadOf({{"PLAYPAL", test::knownPalette(3)},
                               {"TROOA1", sprite},
                               {"WALLPAT", patch},
                               {"PNAMES", test::patchNames({"WALLPAT"})},
                               {"TEXTURE1", test::textureList({{"WALL", 4, 2, {{0, 0, 0}, {2, 0, 0}}},
                                                               {"DOOR", 2, 2, {{0, 0, 0}}}})}}));
    // A cache smaller than one file: every read decodes again, and still reads the same bytes.
    MountTree::Options converting;
    converting.convert = true;
    converting.cacheBytes = 1;
    MountTree tree(dir / "d.wad", converting);
    EXPECT_EQ(namesIn(tree, MountTree::kRoot),
              (std::vector<std::string>{"PLAYPAL", "PLAYPAL.pal", "TROOA1.png", "WALLPAT.png", "PNAMES",
                                        "TEXTURE1"}));
    const auto texture1 = tree.child(MountTree::kRoot, "TEXTURE1");
    ASSERT_TRUE(texture1);
    // A listing tells folders from files without decoding anything.
    const auto sprite1 = tree.child(MountTree::kRoot, "TROOA1.png");
    ASSERT_TRUE(sprite1);
    EXPECT_TRUE(tree.isFolder(*texture1));
    EXPECT_FALSE(tree.isFolder(*sprite1));
    EXPECT_EQ(namesIn(tree, *texture1), (std::vector<std::string>{"WALL.png", "DOOR.png"}));

    // What the mount shows is what extraction writes.
    fs::create_directories(dir / "x");
    const auto opened = openContainer(dir / "d.wad");
    ExtractionOptions options;
    options.convert = true;
    options.container = ContainerType::DoomWad;
    options.pictures = PictureFormat::Png;
    ASSERT_TRUE(extractRows(*opened.reader, dir / "x", {0, 1, 2, 3, 4}, options).complete());
    for (const auto* path :
         {"TROOA1.png", "PLAYPAL.pal", "PLAYPAL/00.png", "TEXTURE1/WALL.png", "TEXTURE1/DOOR.png"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(readPath(tree, path), test::readFile(dir / "x" / path));
    }
}

TEST(MountTree, DamagedEntriesAndChangedContainersAreRefusedOnRead) {
    TempDir dir;
    auto pak = pakOf({{"good", Bytes(10, 1)}, {"bad", Bytes(10, 2)}});
    pak[12 + 20 + 64 + 60] = 200; // bad's size runs past the end
    test::writeFile(dir / "a.pak", pak);
    MountTree tree(dir / "a.pak", {});
    const auto bad = tree.child(MountTree::kRoot, "bad");
    ASSERT_TRUE(bad);
    EXPECT_EQ(tree.attributes(*bad).size, 200u); // listed
    Bytes buffer(4);
    EXPECT_THROW(tree.read(*bad, 0, buffer), Error);
    EXPECT_EQ(readPath(tree, "good"), Bytes(10, 1));

    pak.push_back(0); // changed where it lies
    test::writeFile(dir / "a.pak", pak);
    EXPECT_THROW(readPath(tree, "good"), Error);
    const auto said = tree.takeMessages();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_NE(said[0].find("changed on disk since it was mounted"), std::string::npos) << said[0];
}

} // namespace
} // namespace vexa
