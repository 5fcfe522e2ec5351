#pragma once
// The extraction commands' shared part: which rows, where each goes, and the run itself.

#include "formats/container.h"
#include "images/picture.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
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
std::vector<std::string> CollectExtensions(const std::vector<EntryRow>& rows);
// The rows whose upper-cased extension is one of extensions, in list order.
std::vector<std::size_t> rowsWithExtensions(const std::vector<std::string>& rows,
                                            const std::vector<std::string>& extensions);
std::vector<std::size_t> rowsWithExtensions(const std::vector<EntryRow>& rows,
                                            const std::vector<std::string>& extensions);

// The rows whose name the filter pattern keeps (filterRows of the names), in list order.
std::vector<std::size_t> filterRows(const std::vector<EntryRow>& rows, std::string_view pattern);

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
    GamePalettePaths games; // where pictures that name a game's palette get it from
    bool raw = false;       // each entry byte for byte as stored, where pictures would be made of it
};

// Extracts the rows (entry indices, in the order given) into target. Each entry goes to its
// OutputName with repeats numbered over the whole list (numberRepeats), so no file is written
// twice and an entry's file name does not depend on which rows were chosen. A name that would
// leave the target, an entry whose data are damaged or an output that cannot be written (something
// in the way, no room) is reported and passed over; the others still come out. Each output is
// resolved beneath target when it is opened and written under a temporary name until whole. A
// cancel stops the run between two rows. Any other error (the target or the container cannot be
// read) ends the run with its message, rows already written staying.
// Pictures are painted with palette, the current one; a picture with its own palette or its game's
// makes that the current one, so palette is what the run leaves of it (also when it throws).
ExtractionResult extractRows(const ContainerReader& object, const fs::path& target,
                             const std::vector<std::size_t>& rows, const ExtractionOptions& options,
                             Palette& palette);
// The same with a black current palette.
ExtractionResult extractRows(const ContainerReader& object, const fs::path& target,
                             const std::vector<std::size_t>& rows, const ExtractionOptions& options);
// The same with the options' defaults (pictures in BMP) and a black current palette.
ExtractionResult extractRows(const ContainerReader& object, const fs::path& target,
                             const std::vector<std::size_t>& rows,
                             const std::function<void(std::size_t)>& afterRow = {});

} // namespace vexa
