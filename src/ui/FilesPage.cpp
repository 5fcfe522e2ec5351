#include "ui/FilesPage.h"

#include "ui/FileFilterProxy.h"
#include "ui/FileListModel.h"
#include "ui/PreviewPane.h"
#include "ui/QtText.h"

#include <QCheckBox>
#include <QDataStream>
#include <QDrag>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QResizeEvent>
#include <QSettings>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace vexa::ui {

// --- LB1 ----------------------------------------------------------------------------------------

FileListView::FileListView(QWidget* parent) : QTreeView(parent) {
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true); // what keeps 100,000 rows fast to lay out and scroll
    setAllColumnsShowFocus(true);
    setSortingEnabled(false); // the header's clicks are counted here, for the third one
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(false);
    header()->setStretchLastSection(false);
    header()->setSectionResizeMode(QHeaderView::Interactive);
    connect(header(), &QHeaderView::sectionClicked, this, &FileListView::headerClicked);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
}

void FileListView::mouseReleaseEvent(QMouseEvent* event) {
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) emit listClicked();
}

void FileListView::keyPressEvent(QKeyEvent* event) {
    const auto current = currentIndex();
    const auto selection = selectionModel() ? selectionModel()->selection() : QItemSelection();
    QTreeView::keyPressEvent(event);
    if (currentIndex() != current || (selectionModel() && selectionModel()->selection() != selection))
        emit listClicked();
}

void FileListView::headerClicked(int column) {
    // The header has already flipped its indicator by its own rule: the order kept here decides.
    if (sortColumn_ != column) {
        sortColumn_ = column;
        sortOrder_ = Qt::AscendingOrder;
    } else if (sortOrder_ == Qt::AscendingOrder) {
        sortOrder_ = Qt::DescendingOrder;
    } else {
        resetSort();
        return;
    }
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(sortColumn_, sortOrder_);
    model()->sort(sortColumn_, sortOrder_);
    if (currentIndex().isValid()) scrollTo(currentIndex());
}

void FileListView::resetSort() {
    sortColumn_ = -1;
    sortOrder_ = Qt::AscendingOrder;
    header()->setSortIndicatorShown(false);
    header()->setSortIndicator(-1, Qt::AscendingOrder);
    if (model()) model()->sort(-1);
}

void FileListView::startDrag(Qt::DropActions) {
    if (!dragData_) return;
    auto data = dragData_();
    if (!data) return;
    auto* drag = new QDrag(this); // Qt owns it from here and lets it go after the drop
    drag->setMimeData(data.release());
    drag->exec(Qt::CopyAction, Qt::CopyAction);
}

// --- the page -----------------------------------------------------------------------------------

namespace {

// The column's commands: 75 by 22 pixels, one every 25 pixels.
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 22;
constexpr int kButtonStep = 25;
constexpr int kColumnWidth = 95;
constexpr int kSplitterWidth = 7;
constexpr int kCellMargin = 10;             // padding of a list column
constexpr int kSortIndicatorWidth = 22;     // the header's arrow beside a column's title
constexpr int kCaptionMargin = 4;           // each side of a caption inside its button
constexpr int kBesideWidth = 640;           // list and preview side by side from this page width on
constexpr const char* kOwnHint = "ownHint"; // a command's hint while a reason replaces it

const QString kFilterHint =
    QStringLiteral("Shows only the rows whose names match; letter case does not count. "
                   "content:picture (or palette, sound, music, text, container, data) "
                   "keeps the rows of that content, a name pattern may follow");

QPushButton* commandButton(QWidget* parent, const char* name, const QString& caption,
                           const QString& hint = {}) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setFixedSize(kButtonWidth, kButtonHeight);
    button->setAutoDefault(false);
    if (!hint.isEmpty()) button->setToolTip(hint);
    button->setProperty(kOwnHint, hint);
    return button;
}

} // namespace

