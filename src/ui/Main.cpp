#include "ui/Main.h"

#include "core/extract.h"
#include "core/image_folder.h"
#include "core/kinds.h"
#include "ui/FileListModel.h"
#include "ui/ElidedLabel.h"
#include "ui/FilesPage.h"
#include "ui/NewContainerPage.h"
#include "ui/PalettesPage.h"
#include "ui/Prompts.h"
#include "ui/QtText.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace vexa::ui {

namespace fs = std::filesystem;

namespace {

constexpr int kStartWidth = 445;
constexpr int kStartHeight = 437;

const QString kCaptionExtract = QStringLiteral("Extract");
const QString kCaptionExtractAll = QStringLiteral("Extract All");

QString aboutText() {
    // Lines of a message are separated by a line feed followed by a carriage return.
    const QString nl = QStringLiteral("\n\r");
    return QStringLiteral("VEXA - an explorer for the resource containers of 1990s PC games") + nl + nl +
           QStringLiteral("Written by the VEXA developers.") + nl +
           QStringLiteral("File formats as the game modding communities documented them.") + nl + nl +
           QStringLiteral("Help > Contents tells how to use VEXA and vexa-cli.");
}

int barPosition(std::size_t row) {
    return static_cast<int>(std::min<std::size_t>(row, INT_MAX));
}

} // namespace

TPdlg::TPdlg(const fs::path& programFolder, Prompts& prompts, const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), prompts_(prompts), folders_(ProgramFolders::beside(programFolder)),
      freeSpace_([](const fs::path& p) { return freeBytes(p); }) {
    buildWindow();
    buildMenus();
    ResetWindow();
    FormCreate(arguments);
}

TPdlg::~TPdlg() {
    // The rows shown are the live object's; the list lets go of them before the object goes.
    files_->rows->setRows(nullptr);
}

void TPdlg::buildWindow() {
    setObjectName(QStringLiteral("Pdlg"));

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(5, 5, 5, 5);
    layout->setSpacing(3);

    PC1 = new QTabWidget(central);
    PC1->setObjectName(QStringLiteral("PC1"));
    files_ = new FilesPage(PC1);
    palettes_ = new PalettesPage(*this, PC1);
    newContainer_ = new NewContainerPage(*this, PC1);
    PC1->addTab(files_, QStringLiteral("Files"));
    PC1->addTab(palettes_, QStringLiteral("Palettes"));
    PC1->addTab(newContainer_, QStringLiteral("New_C"));
    layout->addWidget(PC1, 1);

    SLab = new ElidedLabel(central); // its text stays whole, and is its hint
    SLab->setObjectName(QStringLiteral("SLab"));
    SLab->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    SLab->setMinimumHeight(SLab->fontMetrics().height() + 2);
    layout->addWidget(SLab);

    PBar = new QProgressBar(central);
    PBar->setObjectName(QStringLiteral("PBar"));
    PBar->setRange(0, 100);
    PBar->setValue(0);
    PBar->setTextVisible(false);
    PBar->setFixedHeight(13);
    layout->addWidget(PBar);
    progress_ = std::make_unique<BarProgress>(*PBar);

    setCentralWidget(central);

    auto& page = *files_;
    connect(page.LB1, &FileListView::listClicked, this, &TPdlg::LB1Click);
    connect(page.SBExtract, &QPushButton::clicked, this, &TPdlg::SBExtractClick);
    connect(page.SBExtract_All, &QPushButton::clicked, this, &TPdlg::SBExtract_AllClick);
    connect(page.SBExtract_Ext, &QPushButton::clicked, this, &TPdlg::SBExtract_ExtClick);
    connect(page.SBCancel, &QPushButton::clicked, this, &TPdlg::SBCancelClick);

    resize(kStartWidth, kStartHeight);
    if (const auto* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(kStartWidth / 2, kStartHeight / 2));
}

void TPdlg::buildMenus() {
    menuBar()->setObjectName(QStringLiteral("MainMenu1"));
    auto item = [this](QMenu* menu, const char* name, const QString& caption, void (TPdlg::*handler)()) {
        auto* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };

    auto* file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("File1"));
    Open1 = item(file, "Open1", QStringLiteral("Open"), &TPdlg::Open1Click);
    file->addSeparator()->setObjectName(QStringLiteral("N2"));
    Extract1 = item(file, "Extract1", QStringLiteral("Extract"), &TPdlg::SBExtractClick);
    ExtractAll1 = item(file, "ExtractAll1", QStringLiteral("Extract All"), &TPdlg::SBExtract_AllClick);
    file->addSeparator()->setObjectName(QStringLiteral("N1"));
    Exit1 = item(file, "Exit1", QStringLiteral("E&xit"), &TPdlg::Exit1Click);

    auto* help = menuBar()->addMenu(QStringLiteral("Help"));
    help->setObjectName(QStringLiteral("Help1"));
    Contents1 = item(help, "Contents1", QStringLiteral("Contents"), &TPdlg::Contents1Click);
    About1 = item(help, "About1", QStringLiteral("About"), &TPdlg::About1Click);
}

