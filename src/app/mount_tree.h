#pragma once
// A container as a tree of read-only folders and files, for a mount: every name is the one extraction
// writes (repeats numbered, converted names where asked), a row's "\" levels are folders, reads go
// straight to the container at the entry's offset. Optionally each entry of a kind the program
// decodes is its converted file (decoded when first asked for, kept in a cache of bounded size), and
// each entry that is a container is a folder of its entries (to any depth). A folder of files can be
// the root too: each container file in it is then a folder.
//
// Safe to use from many threads at once (a mount serves many readers): the tree grows and the cache
// changes under one lock; reads of stored bytes go to the file without it.

#include "app/kinds.h"
#include "formats/content.h"
#include "images/palette_files.h"
#include "images/picture.h"

#include <cstdint>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vexa {

class MountTree {
  public:
    struct Options {
        bool convert = false;   // entries of a kind the program decodes shown converted
        bool recursive = false; // entries that are containers shown as folders of their entries
        PictureFormat pictures = PictureFormat::Png;
        GamePalettePaths games;
        Palette current;
        std::uint64_t cacheBytes = 64u << 20; // converted files kept, at most
    };

    using NodeId = std::uint32_t;
    static constexpr NodeId kRoot = 0;

    struct Attributes {
        bool folder = false;
        std::uint64_t size = 0;
        std::int64_t modified = 0; // the container's (or file's) modification time, ns since 1970
    };

    // The tree of the container at path (a nested path as openPath takes it).
    MountTree(const fs::path& source, Options options);
    ~MountTree();
    MountTree(const MountTree&) = delete;
    MountTree& operator=(const MountTree&) = delete;

    // The child of folder called name, if any (a folder not yet looked into is read first).
    std::optional<NodeId> child(NodeId folder, std::string_view name);
    // The children of folder, in list order.
    std::vector<std::pair<std::string, NodeId>> children(NodeId folder);
    // Throws Error (EIO) for a converted file that does not decode.
    Attributes attributes(NodeId node);
    // Whether node is a folder, without decoding anything: what a listing of its folder shows.
    bool isFolder(NodeId node);
    // Reads up to buffer.size() bytes of file at offset. Throws Error (EIO) for a damaged entry, one
    // that does not decode, or a container changed on disk since it was mounted.
    std::size_t read(NodeId file, std::uint64_t offset, std::span<std::uint8_t> buffer);
    // What the tree has to say, each thing once (names left out, a container changed on disk): taken.
    std::vector<std::string> takeMessages();

  private:
    struct Node;
    struct Level; // an opened container and what converting it needs

    NodeId add(NodeId parent, const std::string& name, Node node);
    NodeId folderFor(NodeId root, const std::string& levels);
    void expand(NodeId folder);
    void fillFromContainer(NodeId folder, std::shared_ptr<Level> level, std::size_t depth);
    void fillFromFolder(NodeId folder, const fs::path& path, std::size_t depth);
    std::shared_ptr<const std::vector<std::uint8_t>> converted(NodeId file);
    void decodeEntry(NodeId node);
    void requireUnchanged(const Node& node);
    void say(const std::string& message);

    Options options_;
    std::mutex lock_;
    std::deque<Node> nodes_; // a deque: a node added leaves the others where they are
    std::vector<std::shared_ptr<Level>> levels_;
    std::vector<std::string> messages_;
    std::vector<std::string> said_;
    // Converted bytes by node, least recently used first.
    std::list<std::pair<NodeId, std::shared_ptr<const std::vector<std::uint8_t>>>> cache_;
    std::map<NodeId, decltype(cache_)::iterator> cached_;
    std::uint64_t cachedBytes_ = 0;
};

} // namespace vexa
