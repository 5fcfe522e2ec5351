#pragma once
// The extraction commands' shared part: which rows, where each goes, and the run itself.

#include "formats/container.h"
#include "formats/content.h"
#include "formats/kind.h"
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

// A filter pattern as typed: "content:WORD" keeps the rows of that content ("content:picture"), and
// what follows it (or the whole pattern) is a name pattern (NameFilter).
struct RowPattern {
    std::optional<Content> content;
    std::string names;
};
// Throws Error for a content word no row can have.
RowPattern parseRowPattern(std::string_view pattern);

// The rows the filter pattern keeps, in list order. contents (each row's content kind, null for data)
// is needed where the pattern names a content.
std::vector<std::size_t> filterRows(const std::vector<EntryRow>& rows, std::string_view pattern,
                                    const std::vector<const ContentKind*>& contents = {});

// What the command line chose to extract. With no extension, name or index every row is chosen; the
// filter then keeps, of those, the rows whose name it matches.
struct ExtractionSelection {
    std::vector<std::string> extensions; // upper-cased, with their dot
    std::vector<std::string> names;      // each must name at least one row
    std::vector<std::size_t> indices;    // each must be a row
    std::optional<std::string> filter;
};

// The chosen rows, in list order and each once. Throws Error naming container (as the user gave it)
// for a name or index that is no row, and for a filter that keeps none of the chosen rows.
std::vector<std::size_t> selectRows(const std::vector<EntryRow>& rows, const ExtractionSelection& selection,
                                    const std::string& container,
                                    const std::vector<const ContentKind*>& contents = {});

struct RefusedEntry {
    std::size_t index;
    std::string name;
    std::string reason;
};

struct ExtractionResult {
    std::size_t written = 0;
    std::vector<RefusedEntry> refused;
    // Converting: entries that did not decode, written as their stored bytes (reason: why), and what
    // was left out of the pictures that did (a texture's missing patch).
    std::vector<RefusedEntry> notConverted;
    std::vector<std::string> notes;
    // Said once each where pictures were painted with a placeholder palette (placeholderNotice).
    std::vector<std::string> placeholders;
    bool cancelled = false;     // the run was stopped before all rows were handled
    std::size_t notStarted = 0; // rows a cancelled run did not reach

    // "Extraction  Complete", or a line that says entries were refused, not converted or the run was
    // cancelled.
    std::string statusText() const;
    // One line per refused or unconverted entry, for a message box or stderr; empty when there is none.
    std::string refusalText() const;
    bool complete() const { return refused.empty() && notConverted.empty() && !cancelled; }
};

// What converting extraction writes converted: the content kind of each entry (classifyEntries), null
// for those written as they are.
std::vector<const ContentKind*> convertedKinds(const ContainerReader& object, ContainerType container);
// The name each entry is written under below the target ("\" between levels): its OutputName, or where
// kinds says it is converted, its converted name; repeats numbered over the whole list (numberRepeats),
// so no file is written twice and a name does not depend on which rows were chosen.
std::vector<std::string> extractionNames(const ContainerReader& object,
                                         const std::vector<const ContentKind*>& kinds, PictureFormat format);

// Asked between entries of a long job, on the job's thread; true stops the job there.
using CancelCheck = std::function<bool()>;

struct ExtractionOptions {
    std::function<void(std::size_t)> afterRow; // called with each handled row's index
    CancelCheck cancelled;                     // asked before each row
    PictureFormat pictures = PictureFormat::Bmp;
    GamePalettePaths games; // where pictures that name a game's palette get it from
    bool raw = false;       // each entry byte for byte as stored, where pictures would be made of it
    // Each entry of a content kind the program decodes written converted (pictures in the pictures'
    // format, sounds as WAV, music as MIDI, text as UTF-8), the others as they are. container is the
    // kind of the container the rows are of.
    bool convert = false;
    ContainerType container = ContainerType::Unknown;
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
