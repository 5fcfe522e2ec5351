#pragma once
// Module Main: TPdlg, the one main window. Pages Files, Palettes and New_C, the status line SLab,
// the progress bar PBar and the menus; the commands open -> list -> extract over the core.

#include "app/Global.h"
#include "formats/container.h"
#include "app/preview.h"
#include "ui/BackgroundJob.h"
#include "ui/BarProgress.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QLabel;
class QMimeData;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace vexa::ui {

class EntryPreviewer;
class FilesPage;
class JobRunner;
class NewContainerPage;
class PalettesPage;
class Prompts;

class TPdlg : public QMainWindow {
    Q_OBJECT
  public:
    // programFolder: where the five folders are kept (the executable's folder); arguments: the
    // command line without the program's name (the first one, if any, is opened at once).
    TPdlg(const std::filesystem::path& programFolder, Prompts& prompts, const QStringList& arguments,
          QWidget* parent = nullptr);
    ~TPdlg() override;

    const ProgramFolders& Folders() const { return folders_; }
    Prompts& prompts() { return prompts_; }
    ProgressSink& Progress() { return *progress_; }
    FilesPage& Files() { return *files_; }
    ContainerType CurrentType() const { return currentType_; }
    const ContainerReader* LiveObject() const { return liveObject_.get(); }
    bool CreationMode() const { return creationMode_; }
    void SetCreationMode(bool on) { creationMode_ = on; }
    void SetCurrentType(ContainerType type) { currentType_ = type; }
    void ShowFilesPage();

    // Runs one command; an error ends it with its message in a box, and the window stays usable.
    void guarded(const std::function<void()>& command);

    // The idle state: Files page, empty lists and labels, no live object, commands disabled.
    void ResetWindow();
    void ReleaseContainerObject();
    void EnableListCommands();
    void DisableCommands();
    void SetImageCaptions();

    void SzLabText(const QString& text);
    void SzLabClear();
    void FszlabSize(std::uint64_t size);
    void FszlabClear();

    // The open dialog OD1: its filter (Qt form) and starting folder stay until changed or reset.
    // "All Files": on this platform a file needs no dot to be a file, hence "*" and not "*.*".
    static inline const QString kAllFiles = QStringLiteral("All Files (*)");
    void SetOpenDialog(const QString& filter, const std::filesystem::path& folder);
    std::optional<QString> ExecuteOpenDialog();

    // --- work off the window's thread ---
    // One job at a time: while it runs the commands are disabled, SBCancelJob shows, and the list
    // can still be looked through. done runs on the window's thread once the job has ended.
    bool JobRunning() const;
    JobRunner& Jobs() { return *jobs_; }
    bool StartJob(std::function<void(JobProgress&)> work, std::function<void(std::exception_ptr)> done);
    // The preview being rendered or waiting; tests wait for it.
    bool PreviewBusy() const;

    // CurrentPalette: what pictures are painted with. Opening a kind with a game palette, the
    // Palettes page, and conversions of pictures with their own or their game's palette change it;
    // each job and preview works on a copy.
    const Palette& CurrentPalette() const { return currentPalette_; }
    void SetCurrentPalette(Palette palette) { currentPalette_ = std::move(palette); }
    GamePalettePaths& GamePalettes() { return gamePalettes_; }

    // Drag and drop: the files a drag of entry rows carries (extracted into a folder below Temp,
    // as Extract would write them), or null when nothing was written; and a drop's file opened.
    std::unique_ptr<QMimeData> DragOutData(const std::vector<std::size_t>& rows);
    void OpenFile(const std::filesystem::path& path);

    // Free bytes on the file system of a folder; vexa::freeBytes unless a test says otherwise.
    using FreeSpaceProbe = std::function<std::int64_t(const std::filesystem::path&)>;
    void setFreeSpaceProbe(FreeSpaceProbe probe) { freeSpace_ = std::move(probe); }

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private slots:
    void Open1Click();
    void LB1Click();
    void SBExtractClick();
    void SBExtract_AllClick();
    void SBExtract_ExtClick();
    void SBCancelClick();
    void SBCancelJobClick();
    void EFilterChange();
    void Exit1Click();
    void Contents1Click();
    void About1Click();

  private:
    void buildMenus();
    void buildWindow();
    void FormCreate(const QStringList& arguments);
    void FormShow();
    void FormCloseQuery();
    void CompleteOpen();
    // Asks for the target folder, checks its free space and extracts rows (entry indices, ascending).
    void extractChosenRows(const std::vector<std::size_t>& rows);
    // The rows shown: every entry index when no filter is applied.
    std::vector<std::size_t> shownRows() const;
    void setBusy(bool busy);
    void setAllCaptions();
    void showPreview(const ContainerReader* object, std::size_t index, const QString& error,
                     const EntryPreview* preview);
    // Ends a running job; for the close.
    void stopBackgroundWork();

    Prompts& prompts_;
    ProgramFolders folders_;
    FreeSpaceProbe freeSpace_;

    ContainerType currentType_ = Kind::Unknown;
    // Shared with the job and the preview reading it, so it outlives them when the window lets go.
    std::shared_ptr<const ContainerReader> liveObject_;
    Palette currentPalette_;
    GamePalettePaths gamePalettes_;
    bool creationMode_ = false;
    bool shown_ = false;
    bool imageCaptions_ = false; // SetImageCaptions has run since the last reset
    // Enabled states the job's start took away, given back at its end.
    std::vector<std::pair<QObject*, bool>> beforeJob_;
    std::vector<std::filesystem::path> dragFolders_; // made below Temp by drags out, gone at close
    std::filesystem::path openPath_;                 // OD1's file name: the path CompleteOpen reads
    QString openFilter_ = kAllFiles;
    std::filesystem::path openFolder_;

    QTabWidget* PC1 = nullptr;
    FilesPage* files_ = nullptr;
    PalettesPage* palettes_ = nullptr;
    NewContainerPage* newContainer_ = nullptr;
    QLabel* SLab = nullptr;
    QProgressBar* PBar = nullptr;
    QPushButton* SBCancelJob = nullptr;
    QAction* Open1 = nullptr;
    QAction* Extract1 = nullptr;
    QAction* ExtractAll1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* Contents1 = nullptr;
    QAction* About1 = nullptr;
    std::unique_ptr<BarProgress> progress_;
    JobRunner* jobs_ = nullptr;
    EntryPreviewer* previewer_ = nullptr;
};

} // namespace vexa::ui
