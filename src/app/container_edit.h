#pragma once
// Editing an open container in place: an edit list of rows (kept entries of the open file, files
// added or replacing an entry's bytes), renamed and removed rows, saved as a new container of the
// same kind (or another writable kind) through the writer skeleton. Untouched entries are copied
// byte for byte, in their order; the old file stays as it was until the new one is whole.
//
// A ContainerEdit is a value: the window keeps copies of it for Undo and Redo. Copying holds the
// open container through a shared pointer and copies one small record per row (names are held only
// for renamed and added rows), so a snapshot of 100,000 rows costs a few megabytes at most.

#include "app/texture_import.h"
#include "base/errors.h"
#include "formats/container.h"
#include "formats/kind.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace vexa {

namespace fs = std::filesystem;

// One row of the edit list, as the window lists it.
struct EditRow {
    std::string name;                 // as the rows show it: UTF-8, "\" between folder levels
    std::uint64_t size = 0;           // bytes the entry will hold
    std::optional<std::size_t> entry; // the entry of the open container this row started as
    fs::path file;                    // the file its bytes come from; empty: the entry's own bytes
    bool added() const { return !entry; }
    bool replaced() const { return entry && !file.empty(); }
};

// A name the user gave (to add or rename) that the kind would store cut: refused, as a cut the user
// did not see would be a wrong name reported as saved.
class NameDoesNotFit : public Error {
  public:
    using Error::Error;
};

class ContainerEdit {
  public:
    // An edit over reader, a container of kind that ReadDirectory has opened. Throws Error when the
    // kind cannot be edited (the message names the kinds that can). A damaged entry is refused by
    // Save unless it was removed or replaced.
    ContainerEdit(std::shared_ptr<const ContainerReader> reader, ContainerType kind);

    // Whether containers of kind can be edited (and written by Save As).
    static bool Editable(ContainerType kind);
    // "Dark Forces GOB, Jedi Knight GOB, ...": the kinds that can be edited, for messages.
    static std::string EditableKindNames();
    // Whether the kind's entry names hold folders ("maps\e1m1.bsp"): addTree is for those.
    static bool HasFolders(ContainerType kind);

    // Where a texture WAD's edits take the game palette from: a PNG or BMP added to a WAD2 or WAD3
    // becomes a mip texture through the import rules, and a WAD2 converted to WAD3 or back maps its
    // textures onto the target's palette.
    void setImportOptions(ImportOptions options);

    ContainerType kind() const { return kind_; }
    // The kind of texture the container holds, which added pictures become (WAD2, WAD3), if any.
    std::optional<TextureKind> textureKind() const;
    const fs::path& path() const;
    // The open container the kept rows are read from (after a Save, the saved file).
    const std::shared_ptr<const ContainerReader>& reader() const { return reader_; }

    std::size_t rowCount() const { return rows_.size(); }
    EditRow row(std::size_t index) const;
    std::vector<EditRow> rows() const;
    // The row named name (as the rows show it; "/" is taken for "\"), if any; for a kind whose names
    // ignore letter case, a row of the name in another case when none has it as given.
    std::optional<std::size_t> find(const std::string& name) const;

    // Each edit checks what it can at once (the name against the kind's fields, the name another row
    // is stored as after the kind's cutting, a file of 2 GiB or more, a file that is not a regular
    // file) and throws Error naming the file and the reason, leaving the edit as it was. Names are
    // compared as the kind's game compares them (letter case ignored where it is).

    // Adds file as an entry called name (its file name when empty) before row position (at the end
    // when none); returns its row. A row of the same name is replaced instead, keeping its place.
    // A name the kind would store cut is refused (NameDoesNotFit), naming the kind's limit.
    std::size_t add(const fs::path& file, std::string name = {}, std::optional<std::size_t> position = {});
    // Adds every file below folder (as `create` gathers a tree) under underName ("" for the top,
    // else a folder name); rows of the same names are replaced. Only for kinds with folders. Names
    // from the folder are cut to the kind's fields as `create` cuts them (cutNames tells which).
    // Returns the number of files.
    // skipped, when given, gets the paths left out that are not regular files (GatherFolderTree).
    std::size_t addTree(const fs::path& folder, const std::string& underName = {},
                        std::vector<fs::path>* skipped = nullptr);
    // The entry at row takes its bytes from file.
    void replace(std::size_t row, const fs::path& file);
    // A new name the kind would store cut is refused (NameDoesNotFit).
    void rename(std::size_t row, const std::string& newName);
    // Removes the rows (any order; repeats and out-of-range rows are refused).
    void remove(std::vector<std::size_t> rows);
    // The rows whose names kind (this edit's own, or one it is converted to) would store cut, in
    // their order: what a save or a Save As to kind would write under another name.
    std::vector<CutName> cutNames(ContainerType kind) const;
    // True when an edit was made since the container was opened or saved.
    bool modified() const { return modified_; }

    // True when the file at path() is no longer the one opened (or saved) or has another size or
    // modification time: another program wrote it.
    bool changedOnDisk() const;

    // How save writes: only the end in place where the kind and the edits allow, or always a whole new
    // file (for a container another program, which takes no lock, may be reading).
    enum class Writing { InPlaceWherePossible, WholeFile };

