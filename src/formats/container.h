#pragma once
// The interfaces of the format classes: containers list and extract, writers build a new container
// from a gathered folder, picture kinds decode entries into pictures.

#include "base/Files_global.h"
#include "base/file_io.h"
#include "base/records.h"
#include "images/picture.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexa {

namespace fs = std::filesystem;

// A word of static text, such as a kind's name for a record type: held by pointer, so 100,000
// rows hold no copy of it. Made only from text that lives as long as the program (a literal or a
// kind's own table), never from a std::string.
class StaticWord {
  public:
    constexpr StaticWord() = default;
    constexpr StaticWord(const char* text) : text_(text ? text : "") {}
    constexpr operator std::string_view() const { return text_; }
    constexpr bool empty() const { return *text_ == '\0'; }
    friend constexpr bool operator==(StaticWord a, std::string_view b) { return std::string_view(a) == b; }

  private:
    const char* text_ = "";
};

// What a kind's record holds beside name, offset and size, where it holds it: kept as it was when an
// edited container is saved.
struct StoredFields {
    std::uint32_t time = 0;  // VP, HOG2: the record's time stamp
    std::uint32_t flags = 0; // HOG2: the record's flags; WAD2, WAD3: the lump's size in memory
    // LAB: the type code; LFD: the type; WAD2, WAD3: the lump type and compression. Absent: the writer
    // derives it from the name's extension.
    std::optional<std::array<std::uint8_t, 4>> code;
};

// One row of a listing, as the list shows it.
struct EntryRow {
    std::string name;                  // UTF-8, "\" between folder levels
    std::optional<std::uint64_t> size; // the size a click on the row shows; nullopt where the kind shows none
    std::optional<std::uint64_t> offset; // where the entry's bytes start in the file, where the kind has that
    StaticWord type;       // the kind of data its record says it holds (a WAD lump's type); empty where none
    bool damaged = false;  // its record is listed but its data cannot be read
    bool external = false; // it names data another file holds (a Half-Life map's texture in a WAD)
};

// What the window and vexa-cli hold while a file is open: one object that lists rows and extracts
// them. It does not change after ReadDirectory: every read after it is const and goes through
// positional reads of the bytes it was opened on, so a preview may run while an extraction runs.
class ContainerReader {
  public:
    virtual ~ContainerReader() = default;

    // Reads the directory of the container in source (a file, an entry of another container, bytes
    // in memory); called once per object. Throws Error on failure.
    virtual void ReadDirectory(std::shared_ptr<const ByteSource> source) = 0;
    // The rows, in directory order (a row's index is its entry index).
    const std::vector<EntryRow>& Rows() const { return rows_; }
    const std::string& EntryName(std::size_t index) const { return rows_.at(index).name; }
    std::vector<std::string> EntryNames() const;
    std::size_t EntryCount() const { return rows_.size(); }
    std::optional<std::uint64_t> EntrySize(std::size_t index) const { return rows_.at(index).size; }
    const fs::path& ArchivePath() const { return path_; }
    // The bytes ReadDirectory read, shared by every read after it; null for a listing of files.
    const ByteSource* Archive() const { return archive_.get(); }
    const std::shared_ptr<const ByteSource>& ArchiveBytes() const { return archive_; }
    // The bytes of entry index as they are stored: a range of the container (an image file, for a
    // listing of them). Throws a FormatError naming the entry when it is damaged, Error when the kind
    // stores no bytes of its own for it.
    virtual std::shared_ptr<const ByteSource> entrySource(std::size_t index) const;

    // The kinds whose entries are pictures (texture containers, image listings): extraction and preview
    // decode an entry and paint it with the palette it names, in place of copying its bytes.
    virtual bool HasPictures() const { return false; }
    // The entry's pictures (none for an entry that is not one); throws FormatError, naming the file and
    // the entry, for a damaged one.
    virtual Pictures DecodePictures(std::size_t) const { return {}; }
    // A listing of the image files of a folder (the opened one among them) rather than a container.
    virtual const fs::path* ListedFolder() const { return nullptr; }

    // The name row index is written under below the target folder ("\" between levels).
    virtual std::string OutputName(std::size_t index) const { return rows_.at(index).name; }
    // True when entry names hold folders that extraction recreates below the target.
    virtual bool CreatesFolders() const { return false; }
    // Copies the entry's stored bytes (its row's offset and size in the archive) to outputPath.
    virtual void ExtractEntry(const OutputPath& outputPath, std::size_t index) const;
    // True where entries have stored bytes of their own in the file, which ExtractEntry of this
    // class copies as they are (for the texture kinds, in place of their pictures).
    bool HasStoredBytes() const { return archive_ != nullptr; }

    // Why entry index is damaged (its bytes run past the end of the file), or empty when it is
    // whole. A damaged entry is listed but not extracted; the others are.
    virtual std::string EntryDamage(std::size_t index) const;
    // What listing found wrong beside the entries (a walk cut short), one line each, to be shown.
    const std::vector<std::string>& ListingNotes() const { return notes_; }
    // The other fields of entry index's record, for the kinds that have them (kept when an edited
    // container is saved); empty fields for the others. Apart from the rows: most kinds have none.
    StoredFields EntryStoredFields(std::size_t index) const {
        return stored_.empty() ? StoredFields{} : stored_.at(index);
    }

  protected:
    // For ReadDirectory: the bytes (null for a listing of files, with path) and, once the directory is
    // whole, its rows.
    void SetArchive(const fs::path& path, std::shared_ptr<const ByteSource> archive);
    void SetRows(std::vector<EntryRow> rows) { rows_ = std::move(rows); }
    // For a kind whose records hold other fields: one per row, in row order.
    void SetStoredFields(std::vector<StoredFields> stored) { stored_ = std::move(stored); }
    // For a walk that had to stop early: the line is shown after the listing.
    void AddListingNote(std::string note) { notes_.push_back(std::move(note)); }
    // Throws a FormatError naming the file and the entry when the entry is damaged.
    void RequireWhole(std::size_t index) const;