FilesPage::FilesPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Files"));

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("Splitter1"));
    splitter->setHandleWidth(kSplitterWidth);
    splitter->setChildrenCollapsible(false);

    // The list and its preview share the left part; the preview can be dragged shut.
    PreviewSplitter = new QSplitter(Qt::Vertical, splitter);
    PreviewSplitter->setObjectName(QStringLiteral("PreviewSplitter"));
    PreviewSplitter->setHandleWidth(kSplitterWidth);

    auto* listBox = new QWidget(PreviewSplitter);
    auto* listLayout = new QVBoxLayout(listBox);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->setSpacing(3);
    EFilter = new QLineEdit(listBox);
    EFilter->setObjectName(QStringLiteral("EFilter"));
    EFilter->setPlaceholderText(
        QStringLiteral("Filter: part of a name, * and ? as wildcards; content:picture"));
    EFilter->setToolTip(kFilterHint);
    EFilter->setClearButtonEnabled(true);
    listLayout->addWidget(EFilter);
    connect(EFilter, &QLineEdit::textChanged, this, [this](const QString& text) {
        shown->setPattern(text);
        // A content word no row can have says why the list is empty.
        const auto& error = shown->patternError();
        EFilter->setToolTip(error.isEmpty() ? kFilterHint : error);
        EFilter->setStyleSheet(error.isEmpty() ? QString() : QStringLiteral("color: #b00000"));
        emit filterChanged();
    });

    rows = new FileListModel(this);
    shown = new FileFilterProxy(*rows, this);
    LB1 = new FileListView(listBox);
    LB1->setObjectName(QStringLiteral("LB1"));
    LB1->setToolTip(QStringLiteral("Files in container or available image files"));
    LB1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LB1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LB1->setModel(shown);
    listLayout->addWidget(LB1, 1);
    connect(LB1, &FileListView::listClicked, this, &FilesPage::listClicked);
    connect(LB1, &QAbstractItemView::activated, this,
            [this](const QModelIndex& index) { emit rowActivated(shown->entryIndex(index)); });
    LB1->header()->setSectionResizeMode(FileListModel::Name, QHeaderView::Stretch);
    LB1->header()->resizeSection(FileListModel::Type,
                                 LB1->fontMetrics().horizontalAdvance(QStringLiteral("mip texture")) +
                                     kCellMargin);
    LB1->header()->resizeSection(FileListModel::Content,
                                 LB1->fontMetrics().horizontalAdvance(QStringLiteral("container")) +
                                     kCellMargin + kSortIndicatorWidth);
    connect(rows, &QAbstractItemModel::modelReset, this, &FilesPage::showColumnsOfRows);

    Preview = new PreviewPane(PreviewSplitter);
    PreviewSplitter->addWidget(listBox);
    PreviewSplitter->addWidget(Preview);
    PreviewSplitter->setCollapsible(0, false);
    PreviewSplitter->setCollapsible(1, true);
    PreviewSplitter->setStretchFactor(0, 3);
    PreviewSplitter->setStretchFactor(1, 2);

    Panel1 = new QWidget(splitter);
    auto* column = Panel1;
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
    connect(SBOK, &QPushButton::clicked, this, &FilesPage::okClicked);
    connect(SBRemove, &QPushButton::clicked, this, &FilesPage::removeClicked);
    connect(SBExtract, &QPushButton::clicked, this, &FilesPage::extractClicked);
    connect(SBExtract_All, &QPushButton::clicked, this, &FilesPage::extractAllClicked);
    connect(SBExtract_Ext, &QPushButton::clicked, this, &FilesPage::extractExtClicked);
    connect(SBCancel, &QPushButton::clicked, this, &FilesPage::cancelClicked);

    LBExt = new QListWidget(column);
    LBExt->setObjectName(QStringLiteral("LBExt"));
    LBExt->setToolTip(QStringLiteral("Select one or more file extensions and press \"Extract Ext \" Button"));
    LBExt->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LBExt->setSortingEnabled(true);
    LBExt->setFixedSize(76, 96);
    // Below the list, where its caption has room: the column keeps its width.
    CBConvert = new QCheckBox(QStringLiteral("Convert pictures"), listBox);
    CBConvert->setObjectName(QStringLiteral("CBConvert"));
    CBConvert->setToolTip(QStringLiteral("Extraction writes pictures as PNG, sounds as WAV, music as MIDI "
                                         "and text as UTF-8; the other entries as they are"));
    CBConvert->setChecked(QSettings().value(QStringLiteral("extract/convert"), false).toBool());
    connect(CBConvert, &QCheckBox::toggled, this,
            [](bool checked) { QSettings().setValue(QStringLiteral("extract/convert"), checked); });
    listLayout->addWidget(CBConvert);
    layout->addSpacing(6);
    layout->addWidget(LBExt, 0, Qt::AlignHCenter);
    layout->addStretch(1);

    FszLab = new QLabel(column);
    FszLab->setObjectName(QStringLiteral("FszLab"));
    FszLab->setAlignment(Qt::AlignCenter);
    FszLab->setWordWrap(true); // a long size breaks before " Bytes" instead of widening the column
    layout->addWidget(FszLab);
    layout->addSpacing(4);

    splitter->addWidget(PreviewSplitter);
    splitter->addWidget(column);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 0);
    splitter->setSizes({1000, kColumnWidth});

    auto* pageLayout = new QHBoxLayout(this);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    pageLayout->addWidget(splitter);
    showColumnsOfRows();
}

