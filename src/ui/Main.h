#pragma once
// Module Main: TPdlg, the one main window. Pages Files, Palettes and New_C, the status line SLab,
// the progress bar PBar and the menus; it shows its Document (the open container, its edits, the
// palette, the job) and asks the user what to do with it.

#include "app/Global.h"
#include "app/preview.h"
#include "formats/container.h"
#include "ui/BarProgress.h"
#include "ui/Document.h"
#include "ui/PageHost.h"

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
class QMenu;
class QMimeData;
class QProgressBar;
class QPushButton;
class QTabWidget;

namespace vexa::ui {

class Breadcrumb;
class EntryPreviewer;
struct ContentRendering;
class FilesPage;
class FindDialog;
class ImportPictureDialog;
class NewContainerPage;
class PalettesPage;
class Prompts;

class TPdlg : public QMainWindow, private CreationHost {
    Q_OBJECT
  public:
    // programFolder: the executable's folder, where the five folders are kept unless it is an
    // installed copy (see ProgramFolders::locate); arguments: the command line without the
    // program's name (the first one, if any, is opened at once).
    TPdlg(const std::filesystem::path& programFolder, Prompts& prompts, const QStringList& arguments,
          QWidget* parent = nullptr);
    ~TPdlg() override;

    const ProgramFolders& Folders() const override { return folders_; }
    Document& document() { return document_; }
    ContainerType CurrentType() const { return document_.kind(); }
    const ContainerReader* LiveObject() const { return document_.reader().get(); }
    bool CreationMode() const { return creationMode_; }
    void SetCreationMode(bool on) { creationMode_ = on; }
    void ShowFilesPage();

    // The idle state: Files page, empty lists and labels, no live object, commands disabled.
    void ResetWindow() override;
    // A stop signal (interrupt, terminate, hang-up, quit) closes the window as Exit does: a job in
    // progress stops between two entries and unsaved edits are asked about (Cancel keeps the window);
    // the other questions of closing are not asked.
    void StopBySignal();

    // --- work off the window's thread ---
    // One job at a time: while it runs the commands are disabled, SBCancelJob shows, and the list
    // can still be looked through. done runs on the window's thread once the job has ended.
    bool JobRunning() const override { return document_.jobRunning(); }
    // The preview being rendered or waiting; tests wait for it.
    bool PreviewBusy() const;

    const Palette& CurrentPalette() const override { return document_.currentPalette(); }
    void SetCurrentPalette(Palette palette) override { document_.setCurrentPalette(std::move(palette)); }
    GamePalettePaths& GamePalettes() override { return document_.gamePalettes(); }

    // Drag and drop: the files a drag of entry rows carries (extracted into a folder below Temp,
    // as Extract would write them), or null when nothing was written; and a drop's file opened.
    std::unique_ptr<QMimeData> DragOutData(const std::vector<std::size_t>& rows);
    void OpenFile(const std::filesystem::path& path);
    // Containers inside containers (MainNested.cpp): entry opened in place when it is a container
    // (nothing happens for another entry); back up to level depth of the open path (0: the file).
    void OpenEntry(std::size_t entry);
    void OpenLevel(std::size_t depth);

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
    void ExtractRawClick();
    void ImportPicture1Click();
    void FindInFolder1Click();
    void SBCancelClick();
    void SBCancelJobClick();
    void EFilterChange();
    void Exit1Click();
    // --- editing a container of a writable kind (MainEdit.cpp) ---
    void AddFilesClick();
    void AddFolderClick();
    void ReplaceClick();
    void RenameClick();
    void RemoveClick();
    void SaveClick();
    void SaveAsClick();
    void Contents1Click();
    void About1Click();

  private:
    // --- what the pages use of the window ---
    Prompts& prompts() override { return prompts_; }
    void guarded(const std::function<void()>& command) override;
    void SzLabText(const QString& text) override;
    void SetOpenDialog(const QString& filter, const std::filesystem::path& folder) override;
    std::optional<QString> ExecuteOpenDialog() override;
    bool BeginCreation() override;
    void ShowReview(std::vector<std::string> names, std::vector<std::uint64_t> sizes) override;
    std::optional<std::size_t> ReviewRow() const override;
    void FszlabSize(std::uint64_t size) override;
    void SetCurrentType(ContainerType type) override { document_.setKind(type); }
    bool StartJob(std::function<void(JobProgress&)> work,
                  std::function<void(std::exception_ptr)> done) override;
    ProgressSink& Progress() override { return *progress_; }

    void ReleaseContainerObject();
    // Before the document's rows change or go: the list, the preview and a render let go of them.
    void letGoOfRows();
    void showExtensions();
    void EnableListCommands();
    void DisableCommands();
    void SetImageCaptions();
    void SzLabClear();
    void FszlabClear();