void TPdlg::guarded(const std::function<void()>& command) {
    try {
        command();
    } catch (const std::exception& e) {
        prompts_.message(QString::fromUtf8(e.what()));
    } catch (...) {
        prompts_.message(QStringLiteral("Unexpected error"));
    }
}

// --- start-up, idle state, close-down ---------------------------------------------------------

void TPdlg::FormCreate(const QStringList& arguments) {
    setWindowTitle(QStringLiteral("VEXA ver 0.3"));
    folders_.ensureAll();
    currentType_ = Kind::Unknown;
    liveObjectType_ = Kind::Unknown;

    if (arguments.isEmpty()) return;
    openPath_ = fsPath(arguments.first());
    std::error_code ec;
    if (!fs::is_regular_file(openPath_, ec)) {
        prompts_.message(QStringLiteral("Canot handle that file"));
        return;
    }
    guarded([this] {
        currentType_ = DetectContainerType(openPath_);
        show(); // the reset of the first showing comes before the listing
        CompleteOpen();
    });
}

void TPdlg::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) return;
    shown_ = true;
    FormShow();
}

void TPdlg::FormShow() {
    guarded([this] {
        ResetWindow();
        palettes_->SetDefaultPalettes();
    });
}

void TPdlg::closeEvent(QCloseEvent* event) {
    FormCloseQuery();
    event->accept();
}

void TPdlg::FormCloseQuery() {
    ReleaseContainerObject();
    guarded([this] {
        const auto names = ListFolderFiles(folders_.temp, "*.*");
        if (names.empty()) return;
        const auto question =
            QStringLiteral("Delete Files in ") + qText(folders_.temp / "") + QStringLiteral(" directory ?");
        if (!prompts_.question(question)) return;
        for (const auto& name : names) {
            std::error_code ec; // a file that is locked or already gone is skipped
            fs::remove(folders_.temp / name, ec);
        }
    });
}

void TPdlg::ResetWindow() {
    ShowFilesPage();
    ReleaseContainerObject();
    files_->LB1->setSelectionMode(QAbstractItemView::ExtendedSelection); // the review used one row
    files_->LBExt->clear();
    SzLabClear();
    FszlabClear();
    DisableCommands();
    newContainer_->ResetPage();
    creationMode_ = false;
    SetOpenDialog(kAllFiles, folders_.extract);
}

void TPdlg::ShowFilesPage() {
    PC1->setCurrentWidget(files_);
}

void TPdlg::ReleaseContainerObject() {
    files_->rows->setRows(nullptr); // LB1 shows the object's rows: it empties with it
    liveObject_.reset();
    liveObjectType_ = currentType_;
}

void TPdlg::DisableCommands() {
    auto& page = *files_;
    for (auto* button :
         {page.SBOK, page.SBCancel, page.SBExtract, page.SBExtract_All, page.SBExtract_Ext, page.SBRemove})
        button->setEnabled(false);
    Extract1->setEnabled(false);
    ExtractAll1->setEnabled(false);
    page.SBExtract->setText(kCaptionExtract);
    page.SBExtract_All->setText(kCaptionExtractAll);
    page.LBExt->setVisible(false);
}

void TPdlg::EnableListCommands() {
    auto& page = *files_;
    for (auto* button : {page.SBExtract, page.SBExtract_All, page.SBExtract_Ext})
        button->setEnabled(true);
    Extract1->setEnabled(true);
    ExtractAll1->setEnabled(true);
    page.LBExt->setVisible(true);
}

void TPdlg::SetImageCaptions() {
    files_->SBExtract->setText(QStringLiteral("Img > bmp"));
    files_->SBExtract_All->setText(QStringLiteral("Img > bmp All"));
}

void TPdlg::SetOpenDialog(const QString& filter, const fs::path& folder) {
    openFilter_ = filter;
    openFolder_ = folder;
}

std::optional<QString> TPdlg::ExecuteOpenDialog() {
    return prompts_.openFile(QStringLiteral("Open"), qText(openFolder_), openFilter_);
}

void TPdlg::SzLabText(const QString& text) {
    SLab->setText(text);
    SLab->setToolTip(text);
}
void TPdlg::SzLabClear() {
    SzLabText({});
}
void TPdlg::SzLabNumEntry(std::size_t count) {
    SzLabText(SLab->text() + QStringLiteral("   Contains  ") + QString::number(count) +
              QStringLiteral(" files"));
}
void TPdlg::SZLabBoth(const QString& text, std::size_t count) {
    SzLabText(text);
    SzLabNumEntry(count);
}
void TPdlg::FszlabSize(std::uint64_t size) {
    files_->FszLab->setText(QString::number(size) + QStringLiteral(" Bytes"));
}
void TPdlg::FszlabClear() {
    files_->FszLab->clear();
}

