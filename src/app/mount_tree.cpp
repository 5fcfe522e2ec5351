#include "app/mount_tree.h"

#include "app/convert.h"
#include "app/extract.h"
#include "app/nested.h"
#include "base/errors.h"
#include "base/safe_path.h"
#include "base/text.h"

#include <algorithm>
#include <set>

namespace vexa {

namespace {

std::vector<std::string> levelsOf(const std::string& name) {
    std::vector<std::string> levels;
    std::size_t start = 0;
    while (start <= name.size()) {
        const auto sep = name.find_first_of("\\/", start);
        const auto part = name.substr(start, sep == std::string::npos ? std::string::npos : sep - start);
        if (!part.empty()) levels.push_back(part);
        if (sep == std::string::npos) break;
        start = sep + 1;
    }
    return levels;
}

} // namespace

// An opened container of the tree, with the names its entries take and what converting them needs.
struct MountTree::Level {
    OpenedContainer container;
    std::vector<const ContentKind*> contents;  // every entry's content kind (null: data)
    std::vector<const ContentKind*> converted; // those written converted (empty without --convert)
    std::vector<std::string> names;            // as extraction writes them
    std::unique_ptr<ContentPalettes> palettes;
    std::int64_t modified = 0;
    NodeId root = kRoot; // the folder its names are below
};

struct MountTree::Node {
    enum class Kind { Folder, Stored, Converted, RealFile };
    // Folders whose children are read when first looked into.
    enum class Later { Nothing, Container, ConvertedFolder, RealFolder, RealContainer };
    Kind kind = Kind::Folder;
    Later later = Later::Nothing;
    NodeId parent = kRoot;
    std::string name;
    std::vector<NodeId> children;
    std::map<std::string, NodeId, std::less<>> byName;
    std::shared_ptr<Level> level; // the container it is an entry of (a nested folder: the one it is in)
    std::size_t entry = 0;
    fs::path path;                           // real files and folders
    std::shared_ptr<const ByteSource> bytes; // stored entries and real files, opened when first read
    std::uint64_t size = 0;
    bool sized = true; // converted files: false until first decoded
    bool gone = false; // a converted name decoding did not give (a picture split in several)
    std::int64_t modified = 0;
    std::size_t depth = 0; // containers inside containers above it
};

MountTree::MountTree(const fs::path& source, Options options) : options_(std::move(options)) {
    nodes_.push_back(Node{});
    std::error_code ec;
    if (options_.recursive && fs::is_directory(source, ec)) {
        nodes_[kRoot].later = Node::Later::RealFolder;
        nodes_[kRoot].path = source;
        return;
    }
    auto opened = openPath(source);
    auto level = std::make_shared<Level>();
    level->container = opened.innermost();
    fillFromContainer(kRoot, std::move(level), opened.levels.size() - 1);
}

MountTree::~MountTree() = default;

MountTree::NodeId MountTree::add(NodeId parent, const std::string& name, Node node) {
    const auto id = static_cast<NodeId>(nodes_.size());
    node.parent = parent;
    node.name = name;
    nodes_.push_back(std::move(node));
    nodes_[parent].children.push_back(id);
    nodes_[parent].byName.emplace(name, id);
    return id;
}

// The folder of a "\" name below root, made where missing.
MountTree::NodeId MountTree::folderFor(NodeId root, const std::string& levels) {
    auto at = root;
    for (const auto& level : levelsOf(levels)) {
        const auto found = nodes_[at].byName.find(level);
        if (found != nodes_[at].byName.end()) {
            at = found->second;
            continue;
        }
        Node folder;
        folder.modified = nodes_[root].modified;
        folder.depth = nodes_[root].depth;
        at = add(at, level, std::move(folder));
    }
    return at;
}

void MountTree::fillFromContainer(NodeId folder, std::shared_ptr<Level> level, std::size_t depth) {
    const auto& reader = *level->container.reader;
    const auto* file = reader.Archive() ? reader.Archive()->file() : nullptr;
    platform::NodeInfo info;
    if (file && platform::lookAtOpen(file->handle(), info) == 0) level->modified = info.modified;
    level->contents = classifyEntries(reader, level->container.kind->code);
    if (options_.convert) {
        level->converted = level->contents;
        for (auto& kind : level->converted)
            if (kind && !converts(*kind)) kind = nullptr;
        level->palettes = std::make_unique<ContentPalettes>(reader, level->container.kind->code,
                                                            options_.games, options_.current);
    }
    level->names = extractionNames(reader, level->converted, options_.pictures);
    level->root = folder;
    levels_.push_back(level);
    nodes_[folder].modified = level->modified;
    nodes_[folder].depth = depth;

    for (std::size_t i = 0; i < reader.EntryCount(); ++i) {
        const auto& name = level->names[i];
        // What extraction would refuse for its name is left out, as it would be.
        if (const auto safe = safeOutputPath("mount", name); std::holds_alternative<RefusedName>(safe)) {
            say(displayPath(reader.ArchivePath()) + ": entry " + std::to_string(i) + " '" +
                printableText(name) + "' is left out: " + std::get<RefusedName>(safe).reason);
            continue;
        }
        const auto levels = levelsOf(name);
        if (levels.empty()) continue;
        const auto parent =
            levels.size() > 1 ? folderFor(folder, name.substr(0, name.find_last_of("\\/"))) : folder;
        if (nodes_[parent].byName.count(levels.back()))
            continue; // a name that is also a folder's: the folder
        Node node;
        node.level = level;
        node.entry = i;
        node.modified = level->modified;
        node.depth = depth;
        const auto* converted = i < level->converted.size() ? level->converted[i] : nullptr;
        const auto* content = level->contents[i];
        if (converted) {
            if (converted->output == ContentOutput::Folder) {
                node.later = Node::Later::ConvertedFolder;
                add(parent, levels.back(), std::move(node));
                if (converted->palFile) {
                    Node pal;
                    pal.kind = Node::Kind::Converted;
                    pal.level = level;
                    pal.entry = i;
                    pal.sized = false;
                    pal.modified = level->modified;
                    add(parent, levels.back() + ".pal", std::move(pal));
                }
                continue;
            }
            node.kind = Node::Kind::Converted;
            node.sized = false;
        } else if (options_.recursive && content && content->content == Content::Container &&
                   depth + 1 < kMaxNesting) {
            node.later = Node::Later::Container;
        } else {
            node.kind = Node::Kind::Stored;
            node.size = reader.Rows()[i].size.value_or(0);
        }
        add(parent, levels.back(), std::move(node));
    }
}

void MountTree::fillFromFolder(NodeId folder, const fs::path& path, std::size_t depth) {
    std::error_code ec;
    std::vector<fs::directory_entry> found;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
        found.push_back(*it);
    std::sort(found.begin(), found.end(),
              [](const auto& a, const auto& b) { return a.path().filename() < b.path().filename(); });
    for (const auto& item : found) {
        const auto name = pathText(item.path().filename());
        std::error_code kindError;
        const auto status = item.symlink_status(kindError); // links are not followed
        Node node;
        node.path = item.path();
        node.depth = depth;
        node.modified = platform::lookAtPath(item.path()).modified;
        if (fs::is_directory(status)) {
            node.later = Node::Later::RealFolder;
        } else if (fs::is_regular_file(status)) {
            node.kind = Node::Kind::RealFile;
            node.size = item.file_size(kindError);
            try {
                const auto kind = detectKind(item.path());
                if (kind != ContainerType::Unknown && !isImageKind(kind)) {
                    node.kind = Node::Kind::Folder;
                    node.later = Node::Later::RealContainer;
                }
            } catch (const Error&) {
                // A file that cannot be read is shown as a file whose reads fail.
            }
        } else {
            continue; // links, FIFOs, devices: not shown
        }
        add(folder, name, std::move(node));
    }
}

// A folder's children are read when first looked into: a container's entries, a converted entry's
// pictures, a real folder's files.
void MountTree::expand(NodeId id) {
    auto later = nodes_[id].later;
    if (later == Node::Later::Nothing) return;
    nodes_[id].later = Node::Later::Nothing;
    try {
        switch (later) {
        case Node::Later::Container: {
            const auto& node = nodes_[id];
            auto level = std::make_shared<Level>();
            level->container = openEntry(node.level->container, node.entry);
            fillFromContainer(id, std::move(level), node.depth + 1);
            break;
        }
        case Node::Later::RealContainer: {
            auto level = std::make_shared<Level>();
            level->container = openContainer(nodes_[id].path);
            fillFromContainer(id, std::move(level), nodes_[id].depth);
            break;
        }
        case Node::Later::RealFolder:
            fillFromFolder(id, nodes_[id].path, nodes_[id].depth);
            break;
        case Node::Later::ConvertedFolder:
            decodeEntry(id);
            break;
        case Node::Later::Nothing:
            break;
        }
    } catch (const Error& e) {
        say(printableText(e.what()));
    }
}

// Decodes the entry node stands for, and keeps each file it gives in the cache (a converted folder's
// files become its children).
void MountTree::decodeEntry(NodeId id) {
    const auto level = nodes_[id].level;
    const auto entry = nodes_[id].entry;
    const auto& reader = *level->container.reader;
    const auto* kind = level->converted.at(entry);
    const auto top = level->root; // the files it gives are named below its container's folder
    const auto& name = level->names[entry];
    std::vector<ConvertedFile> files;
    convertEntry(
        reader, entry, *kind, name, options_.pictures, *level->palettes,
        [&](ConvertedFile file) { files.push_back(std::move(file)); },
        [&](std::string note) { say(entryWhat(reader, entry) + ": " + note); });
    std::set<NodeId> given;
    for (auto& file : files) {
        const auto levels = levelsOf(file.name);
        const auto folder =
            levels.size() > 1 ? folderFor(top, file.name.substr(0, file.name.find_last_of("\\/"))) : top;
        auto found = nodes_[folder].byName.find(levels.back());
        NodeId node;
        if (found == nodes_[folder].byName.end()) {
            Node made;
            made.kind = Node::Kind::Converted;
            made.level = level;
            made.entry = entry;
            made.modified = level->modified;
            node = add(folder, levels.back(), std::move(made));
        } else {
            node = found->second;
        }
        nodes_[node].size = file.bytes.size();
        nodes_[node].sized = true;
        given.insert(node);
        auto bytes = std::make_shared<const std::vector<std::uint8_t>>(std::move(file.bytes));
        if (auto it = cached_.find(node); it != cached_.end()) {
            cachedBytes_ -= it->second->second->size();
            cache_.erase(it->second);
        }
        cachedBytes_ += bytes->size();
        cache_.emplace_back(node, std::move(bytes));
        cached_[node] = std::prev(cache_.end());
    }
    // A converted file the entry did not give (its pictures are several): not there.
    if (nodes_[id].kind == Node::Kind::Converted && !given.count(id)) nodes_[id].gone = true;
    for (const auto sibling : nodes_[nodes_[id].parent].children)
        if (nodes_[sibling].level == level && nodes_[sibling].entry == entry &&
            nodes_[sibling].kind == Node::Kind::Converted && !given.count(sibling))
            nodes_[sibling].gone = true;
    // Least recently used out, never the ones just made.
    while (cachedBytes_ > options_.cacheBytes && !cache_.empty() && !given.count(cache_.front().first)) {
        cachedBytes_ -= cache_.front().second->size();
        cached_.erase(cache_.front().first);
        cache_.pop_front();
    }
}

std::shared_ptr<const std::vector<std::uint8_t>> MountTree::converted(NodeId id) {
    if (auto it = cached_.find(id); it != cached_.end()) {
        cache_.splice(cache_.end(), cache_, it->second); // most recently used now
        return it->second->second;
    }
    decodeEntry(id);
    if (auto it = cached_.find(id); it != cached_.end()) return it->second->second;
    throw Error(nodes_[id].name + ": its entry gives no such file");
}

void MountTree::requireUnchanged(const Node& node) {
    if (!node.level) return;
    const auto* archive = node.level->container.reader->Archive();
    const auto* file = archive ? archive->file() : nullptr;
    if (!file) return;
    platform::NodeInfo now;
    if (platform::lookAtOpen(file->handle(), now) == 0 && now.size == file->identity().size &&
        now.modified == file->identity().modified)
        return;
    const auto message = displayPath(file->path()) +
                         " changed on disk since it was mounted: its entries are no longer read (unmount and "
                         "mount it again)";
    say(message);
    throw Error(message);
}

void MountTree::say(const std::string& message) {
    if (std::find(said_.begin(), said_.end(), message) != said_.end()) return;
    said_.push_back(message);
    messages_.push_back(message);
}

std::optional<MountTree::NodeId> MountTree::child(NodeId folder, std::string_view name) {
    std::lock_guard hold(lock_);
    if (folder >= nodes_.size() || nodes_[folder].kind != Node::Kind::Folder) return std::nullopt;
    expand(folder);
    const auto found = nodes_[folder].byName.find(name);
    if (found == nodes_[folder].byName.end() || nodes_[found->second].gone) return std::nullopt;
    return found->second;
}

std::vector<std::pair<std::string, MountTree::NodeId>> MountTree::children(NodeId folder) {
    std::lock_guard hold(lock_);
    std::vector<std::pair<std::string, NodeId>> out;
    if (folder >= nodes_.size() || nodes_[folder].kind != Node::Kind::Folder) return out;
    expand(folder);
    for (const auto id : nodes_[folder].children)
        if (!nodes_[id].gone) out.emplace_back(nodes_[id].name, id);
    return out;
}

MountTree::Attributes MountTree::attributes(NodeId id) {
    std::lock_guard hold(lock_);
    auto& node = nodes_.at(id);
    if (node.kind == Node::Kind::Converted && !node.sized) converted(id);
    return {node.kind == Node::Kind::Folder, node.size, node.modified};
}

bool MountTree::isFolder(NodeId id) {
    std::lock_guard hold(lock_);
    return id < nodes_.size() && nodes_[id].kind == Node::Kind::Folder;
}

std::size_t MountTree::read(NodeId id, std::uint64_t offset, std::span<std::uint8_t> buffer) {
    std::shared_ptr<const ByteSource> bytes;
    {
        std::lock_guard hold(lock_);
        auto& node = nodes_.at(id);
        requireUnchanged(node);
        if (node.kind == Node::Kind::Converted) {
            const auto data = converted(id);
            if (offset >= data->size()) return 0;
            const auto n =
                static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), data->size() - offset));
            std::copy_n(data->begin() + static_cast<std::ptrdiff_t>(offset), n, buffer.begin());
            return n;
        }
        if (node.kind == Node::Kind::Folder) throw Error(node.name + " is a folder");
        if (!node.bytes)
            node.bytes = node.kind == Node::Kind::RealFile
                             ? openFileBytes(node.path)
                             : node.level->container.reader->entrySource(node.entry);
        bytes = node.bytes;
    }
    // Stored bytes are read where they lie, outside the lock: readers do not wait for one another.
    return bytes->readSome(offset, buffer);
}

std::vector<std::string> MountTree::takeMessages() {
    std::lock_guard hold(lock_);
    return std::exchange(messages_, {});
}

} // namespace vexa
