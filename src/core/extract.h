#pragma once
// The extraction commands' shared part: which rows, where each goes, and the run itself.

#include "core/container.h"
#include "images/Image_util.h"

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
    bool cancelled = false;     // the run was stopped before all rows were handled
    std::size_t notStarted = 0; // rows a cancelled run did not reach

    // "Extraction  Complete", or a line that says entries were refused or the run was cancelled.
    std::string statusText() const;
    // One line per refused entry, for a message box or stderr; empty when none was refused.
    std::string refusalText() const;
};

// Asked between entries of a long job, on the job's thread; true stops the job there.
using CancelCheck = std::function<bool()>;

struct ExtractionOptions {
    std::function<void(std::size_t)> afterRow; // called with each handled row's index
    CancelCheck cancelled;                     // asked before each row
    PictureFormat pictures = PictureFormat::Bmp;
};

// Extracts the rows (entry indices, in the order given) into target. Each output is resolved
// beneath target when it is opened and written under a temporary name until whole. A name that
// would leave the target, an entry whose data are damaged or an output that cannot be written is
// reported and passed over; the others still come out. A cancel stops the run between two rows.
// Any other error (the target or the container cannot be opened) ends the run with its message.
ExtractionResult extractRows(ContainerReader& object, const fs::path& target, const std::vector<std::size_t>& rows,
                             const ExtractionOptions& options);
// The same with the pictures in this thread's format and no cancel.
ExtractionResult extractRows(ContainerReader& object, const fs::path& target, const std::vector<std::size_t>& rows,
                             const std::function<void(std::size_t)>& afterRow = {});

} // namespace vexa