    // Writes the edited container over the open one. First the file is locked (one save at a time:
    // another process's save is waited for as progress says, else FileBusy) and read again: the edits
    // are made again on what is there now, so that what another program changed meanwhile is kept
    // (ContainerChangedOnDisk when an entry they name is gone). Then every check again, then either only
    // its end changed in place (updateContainerFile), or a temporary file beside it, with the old one's
    // mode and owner, put in place only when whole. On success this edit is over the saved file
    // (reopened, not modified). On failure (Error, ContainerChangedOnDisk, FileBusy, Cancelled from
    // progress) the old file and this edit are as they were.
    void save(ProgressSink* progress, Writing writing = Writing::InPlaceWherePossible);
    // Writes the edited container to newPath as kind (a writable kind: converting checks every name
    // against its fields before anything is written). newPath must not be the open container (use
    // save). On success this edit is over the new file, of the new kind.
    void saveAs(const fs::path& newPath, ContainerType kind, ProgressSink* progress);

  private:
    // A row: a kept entry (entry set) or an added one; name empty while it is the entry's own name;
    // file indexes files_ when the bytes come from a file.
    struct Row {
        std::size_t entry = kNone;
        std::size_t file = kNone;
        std::string name;
        bool newType = false; // renamed to another extension: the kind derives its type code anew
    };
    struct AddedFile {
        fs::path path;
        std::uint64_t size = 0;
        std::uint32_t time = 0;
        // A picture added to a texture WAD: the mip texture made of it, and its lump type.
        std::shared_ptr<const std::vector<std::uint8_t>> made;
        std::optional<std::array<std::uint8_t, 4>> code;
    };
    // An edit as the user made it, by names, to be made again on the container as it is when saved.
    struct Step {
        enum class Kind { Add, Replace, Rename, Remove } kind;
        std::string name;      // the row's name (Add: as added)
        std::string other;     // Rename: the new name; Add: the row it went before, if any
        fs::path file;         // Add, Replace
        bool nameGiven = true; // Add: the user's name, not one from a folder
    };
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    // Stored keys of the rows, to find what the kind's cutting would make equal.
    using KeyIndex = std::unordered_multimap<std::string, std::size_t>;

    const std::string& nameOf(const Row& r) const;
    std::uint64_t sizeOf(const Row& r) const;
    // The row as a writer lays it out; sameKind keeps the fields of its record.
    WriterEntry writerEntry(const Row& r, bool sameKind) const;
    std::string keyOf(const EntryLayoutWriter& writer, const WriterEntry& entry,
                      const fs::path& target) const;
    KeyIndex keyIndex(const EntryLayoutWriter& writer) const;
    // key as rows are told apart by: letter case folded where the kind ignores it.
    std::string matchKey(std::string key) const;
    bool sameName(const std::string& a, const std::string& b) const;
    // Refuses key when a row other than except is stored as it.
    void requireFree(const KeyIndex& index, const std::string& key, std::size_t except) const;
    // Refuses (NameDoesNotFit) a name the user gave that the kind would store cut; what names the
    // edit: "Cannot rename 'a' to 'b'".
    void requireWhole(const EntryLayoutWriter& writer, const WriterEntry& entry,
                      const std::string& what) const;
    // name: the entry the file becomes (a picture added to a texture WAD is made a texture of it);
    // replacing: it takes the place of an entry, which keeps its type.
    AddedFile lookAtSource(const fs::path& file, const std::string& name, bool replacing) const;
    // The kept and added entries of a texture WAD as the other texture WAD kind stores them.
    void convertTextureLumps(ContainerType kind, std::vector<WriterEntry>& entries,
                             std::vector<EntrySource>& sources, const fs::path& newPath) const;
    // nameGiven: the name is the user's (refused when cut), not one taken from a folder.
    std::size_t addChecked(const EntryLayoutWriter& writer, KeyIndex& index, const fs::path& file,
                           const std::string& name, std::optional<std::size_t> position, bool nameGiven);
    // lock: held on newPath; for the open container (save), whose end may then be updated in place.
    void writeTo(const fs::path& newPath, ContainerType kind, const WriterLock* lock, bool inPlace,
                 ProgressSink* progress) const;
    void reopen(const fs::path& path, ContainerType kind);
    void record(Step step);
    std::size_t rowNamedOnDisk(const std::string& name) const;
    // Refuses (ContainerChangedOnDisk) to copy kept entries from a file rewritten where it lies since it
    // was read, unless it still lists them where they were.
    void requireKeptBytesInPlace(const fs::path& newPath) const;
    // This edit made on reader, the container read again under the lock.
    ContainerEdit madeAgainOn(std::shared_ptr<const ContainerReader> reader) const;

    std::shared_ptr<const ContainerReader> reader_;
    ContainerType kind_;
    std::vector<Row> rows_;
    std::shared_ptr<const std::vector<AddedFile>> files_; // shared by snapshots; copied to add one
    std::shared_ptr<const std::vector<Step>> steps_;      // the same
    bool modified_ = false;
    std::shared_ptr<const ImportOptions> import_ = std::make_shared<const ImportOptions>();
    bool ignoreCase_ = false;
};

} // namespace vexa
