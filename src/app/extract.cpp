#include "app/extract.h"

#include "base/errors.h"
#include "base/filter.h"
#include "base/safe_path.h"
#include "base/text.h"
#include "formats/output_names.h"

#include <algorithm>
#include <set>
#include <sys/stat.h>
#include <unordered_set>
#include <utility>

namespace vexa {

std::optional<std::string> lowSpaceQuestion(const fs::path& target, std::int64_t freeBytes) {
    if (freeBytes >= kFreeSpaceThreshold) return std::nullopt;
    return "There is less than 200MB remaining on drive \"" + pathText(fileSystemRoot(target)) + "\n\r\"" +
           " Do you want to continue with extraction ?";
}

std::optional<std::string> lowSpaceQuestion(const fs::path& target) {
    return lowSpaceQuestion(target, freeBytes(target));
}

namespace {
std::string upperExtension(const std::string& row) {
    auto ext = toUpperAscii(extensionOf(row));
    return ext == "." ? std::string() : ext;
}

const std::string& nameOf(const std::string& row) {
    return row;
}
const std::string& nameOf(const EntryRow& row) {
    return row.name;
}

// Names are read where they are: a listing of 100,000 rows is not copied to be looked through.
template <class Row> std::vector<std::string> collectExtensions(const std::vector<Row>& rows) {
    std::set<std::string> found;
    for (const auto& row : rows) {
        auto ext = upperExtension(nameOf(row));
        if (!ext.empty()) found.insert(std::move(ext));
    }
    return {found.begin(), found.end()};
}

template <class Row>
std::vector<std::size_t> chooseByExtension(const std::vector<Row>& rows,
                                           const std::vector<std::string>& extensions) {
    std::vector<std::size_t> chosen;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto ext = upperExtension(nameOf(rows[i]));
        if (!ext.empty() && std::find(extensions.begin(), extensions.end(), ext) != extensions.end())
            chosen.push_back(i);
    }
    return chosen;
}
} // namespace

std::vector<std::string> CollectExtensions(const std::vector<std::string>& rows) {
    return collectExtensions(rows);
}
std::vector<std::string> CollectExtensions(const std::vector<EntryRow>& rows) {
    return collectExtensions(rows);
}

std::vector<std::size_t> rowsWithExtensions(const std::vector<std::string>& rows,
                                            const std::vector<std::string>& extensions) {
    return chooseByExtension(rows, extensions);
}
std::vector<std::size_t> rowsWithExtensions(const std::vector<EntryRow>& rows,
                                            const std::vector<std::string>& extensions) {
    return chooseByExtension(rows, extensions);
}

std::vector<std::size_t> filterRows(const std::vector<EntryRow>& rows, std::string_view pattern) {
    const NameFilter filter(pattern);
    std::vector<std::size_t> kept;
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (filter.matches(rows[i].name)) kept.push_back(i);
    return kept;
}

std::string ExtractionResult::statusText() const {
    if (refused.empty() && !cancelled) return "Extraction  Complete";
    std::string text = (cancelled ? "Extraction cancelled: " : "Extraction ended: ") + std::to_string(written) +
                       " written";
    if (!refused.empty())
        text += ", " + std::to_string(refused.size()) + (refused.size() == 1 ? " entry" : " entries") +
                " not extracted";
    if (cancelled) text += ", " + std::to_string(notStarted) + " not started";
    return text;
}

std::string ExtractionResult::refusalText() const {
    std::string text;
    for (const auto& r : refused) {
        if (!text.empty()) text += "\n";
        text += "entry " + std::to_string(r.index) + " '" + r.name + "' was not extracted: " + r.reason;
    }
    return text;
}

namespace {

// The on-disk checks of one extraction run. A folder below the target is walked (no symbolic link
// may stand on the way), created where the kind recreates folders, and walked again the first time
// an entry goes into it; later entries of that folder only have their own name looked at. An
// archive of 10,000 entries in a few folders so costs one lstat per entry, not one per level.
class OutputChecks {
  public:
    OutputChecks(const fs::path& target, const fs::path& archive, bool createsFolders)
        : target_(target), archive_(archive), createsFolders_(createsFolders) {
        struct stat st {};
        if (!archive.empty() && ::stat(archive.c_str(), &st) == 0) archiveId_ = {st.st_dev, st.st_ino};
    }

