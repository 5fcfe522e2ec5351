#include "ui/FilesPage.h"

#include "ui/FileListModel.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QSplitter>
#include <QVBoxLayout>

namespace vexa::ui {

void FileListView::mouseReleaseEvent(QMouseEvent* event) {
    QListView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) emit listClicked();
}

void FileListView::keyPressEvent(QKeyEvent* event) {
    const auto current = currentIndex();
    const auto selection = selectionModel() ? selectionModel()->selection() : QItemSelection();
    QListView::keyPressEvent(event);
    if (currentIndex() != current || (selectionModel() && selectionModel()->selection() != selection))
        emit listClicked();
}

namespace {

// The column's commands: 75 by 22 pixels, one every 25 pixels.
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 22;
constexpr int kButtonStep = 25;
constexpr int kColumnWidth = 95;
constexpr int kSplitterWidth = 7;

QPushButton* commandButton(QWidget* parent, const char* name, const QString& caption,
                           const QString& hint = {}) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setFixedSize(kButtonWidth, kButtonHeight);
    button->setAutoDefault(false);
    if (!hint.isEmpty()) button->setToolTip(hint);
    return button;
}

} // namespace

FilesPage::FilesPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Files"));

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("Splitter1"));
    splitter->setHandleWidth(kSplitterWidth);
    splitter->setChildrenCollapsible(false);

    rows = new FileListModel(this);
    LB1 = new FileListView(splitter);
    LB1->setObjectName(QStringLiteral("LB1"));
    LB1->setToolTip(QStringLiteral("Files in container or available image files"));
    LB1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LB1->setUniformItemSizes(true); // what keeps 100,000 rows fast to lay out and scroll
    LB1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LB1->setModel(rows);

    auto* column = new QWidget(splitter);
    column->setObjectName(QStringLiteral("Panel1"));
    column->setMinimumWidth(kColumnWidth);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(6, 0, 6, 0);
    layout->setSpacing(kButtonStep - kButtonHeight);

    SBOK = commandButton(column, "SBOK", QStringLiteral("OK"));
    SBRemove = commandButton(column, "SBRemove", QStringLiteral("Remove"));
    SBExtract = commandButton(column, "SBExtract", QStringLiteral("Extract"),
                              QStringLiteral("Extracts the selected items "));
    SBExtract_All = commandButton(column, "SBExtract_All", QStringLiteral("Extract All"),
                                  QStringLiteral("Extracts All files in list box"));
    SBExtract_Ext = commandButton(column, "SBExtract_Ext", QStringLiteral("Extract Ext"),
                                  QStringLiteral("Extract By File Extension"));
    SBCancel = commandButton(column, "SBCancel", QStringLiteral("Cancel"));
    for (auto* button : {SBOK, SBRemove, SBExtract, SBExtract_All, SBExtract_Ext, SBCancel})
        layout->addWidget(button, 0, Qt::AlignHCenter);

    LBExt = new QListWidget(column);
    LBExt->setObjectName(QStringLiteral("LBExt"));
    LBExt->setToolTip(QStringLiteral("Select one or more file extensions and press \"Extract Ext \" Button"));
    LBExt->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LBExt->setSortingEnabled(true);
    LBExt->setFixedSize(76, 96);
    layout->addSpacing(6);
    layout->addWidget(LBExt, 0, Qt::AlignHCenter);
    layout->addStretch(1);

    FszLab = new QLabel(column);
    FszLab->setObjectName(QStringLiteral("FszLab"));
    FszLab->setAlignment(Qt::AlignCenter);
    FszLab->setWordWrap(true); // a long size breaks before " Bytes" instead of widening the column
    layout->addWidget(FszLab);
    layout->addSpacing(4);

    splitter->addWidget(LB1);
    splitter->addWidget(column);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setSizes({1000, kColumnWidth});

    auto* pageLayout = new QHBoxLayout(this);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->addWidget(splitter);
}

} // namespace vexa::ui