// --- open and list ------------------------------------------------------------------------------

void TPdlg::Open1Click() {
    guarded([this] {
        const auto chosen = ExecuteOpenDialog();
        if (!chosen) return;
        const auto path = fsPath(*chosen);
        const auto type = DetectContainerType(path); // a file that cannot be read changes nothing
        openPath_ = path;
        currentType_ = type;
        ResetWindow();
        CompleteOpen();
    });
}

void TPdlg::CompleteOpen() {
    auto object = CreateContainerObject(currentType_);
    if (!object) {
        prompts_.message(QStringLiteral("Sorry do not know that file type"));
        return;
    }
    liveObject_ = std::move(object);
    liveObjectType_ = currentType_;
    liveObject_->ReadDirectory(openPath_);

    const auto& names = liveObject_->EntryNames();
    files_->rows->setRows(&names);
    SzLabText(qText(liveObject_->StatusLine()));
    for (const auto& extension : CollectExtensions(names))
        files_->LBExt->addItem(qText(extension));
}

std::vector<std::size_t> TPdlg::selectedRows() const {
    std::vector<std::size_t> rows;
    for (const auto& range : files_->LB1->selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row)
            rows.push_back(static_cast<std::size_t>(row));
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

void TPdlg::LB1Click() {
    if (creationMode_) return;
    guarded([this] {
        const auto selection = files_->LB1->selectionModel()->selection();
        if (liveObject_ && !selection.isEmpty()) {
            int first = INT_MAX;
            for (const auto& range : selection)
                first = std::min(first, range.top());
            if (isImageKind(currentType_)) {
                SetImageCaptions();
            } else if (const auto size = liveObject_->EntrySize(static_cast<std::size_t>(first))) {
                FszlabSize(*size);
            }
        }
        EnableListCommands();
    });
}

// --- extraction ---------------------------------------------------------------------------------

void TPdlg::SBExtractClick() {
    guarded([this] { extractChosenRows(selectedRows()); });
}

void TPdlg::SBExtract_AllClick() {
    guarded([this] {
        if (!liveObject_) return;
        std::vector<std::size_t> rows(liveObject_->EntryCount());
        for (std::size_t i = 0; i < rows.size(); ++i)
            rows[i] = i;
        extractChosenRows(rows);
    });
}

void TPdlg::SBExtract_ExtClick() {
    guarded([this] {
        std::vector<std::string> extensions;
        for (const auto* item : files_->LBExt->selectedItems())
            extensions.push_back(item->text().toStdString());
        if (extensions.empty()) {
            SzLabText(QStringLiteral("No File Extension(s) selected"));
            return;
        }
        if (!liveObject_) return;
        extractChosenRows(rowsWithExtensions(liveObject_->EntryNames(), extensions));
    });
}

void TPdlg::extractChosenRows(const std::vector<std::size_t>& rows) {
    if (!liveObject_ || rows.empty()) return; // nothing to extract: no dialog, nothing written

    // The bar follows the row index and is full at the last chosen row; it is empty again after.
    progress_->setRange(barPosition(rows.back()));
    progress_->setPosition(0);
    struct EmptyBarAfter {
        ProgressSink& bar;
        ~EmptyBarAfter() { bar.setPosition(0); }
    } emptyAfter{*progress_};

    const auto folder = prompts_.chooseFolder(QStringLiteral("Choose Directory"), qText(folders_.extract));
    if (!folder) return;
    const auto target = fsPath(*folder);
    if (const auto question = lowSpaceQuestion(target, freeSpace_(target)))
        if (!prompts_.question(qText(*question))) return;
    repaint();

    const auto result = extractRows(*liveObject_, target, rows,
                                    [this](std::size_t row) { progress_->setPosition(barPosition(row)); });
    SzLabText(qText(result.statusText()));
    if (!result.refused.empty()) prompts_.message(qText(result.refusalText()));
}

// --- other commands -----------------------------------------------------------------------------

void TPdlg::SBCancelClick() {
    guarded([this] { ResetWindow(); });
}

void TPdlg::Exit1Click() {
    close();
}

void TPdlg::Contents1Click() {
    guarded([this] {
        const auto page = folders_.help / "index.html";
        std::error_code ec;
        if (!fs::is_regular_file(page, ec)) {
            prompts_.message(QStringLiteral("Missing File ") + qText(page));
            return;
        }
        if (!prompts_.openWithDesktop(qText(page)))
            prompts_.message(QStringLiteral("Cannot open file ") + qText(page));
    });
}

void TPdlg::About1Click() {
    prompts_.message(aboutText());
}

} // namespace vexa::ui