  private:
    fs::path path_;
    std::shared_ptr<const ByteSource> archive_;
    std::vector<EntryRow> rows_;
    std::vector<std::string> notes_;
    std::vector<StoredFields> stored_;
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
    // Whether a save that finds another process of this program saving the same file waits until it is
    // done, rather than giving up after a few seconds.
    virtual bool waitForOtherWriters() { return false; }
    // Something the user should hear that is not a failure (an owner that could not be kept).
    virtual void note(const std::string&) {}
};

// How long a job that saves waits for another save of the same file, as progress says.
LockPatience patienceOf(ProgressSink* progress);

// One entry of a container to be written: its name as the rows show it, its size and the other
// fields of its record (for an entry kept from a container of the same kind, as they were).
struct WriterEntry {
    std::string name; // UTF-8, "\" between folder levels
    std::uint64_t size = 0;
    StoredFields stored{};
};

// Where one entry's bytes come from: a file gathered from a folder (FileToCopy, which must still hold
// the bytes it was gathered with), or an entry of an open container (its entrySource).
using EntrySource = std::shared_ptr<const ByteSource>;

// What a writer lays out around the entries' bytes; the writer skeleton streams those between.
struct ContainerLayout {
    std::vector<std::uint8_t> head;                // before the first entry's data
    std::vector<std::vector<std::uint8_t>> before; // per entry, written just before its data (may be empty)
    std::vector<std::uint8_t> tail;                // after the last entry's data
};

// A name a kind stores cut to its fields: as it was given, and as the container lists it.
struct CutName {
    std::string given, stored; // UTF-8, "\" between folder levels
};

// A kind that writes: it lays out a list of entries; the skeleton (writer.h) does the writing.
// Builds a new container from a gathered folder.
class ContainerWriter {
  public:
    virtual ~ContainerWriter() = default;
    // Builds the container at newPath from files (gathered from sourceFolder). Throws Error on
    // any failure, leaving no half-written file and any previous file of that name intact. Returns
    // the names it cut to the kind's fields, in the files' order, so that no cut goes unsaid.
    virtual std::vector<CutName> WriteContainer(const fs::path& newPath, const fs::path& sourceFolder,
                                                const SourceFileList& files,
                                                ProgressSink* progress) const = 0;
};

// The writer of a kind that lays its entries out around their bytes: every kind an edited
// container can be saved as. The bytes themselves are streamed by the writer skeleton.
class EntryLayoutWriter : public ContainerWriter {
  public:
    // What entry is stored as, as far as it tells two entries apart (its name cut to the kind's
    // field, with its folders or type). Throws a FileError (creating newPath) naming the name when the
    // kind cannot store it.
    virtual std::string StoredKey(const WriterEntry& entry, const fs::path& newPath) const = 0;
    // Checks every entry against the kind's fields and limits and lays the container out. Throws
    // Error naming newPath and the entry; distinct keys are the caller's to check.
    virtual ContainerLayout Layout(const std::vector<WriterEntry>& entries,
                                   const fs::path& newPath) const = 0;
    // For a kind whose directory follows the entries' bytes and is found through one 32-bit field of
    // its header alone: where in the header that field lies. Such a container can be saved in place
    // (updateContainerFile). Other kinds: none.
    virtual std::optional<std::size_t> DirectoryOffsetField() const { return std::nullopt; }
    // Whether an entry's type code follows its name's extension (a rename to another extension
    // derives it anew), rather than being its record's own.
    virtual bool TypeFromExtension() const { return true; }
    // The name entry is listed by once written: its own, or what the kind's fields cut it to. Throws
    // as StoredKey does.
    virtual std::string StoredName(const WriterEntry& entry, const fs::path& newPath) const;
    // The names the kind stores whole, for messages: "names of at most 12 characters".
    virtual std::string NameLimit() const = 0;

    std::vector<CutName> WriteContainer(const fs::path& newPath, const fs::path& sourceFolder,
                                        const SourceFileList& files, ProgressSink* progress) const final;
};

// The row of a directory record in the shape most kinds share: a name and a range of the file.
inline EntryRow recordRow(std::string name, std::uint64_t offset, std::uint64_t size) {
    EntryRow row;
    row.name = std::move(name);
    row.size = size;
    row.offset = offset;
    return row;
}

// The shared part of every kind whose entries are byte ranges of the archive: a format module
// only parses its directory into records (ParseDirectory). A record whose range runs past the end of
// the file is listed as damaged.
class RecordArchive : public ContainerReader {
  public:
    void ReadDirectory(std::shared_ptr<const ByteSource> source) final;
    // The stored name, or the file name a kind with flat, repeating names gave the entry.
    std::string OutputName(std::size_t index) const override {
        return outputNames_.empty() ? EntryName(index) : outputNames_.at(index);
    }

  protected:
    // Reads the directory of the open archive into rows of a name, an offset and a size (recordRow).
    // Each record's range is checked afterwards, and its type filled in.
    virtual std::vector<EntryRow> ParseDirectory(const ByteSource& archive) = 0;
    // A word for what record index holds, for the list's type column; "" where the kind has none.
    virtual StaticWord RecordType(std::size_t) const { return {}; }
    // For kinds whose names are flat and may repeat: one file name per entry (flatOutputNames),
    // set while the directory is parsed.
    void SetOutputNames(std::vector<std::string> names) { outputNames_ = std::move(names); }

  private:
    std::vector<std::string> outputNames_;
};

} // namespace vexa
