#pragma once
// Finding entries across a folder: every file a kind claims, and every container inside those, searched
// for rows that match a pattern. The walk lists the files; each file is searched on its own, so a caller
// that wants several at once runs searchFile on threads of its own (the core starts none) and keeps the
// walk's order itself.

#include "app/extract.h"
#include "app/nested.h"
#include "formats/content.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vexa {

// What to find. levels: how many levels of containers are opened, the file being the first (1: the
// files' own entries only), at most kMaxNesting.
struct FindQuery {
    RowPattern pattern;
    std::optional<Content> content; // besides the pattern's own content word
    std::size_t levels = kMaxNesting;
};

// Builds a query from a pattern as --filter takes it and a content word; throws Error for a word that
// names no content or a depth outside 1..kMaxNesting.
FindQuery makeFindQuery(std::string_view pattern, std::optional<std::string_view> contentWord,
                        std::size_t levels = kMaxNesting);

// One stop of the walk: a regular file to search, or something that is not searched and is said so
// (a symbolic link, a FIFO, a folder that cannot be read).
struct WalkItem {
    fs::path path;
    std::string problem; // empty for a file to search
};

// The folder's files in a fixed order (names sorted bytewise at every level, a folder's contents right
// after its name), links never followed, each folder entered once (a folder mounted inside itself is
// not walked again). Throws Error when folder itself cannot be read or is not a folder.
std::vector<WalkItem> walkFolder(const fs::path& folder);

// An entry whose row matched, in the container it is listed in.
struct FoundEntry {
    std::string container; // the path of its container, "/" between every level
    std::size_t index = 0;
    std::string entry; // as the rows show it
    std::optional<std::uint64_t> size;
    Content content = Content::Data;
};

struct FileFindings {
    std::vector<FoundEntry> found;     // in the order of the container's rows, each nested one after its row
    std::vector<std::string> problems; // one line each: what could not be read, and why
};

// Searches the file at path: nothing when no kind claims it; else its rows and those of the containers
// inside it, to query.levels. A file, or a container inside it, that cannot be read is a problem of
// its own and the rest is searched. A container that holds itself (an entry whose bytes are those of
// one of its outer levels) and bytes already searched under another name are not opened again. Called
// on any thread: it reads only what it is given.
FileFindings searchFile(const fs::path& path, const FindQuery& query);

} // namespace vexa
