#include "app/find.h"

#include "base/errors.h"
#include "base/file_io.h"
#include "base/filter.h"
#include "base/platform.h"
#include "formats/entry_heads.h"

#include <algorithm>
#include <set>
#include <utility>

namespace vexa {

namespace {

std::string withReason(const fs::path& path, const std::string& reason) {
    return displayPath(path) + ": " + reason;
}

// A reader's message names its file already; one that does not is given the path in front.
std::string problemOf(const fs::path& path, const std::exception& error) {
    const std::string text = error.what();
    const auto shown = displayPath(path);
    return text.find(shown) != std::string::npos ? text : shown + ": " + text;
}

struct Folder {
    fs::path path;
    std::vector<fs::path> children; // sorted
    std::size_t next = 0;
};

std::vector<fs::path> sortedChildren(const fs::path& folder, std::error_code& ec) {
    std::vector<fs::path> children;
    for (fs::directory_iterator it(folder, fs::directory_options::none, ec), end; !ec && it != end;
         it.increment(ec))
        children.push_back(it->path());
    std::sort(children.begin(), children.end(),
              [](const fs::path& a, const fs::path& b) { return a.native() < b.native(); });
    return children;
}

// Where the bytes of a container lie in its file: two levels with the same range are the same bytes.
using ByteSpan = std::pair<std::uint64_t, std::uint64_t>;
ByteSpan spanOf(const ByteSource& bytes) {
    return {bytes.fileOffset(), bytes.size()};
}

// Which entries hold a container the program opens, by the first bytes detection looks at and their
// names; entries that cannot be read here are not (their container's search says so when opened).
std::vector<bool> holdsContainers(const ContainerReader& reader) {
    const auto& rows = reader.Rows();
    std::vector<bool> holds(rows.size(), false);
    if (!reader.Archive() || reader.ListedFolder()) return holds;
    EntryHeads heads(reader, kDetectionBytes);
    std::vector<std::uint8_t> own;
    for (const auto i : heads.offsetOrder()) {
        if (rows[i].damaged) continue;
        try {
            const auto head = heads.head(i, own);
            if (head.empty()) continue;
            const auto& name = rows[i].name;
            const auto slash = name.find_last_of("\\/");
            const auto kind = detectKind(head, slash == std::string::npos ? name : name.substr(slash + 1));
            holds[i] = kind != ContainerType::Unknown && !isImageKind(kind);
        } catch (const Error&) {
        }
    }
    return holds;
}

class Search {
  public:
    explicit Search(const FindQuery& query) : query_(query), names_(query.pattern.names) {}

    void container(const OpenedContainer& opened, std::vector<ByteSpan>& outer, std::size_t level) {
        const auto& reader = *opened.reader;
        const auto& rows = reader.Rows();
        // What every entry holds is read only where a row's content is asked for or shown: a name
        // alone is looked for among 300,000 entries by their first bytes, not their whole heads.
        std::vector<const ContentKind*> kinds;
        const bool byContent = query_.pattern.content || query_.content;
        bool anyNamed = false;
        for (std::size_t i = 0; i < rows.size() && !byContent && !anyNamed; ++i)
            anyNamed = names_.matches(rows[i].name);
        if (byContent || anyNamed) kinds = classifyEntries(reader, opened.kind->code);
        const auto contentOf = [&](std::size_t i) { return kinds[i] ? kinds[i]->content : Content::Data; };
        const auto shown = pathText(reader.ArchivePath());
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (!kinds.empty() && matches(rows[i], contentOf(i)))
                out_.found.push_back({shown, i, rows[i].name, rows[i].size, contentOf(i)});
        if (level >= query_.levels && level < kMaxNesting) return;
        const auto holds = kinds.empty() ? holdsContainers(reader) : std::vector<bool>();
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (kinds.empty() ? holds[i] : contentOf(i) == Content::Container) inner(opened, i, outer, level);
    }

    FileFindings take() { return std::move(out_); }
    void problem(std::string line) { out_.problems.push_back(std::move(line)); }

  private:
    bool matches(const EntryRow& row, Content content) const {
        if (query_.pattern.content && *query_.pattern.content != content) return false;
        if (query_.content && *query_.content != content) return false;
        return names_.matches(row.name);
    }

