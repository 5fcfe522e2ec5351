#include "app/nested.h"

#include "base/errors.h"
#include "base/text.h"
#include "formats/content.h"

#include <algorithm>

namespace vexa {

namespace {

std::string withBackslashes(std::string name) {
    std::replace(name.begin(), name.end(), '/', '\\');
    return name;
}

// The levels of what follows the file in a path, as the rows show names ("\" between levels).
std::vector<std::string> levelsOf(const fs::path& rest) {
    std::vector<std::string> levels;
    for (const auto& part : rest) {
        const auto text = pathText(part);
        if (!text.empty() && text != "/") levels.push_back(text);
    }
    return levels;
}

std::string joined(const std::vector<std::string>& levels, std::size_t from, std::size_t to) {
    std::string name;
    for (auto i = from; i < to; ++i)
        name += (name.empty() ? "" : "\\") + levels[i];
    return name;
}

} // namespace

std::optional<std::size_t> findEntryNamed(const ContainerReader& reader, std::string_view name) {
    const auto wanted = withBackslashes(std::string(name));
    const auto& rows = reader.Rows();
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].name == wanted) return i;
    std::optional<std::size_t> found;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (!equalsNoCase(rows[i].name, wanted)) continue;
        if (found) return std::nullopt; // "a.txt" and "A.TXT": no guessing which
        found = i;
    }
    return found;
}

OpenedContainer openEntry(const OpenedContainer& outer, std::size_t index) {
    const auto& reader = *outer.reader;
    const auto bytes = reader.entrySource(index);
    const auto& name = reader.EntryName(index);
    const auto leaf =
        name.substr(name.find_last_of("\\/") == std::string::npos ? 0 : name.find_last_of("\\/") + 1);
    const auto kind = detectKind(*bytes, leaf);
    if (kind == ContainerType::Unknown || isImageKind(kind)) {
        const auto kinds = classifyEntries(reader, outer.kind->code);
        const auto* content = index < kinds.size() ? kinds[index] : nullptr;
        throw Error(displayPath(bytes->path()) + " is not a container VEXA opens (it holds " +
                    std::string(contentWord(content ? content->content : Content::Data)) + ")");
    }
    return {findKind(kind), readContainer(kind, bytes)};
}

OpenedPath openPath(const fs::path& path) {
    // The longest leading part that is a file on disk: a real folder or file wins over an entry.
    fs::path file = path;
    fs::path rest;
    std::error_code ec;
    while (!fs::is_regular_file(file, ec) || fs::is_directory(file, ec)) {
        if (!file.has_relative_path() || file.parent_path() == file || file.filename().empty()) {
            // Nothing of the path is a file: opening it names the path, as a missing file always did.
            OpenedPath opened;
            opened.levels.push_back({openContainer(path), std::nullopt});
            return opened;
        }
        rest = file.filename() / rest;
        file = file.parent_path();
    }
    OpenedPath opened;
    opened.levels.push_back({openContainer(file), std::nullopt});
    const auto levels = levelsOf(rest);
    // Each step takes the longest run of levels that names an entry ("maps\e1m1.bsp" in a PAK is one
    // entry of two levels), opens it, and goes on inside it.
    for (std::size_t at = 0; at < levels.size();) {
        const auto& here = opened.levels.back().container;
        std::optional<std::size_t> entry;
        std::size_t end = levels.size();
        for (; end > at; --end)
            if ((entry = findEntryNamed(*here.reader, joined(levels, at, end)))) break;
        if (!entry)
            throw Error("No entry named " + joined(levels, at, levels.size()) + " in " +
                        displayPath(here.reader->ArchivePath()));
        if (opened.levels.size() >= kMaxNesting)
            throw Error(displayPath(path) + ": containers nested more than " + std::to_string(kMaxNesting) +
                        " deep are not opened");
        opened.levels.back().entry = entry;
        opened.levels.push_back({openEntry(here, *entry), std::nullopt});
        at = end;
    }
    return opened;
}

} // namespace vexa
