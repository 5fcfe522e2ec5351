#include "formats/container.h"

#include "base/errors.h"
#include "base/file_io.h"
#include "base/platform.h"

#include <algorithm>

namespace vexa {

LockPatience patienceOf(ProgressSink* progress) {
    if (!progress) return {};
    return {progress->waitForOtherWriters(), [progress] { return progress->cancelRequested(); }};
}

std::vector<std::string> ContainerReader::EntryNames() const {
    std::vector<std::string> names;
    names.reserve(rows_.size());
    for (const auto& row : rows_)
        names.push_back(row.name);
    return names;
}

void ContainerReader::SetArchive(const fs::path& path, std::shared_ptr<const ByteSource> archive) {
    path_ = path;
    archive_ = std::move(archive);
    rows_.clear();
    notes_.clear();
}

std::string ContainerReader::EntryDamage(std::size_t index) const {
    const auto& row = rows_.at(index);
    if (!row.damaged) return {};
    if (archive_ && row.offset && row.size) return rangeProblem(archive_->size(), *row.offset, *row.size);
    return "its data cannot be read";
}

void ContainerReader::RequireWhole(std::size_t index) const {
    if (const auto problem = EntryDamage(index); !problem.empty())
        throw FormatError(displayPath(path_) + ": " + entryLabel(index, rows_.at(index).name) + ": " +
                          problem);
}

std::shared_ptr<const ByteSource> ContainerReader::entrySource(std::size_t index) const {
    RequireWhole(index);
    const auto& row = rows_.at(index);
    if (!archive_ || !row.offset || !row.size)
        throw Error(displayPath(path_) + ": " + entryLabel(index, row.name) + " has no stored bytes to copy");
    return std::make_shared<const ByteRange>(archive_, *row.offset, *row.size, row.name);
}

void ContainerReader::ExtractEntry(const OutputPath& outputPath, std::size_t index) const {
    const auto bytes = entrySource(index);
    copyRangeToFile(*bytes, 0, bytes->size(), outputPath);
}

void RecordArchive::ReadDirectory(std::shared_ptr<const ByteSource> archive) {
    outputNames_.clear();
    // The records are the rows: an archive of 100,000 entries is held once, as it is read. A file is
    // read while no save in place by another process points its header elsewhere.
    const auto opened = archive; // holds the file the hold is on
    std::optional<InputFile::DirectoryHold> hold;
    if (const auto* file = opened->file(); file == opened.get()) {
        hold.emplace(file->handle());
        // A save in place that ended between the open and the hold may have grown the file (while
        // detection looked at its header): the file is read as it is now, or its new directory would
        // be measured against the old size.
        platform::NodeInfo now;
        if (platform::lookAtOpen(file->handle(), now) == 0 && now.size != opened->size())
            archive = openFileBytes(opened->path());
    }
    SetArchive(archive->path(), archive);
    auto rows = ParseDirectory(*archive);
    hold.reset();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        auto& row = rows[i];
        row.damaged = !rangeFits(archive->size(), row.offset.value_or(0), row.size.value_or(0));
        row.type = RecordType(i);
    }
    SetRows(std::move(rows));
}

} // namespace vexa
