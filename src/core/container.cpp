#include "core/container.h"

#include "core/entry_checks.h"
#include "core/errors.h"

#include <algorithm>

namespace vexa {

std::string ContainerReader::StatusLine() const {
    return pathText(ArchivePath()) + "   Contains  " + std::to_string(EntryCount()) + " files";
}

std::vector<std::uint8_t> ContainerReader::ReadEntryHead(std::size_t, std::size_t) { return {}; }

void RecordArchive::ReadDirectory(const fs::path& path) {
    path_ = path;
    names_.clear();
    ranges_.clear();
    outputNames_.clear();
    InputFile archive(path);
    auto records = ParseDirectory(archive);
    for (std::size_t i = 0; i < records.size(); ++i)
        requireEntryInFile(archive, i, records[i].name, records[i].offset, records[i].size);
    // Each name moves once into the rows: an archive of 100,000 entries holds them a single time.
    std::vector<std::string> names;
    std::vector<EntryRange> ranges;
    names.reserve(records.size());
    ranges.reserve(records.size());
    for (auto& r : records) {
        names.push_back(std::move(r.name));
        ranges.push_back({r.offset, r.size});
    }
    names_ = std::move(names);
    ranges_ = std::move(ranges);
}

const InputFile& RecordArchive::OpenArchive() {
    if (!openArchive_) openArchive_ = std::make_unique<InputFile>(path_);
    return *openArchive_;
}

void RecordArchive::ExtractEntry(const OutputPath& outputPath, std::size_t index) {
    const auto& r = ranges_.at(index);
    copyRangeToFile(OpenArchive(), r.offset, r.size, outputPath);
}

std::vector<std::uint8_t> RecordArchive::ReadEntryHead(std::size_t index, std::size_t maxBytes) {
    const auto& r = ranges_.at(index);
    InputFile archive(path_);
    return archive.readBlock(r.offset, std::min<std::uint64_t>(r.size, maxBytes),
                             "entry " + std::to_string(index) + " '" + names_.at(index) + "'");
}

void checkRecordsFit(const InputFile& file, std::int64_t count, std::uint64_t offset, std::uint64_t recordSize,
                     const std::string& what) {
    if (count < 0)
        throw FormatError(displayPath(file.path()) + ": the " + what + " count " + std::to_string(count) +
                          " is negative");
    if (offset > file.size() || static_cast<std::uint64_t>(count) > (file.size() - offset) / recordSize)
        throw FormatError(displayPath(file.path()) + ": " + std::to_string(count) + " " + what + " records of " +
                          std::to_string(recordSize) + " bytes at offset " + std::to_string(offset) +
                          " do not fit in the file (" + std::to_string(file.size()) + " bytes)");
}

std::vector<std::uint8_t> readRecords(const InputFile& file, std::int64_t count, std::uint64_t offset,
                                      std::uint64_t recordSize, const std::string& what) {
    checkRecordsFit(file, count, offset, recordSize, what);
    return file.readBlock(offset, static_cast<std::uint64_t>(count) * recordSize, "the " + what + " records");
}

} // namespace vexa