    void inner(const OpenedContainer& outerContainer, std::size_t index, std::vector<ByteSpan>& outer,
               std::size_t level) {
        try {
            const auto bytes = outerContainer.reader->entrySource(index);
            if (level >= query_.levels) {
                // The user's own depth ends the search quietly; the program's limit is said.
                if (level >= kMaxNesting)
                    problem(withReason(bytes->path(), "containers nested more than " +
                                                          std::to_string(kMaxNesting) +
                                                          " deep are not opened"));
                return;
            }
            const auto span = spanOf(*bytes);
            // A lying directory can give an entry the bytes of its own container: opening it again
            // would go round to the depth limit, and two such entries would double the work per level.
            if (std::find(outer.begin(), outer.end(), span) != outer.end()) {
                problem(
                    withReason(bytes->path(), "holds the bytes of a container it lies in; not opened again"));
                return;
            }
            if (!searched_.insert(span).second) {
                problem(withReason(bytes->path(), "the same bytes as another entry already searched; not "
                                                  "searched again"));
                return;
            }
            const auto opened = openEntry(outerContainer, index);
            outer.push_back(span);
            container(opened, outer, level + 1);
            outer.pop_back();
        } catch (const Error& e) {
            problem(e.what());
        }
    }

    const FindQuery& query_;
    NameFilter names_;
    FileFindings out_;
    std::set<ByteSpan> searched_;
};

} // namespace

FindQuery makeFindQuery(std::string_view pattern, std::optional<std::string_view> contentWord,
                        std::size_t levels) {
    FindQuery query;
    query.pattern = parseRowPattern(pattern);
    if (contentWord) {
        query.content = contentOfWord(*contentWord);
        if (!query.content)
            throw Error("--content " + std::string(*contentWord) +
                        ": no such content (picture, palette, sound, music, text, container, data)");
    }
    if (levels < 1 || levels > kMaxNesting)
        throw Error("--max-depth " + std::to_string(levels) + ": give 1 (the files' own entries) to " +
                    std::to_string(kMaxNesting));
    query.levels = levels;
    return query;
}

std::vector<WalkItem> walkFolder(const fs::path& folder) {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) throw Error(withReason(folder, "not a folder"));
    std::vector<WalkItem> items;
    std::set<std::pair<std::uint64_t, std::uint64_t>> entered;
    std::vector<Folder> stack;
    const auto enter = [&](const fs::path& path) {
        const auto identity = platform::lookAtPath(path);
        // A system that gives folders no identity (inode 0) cannot have them mounted in a loop here.
        if (identity.inode != 0 && !entered.insert({identity.device, identity.inode}).second) {
            items.push_back({path, "a folder already walked (mounted inside itself?); not walked again"});
            return;
        }
        std::error_code error;
        auto children = sortedChildren(path, error);
        if (error) {
            if (stack.empty()) throw Error(withReason(path, error.message()));
            items.push_back({path, "cannot be read: " + error.message()});
            return;
        }
        stack.push_back({path, std::move(children), 0});
    };
    enter(folder);
    // A stack, not recursion: a folder nested 100,000 deep must not end the program.
    while (!stack.empty()) {
        auto& top = stack.back();
        if (top.next == top.children.size()) {
            stack.pop_back();
            continue;
        }
        const auto path = top.children[top.next++];
        const auto status = fs::symlink_status(path, ec);
        if (ec) {
            items.push_back({path, "cannot be read: " + ec.message()});
            continue;
        }
        switch (status.type()) {
        case fs::file_type::regular:
            items.push_back({path, {}});
            break;
        case fs::file_type::directory:
            enter(path); // may grow the stack: top is not used after this
            break;
        case fs::file_type::symlink:
            items.push_back({path, "a symbolic link; not followed"});
            break;
        default:
            items.push_back({path, "not a regular file; not read"});
            break;
        }
    }
    return items;
}

FileFindings searchFile(const fs::path& path, const FindQuery& query) {
    Search search(query);
    try {
        const auto bytes = openFileBytes(path);
        const auto kind = detectKind(*bytes, pathText(path.filename()));
        // An image kind lists the pictures of the file's folder, not the file: no container of its own.
        if (kind == ContainerType::Unknown || isImageKind(kind)) return {};
        const OpenedContainer opened{findKind(kind), readContainer(kind, bytes)};
        std::vector<ByteSpan> outer{spanOf(*bytes)};
        search.container(opened, outer, 1);
    } catch (const Error& e) {
        search.problem(problemOf(path, e));
    }
    return search.take();
}

} // namespace vexa