    // The reason output must not be written, or empty.
    std::string problem(const fs::path& output) {
        const auto folder = output.parent_path();
        if (checkedFolders_.contains(folder.native())) return leafProblem(output);
        auto found = unsafeOnDisk(target_, output, archive_);
        if (found.empty() && createsFolders_ && folder != target_) {
            std::error_code ec;
            fs::create_directories(folder, ec);
            found = unsafeOnDisk(target_, output, archive_);
        }
        struct stat st {};
        if (found.empty() && ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
            checkedFolders_.insert(folder.native());
        return found;
    }

  private:
    // What unsafeOnDisk says of the last level when the folders above it are known to be sound.
    std::string leafProblem(const fs::path& output) const {
        struct stat st {};
        if (::lstat(output.c_str(), &st) != 0) return {};
        if (S_ISLNK(st.st_mode)) return "a symbolic link stands at " + output.string();
        if (archiveId_ && std::pair(st.st_dev, st.st_ino) == *archiveId_)
            return "it would overwrite the container being read";
        return {};
    }

    const fs::path& target_;
    const fs::path& archive_;
    bool createsFolders_;
    std::optional<std::pair<dev_t, ino_t>> archiveId_;
    std::unordered_set<std::string> checkedFolders_; // walked (and, where the kind does, created) in this run
};

// Writes the entry's pictures beside output, each checked where it really goes (its name is not
// the entry's: a container ending in ".bmp" must not be replaced by one of its own pictures).
void extractPictures(const PictureSource& source, const ContainerReader& object, std::size_t index,
                     const fs::path& output, const ExtractionOptions& options, Palette& palette) {
    const auto decoded = source.DecodePictures(index);
    const auto& colours = applyPaletteNeed(decoded.palette, options.games, palette);
    for (const auto& picture : decoded.pictures) {
        const auto path = withExtension(output, picture.suffix);
        const auto real = pictureOutputPath(path, options.pictures);
        if (const auto problem = unsafeOnDisk(real.parent_path(), real, object.ArchivePath());
            !problem.empty())
            throw Error(displayPath(object.ArchivePath()) + ": entry " + std::to_string(index) + " '" +
                        object.EntryName(index) + "' was not extracted: " + problem);
        writePicture(path, picture.image, colours.table, options.pictures);
    }
}

} // namespace

ExtractionResult extractRows(const ContainerReader& object, const fs::path& target,
                             const std::vector<std::size_t>& rows, const ExtractionOptions& options) {
    Palette black;
    return extractRows(object, target, rows, options, black);
}

ExtractionResult extractRows(const ContainerReader& object, const fs::path& target,
                             const std::vector<std::size_t>& rows,
                             const std::function<void(std::size_t)>& afterRow) {
    ExtractionOptions options;
    options.afterRow = afterRow;
    return extractRows(object, target, rows, options);
}

ExtractionResult extractRows(const ContainerReader& object, const fs::path& target,
                             const std::vector<std::size_t>& rows, const ExtractionOptions& options,
                             Palette& palette) {
    const auto* pictures = dynamic_cast<const PictureSource*>(&object);
    const auto& afterRow = options.afterRow;

    std::vector<std::string> names;
    names.reserve(object.EntryCount());
    for (std::size_t i = 0; i < object.EntryCount(); ++i)
        names.push_back(object.OutputName(i));
    names = numberRepeats(std::move(names));

    ExtractionResult result;
    OutputChecks checks(target, object.ArchivePath(), object.CreatesFolders());
    for (std::size_t done = 0; done < rows.size(); ++done) {
        if (options.cancelled && options.cancelled()) {
            result.cancelled = true;
            result.notStarted = rows.size() - done;
            break;
        }
        const auto index = rows[done];
        if (index >= object.EntryCount()) continue;
        const auto& name = names[index];
        auto safe = safeOutputPath(target, name);
        if (auto* refused = std::get_if<RefusedName>(&safe)) {
            result.refused.push_back({index, name, refused->reason});
        } else if (const auto damage = object.EntryDamage(index); !damage.empty()) {
            result.refused.push_back({index, name, displayPath(object.ArchivePath()) + ": " + damage});
        } else {
            const auto& output = std::get<fs::path>(safe);
            if (const auto problem = checks.problem(output); !problem.empty()) {
                result.refused.push_back({index, name, problem});
            } else {
                try {
                    if (pictures && !options.raw)
                        extractPictures(*pictures, object, index, output, options, palette);
                    else
                        object.ExtractEntry(output, index);
                    ++result.written;
                } catch (const FormatError& e) {
                    // A damaged entry is named and passed over; the others still come out.
                    result.refused.push_back({index, name, e.what()});
                }
            }
        }
        if (afterRow) afterRow(index);
    }
    return result;
}

} // namespace vexa
