#pragma once
// What the window shows, without the window: the open container (its file, kind and reader), its
// rows with the edits not saved yet and their Undo and Redo, the current palette with the game
// palette paths, and the one job that runs off the window's thread. Opening, saving and extraction
// go through here; their errors go back to the caller, which words them and asks the user.

#include "app/container_edit.h"
#include "app/extract.h"
#include "app/nested.h"
#include "images/palette_files.h"
#include "images/picture.h"
#include "ui/BackgroundJob.h"
#include "ui/EditHistory.h"

#include <QObject>

#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vexa {
class ByteSource;
} // namespace vexa

namespace vexa::ui {

class Document : public QObject {
    Q_OBJECT
  public:
    // What ends a job: null, or what it threw (Cancelled when it was cancelled).
    using Done = JobRunner::Done;

    explicit Document(QObject* parent = nullptr);

    // --- the open container ---------------------------------------------------------------------
    const std::filesystem::path& path() const { return path_; }
    ContainerType kind() const { return kind_; }
    // A container written by the New_C page is of its kind (the page writes it, nothing is opened).
    void setKind(ContainerType kind) { kind_ = kind; }
    // Null while no file is open. Shared with the jobs and previews reading it, so it outlives them.
    const std::shared_ptr<const ContainerReader>& reader() const { return reader_; }

    // Opening takes two steps, so that the window can reset itself between them. First the file's
    // bytes and the kind they claim become the document's; a file that cannot be read throws and
    // changes nothing.
    // A path into containers inside containers ("pak0.pak/maps/e1m1.bsp") opens the levels above the
    // last one here, on the window's thread (their directories are small), and detects the last.
    void detect(const std::filesystem::path& path);
    // The same for entry index of the open container, opened in place: Error when it is no container
    // VEXA opens, and nothing changes.
    void detectEntry(std::size_t index);
    // Back up to level depth of the path (0: the file); the entry it was left by is returned, to be
    // selected again.
    std::size_t detectLevel(std::size_t depth);
    // Whether the open container is an entry of another (it is read only then), and the names of its
    // path's levels: the file's name, then each entry's as the rows show it.
    bool nested() const { return !outer_.empty(); }
    std::vector<std::string> levelNames() const;
    // Then the kind's game palette becomes the current one (black, and Error, when it cannot be
    // loaded; nothing is read then), and the directory is read off the window's thread: false when
    // another job runs. Error for a kind that opens nothing. done gets Cancelled when the job was
    // cancelled, or the reading's error: that reader is the open one then, without an edit, and no
    // opened() comes. After a read that succeeded, opened() comes first.
    bool readDirectory(Done done);
    // Lets go of the reader and its edit.
    void close();

    // What each entry of the open file holds (null: data), in entry order; empty until it is known.
    // Found off the window's thread with the directory, so a list of 100,000 entries opens as fast.
    const std::vector<const ContentKind*>& contents() const { return contents_; }
    // The content kind of a row (null: data or not known, as for a row not saved yet).
    const ContentKind* rowContent(std::size_t row) const;

    // --- rows and edits -------------------------------------------------------------------------
    // The edit of the open container (none for a kind that cannot be edited), with its Undo and Redo.
    EditHistory& edits() { return history_; }
    const EditHistory& edits() const { return history_; }
    // The rows the list shows while there are unsaved edits; empty when there are none.
    const std::vector<EditRow>& editRows() const { return editRows_; }
    // The entry of the open file a row shows as stored, if any (an added or replaced row has none
    // until it is saved).
    std::optional<std::size_t> storedEntry(std::size_t row) const;
    // The bytes a row holds (or will hold once saved), where they are known.
    std::optional<std::uint64_t> rowSize(std::size_t row) const;

    // Saves the edit over its file, or to target as another kind, off the window's thread: false
    // when another job runs or there is no edit. On success the saved file is the open one (opened()
    // comes before done); on failure the file and the edits stay as they were.
    struct SaveTarget {
        std::filesystem::path path;
        ContainerType kind;
    };
    bool save(std::optional<SaveTarget> target, ContainerEdit::Writing writing, Done done);

    // --- extraction -----------------------------------------------------------------------------
    // Extracts rows (entry indices, ascending, not empty) into target off the window's thread: false
    // when another job runs or no file is open. Its progress follows the row index. A picture with
    // its own palette or its game's leaves that as the current one, also when the run ends early.
    using ExtractDone = std::function<void(const ExtractionResult& result, std::exception_ptr error)>;
    // With convert, each entry of a content kind the program decodes is written as what it holds
    // (pictures as PNG where the program writes PNG), as `vexa-cli extract --convert` writes it.
    bool extract(std::vector<std::size_t> rows, std::filesystem::path target, bool raw, ExtractDone done,
                 bool convert = false);
    // The same on this thread, for the few rows a drag carries.
    ExtractionResult extractNow(const std::vector<std::size_t>& rows, const std::filesystem::path& target);

    // --- palettes -------------------------------------------------------------------------------
    // CurrentPalette: what pictures are painted with. Opening a kind with a game palette, the
    // Palettes page, and conversions of pictures with their own or their game's palette change it;
    // each job and preview works on a copy.
    const Palette& currentPalette() const { return palette_; }
    void setCurrentPalette(Palette palette);
    GamePalettePaths& gamePalettes() { return gamePalettes_; }
    const GamePalettePaths& gamePalettes() const { return gamePalettes_; }

    // --- the job --------------------------------------------------------------------------------
    // One at a time: the document's own and the pages' (creating a container).
    JobRunner& jobs() { return jobs_; }
    bool jobRunning() const { return jobs_.running(); }

  signals:
    // A file's directory has been read, or the edit saved: reader() and its rows are new.
    void opened();
    // The reader or the edit rows are about to change or go: a view lets go of them now.
    void rowsAboutToChange();
    // The edit has changed (a step, Undo, Redo, a save or a reset), and editRows() with it.
    void editsChanged();
    // The current palette is another one now.
    void paletteChanged();
    void jobRunningChanged(bool running);

  private:
    void takeReader(std::shared_ptr<const ContainerReader> reader,
                    std::vector<const ContentKind*> contents = {});
    void startEditing();
    void takeEditRows();
    void adoptSaved(const ContainerEdit& saved, std::vector<const ContentKind*> contents);
    // Runs change on the current palette and says so when it changed it.
    void changePalette(const std::function<void(Palette&)>& change);

    std::filesystem::path path_;
    ContainerType kind_ = ContainerType::Unknown;
    std::shared_ptr<const ByteSource> bytes_; // the file detected, until its directory is read
    // The containers the open one lies in, the file first, each with the entry the next level is.
    std::vector<OpenedLevel> outer_;
    std::shared_ptr<const ContainerReader> reader_;
    std::vector<const ContentKind*> contents_;
    Palette palette_;
    GamePalettePaths gamePalettes_;
    EditHistory history_;
    std::vector<EditRow> editRows_;
    JobRunner jobs_;
};

} // namespace vexa::ui
