#include "core/extract.h"

#include "core/errors.h"
#include "core/safe_path.h"
#include "core/text.h"

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
} // namespace

std::vector<std::string> CollectExtensions(const std::vector<std::string>& rows) {
    std::set<std::string> found;
    for (const auto& row : rows) {
        auto ext = upperExtension(row);
        if (!ext.empty()) found.insert(std::move(ext));
    }
    return {found.begin(), found.end()};
}

std::vector<std::size_t> rowsWithExtensions(const std::vector<std::string>& rows,
                                            const std::vector<std::string>& extensions) {
    std::vector<std::size_t> chosen;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto ext = upperExtension(rows[i]);
        if (!ext.empty() && std::find(extensions.begin(), extensions.end(), ext) != extensions.end())
            chosen.push_back(i);
    }
    return chosen;
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
        text += "entry " + std::to_string(r.index) + " '" + printableText(r.name) +
                "' was not extracted: " + printableText(r.reason);
    }
    return text;
}

ExtractionResult extractRows(ContainerReader& object, const fs::path& target, const std::vector<std::size_t>& rows,
                             const std::function<void(std::size_t)>& afterRow) {
    return extractRows(object, target, rows, ExtractionOptions{afterRow, {}, CurrentPictureFormat()});
}

ExtractionResult extractRows(ContainerReader& object, const fs::path& target, const std::vector<std::size_t>& rows,
                             const ExtractionOptions& options) {
    struct EndGuard {
        ContainerReader& object;
        ~EndGuard() { object.EndExtraction(); }
    } guard{object};
    const PictureFormatScope pictures(options.pictures);
    const auto& afterRow = options.afterRow;

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
        const auto name = object.OutputName(index);
        auto safe = safeOutputPath(target, name);
        if (auto* refused = std::get_if<RefusedName>(&safe)) {
            result.refused.push_back({index, name, refused->reason});
        } else {
            try {
                object.ExtractEntry(OutputPath(root, std::get<fs::path>(safe)), index);
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
