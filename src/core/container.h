#pragma once
// The three interfaces of the format classes: containers list and extract, writers build a new
// container from a gathered folder, image converters turn one image file into BMP files.

#include "core/Files_global.h"
#include "core/file_io.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vexa {

namespace fs = std::filesystem;

// What the window and vexa-cli hold while a file is open: one object that lists rows and extracts
// them. Container classes implement it directly; image kinds through a folder listing. One job at a
// time uses it (an extraction or a preview may run on a worker thread, but never two at once).
class ContainerReader {
public:
    virtual ~ContainerReader() = default;

    // Reads the directory of the file at path; called once per object. Throws Error on failure.
    virtual void ReadDirectory(const fs::path& path) = 0;
    // The rows, in directory order (a row's index is its entry index), as UTF-8 text.
    virtual const std::vector<std::string>& EntryNames() const = 0;
    virtual const fs::path& ArchivePath() const = 0;
    std::size_t EntryCount() const { return EntryNames().size(); }
    // The size a click on the row shows; nullopt where the kind shows none.
    virtual std::optional<std::uint64_t> EntrySize(std::size_t index) const = 0;
    // The status line after listing: the path and the entry count.
    virtual std::string StatusLine() const;

    // The name row index is written under below the target folder ("\" between levels).
    virtual std::string OutputName(std::size_t index) const { return EntryNames().at(index); }
    // True when entry names hold folders that extraction recreates below the target.
    virtual bool CreatesFolders() const { return false; }
    // Writes entry index to outputPath (texture kinds: a ".bmp" beside it, or nothing).
    virtual void ExtractEntry(const OutputPath& outputPath, std::size_t index) = 0;
    // Called once after a run of ExtractEntry calls, to let go of what the run kept open.
    virtual void EndExtraction() {}

    // The bytes the entry takes in the file (for image listings, the image file's size), or nullopt
    // where that is not known; a preview refuses entries larger than it reads.
    virtual std::optional<std::uint64_t> StoredSize(std::size_t index) const { return EntrySize(index); }
    // For previews. True when ExtractEntry turns entries into pictures (texture containers, image
    // listings): a preview then runs it with the pictures captured in memory (PictureCapture).
    virtual bool ConvertsToPictures() const { return false; }
    // Up to maxBytes of the entry's stored bytes from its start; empty where the kind has none.
    virtual std::vector<std::uint8_t> ReadEntryHead(std::size_t index, std::size_t maxBytes);

    // For the list's columns, where the kind has them: where the entry's bytes start in the file,
    // and a word for the kind of data its directory record says it holds (a WAD lump's type).
    virtual std::optional<std::uint64_t> EntryOffset(std::size_t) const { return std::nullopt; }
    virtual std::string EntryType(std::size_t) const { return {}; }
};

// Drives the progress bar of a long job: the writers' ProgressReset and ProgressStep, extraction's
// row positions. The window implements it over its bar; vexa-cli over its terminal. Its calls come
// on the job's thread: a window running the job on a worker passes them on to its own thread.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void setRange(int maximum) = 0;
    virtual void setPosition(int position) = 0;
    // Asked between entries by the writers: true stops the job (Cancelled is thrown, no container
    // is left). Called on the job's thread: an implementation reads an atomic flag or the like.
    virtual bool cancelRequested() { return false; }
};

class ContainerWriter {
public:
    virtual ~ContainerWriter() = default;
    // Builds the container at newPath from files (gathered from sourceFolder). Throws Error on
    // any failure, leaving no half-written file and any previous file of that name intact.
    virtual void WriteContainer(const fs::path& newPath, const fs::path& sourceFolder, const SourceFileList& files,
                                ProgressSink* progress) = 0;
};

class ImageConverter {
public:
    virtual ~ImageConverter() = default;
    // Converts the image at inputPath to one or more ".bmp" files named after outputPath.
    virtual void ConvertToBitmap(const OutputPath& outputPath, const fs::path& inputPath) = 0;
};

// A directory record in the shape most kinds share.
struct EntryRecord {
    std::string name; // UTF-8, "\" between folder levels
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

// Where an entry's bytes lie in the archive (its name is kept once, in EntryNames).
struct EntryRange {
    std::uint64_t offset = 0;
    std::uint64_t size = 0;
};

// The shared part of every kind whose entries are byte ranges of the archive: a format module
// only parses its directory into records (ParseDirectory) and checks them against the file.
class RecordArchive : public ContainerReader {
public:
    void ReadDirectory(const fs::path& path) final;
    const std::vector<std::string>& EntryNames() const final { return names_; }
    const fs::path& ArchivePath() const final { return path_; }
    std::optional<std::uint64_t> EntrySize(std::size_t index) const override {
        return ranges_.at(index).size;
    }
    void ExtractEntry(const OutputPath& outputPath, std::size_t index) override;
    void EndExtraction() override { openArchive_.reset(); }
    std::vector<std::uint8_t> ReadEntryHead(std::size_t index, std::size_t maxBytes) override;
    std::optional<std::uint64_t> EntryOffset(std::size_t index) const override {
        return ranges_.at(index).offset;
    }

    const std::vector<EntryRange>& Ranges() const { return ranges_; }
    // The stored name, or the file name a kind with flat, repeating names gave the entry.
    std::string OutputName(std::size_t index) const override {
        return outputNames_.empty() ? EntryNames().at(index) : outputNames_.at(index);
    }

protected:
    // Reads the directory of the open archive. Each record's range is checked afterwards.
    virtual std::vector<EntryRecord> ParseDirectory(const InputFile& archive) = 0;
    // The archive, kept open across one run of extractions.
    const InputFile& OpenArchive();
    // For kinds whose names are flat and may repeat: one file name per entry (flatOutputNames),
    // set while the directory is parsed.
    void SetOutputNames(std::vector<std::string> names) { outputNames_ = std::move(names); }

private:
    fs::path path_;
    std::vector<std::string> names_;
    std::vector<EntryRange> ranges_;
    std::vector<std::string> outputNames_;
    std::unique_ptr<InputFile> openArchive_;
};

// Checks that count records of recordSize bytes fit in the bytes between offset and the end of
// the file; throws a FormatError naming the file otherwise. Call before allocating for them.
void checkRecordsFit(const InputFile& file, std::int64_t count, std::uint64_t offset, std::uint64_t recordSize,
                     const std::string& what);

// Reads a table of count records of recordSize bytes at offset, in one read, once checkRecordsFit
// has let it through.
std::vector<std::uint8_t> readRecords(const InputFile& file, std::int64_t count, std::uint64_t offset,
                                      std::uint64_t recordSize, const std::string& what);

} // namespace vexa