void FilesPage::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const auto wanted = width() >= kBesideWidth ? Qt::Horizontal : Qt::Vertical;
    if (PreviewSplitter->orientation() == wanted) return;
    const auto sizes = PreviewSplitter->sizes();
    // A preview the user shut stays shut; one with nothing to show yet is hidden, not shut.
    const bool closed = sizes.size() == 2 && sizes[1] == 0 && !Preview->isHidden();
    PreviewSplitter->setOrientation(wanted);
    const int span = wanted == Qt::Horizontal ? PreviewSplitter->width() : PreviewSplitter->height();
    PreviewSplitter->setSizes(closed ? QList<int>{span, 0} : QList<int>{span * 3 / 5, span * 2 / 5});
}

void FilesPage::showColumnsOfRows() {
    for (int column = FileListModel::Size; column < FileListModel::ColumnCount; ++column)
        LB1->setColumnHidden(column, !rows->hasColumn(static_cast<FileListModel::Column>(column)));
    // A list of names alone needs no header to sort by.
    LB1->setHeaderHidden(!rows->hasColumn(FileListModel::Size));
    // Number columns as wide as their largest possible value, so the names keep the rest.
    const auto number = LB1->fontMetrics().horizontalAdvance(QString(rows->numberDigits(), QLatin1Char('0')));
    for (const auto column : {FileListModel::Size, FileListModel::Offset}) {
        const auto title = rows->headerData(column, Qt::Horizontal).toString();
        const auto heading = LB1->header()->fontMetrics().horizontalAdvance(title) + kSortIndicatorWidth;
        LB1->header()->resizeSection(column, std::max(number, heading) + kCellMargin);
    }
}

void FilesPage::fitCaptions() {
    const auto buttons = {SBOK, SBRemove, SBExtract, SBExtract_All, SBExtract_Ext, SBCancel};
    const auto metrics = SBExtract_All->fontMetrics();
    int widest = kButtonWidth;
    const auto fit = [&](const QString& caption) {
        widest = std::max(widest, metrics.horizontalAdvance(caption) + 2 * kCaptionMargin);
    };
    for (auto* button : buttons)
        fit(button->text());
    for (const auto& caption : reservedCaptions_)
        fit(caption);
    for (auto* button : buttons)
        button->setFixedWidth(widest);
    Panel1->setMinimumWidth(kColumnWidth + widest - kButtonWidth);
}

void FilesPage::reserveCaptions(const QStringList& captions) {
    reservedCaptions_ = captions;
    fitCaptions();
}

void FilesPage::clearFilter() {
    EFilter->clear();
    LB1->resetSort();
}

void FilesPage::showEntries(const ContainerReader* object, const std::vector<const ContentKind*>* contents) {
    rows->setContents(object ? contents : nullptr);
    rows->setRows(object);
    reviewNames_.clear();
}

void FilesPage::showEditRows(const std::vector<EditRow>* editRows, const ContainerReader* object,
                             const std::vector<const ContentKind*>* contents) {
    rows->setContents(object ? contents : nullptr);
    rows->setEditRows(editRows, object);
    reviewNames_.clear();
}

void FilesPage::selectEntries(const std::vector<std::size_t>& entries) {
    QItemSelection selection;
    QModelIndex first;
    for (const auto entry : entries) {
        if (entry >= rows->count()) continue;
        const auto index = shown->mapFromSource(rows->index(static_cast<int>(entry), 0));
        if (!index.isValid()) continue;
        selection.select(index, index);
        if (!first.isValid()) first = index;
    }
    auto* model = LB1->selectionModel();
    model->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (first.isValid()) {
        model->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
        LB1->scrollTo(first);
    }
}

std::optional<std::size_t> FilesPage::entryAt(const QPoint& globalPoint) const {
    const auto index = LB1->indexAt(LB1->viewport()->mapFromGlobal(globalPoint));
    if (!index.isValid()) return std::nullopt;
    return shown->entryIndex(index);
}

void FilesPage::addRowActions(const QList<QAction*>& actions) {
    LB1->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(LB1, &QWidget::customContextMenuRequested, this, [this, actions](const QPoint& point) {
        QMenu menu;
        for (auto* action : actions) // a read-only kind's commands are hidden: no menu then
            if (action->isVisible()) menu.addAction(action);
        if (!menu.isEmpty()) menu.exec(LB1->viewport()->mapToGlobal(point));
    });
}

