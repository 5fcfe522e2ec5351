#pragma once
// The Files page: the file list LB1 and, right of a splitter, the column of commands, the
// extension list LBExt and the size label FszLab. The page only lays out its controls; the main
// window connects them to its commands.

#include <QListView>
#include <QWidget>

class QLabel;
class QListWidget;
class QPushButton;

namespace vexa::ui {

class FileListModel;

// LB1. Reports every click, also one that leaves no row selected, and keyboard moves of the
// selection, as the list box it stands for did.
class FileListView : public QListView {
    Q_OBJECT
  public:
    using QListView::QListView;

  signals:
    void listClicked();

  protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

class FilesPage : public QWidget {
    Q_OBJECT
  public:
    explicit FilesPage(QWidget* parent = nullptr);

    FileListView* LB1;
    FileListModel* rows;
    QListWidget* LBExt;
    QPushButton* SBOK;
    QPushButton* SBRemove;
    QPushButton* SBExtract;
    QPushButton* SBExtract_All;
    QPushButton* SBExtract_Ext;
    QPushButton* SBCancel;
    QLabel* FszLab;
};

} // namespace vexa::ui
