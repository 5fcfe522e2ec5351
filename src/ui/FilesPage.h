#pragma once
// The Files page: the filter field EFilter over the file list LB1, the preview beside it, and,
// right of a splitter, the column of commands, the extension list LBExt and the size label
// FszLab. The page lays out its controls, maps shown rows to entry indices and reports its
// commands as signals; the main window decides what they do.

#include <QTreeView>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMimeData;
class QPushButton;
class QSplitter;

class QAction;

namespace vexa {
class ContainerReader;
struct ContentKind;
struct EditRow;
} // namespace vexa

namespace vexa::ui {

class FileFilterProxy;
class FileListModel;
class PreviewPane;

// LB1. Reports every click, also one that leaves no row selected, and keyboard moves of the
// selection, as the list box it stands for did. A header click sorts by that column, a second
// reverses, a third puts the rows back in archive order. Rows dragged out carry what dragData
// makes of them.
class FileListView : public QTreeView {
    Q_OBJECT
  public:
    explicit FileListView(QWidget* parent = nullptr);

    // Back to archive order, no column marked.
    void resetSort();
    using DragData = std::function<std::unique_ptr<QMimeData>()>;
    void setDragData(DragData make) { dragData_ = std::move(make); }

  signals:
    void listClicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;

  private:
    void headerClicked(int column);

    DragData dragData_;
    int sortColumn_ = -1; // -1: archive order
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};

class FilesPage : public QWidget {
    Q_OBJECT
  public:
    explicit FilesPage(QWidget* parent = nullptr);

    // --- the rows -------------------------------------------------------------------------------
    // The live object's rows (null empties the list before the object goes), with what each entry
    // holds where that is known (the Content column; its owner outlives its use, as the object's).
    void showEntries(const ContainerReader* object,
                     const std::vector<const ContentKind*>* contents = nullptr);
    // The rows of an edit of object not yet saved (rows must outlive their use, or null them first).
    void showEditRows(const std::vector<EditRow>* rows, const ContainerReader* object,
                      const std::vector<const ContentKind*>* contents = nullptr);
    // The New_C review: the gathered files' names and sizes, kept here while they are shown.
    void showReview(std::vector<std::string> names, std::vector<std::uint64_t> sizes);
    // The idle state: no rows, several may be chosen, no filter, no preview, no extensions.
    void reset();
    // Ready for a review: one row at a time, and no filter (the review writes every file gathered).
    void startReview();

    // The entry indices of the selected rows, ascending.
    std::vector<std::size_t> selectedEntries() const;
    // The entry of the selected row shown highest in the list.
    std::optional<std::size_t> firstSelectedEntry() const;
    // Selects the rows of these entry indices (those the filter shows), the first one current.
    void selectEntries(const std::vector<std::size_t>& entries);
    // The entry of the row under a point of the screen, if any.
    std::optional<std::size_t> entryAt(const QPoint& globalPoint) const;
    // Commands on the rows: LB1's context menu shows those visible.
    void addRowActions(const QList<QAction*>& actions);
    // Whether an entry passes the filter, and the filter's pattern (empty when none is applied).
    bool isShown(std::size_t entry) const;
    const std::string& pattern() const;
    bool filtered() const { return !pattern().empty(); }
    void setDragData(FileListView::DragData make);

    // --- the column -----------------------------------------------------------------------------
    void setExtensions(const std::vector<std::string>& extensions);
    std::vector<std::string> selectedExtensions() const;
    // Extract, Extract All, Extract Ext and the extension list.
    // whyNot, when given, is the greyed commands' hint instead of their own.
    void setExtractCommandsEnabled(bool enabled, const QString& whyNot = {});
    // OK, Remove and Cancel.
    void setReviewCommandsEnabled(bool enabled);
    // Captions the commands may be given next: the column is made wide enough for the widest now, so
    // that it does not move when a filter turns "Extract All" into "Extract Shown".
    void reserveCaptions(const QStringList& captions);
    // The captions of Extract and Extract All, and the hint of Extract Ext.
    void setExtractCaptions(const QString& extract, const QString& extractAll, const QString& extractExtHint);
    // The whole column, while a job runs.
    void setColumnEnabled(bool enabled);
    void setSizeText(const QString& text);
    // The list's column widths and the preview's share, as the user left them (kept between runs).
    QByteArray layoutState() const;
    void restoreLayoutState(const QByteArray& state);
    // "Convert pictures": extraction writes each entry as what it holds. Kept between runs.
    bool convertChecked() const;
    void setConvertVisible(bool visible);

    PreviewPane& preview() { return *Preview; }

  signals:
    void listClicked();
    // Enter or a double-click on the row of this entry.
    void rowActivated(std::size_t entry);
    // After the rows shown have changed with the filter field.
    void filterChanged();
    void extractClicked();
    void extractAllClicked();
    void extractExtClicked();
    void okClicked();
    void removeClicked();
    void cancelClicked();

  protected:
    // The preview sits beside the list when the page is wide enough for both, below it otherwise.
    void resizeEvent(QResizeEvent* event) override;

  private:
    // Hides the columns the rows have none of; called when the rows change.
    void showColumnsOfRows();
    void clearFilter();
    // Widens the commands, all alike, when a caption they may carry outgrows 75 pixels ("Img > bmp
    // Shown"), and the column with them, so no caption is cut.
    void fitCaptions();
    QStringList reservedCaptions_;

    QLineEdit* EFilter;
    FileListView* LB1;
    FileListModel* rows;
    FileFilterProxy* shown;
    PreviewPane* Preview;
    QSplitter* PreviewSplitter;
    QListWidget* LBExt;
    QPushButton* SBOK;
    QPushButton* SBRemove;
    QPushButton* SBExtract;
    QPushButton* SBExtract_All;
    QPushButton* SBExtract_Ext;
    QPushButton* SBCancel;
    QCheckBox* CBConvert;
    QLabel* FszLab;
    QWidget* Panel1;
    std::vector<std::string> reviewNames_;
};

} // namespace vexa::ui
