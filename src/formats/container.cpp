#include "formats/container.h"

#include "formats/entry_checks.h"
#include "base/errors.h"

#include <algorithm>

namespace vexa {

std::vector<std::string> ContainerReader::EntryNames() const {
    std::vector<std::string> names;
    names.reserve(rows_.size());
    for (const auto& row : rows_)
        names.push_back(row.name);
    return names;
}

void ContainerReader::SetArchive(const fs::path& path, std::shared_ptr<const InputFile> archive) {
    path_ = path;
    archive_ = std::move(archive);
    rows_.clear();
}

void ContainerReader::ExtractEntry(const fs::path& outputPath, std::size_t index) const {
    const auto& row = rows_.at(index);
    if (!archive_ || !row.offset || !row.size)
        throw Error(displayPath(path_) + ": entry " + std::to_string(index) + " '" + row.name +
                    "' has no stored bytes to copy");
    copyRangeToFile(*archive_, *row.offset, *row.size, outputPath);
}

void RecordArchive::ReadDirectory(const fs::path& path) {
    outputNames_.clear();
    auto archive = std::make_shared<const InputFile>(path);
    SetArchive(path, archive);
    auto records = ParseDirectory(*archive);
    for (std::size_t i = 0; i < records.size(); ++i)
        requireEntryInFile(*archive, i, records[i].name, records[i].offset, records[i].size);
    // Each name moves once into the rows: an archive of 100,000 entries holds them a single time.
    std::vector<EntryRow> rows;
    rows.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        auto& r = records[i];
        rows.push_back({std::move(r.name), r.size, r.offset, RecordType(i)});
    }
    SetRows(std::move(rows));
}

} // namespace vexa
