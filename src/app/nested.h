#pragma once
// Containers inside containers: a path whose leading part is a container file and whose rest names
// an entry of it opens that entry as a container, to any depth ("id1/pak0.pak/maps/e1m1.bsp"). The
// inner container is read as a range of the outer one, never copied, and is damaged on its own.

#include "app/kinds.h"

#include <cstddef>
#include <string>
#include <vector>

namespace vexa {

// How deep containers inside containers are opened, at most.
constexpr std::size_t kMaxNesting = 16;

// One level of an opened path: a container, and the entry of it the next level is (none for the last).
struct OpenedLevel {
    OpenedContainer container;
    std::optional<std::size_t> entry;
};

struct OpenedPath {
    std::vector<OpenedLevel> levels; // the file first, the container asked for last
    const OpenedContainer& innermost() const { return levels.back().container; }
    bool nested() const { return levels.size() > 1; }
};

// Opens path: a file that exists is the container (a real folder or file of that name wins over an
// entry); else its longest leading part that is a regular file, and the rest as entries, "/" or "\"
// between levels, letter case ignored where no entry matches exactly. Throws Error naming the path:
// "<path> is not a container VEXA opens (it holds <content word>)" for an entry that is no container,
// "No entry named ..." for a name no entry has, or nesting deeper than kMaxNesting.
OpenedPath openPath(const fs::path& path);

// The entry of reader named name (as the rows show it, "/" taken for "\"): exactly, else the only
// one of that name without regard to letter case; nullopt when none (or several) match.
std::optional<std::size_t> findEntryNamed(const ContainerReader& reader, std::string_view name);

// Opens entry index of outer as a container, below it. Throws Error when it is none (naming what it
// holds) or when it is damaged.
OpenedContainer openEntry(const OpenedContainer& outer, std::size_t index);

} // namespace vexa
