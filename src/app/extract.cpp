#include "app/extract.h"

#include "app/convert.h"
#include "base/errors.h"
#include "base/filter.h"
#include "base/safe_path.h"
#include "base/text.h"
#include "formats/output_names.h"
#include "images/picture_output.h"

#include <algorithm>
#include <numeric>
#include <set>
#include <utility>

namespace vexa {

std::optional<std::string> lowSpaceQuestion(const fs::path& target, std::int64_t freeBytes) {
    if (freeBytes >= kFreeSpaceThreshold) return std::nullopt;
    // The line breaks after the closing quote, not inside the quoted drive.
    return "There is less than 200MB remaining on drive \"" + pathText(fileSystemRoot(target)) + "\"\n" +
           "Do you want to continue with extraction ?";
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

RowPattern parseRowPattern(std::string_view pattern) {
    constexpr std::string_view kContent = "content:";
    if (pattern.size() < kContent.size() || !equalsNoCase(pattern.substr(0, kContent.size()), kContent))
        return {std::nullopt, std::string(pattern)};
    auto rest = pattern.substr(kContent.size());
    const auto space = rest.find(' ');
    const auto word = rest.substr(0, space);
    const auto content = contentOfWord(word);
    if (!content)
        throw Error("content:" + std::string(word) +
                    ": no such content (picture, palette, sound, music, text, container, data)");
    auto names = space == std::string_view::npos ? std::string_view() : rest.substr(space + 1);
    while (!names.empty() && names.front() == ' ')
        names.remove_prefix(1);
    return {content, std::string(names)};
}

std::vector<std::size_t> filterRows(const std::vector<EntryRow>& rows, std::string_view pattern,
                                    const std::vector<const ContentKind*>& contents) {
    const auto parsed = parseRowPattern(pattern);
    const NameFilter filter(parsed.names);
    std::vector<std::size_t> kept;
    kept.reserve(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (parsed.content) {
            const auto* kind = i < contents.size() ? contents[i] : nullptr;
            if ((kind ? kind->content : Content::Data) != *parsed.content) continue;
        }
        if (filter.matches(rows[i].name)) kept.push_back(i);
    }
    return kept;
}

std::vector<std::size_t> selectRows(const std::vector<EntryRow>& rows, const ExtractionSelection& selection,
                                    const std::string& container,
                                    const std::vector<const ContentKind*>& contents) {
    std::vector<std::size_t> chosen;
    if (selection.extensions.empty() && selection.names.empty() && selection.indices.empty()) {
        chosen.resize(rows.size());
        std::iota(chosen.begin(), chosen.end(), std::size_t{0});
    } else {
        std::vector<bool> marked(rows.size(), false);
        for (const auto i : rowsWithExtensions(rows, selection.extensions))
            marked[i] = true;
        for (const auto& name : selection.names) {
            bool found = false;
            for (std::size_t i = 0; i < rows.size(); ++i)
                if (rows[i].name == name) marked[i] = found = true;
            if (!found) throw Error("No entry named " + name + " in " + container);
        }
        for (const auto i : selection.indices) {
            if (i >= rows.size())
                throw Error("No entry " + std::to_string(i) + " in " + container + " (it has " +
                            std::to_string(rows.size()) + ")");
            marked[i] = true;
        }
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (marked[i]) chosen.push_back(i);
    }
    if (selection.filter) {
        const auto kept = filterRows(rows, *selection.filter, contents);
        std::vector<bool> keep(rows.size(), false);
        for (const auto i : kept)
            keep[i] = true;
        std::erase_if(chosen, [&](std::size_t i) { return !keep[i]; });
        if (chosen.empty())
            throw Error("No entry of " + container + " matches --filter " + *selection.filter);
    }
    return chosen;
}

std::string ExtractionResult::statusText() const {
    if (complete()) return "Extraction  Complete";
    std::string text =
        (cancelled ? "Extraction cancelled: " : "Extraction ended: ") + std::to_string(written) + " written";
    if (!refused.empty())
        text += ", " + std::to_string(refused.size()) + (refused.size() == 1 ? " entry" : " entries") +
                " not extracted";
    if (!notConverted.empty()) text += ", " + std::to_string(notConverted.size()) + " not converted";
    if (cancelled) text += ", " + std::to_string(notStarted) + " not started";
    return text;
}

std::string ExtractionResult::refusalText() const {
    std::string text;
    for (const auto& r : refused) {
        if (!text.empty()) text += "\n";
        text += entryLabel(r.index, printableText(r.name)) + " was not extracted: " + printableText(r.reason);
    }
    for (const auto& r : notConverted) {
        if (!text.empty()) text += "\n";
        text += "entry " + std::to_string(r.index) + " '" + printableText(r.name) +
                "' was not converted (written as stored): " + printableText(r.reason);
    }
    return text;
}

namespace {

// Writes the entry's pictures beside output. Each is opened beneath the target where it really goes
// (its name is not the entry's), and the root refuses the container being read: a container ending
// in ".bmp" is never replaced by one of its own pictures.
void extractPictures(const ContainerReader& object, std::size_t index, const OutputPath& output,
                     const ExtractionOptions& options, Palette& palette, ExtractionResult& result) {
    const auto decoded = object.DecodePictures(index);
    const auto& colours = applyPaletteNeed(decoded.palette, options.games, palette);
    if (!decoded.pictures.empty()) notePlaceholder(colours, result.placeholders);
    for (const auto& picture : decoded.pictures)
        writePicture(withExtension(output, picture.suffix), picture.image, colours.table, options.pictures);
}

// The name a converted entry that did not decode is written under, as stored: its own, unless another
// entry goes to that name.
std::string storedName(const ContainerReader& object, std::size_t index,
                       const std::vector<std::string>& names) {
    auto name = object.OutputName(index);
    const auto taken = [&](const std::string& candidate) {
        for (std::size_t i = 0; i < names.size(); ++i)
            if (i != index && equalsNoCase(names[i], candidate)) return true;
        return false;
    };
    for (int n = 1; taken(name); ++n)
        name = object.OutputName(index) + "." + std::to_string(n);
    return name;
}

// Writes entry index converted (its files below root); one that does not decode is written as stored.
void extractConverted(const ContainerReader& object, std::size_t index, const ContentKind& kind,
                      const std::vector<std::string>& names, OutputRoot& root, const fs::path& target,
                      const ExtractionOptions& options, ContentPalettes& palettes, ExtractionResult& result) {
    const auto& name = names[index];
    const auto writeBelow = [&](const std::string& below, std::span<const std::uint8_t> bytes) {
        auto safe = safeOutputPath(target, below);
        if (auto* refused = std::get_if<RefusedName>(&safe))
            throw OutputError(target / below, refused->reason);
        writeWholeFile(OutputPath(root, std::get<fs::path>(safe)), bytes);
    };
    try {
        convertEntry(
            object, index, kind, name, options.pictures, palettes,
            [&](ConvertedFile file) { writeBelow(file.name, file.bytes); },
            [&](std::string note) { result.notes.push_back(entryWhat(object, index) + ": " + note); });
    } catch (const FormatError& e) {
        const auto stored = storedName(object, index, names);
        auto safe = safeOutputPath(target, stored);
        if (auto* refused = std::get_if<RefusedName>(&safe))
            throw OutputError(target / stored, refused->reason);
        object.ExtractEntry(OutputPath(root, std::get<fs::path>(safe)), index);
        result.notConverted.push_back({index, stored, e.what()});
    }
}

} // namespace

std::vector<const ContentKind*> convertedKinds(const ContainerReader& object, ContainerType container) {
    auto kinds = classifyEntries(object, container);
    for (auto& kind : kinds)
        if (kind && !converts(*kind)) kind = nullptr;
    return kinds;
}

std::vector<std::string> extractionNames(const ContainerReader& object,
                                         const std::vector<const ContentKind*>& kinds, PictureFormat format) {
    // All names are numbered together, so that no two entries go to one file (A.LMP and A.PCX both
    // become A.png).
    std::vector<std::string> names;
    names.reserve(object.EntryCount());
    for (std::size_t i = 0; i < object.EntryCount(); ++i)
        names.push_back(i < kinds.size() && kinds[i] ? convertedName(object.OutputName(i), *kinds[i], format)
                                                     : object.OutputName(i));
    return numberRepeats(std::move(names));
}

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

    const auto kinds = options.convert && !pictures && !options.raw
                           ? convertedKinds(object, options.container)
                           : std::vector<const ContentKind*>();
    const auto names = extractionNames(object, kinds, options.pictures);
    std::optional<ContentPalettes> palettes;
    if (!kinds.empty()) palettes.emplace(object, options.container, options.games, palette);

    ExtractionResult result;
    OutputRoot root(target, object.CreatesFolders() || !kinds.empty(), object.ArchivePath());
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
        if (object.Rows()[index].external) {
            result.notes.push_back("'" + name + "' was not extracted: it lives in another file (a WAD)");
        } else if (auto* refused = std::get_if<RefusedName>(&safe)) {
            result.refused.push_back({index, name, refused->reason});
        } else if (const auto damage = object.EntryDamage(index); !damage.empty()) {
            result.refused.push_back({index, name, displayPath(object.ArchivePath()) + ": " + damage});
        } else {
            try {
                const OutputPath output(root, std::get<fs::path>(safe));
                if (pictures)
                    extractPictures(object, index, output, options, palette, result);
                else if (!kinds.empty() && kinds[index])
                    extractConverted(object, index, *kinds[index], names, root, target, options, *palettes,
                                     result);
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
    if (palettes)
        for (const auto& notice : palettes->placeholderNotices())
            if (std::find(result.placeholders.begin(), result.placeholders.end(), notice) ==
                result.placeholders.end())
                result.placeholders.push_back(notice);
    return result;
}

} // namespace vexa