void FilesPage::showReview(std::vector<std::string> names, std::vector<std::uint64_t> sizes) {
    rows->setRows(nullptr); // lets go of the names it shows before they change
    reviewNames_ = std::move(names);
    rows->setFileRows(&reviewNames_, sizes);
}

void FilesPage::reset() {
    showEntries(nullptr);
    LB1->setSelectionMode(QAbstractItemView::ExtendedSelection); // the review used one row
    clearFilter();
    EFilter->setEnabled(true);
    Preview->clear();
    LBExt->clear();
    FszLab->clear();
}

void FilesPage::startReview() {
    showEntries(nullptr);
    LB1->setSelectionMode(QAbstractItemView::SingleSelection);
    clearFilter();
    EFilter->setEnabled(false);
    LBExt->clear();
    FszLab->clear();
}

bool FilesPage::isShown(std::size_t entry) const {
    if (entry > static_cast<std::size_t>(INT_MAX)) return false;
    return shown->mapFromSource(rows->index(static_cast<int>(entry), 0)).isValid();
}

const std::string& FilesPage::pattern() const {
    return shown->pattern();
}

void FilesPage::setDragData(FileListView::DragData make) {
    LB1->setDragData(std::move(make));
}

void FilesPage::setExtensions(const std::vector<std::string>& extensions) {
    LBExt->clear();
    for (const auto& extension : extensions)
        LBExt->addItem(qText(extension));
}

std::vector<std::string> FilesPage::selectedExtensions() const {
    std::vector<std::string> extensions;
    for (const auto* item : LBExt->selectedItems())
        extensions.push_back(item->text().toStdString());
    return extensions;
}

void FilesPage::setExtractCommandsEnabled(bool enabled, const QString& whyNot) {
    for (auto* button : {SBExtract, SBExtract_All, SBExtract_Ext}) {
        button->setEnabled(enabled);
        button->setToolTip(enabled || whyNot.isEmpty() ? button->property(kOwnHint).toString() : whyNot);
    }
    LBExt->setVisible(enabled);
}

void FilesPage::setReviewCommandsEnabled(bool enabled) {
    for (auto* button : {SBOK, SBRemove, SBCancel})
        button->setEnabled(enabled);
}

void FilesPage::setExtractCaptions(const QString& extract, const QString& extractAll,
                                   const QString& extractExtHint) {
    SBExtract->setText(extract);
    SBExtract_All->setText(extractAll);
    SBExtract_Ext->setProperty(kOwnHint, extractExtHint);
    if (SBExtract_Ext->isEnabled()) SBExtract_Ext->setToolTip(extractExtHint);
    fitCaptions();
}

void FilesPage::setColumnEnabled(bool enabled) {
    Panel1->setEnabled(enabled);
}

QByteArray FilesPage::layoutState() const {
    QByteArray state;
    QDataStream out(&state, QIODevice::WriteOnly);
    out << LB1->header()->saveState() << PreviewSplitter->sizes();
    return state;
}

void FilesPage::restoreLayoutState(const QByteArray& state) {
    if (state.isEmpty()) return;
    QDataStream in(state);
    QByteArray header;
    QList<int> sizes;
    in >> header >> sizes;
    if (in.status() != QDataStream::Ok) return;
    LB1->header()->restoreState(header);
    if (sizes.size() == PreviewSplitter->count()) PreviewSplitter->setSizes(sizes);
}

bool FilesPage::convertChecked() const {
    return CBConvert->isChecked();
}

void FilesPage::setConvertVisible(bool visible) {
    CBConvert->setVisible(visible);
}

void FilesPage::setSizeText(const QString& text) {
    FszLab->setText(text);
}

std::vector<std::size_t> FilesPage::selectedEntries() const {
    std::vector<std::size_t> entries;
    for (const auto& index : LB1->selectionModel()->selectedRows())
        entries.push_back(shown->entryIndex(index));
    std::sort(entries.begin(), entries.end());
    entries.erase(std::unique(entries.begin(), entries.end()), entries.end());
    return entries;
}

std::optional<std::size_t> FilesPage::firstSelectedEntry() const {
    int top = INT_MAX;
    QModelIndex first;
    for (const auto& index : LB1->selectionModel()->selectedRows())
        if (index.row() < top) {
            top = index.row();
            first = index;
        }
    if (!first.isValid()) return std::nullopt;
    return shown->entryIndex(first);
}

} // namespace vexa::ui
