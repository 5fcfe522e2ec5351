#pragma once
// The extraction commands' shared part: which rows, where each goes, and the run itself.

#include "core/container.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vexa {

// Extraction asks before writing to a file system with less room than this.
constexpr std::int64_t kFreeSpaceThreshold = 200'000'000;

// The question asked before extracting into target when its file system has little room left,
// or nullopt when there is room.
std::optional<std::string> lowSpaceQuestion(const fs::path& target);
std::optional<std::string> lowSpaceQuestion(const fs::path& target, std::int64_t freeBytes);

// The distinct upper-cased extensions of the rows, sorted; rows without one (or with a bare dot)
// add nothing.
std::vector<std::string> CollectExtensions(const std::vector<std::string>& rows);
// The rows whose upper-cased extension is one of extensions, in list order.
std::vector<std::size_t> rowsWithExtensions(const std::vector<std::string>& rows,
                                            const std::vector<std::string>& extensions);

struct RefusedEntry {
    std::size_t index;
    std::string name;
    std::string reason;
};

struct ExtractionResult {
    std::size_t written = 0;
    std::vector<RefusedEntry> refused;

    // "Extraction  Complete", or a line that says entries were refused.
    std::string statusText() const;
    // One line per refused entry, for a message box or stderr; empty when none was refused.
    std::string refusalText() const;
};

// Extracts the rows (entry indices, in the order given) into target. A name that would leave the
// target, or an entry whose data are damaged, is reported and passed over; any other error (an
// output that cannot be created) ends the run with its message, rows already written staying.
// afterRow is called with each handled row's index.
ExtractionResult extractRows(ContainerReader& object, const fs::path& target, const std::vector<std::size_t>& rows,
                             const std::function<void(std::size_t)>& afterRow = {});

} // namespace vexa
