#include "core/container.h"

#include "core/entry_checks.h"
#include "core/errors.h"

#include <algorithm>

namespace vexa {

std::string ContainerReader::StatusLine() const {
    return pathText(ArchivePath()) + "   Contains  " + std::to_string(EntryCount()) + " files";
}

std::vector<std::uint8_t> ContainerReader::ReadEntryHead(std::size_t, std::size_t) { return {}; }

const std::vector<std::string>& ContainerReader::ListingNotes() const {
    static const std::vector<std::string> none;
    return none;
}

void ContainerReader::ExtractRawEntry(const fs::path&, std::size_t index) {
    throw Error(displayPath(ArchivePath()) + ": " + entryLabel(index, EntryNames().at(index)) +
                " has no stored form of its own to write");
}

void RecordArchive::ReadDirectory(const fs::path& path) {
    path_ = path;
    names_.clear();
    ranges_.clear();
    outputNames_.clear();
    notes_.clear();
    InputFile archive(path);
    archiveSize_ = archive.size();
    auto records = ParseDirectory(archive);
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

std::string RecordArchive::EntryDamage(std::size_t index) const {
    const auto& r = ranges_.at(index);
    return rangeProblem(archiveSize_, r.offset, r.size);
}

void RecordArchive::RequireWhole(std::size_t index) const {
    if (const auto problem = EntryDamage(index); !problem.empty())
        throw FormatError(displayPath(path_) + ": " + entryLabel(index, names_.at(index)) + ": " + problem);
}

void RecordArchive::ExtractEntry(const fs::path& outputPath, std::size_t index) {
    RecordArchive::ExtractRawEntry(outputPath, index);
}

void RecordArchive::ExtractRawEntry(const fs::path& outputPath, std::size_t index) {
    RequireWhole(index);
    const auto& r = ranges_.at(index);
    copyRangeToFile(OpenArchive(), r.offset, r.size, outputPath);
}

std::vector<std::uint8_t> RecordArchive::ReadEntryHead(std::size_t index, std::size_t maxBytes) {
    RequireWhole(index);
    const auto& r = ranges_.at(index);
    InputFile archive(path_);
    return archive.readBlock(r.offset, std::min<std::uint64_t>(r.size, maxBytes),
                             "entry " + std::to_string(index) + " '" + names_.at(index) + "'");
}

void checkRecordsFit(const InputFile& file, std::int64_t count, std::uint64_t offset, std::uint64_t recordSize,
                     const std::string& what) {
    nonNegative(file, count, "the " + what + " count");
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