    void buildMenus();
    void buildWindow();
    void FormCreate(const QStringList& arguments);
    void FormShow();
    void FormCloseQuery();
    void CompleteOpen();
    // Asks for the target folder, checks its free space and extracts rows (entry indices, ascending);
    // with no rows, shows whyNone on the status line instead. With raw, each entry is written byte for
    // byte as stored (ExtractRawEntry).
    void extractChosenRows(const std::vector<std::size_t>& rows, const QString& whyNone, bool raw = false);
    // What the status line says when Extract finds no selected row.
    QString noSelectionReason() const;
    // The rows shown: every entry index when no filter is applied.
    std::vector<std::size_t> shownRows() const;
    void setBusy(bool busy);
    void setAllCaptions();
    void showPreview(const ContainerReader* object, std::size_t index, const QString& error,
                     const EntryPreview* preview);
    // The preview of the one selected row, a note for several, nothing for none.
    void showPreviewOfSelection();
    // Renders row's preview off the window's thread; picture: one of its pictures by name.
    void requestPreview(std::size_t row, const std::string& picture);
    void showContentPreview(const ContainerReader* object, std::size_t index, const ContentRendering& content,
                            bool keepList);
    // Ends a running job; for the close.
    void stopBackgroundWork();

    // --- containers inside containers (MainNested.cpp) ---
    void connectNestedNavigation();
    // Ends CompleteOpen: the entry to select once the rows are shown, if any.
    void selectAfterOpen();

    // --- editing (MainEdit.cpp) ---
    void buildEditMenu();
    // The list, the title and the commands after the edit changed.
    void showEdits();
    void setTitle();
    void enableEditCommands();
    // Before the open file goes: true when nothing is left unsaved or the user discards it. When the
    // user chooses Save, the save starts and afterSave runs once it has succeeded; false then, and
    // when the user cancels.
    bool settleEdits(std::function<void()> afterSave);
    // Saves the edit over its file, or to target as another kind, and says how it went.
    void saveEdits(std::optional<Document::SaveTarget> target, std::function<void()> afterSave);
    // Adds files (and folders, for kinds with folders) before row position, or at the end.
    void addPaths(const std::vector<std::filesystem::path>& paths, std::optional<std::size_t> position);
    // Runs command on the one row selected (its index and name), if exactly one is.
    void editSelectedRow(const std::function<void(std::size_t row, const QString& name)>& command);
    // Makes one edit a step of the history, selects the rows it returns and says what it did.
    void applyEdit(const QString& step, const std::function<std::vector<std::size_t>(ContainerEdit&)>& change,
                   const std::function<QString()>& done);

    Prompts& prompts_;
    ProgramFolders folders_;
    FreeSpaceProbe freeSpace_;

    Document document_;
    bool creationMode_ = false;
    bool shown_ = false;
    bool signalled_ = false;                     // a stop signal came: closing asks about unsaved edits only
    bool imageCaptions_ = false;                 // SetImageCaptions has run since the last reset
    std::optional<std::size_t> previewed_;       // the entry the preview shows or renders
    std::optional<std::size_t> selectAfterOpen_; // the entry an open that is running selects
    // Enabled states the job's start took away, given back at its end.
    std::vector<std::pair<QObject*, bool>> beforeJob_;
    std::vector<std::filesystem::path> dragFolders_; // made below Temp by drags out, gone at close
    QString openFilter_ = kAllFiles;
    std::filesystem::path openFolder_;

    Breadcrumb* breadcrumb_ = nullptr;
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
    QAction* ExtractRaw1 = nullptr;
    QAction* ImportPicture1 = nullptr;
    QAction* FindInFolder1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* Save1 = nullptr;
    QAction* SaveAs1 = nullptr;
    QMenu* Edit1 = nullptr;
    QAction* Undo1 = nullptr;
    QAction* Redo1 = nullptr;
    QAction* AddFiles1 = nullptr;
    QAction* AddFolder1 = nullptr;
    QAction* Replace1 = nullptr;
    QAction* Rename1 = nullptr;
    QAction* Remove1 = nullptr;
    // Checked (the default, kept between runs): Save rewrites only the end of a PAK or DF GOB where it
    // can; unchecked, it always writes the file anew (for a game that reads the file meanwhile).
    QAction* SaveInPlace1 = nullptr;
    std::filesystem::path addFolder_; // where Add and Replace look first
    QAction* Contents1 = nullptr;
    QAction* About1 = nullptr;
    std::unique_ptr<BarProgress> progress_;
    EntryPreviewer* previewer_ = nullptr;
    ImportPictureDialog* importDialog_ = nullptr; // made at its first use, then kept
    FindDialog* findDialog_ = nullptr;            // the same
};

} // namespace vexa::ui
