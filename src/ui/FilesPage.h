#pragma once
// The Files page: the filter field EFilter over the file list LB1, the preview beside it, and,
// right of a splitter, the column of commands, the extension list LBExt and the size label
// FszLab. The page only lays out its controls and maps shown rows to entry indices; the main
// window connects them to its commands.

#include <QTreeView>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QMimeData;
class QPushButton;
class QSplitter;

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

    // The entry indices of the selected rows, ascending.
    std::vector<std::size_t> selectedEntries() const;
    // The entry of the selected row shown highest in the list.
    std::optional<std::size_t> firstSelectedEntry() const;
    // Hides the columns the rows have none of; called when the rows change.
    void showColumnsOfRows();
    // An empty filter and archive order.
    void clearFilter();
    // Widens a command whose caption has outgrown 75 pixels ("Img > bmp Shown"), and the column
    // with it, so no caption is cut; the others keep their size.
    void fitCaptions();

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
    QLabel* FszLab;
    QWidget* Panel1;

  protected:
    // The preview sits beside the list when the page is wide enough for both, below it otherwise.
    void resizeEvent(QResizeEvent* event) override;
};

} // namespace vexa::ui
