#include "app/extract.h"

#include "base/errors.h"
#include "base/filter.h"
#include "base/safe_path.h"
#include "base/text.h"
#include "formats/output_names.h"
#include "images/picture_output.h"

#include <algorithm>
#include <set>
#include <utility>

namespace vexa {

std::optional<std::string> lowSpaceQuestion(const fs::path& target, std::int64_t freeBytes) {
    if (freeBytes >= kFreeSpaceThreshold) return std::nullopt;
    return "There is less than 200MB remaining on drive \"" + pathText(fileSystemRoot(target)) + "\n\r\"" +
           " Do you want to continue with extraction ?";
}

std::optional<std::string> lowSpaceQuestion(const fs::path& target) {
    // A target not made yet is asked of the folder it will be made in: refusing creates nothing.
    auto existing = target.empty() ? fs::path(".") : target;
    std::error_code ec;
    while (!fs::exists(existing, ec)) {
        auto parent = existing.parent_path();
        if (parent == existing) break;
        existing = parent.empty() ? fs::path(".") : std::move(parent);
    }
    return lowSpaceQuestion(existing, freeBytes(existing));
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
    kept.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (filter.matches(rows[i].name)) kept.push_back(i);
    return kept;
}

std::string ExtractionResult::statusText() const {
    if (refused.empty() && !cancelled) return "Extraction  Complete";
    std::string text =
        (cancelled ? "Extraction cancelled: " : "Extraction ended: ") + std::to_string(written) + " written";
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
        text += entryLabel(r.index, printableText(r.name)) + " was not extracted: " + printableText(r.reason);
    }
    return text;
}

namespace {

// Writes the entry's pictures beside output. Each is opened beneath the target where it really goes
// (its name is not the entry's), and the root refuses the container being read: a container ending
// in ".bmp" is never replaced by one of its own pictures.
void extractPictures(const ContainerReader& object, std::size_t index, const OutputPath& output,
                     const ExtractionOptions& options, Palette& palette) {
    const auto decoded = object.DecodePictures(index);
    const auto& colours = applyPaletteNeed(decoded.palette, options.games, palette);
    for (const auto& picture : decoded.pictures)
        writePicture(withExtension(output, picture.suffix), picture.image, colours.table, options.pictures);
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
    const bool pictures = object.HasPictures() && !options.raw;
    const auto& afterRow = options.afterRow;

    std::vector<std::string> names;
    names.reserve(object.EntryCount());
    for (std::size_t i = 0; i < object.EntryCount(); ++i)
        names.push_back(object.OutputName(i));
    names = numberRepeats(std::move(names));

    ExtractionResult result;
    OutputRoot root(target, object.CreatesFolders(), object.ArchivePath());
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
            try {
                const OutputPath output(root, std::get<fs::path>(safe));
                if (pictures)
                    extractPictures(object, index, output, options, palette);
                else
                    object.ExtractEntry(output, index);
                ++result.written;
            } catch (const FormatError& e) {
                // A damaged entry, or an output that cannot be written, costs only itself.
                result.refused.push_back({index, name, e.what()});
            } catch (const OutputError& e) {
                result.refused.push_back({index, name, e.what()});
            }
        }
        if (afterRow) afterRow(index);
    }
    return result;
}

} // namespace vexa
