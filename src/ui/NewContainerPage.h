#pragma once
// The New_C page: builds a new container from the files of one folder. The user picks a kind in
// RGConCreate, a name (EConName) and a source folder (EGetFiles), presses "Begin", reviews the
// gathered files on the Files page (LB1, "Remove"), and "OK" writes the container through the
// kind's writer. The Half-Life WAD item writes go.bat for the external tools instead; the two
// texture WAD items review only the folder's PNG and BMP pictures and make a texture of each.
//
// The two edit boxes are the values: whatever they show (chosen with a browse button, proposed by
// a kind, or typed) is the source folder that "Begin" gathers and the new path that "OK" writes, so
// what the user sees is what is used. Choosing a kind proposes its default name and clears the source
// folder; while the review is shown the source folder is locked, since the rows came from it.

#include "app/kinds.h"
#include "base/Files_global.h"

#include <QWidget>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

class QButtonGroup;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vexa::ui {

class CreationHost;

class NewContainerPage : public QWidget {
    Q_OBJECT
  public:
    // window: the main window as the page sees it; its Files page shows the review.
    NewContainerPage(CreationHost& window, QWidget* parent = nullptr);

    // The page's share of ResetWindow: no kind chosen in RGConCreate, EGetFiles and EConName
    // empty, SBCreate disabled, the review's files let go.
    void ResetPage();

    // The chosen item of RGConCreate, -1 when none.
    int ItemIndex() const;
    // The files of the review ("Begin" gathers them, "Remove" takes them out).
    const SourceFileList& SourceFiles() const { return sourceFiles_; }

  public slots:
    // The review's "Remove" and "OK", on the Files page.
    void SBRemoveClick();
    void SBOKClick();

  private slots:
    void RGConCreateClick(int item);
    void SBBrowseNewNameClick();
    void SBBrwseFilesClick();
    void EGetFilesChange();
    void SBCreateClick();

  private:
    bool ResetForCreation(); // false: the window keeps its open file
    void beginWadBatch(const std::filesystem::path& sourceFolder);
    void showReview();
    void setReviewLocked(bool locked);
    const CreatableKind* chosenKind() const;
    // How the texture WAD items make their textures: the window's palettes, a thread a processor.
    ImportOptions textureOptions() const;
    // The path in EConName, made absolute; nullopt (after saying so) when it is empty.
    std::optional<std::filesystem::path> newContainerPath();

    CreationHost& window_;
    QGroupBox* RGConCreate;
    std::vector<QRadioButton*> kindItems_; // in the order of creatableKinds()
    QGroupBox* NewNameGroup;
    QLineEdit* EConName;
    QPushButton* SBBrowseNewName;
    QGroupBox* GetFilesGroup;
    QLineEdit* EGetFiles;
    QPushButton* SBBrwseFiles;
    QPushButton* SBCreate;
    QButtonGroup* kindGroup_;
    SourceFileList sourceFiles_;
    std::filesystem::path reviewFolder_; // where sourceFiles_ were gathered
    bool reviewing_ = false;
};

} // namespace vexa::ui
