#include "ui/Main.h"

#include "app/extract.h"
#include "app/listing.h"
#include "base/errors.h"
#include "base/filter.h"
#include "base/text.h"
#include "formats/image_folder.h"
#include "ui/Breadcrumb.h"
#include "ui/ElidedLabel.h"
#include "ui/FileFilterProxy.h"
#include "ui/FileListModel.h"
#include "ui/FilesPage.h"
#include "ui/ImportPictureDialog.h"
#include "ui/NewContainerPage.h"
#include "ui/PalettesPage.h"
#include "ui/PicturePreview.h"
#include "ui/PreviewPane.h"
#include "ui/Prompts.h"
#include "ui/QtText.h"
#include "ui/SoundPlayer.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace vexa::ui {

namespace fs = std::filesystem;

namespace {

constexpr int kStartWidth = 445;
constexpr int kStartHeight = 437;

const QString kCaptionExtract = QStringLiteral("Extract");
const QString kCaptionExtractAll = QStringLiteral("Extract All");
const QString kCaptionExtractShown = QStringLiteral("Extract Shown");
// The menu's captions of the same commands, with their access keys.
const QString kMenuExtractAll = QStringLiteral("Extract &All");
const QString kMenuExtractShown = QStringLiteral("Extract S&hown");
const QString kHintSaveFirst =
    QStringLiteral("Save the edits first: extraction writes the entries as the file on disk holds them");
const QString kHintExtractRaw =
    QStringLiteral("Writes each selected lump byte for byte as stored, not as a picture");
constexpr int kIdleBarRange = 100;
const QString kSettingGeometry = QStringLiteral("window/geometry");
const QString kSettingFilesLayout = QStringLiteral("window/filesLayout");
const QString kCaptionImage = QStringLiteral("Img > bmp");
const QString kCaptionImageAll = QStringLiteral("Img > bmp All");
const QString kCaptionImageShown = QStringLiteral("Img > bmp Shown");
const QString kHintExtractExt = QStringLiteral("Extract By File Extension");
const QString kHintExtractExtShown = QStringLiteral("Extract By File Extension, of the rows shown");

QString aboutText() {
    // Lines of a message are separated by a line feed followed by a carriage return.
    const QString nl = QStringLiteral("\n\r");
    return QStringLiteral("VEXA - an explorer for the resource containers of 1990s PC games") + nl + nl +
           QStringLiteral("Written by the VEXA developers.") + nl +
           QStringLiteral("File formats as the game modding communities documented them.") + nl + nl +
           QStringLiteral("Help > Contents tells how to use VEXA and vexa-cli.");
}

// The desktop's own folders, for an installed copy.
vexa::UserFolders desktopUserFolders() {
    const auto location = [](QStandardPaths::StandardLocation kind) {
        return vexa::ui::fsPath(QStandardPaths::writableLocation(kind));
    };
    return {location(QStandardPaths::GenericDataLocation) / "vexa",
            location(QStandardPaths::GenericCacheLocation) / "vexa",
            location(QStandardPaths::DocumentsLocation)};
}

} // namespace

TPdlg::TPdlg(const fs::path& programFolder, Prompts& prompts, const QStringList& arguments, QWidget* parent)
    : QMainWindow(parent), prompts_(prompts),
      folders_(ProgramFolders::locate(programFolder, desktopUserFolders())),
      freeSpace_([](const fs::path& p) { return freeBytes(p); }) {
    buildWindow();
    buildMenus();
    ResetWindow();
    FormCreate(arguments);
}

TPdlg::~TPdlg() {
    stopBackgroundWork();
    // The rows shown are the live object's; the list lets go of them before the object goes.
    files_->showEntries(nullptr);
    std::error_code ec;
    for (const auto& folder : dragFolders_)
        fs::remove_all(folder, ec);
}

void TPdlg::buildWindow() {
    setObjectName(QStringLiteral("Pdlg"));

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(5, 5, 5, 5);
    layout->setSpacing(3);

    breadcrumb_ = new Breadcrumb(central);
    layout->addWidget(breadcrumb_);

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

    auto* barRow = new QHBoxLayout;
    barRow->setSpacing(4);
    PBar = new QProgressBar(central);
    PBar->setObjectName(QStringLiteral("PBar"));
    PBar->setRange(0, 100);
    PBar->setValue(0);
    PBar->setTextVisible(false);
    PBar->setFixedHeight(13);
    barRow->addWidget(PBar, 1);
    SBCancelJob = new QPushButton(QStringLiteral("Cancel"), central);
    SBCancelJob->setObjectName(QStringLiteral("SBCancelJob"));
    SBCancelJob->setToolTip(QStringLiteral("Stops the running job after the file it is on"));
    SBCancelJob->setAutoDefault(false);
    SBCancelJob->setFixedHeight(20);
    SBCancelJob->setVisible(false);
    barRow->addWidget(SBCancelJob);
    layout->addLayout(barRow);
    progress_ = std::make_unique<BarProgress>(*PBar);

    setCentralWidget(central);
    setAcceptDrops(true);

    connect(&document_, &Document::rowsAboutToChange, this, &TPdlg::letGoOfRows);
    connect(&document_, &Document::editsChanged, this, &TPdlg::showEdits);
    connect(&document_, &Document::opened, this, &TPdlg::showExtensions);
    // Queued: the job's progress is sent from its worker and painted here.
    auto& progress = document_.jobs().progress();
    connect(
        &progress, &JobProgress::rangeChanged, this, [this](int maximum) { progress_->setRange(maximum); },
        Qt::QueuedConnection);
    connect(
        &progress, &JobProgress::positionChanged, this,
        [this](int position) { progress_->setPosition(position); }, Qt::QueuedConnection);
    connect(&document_, &Document::jobRunningChanged, this, &TPdlg::setBusy);
    connect(SBCancelJob, &QPushButton::clicked, this, &TPdlg::SBCancelJobClick);
    previewer_ = new EntryPreviewer(
        [this](const EntryPreviewer::Outcome& out) {
            if (out.content)
                showContentPreview(out.object, out.index, *out.content, out.keepList);
            else
                showPreview(out.object, out.index, out.error, out.preview ? &*out.preview : nullptr);
        },
        this);
    // Another palette or another picture of the entry shown: the same entry rendered again.
    connect(&files_->preview(), &PreviewPane::paletteChosen, this, [this] {
        if (previewed_) requestPreview(*previewed_, {});
    });
    connect(&files_->preview(), &PreviewPane::pictureChosen, this, [this](const QString& name) {
        if (previewed_) requestPreview(*previewed_, name.toStdString());
    });

    connect(files_, &FilesPage::listClicked, this, &TPdlg::LB1Click);
    connect(files_, &FilesPage::filterChanged, this, &TPdlg::EFilterChange);
    files_->setDragData([this]() -> std::unique_ptr<QMimeData> {
        std::unique_ptr<QMimeData> data;
        guarded([&] { data = DragOutData(files_->selectedEntries()); });
        return data;
    });
    connect(files_, &FilesPage::extractClicked, this, &TPdlg::SBExtractClick);
    connect(files_, &FilesPage::extractAllClicked, this, &TPdlg::SBExtract_AllClick);
    connect(files_, &FilesPage::extractExtClicked, this, &TPdlg::SBExtract_ExtClick);
    connect(files_, &FilesPage::cancelClicked, this, &TPdlg::SBCancelClick);
    // The New_C review's two commands are on the Files page.
    connect(files_, &FilesPage::removeClicked, newContainer_, &NewContainerPage::SBRemoveClick);
    connect(files_, &FilesPage::okClicked, newContainer_, &NewContainerPage::SBOKClick);

    connectNestedNavigation();

    // The first start is small and centred; later ones open as the user left the window.
    resize(kStartWidth, kStartHeight);
    if (const auto* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(kStartWidth / 2, kStartHeight / 2));
    const QSettings settings;
    restoreGeometry(settings.value(kSettingGeometry).toByteArray());
    files_->restoreLayoutState(settings.value(kSettingFilesLayout).toByteArray());
}

namespace {

// The platform's shortcut for a standard command, or this one where the platform has none (X11 and
// Windows have none for Save As).
QKeySequence standardOr(QKeySequence::StandardKey key, const QKeySequence& fallback) {
    const auto bindings = QKeySequence::keyBindings(key);
    return bindings.isEmpty() ? fallback : bindings.first();
}

} // namespace

void TPdlg::buildMenus() {
    menuBar()->setObjectName(QStringLiteral("MainMenu1"));
    auto item = [this](QMenu* menu, const char* name, const QString& caption, void (TPdlg::*handler)()) {
        auto* action = menu->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };

    auto* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    file->setToolTipsVisible(true); // a greyed command says why
    Open1 = item(file, "Open1", QStringLiteral("&Open..."), &TPdlg::Open1Click);
    Open1->setShortcut(QKeySequence::Open);
    FindInFolder1 =
        item(file, "FindInFolder1", QStringLiteral("&Find in Folder\u2026"), &TPdlg::FindInFolder1Click);
    FindInFolder1->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    Save1 = item(file, "Save1", QStringLiteral("&Save"), &TPdlg::SaveClick);
    Save1->setShortcut(QKeySequence::Save);
    SaveAs1 = item(file, "SaveAs1", QStringLiteral("Save &As..."), &TPdlg::SaveAsClick);
    SaveAs1->setShortcut(standardOr(QKeySequence::SaveAs, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)));
    file->addSeparator()->setObjectName(QStringLiteral("N2"));
    Extract1 = item(file, "Extract1", QStringLiteral("&Extract"), &TPdlg::SBExtractClick);
    Extract1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
    ExtractAll1 = item(file, "ExtractAll1", kMenuExtractAll, &TPdlg::SBExtract_AllClick);
    ExtractRaw1 = item(file, "ExtractRaw1", QStringLiteral("Extract &raw"), &TPdlg::ExtractRawClick);
    ExtractRaw1->setToolTip(kHintExtractRaw);
    file->addSeparator()->setObjectName(QStringLiteral("N3"));
    ImportPicture1 =
        item(file, "ImportPicture1", QStringLiteral("&Import picture\u2026"), &TPdlg::ImportPicture1Click);
    ImportPicture1->setToolTip(QStringLiteral("Makes a WAL, BM or MAT texture of a PNG or BMP picture"));
    file->addSeparator()->setObjectName(QStringLiteral("N1"));
    Exit1 = item(file, "Exit1", QStringLiteral("E&xit"), &TPdlg::Exit1Click);
    Exit1->setShortcut(standardOr(QKeySequence::Quit, QKeySequence(Qt::CTRL | Qt::Key_Q)));
    buildEditMenu();

    auto* help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    Contents1 = item(help, "Contents1", QStringLiteral("&Contents"), &TPdlg::Contents1Click);
    Contents1->setShortcut(standardOr(QKeySequence::HelpContents, QKeySequence(Qt::Key_F1)));
    About1 = item(help, "About1", QStringLiteral("&About"), &TPdlg::About1Click);
}

void TPdlg::guarded(const std::function<void()>& command) {
    try {
        command();
    } catch (const std::exception& e) {
        prompts_.message(qText(printableText(e.what())));
    } catch (...) {
        prompts_.message(QStringLiteral("Unexpected error"));
    }
}

// --- start-up, idle state, close-down ---------------------------------------------------------

void TPdlg::FormCreate(const QStringList& arguments) {
    setWindowTitle(QStringLiteral("VEXA ver 0.3"));
    folders_.ensureAll();

    if (arguments.isEmpty()) return;
    const auto path = fsPath(arguments.first());
    std::error_code ec;
    // A path into a container ("pak0.pak/maps/e1m1.bsp") lies below a file.
    auto file = path;
    while (!fs::is_regular_file(file, ec) && file.has_relative_path() && file.parent_path() != file)
        file = file.parent_path();
    if (!fs::is_regular_file(file, ec)) {
        prompts_.message(QStringLiteral("Canot handle that file"));
        return;
    }
    guarded([&] {
        document_.detect(path);
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
    stopBackgroundWork();
    if (!settleEdits([this] { close(); })) {
        event->ignore();
        return;
    }
    QSettings settings;
    settings.setValue(kSettingGeometry, saveGeometry());
    settings.setValue(kSettingFilesLayout, files_->layoutState());
    if (signalled_)
        ReleaseContainerObject();
    else
        FormCloseQuery();
    event->accept();
}

void TPdlg::StopBySignal() {
    signalled_ = true;
    close();
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
    files_->reset();
    SzLabClear();
    FszlabClear();
    DisableCommands();
    newContainer_->ResetPage();
    creationMode_ = false;
    SetOpenDialog(kAllFiles, folders_.extract);
    setTitle();
}

void TPdlg::ShowFilesPage() {
    PC1->setCurrentWidget(files_);
}

void TPdlg::ReleaseContainerObject() {
    document_.close();
}

void TPdlg::letGoOfRows() {
    previewer_->drop();           // a render still running keeps its own hold on the object
    files_->showEntries(nullptr); // LB1 shows the object's rows: it empties with them
    files_->preview().clear();
    previewed_.reset();
}

void TPdlg::showExtensions() {
    files_->setExtensions(CollectExtensions(document_.reader()->Rows()));
}

bool TPdlg::BeginCreation() {
    if (!settleEdits({})) return false;
    ReleaseContainerObject();
    files_->startReview();
    SzLabClear();
    DisableCommands();
    creationMode_ = true;
    enableEditCommands();
    return true;
}

void TPdlg::ShowReview(std::vector<std::string> names, std::vector<std::uint64_t> sizes) {
    files_->showReview(std::move(names), std::move(sizes));
    ShowFilesPage();
    files_->setReviewCommandsEnabled(true);
}

std::optional<std::size_t> TPdlg::ReviewRow() const {
    return files_->firstSelectedEntry();
}

void TPdlg::DisableCommands() {
    files_->setExtractCommandsEnabled(false);
    files_->setReviewCommandsEnabled(false);
    Extract1->setEnabled(false);
    ExtractAll1->setEnabled(false);
    ExtractRaw1->setEnabled(false);
    imageCaptions_ = false;
    setAllCaptions();
}

void TPdlg::EnableListCommands() {
    // Extraction reads the file as stored: rows not saved yet have nothing there to extract.
    const bool stored = !document_.edits().modified();
    const auto whyNot = stored ? QString() : kHintSaveFirst;
    files_->setExtractCommandsEnabled(stored, whyNot);
    for (auto* action : {Extract1, ExtractAll1}) {
        action->setEnabled(stored);
        action->setToolTip(whyNot);
    }
    ExtractRaw1->setToolTip(stored ? kHintExtractRaw : whyNot);
    // Only where Extract makes pictures does a raw copy differ from it (the lumps of WAD2 and WAD3).
    const auto* object = document_.reader().get();
    ExtractRaw1->setEnabled(stored && object && object->HasStoredBytes() && object->HasPictures());
}

void TPdlg::SetImageCaptions() {
    imageCaptions_ = true;
    setAllCaptions();
}

void TPdlg::setAllCaptions() {
    // With a filter applied the "all" commands take the rows shown, and their captions say so.
    const bool filtered = files_->filtered();
    // Room for both captions of the listing's kind, so a filter does not move the column.
    files_->reserveCaptions(imageCaptions_ ? QStringList{kCaptionImageAll, kCaptionImageShown}
                                           : QStringList{kCaptionExtractAll, kCaptionExtractShown});
    files_->setExtractCaptions(imageCaptions_ ? kCaptionImage : kCaptionExtract,
                               imageCaptions_ ? (filtered ? kCaptionImageShown : kCaptionImageAll)
                                              : (filtered ? kCaptionExtractShown : kCaptionExtractAll),
                               filtered ? kHintExtractExtShown : kHintExtractExt);
    ExtractAll1->setText(filtered ? kMenuExtractShown : kMenuExtractAll);
}

void TPdlg::EFilterChange() {
    setAllCaptions();
    // The preview follows the selection, which loses the rows the filter hides.
    if (previewed_ && !files_->isShown(*previewed_)) showPreviewOfSelection();
}

void TPdlg::SetOpenDialog(const QString& filter, const fs::path& folder) {
    openFilter_ = filter;
    openFolder_ = folder;
}

std::optional<QString> TPdlg::ExecuteOpenDialog() {
    return prompts_.openFile(QStringLiteral("Open"), qText(openFolder_), openFilter_);
}

void TPdlg::SzLabText(const QString& text) {
    // One line whatever a stored name holds.
    const auto shown = qText(printableText(text.toStdString()));
    SLab->setText(shown);
    SLab->setToolTip(shown);
}
void TPdlg::SzLabClear() {
    SzLabText({});
}
void TPdlg::FszlabSize(std::uint64_t size) {
    files_->setSizeText(QString::number(size) + QStringLiteral(" Bytes"));
}
void TPdlg::FszlabClear() {
    files_->setSizeText({});
}

// --- open and list ------------------------------------------------------------------------------

void TPdlg::Open1Click() {
    if (JobRunning() || !settleEdits([this] { Open1Click(); })) return;
    guarded([this] {
        const auto chosen = ExecuteOpenDialog();
        if (!chosen) return;
        OpenFile(fsPath(*chosen));
    });
}

void TPdlg::OpenFile(const fs::path& path) {
    if (JobRunning()) return;
    document_.detect(path); // a file that cannot be read changes nothing
    selectAfterOpen_.reset();
    ResetWindow();
    CompleteOpen();
}

void TPdlg::CompleteOpen() {
    // The directory is read off the window's thread; the list shows it once it is read.
    const auto path = document_.path();
    const bool started = document_.readDirectory([this, path](std::exception_ptr error) {
        guarded([&] {
            try {
                if (error) std::rethrow_exception(error);
            } catch (const Cancelled&) {
                SzLabText(QStringLiteral("Opening cancelled: ") + qText(path));
                return;
            } catch (...) {
                SzLabClear();
                throw;
            }
            const auto& object = *document_.reader();
            SzLabText(qText(statusLine(object)));
            addFolder_ = object.ArchivePath().parent_path();
            // A walk the file cut short: what came before it is listed, and the user is told.
            std::string notes;
            for (const auto& note : object.ListingNotes())
                notes += (notes.empty() ? "" : "\n") + note;
            if (!notes.empty()) prompts_.message(qText(notes));
            selectAfterOpen();
        });
    });
    if (started) SzLabText(QStringLiteral("Opening ") + qText(path));
}

std::vector<std::size_t> TPdlg::shownRows() const {
    if (!document_.reader()) return {};
    try {
        return filterRows(document_.reader()->Rows(), files_->pattern(), document_.contents());
    } catch (const Error&) { // a content word no row has: the list shows none
        return {};
    }
}

void TPdlg::LB1Click() {
    if (creationMode_) return;
    guarded([this] {
        const auto first = files_->firstSelectedEntry();
        if (!first) FszlabClear(); // no size of a row no longer selected
        if (document_.reader() && first) {
            if (isImageKind(document_.kind()))
                SetImageCaptions();
            else if (const auto size = document_.rowSize(*first))
                FszlabSize(*size);
        }
        EnableListCommands();
        enableEditCommands();
        showPreviewOfSelection();
    });
}

void TPdlg::showPreviewOfSelection() {
    // One row: its preview, rendered off the window's thread (after a running job).
    const auto selected = files_->selectedEntries();
    auto& pane = files_->preview();
    const auto& object = document_.reader();
    if (!object || selected.size() != 1) {
        previewer_->drop();
        previewed_.reset();
        if (selected.size() > 1)
            pane.showNote(QStringLiteral("Select one row to preview it"));
        else
            pane.clear();
        return;
    }
    previewed_ = selected[0];
    const auto entry = document_.storedEntry(selected[0]);
    if (!entry) { // its bytes are still in the file it comes from
        previewer_->drop();
        pane.showNote(qText(document_.editRows().at(selected[0]).name) +
                      QStringLiteral(" is not saved yet: no preview"));
        return;
    }
    const auto shownName =
        document_.edits().modified() ? document_.editRows().at(selected[0]).name : object->EntryName(*entry);
    pane.showNote(QStringLiteral("Rendering ") + qText(shownName) + QStringLiteral(" ..."));
    requestPreview(selected[0], {});
}

void TPdlg::requestPreview(std::size_t row, const std::string& picture) {
    const auto& object = document_.reader();
    const auto entry = document_.storedEntry(row);
    if (!object || !entry) return;
    std::optional<EntryPreviewer::ContentAsked> content;
    if (const auto* kind = document_.rowContent(row); kind && rendersContent(*kind))
        // A song is rendered only where it can be heard.
        content = EntryPreviewer::ContentAsked{
            kind, document_.kind(), files_->preview().picture().paletteChoice(), picture,
            SongSynthesis{kind->content == Content::Music && SoundPlayer::hasOutput(),
                          files_->preview().soundFont(), nullptr}};
    // The palette the next conversion would use, as it is now: the render paints with its copy.
    previewer_->request(object, *entry, document_.currentPalette(), document_.gamePalettes(),
                        std::move(content));
}

void TPdlg::showContentPreview(const ContainerReader* object, std::size_t index,
                               const ContentRendering& content, bool keepList) {
    const auto* open = document_.reader().get();
    if (!open || object != open || index >= open->EntryCount()) return;
    files_->preview().showContent(qText(open->EntryName(index)), content, keepList);
}

void TPdlg::showPreview(const ContainerReader* object, std::size_t index, const QString& error,
                        const EntryPreview* preview) {
    // A render of a file since closed is not shown.
    const auto* open = document_.reader().get();
    if (!open || object != open || index >= open->EntryCount()) return;
    // A row renamed and not saved yet is previewed under its new name.
    const auto& rows = document_.editRows();
    const auto name = document_.edits().modified() && previewed_ && *previewed_ < rows.size()
                          ? qText(rows[*previewed_].name)
                          : qText(open->EntryName(index));
    if (preview)
        files_->preview().showPreview(name, *preview);
    else
        files_->preview().showNote(QStringLiteral("No preview of ") + name + QStringLiteral(": ") + error);
}

bool TPdlg::PreviewBusy() const {
    return previewer_->busy();
}

// --- extraction ---------------------------------------------------------------------------------

QString TPdlg::noSelectionReason() const {
    return files_->filtered()
               ? QStringLiteral("No row selected among those the filter shows: nothing extracted")
               : QStringLiteral("No row selected: nothing extracted");
}

void TPdlg::SBExtractClick() {
    guarded([this] { extractChosenRows(files_->selectedEntries(), noSelectionReason()); });
}

void TPdlg::ExtractRawClick() {
    guarded([this] { extractChosenRows(files_->selectedEntries(), noSelectionReason(), true); });
}

void TPdlg::SBExtract_AllClick() {
    guarded([this] {
        extractChosenRows(shownRows(), files_->filtered()
                                           ? QStringLiteral("The filter shows no rows: nothing extracted")
                                           : QStringLiteral("The list is empty: nothing extracted"));
    });
}

void TPdlg::SBExtract_ExtClick() {
    guarded([this] {
        const auto extensions = files_->selectedExtensions();
        if (extensions.empty()) {
            SzLabText(QStringLiteral("No File Extension(s) selected"));
            return;
        }
        if (!document_.reader()) return;
        auto rows = rowsWithExtensions(document_.reader()->Rows(), extensions);
        if (files_->filtered()) {
            const auto shown = shownRows();
            std::erase_if(
                rows, [&](std::size_t row) { return !std::binary_search(shown.begin(), shown.end(), row); });
        }
        extractChosenRows(rows,
                          QStringLiteral("No row shown has the selected extension(s): nothing extracted"));
    });
}

void TPdlg::extractChosenRows(const std::vector<std::size_t>& rows, const QString& whyNone, bool raw) {
    if (JobRunning() || !document_.reader()) return;
    if (rows.empty()) { // no dialog, nothing written, and the reason on the status line
        SzLabText(whyNone);
        return;
    }

    // The bar follows the row index and is full at the last chosen row; it is empty again after.
    progress_->setRange(progressPosition(rows.back()));
    progress_->setPosition(0);
    struct EmptyBarUnlessStarted {
        ProgressSink& bar;
        bool started = false;
        ~EmptyBarUnlessStarted() {
            if (!started) bar.setPosition(0);
        }
    } emptyAfter{*progress_};

    const auto folder = prompts_.chooseFolder(QStringLiteral("Choose Directory"), qText(folders_.extract));
    if (!folder) return;
    const auto target = fsPath(*folder);
    if (const auto question = lowSpaceQuestion(target, freeSpace_(target)))
        if (!prompts_.question(qText(*question))) return;

    const auto done = [this](const ExtractionResult& result, std::exception_ptr error) {
        guarded([&] {
            progress_->setPosition(0);
            if (error) std::rethrow_exception(error);
            // A placeholder palette is said where the user looks when the run ends.
            auto status = result.statusText();
            for (const auto& notice : result.placeholders)
                status += " - " + notice;
            SzLabText(qText(status));
            // Entries refused or not converted, and what converted pictures left out, are each named.
            auto report = result.refusalText();
            for (const auto& note : result.notes)
                report += (report.empty() || report.back() == '\n' ? "" : "\n") + note;
            if (!report.empty()) prompts_.message(qText(report));
        });
    };
    emptyAfter.started = document_.extract(rows, target, raw, done, files_->convertChecked());
}

// --- jobs ---------------------------------------------------------------------------------------

bool TPdlg::StartJob(std::function<void(JobProgress&)> work, std::function<void(std::exception_ptr)> done) {
    return document_.jobs().start(std::move(work), [this, done = std::move(done)](std::exception_ptr error) {
        guarded([&] { done(error); });
    });
}

void TPdlg::setBusy(bool busy) {
    // The list stays to look through and the preview to look at; every command that would start
    // a second job or change what the job reads waits for its end.
    if (busy) {
        beforeJob_.clear();
        for (QObject* control : std::initializer_list<QObject*>{
                 Open1, Extract1, ExtractAll1, ExtractRaw1, ImportPicture1, palettes_, newContainer_, Save1,
                 SaveAs1, Undo1, Redo1, AddFiles1, AddFolder1, Replace1, Rename1, Remove1}) {
            if (auto* action = qobject_cast<QAction*>(control)) {
                beforeJob_.emplace_back(action, action->isEnabled());
                action->setEnabled(false);
            } else if (auto* widget = qobject_cast<QWidget*>(control)) {
                beforeJob_.emplace_back(widget, widget->isEnabledTo(widget->parentWidget()));
                widget->setEnabled(false);
            }
        }
        files_->setColumnEnabled(false);
        SBCancelJob->setEnabled(true);
        SBCancelJob->setVisible(true);
    } else {
        for (const auto& [control, enabled] : beforeJob_) {
            if (auto* action = qobject_cast<QAction*>(control))
                action->setEnabled(enabled);
            else if (auto* widget = qobject_cast<QWidget*>(control))
                widget->setEnabled(enabled);
        }
        beforeJob_.clear();
        files_->setColumnEnabled(true);
        SBCancelJob->setVisible(false);
        // A finished job (or a failed one) leaves no bar standing full.
        progress_->setRange(kIdleBarRange);
        progress_->setPosition(0);
        enableEditCommands(); // the selection may have changed meanwhile
    }
}

void TPdlg::SBCancelJobClick() {
    if (!JobRunning()) return;
    document_.jobs().cancel();
    SBCancelJob->setEnabled(false); // once is enough; the job stops after the file it is on
}

void TPdlg::stopBackgroundWork() {
    if (importDialog_) importDialog_->reject();
    previewer_->drop();
    if (JobRunning()) {
        document_.jobs().cancel();
        document_.jobs().wait();
    }
}

// --- drag and drop ------------------------------------------------------------------------------

std::unique_ptr<QMimeData> TPdlg::DragOutData(const std::vector<std::size_t>& rows) {
    if (JobRunning() || creationMode_ || !document_.reader() || rows.empty() || document_.edits().modified())
        return nullptr;

    // A folder of its own below Temp for each drag: the file manager copies from there after the
    // drop, so it stays until the window closes.
    fs::path folder;
    for (int attempt = 0; attempt < 100 && folder.empty(); ++attempt) {
        const auto candidate =
            folders_.temp /
            ("drag-" + QString::number(QRandomGenerator::global()->generate(), 16).toStdString());
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) folder = candidate;
    }
    if (folder.empty()) throw FileError(FileAction::Create, folders_.temp / "drag-", "");
    dragFolders_.push_back(folder);

    // Small by nature (the rows a hand selected), and the drag needs its files before it starts.
    const auto result = document_.extractNow(rows, folder);
    if (!result.refused.empty()) prompts_.message(qText(result.refusalText()));

    QList<QUrl> urls;
    std::vector<fs::path> written;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        written.push_back(it->path());
    std::sort(written.begin(), written.end());
    for (const auto& path : written)
        urls << QUrl::fromLocalFile(qText(path));
    if (urls.isEmpty()) return nullptr;
    auto data = std::make_unique<QMimeData>();
    data->setUrls(urls);
    return data;
}

void TPdlg::dragEnterEvent(QDragEnterEvent* event) {
    // A file from elsewhere; rows dragged out of LB1 itself are not opened again.
    if (!JobRunning() && !event->source() && event->mimeData()->hasUrls())
        for (const auto& url : event->mimeData()->urls())
            if (url.isLocalFile()) {
                event->acceptProposedAction();
                return;
            }
    event->ignore();
}

void TPdlg::dropEvent(QDropEvent* event) {
    if (JobRunning() || event->source()) return;
    std::vector<fs::path> paths;
    for (const auto& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths.push_back(fsPath(url.toLocalFile()));
    if (paths.empty()) return;
    event->acceptProposedAction();
    const auto first = paths.front();
    const auto at = mapToGlobal(event->position().toPoint());
    guarded([&] {
        // Onto a file that can be edited, the files may be meant for it: the user says which.
        if (const auto* edit = document_.edits().edit(); edit && !creationMode_) {
            const auto answer = prompts_.choose(
                QStringLiteral("Add the dropped files to ") + qText(edit->path().filename()) +
                    QStringLiteral(", or open ") + qText(first.filename()) + QStringLiteral(" in its place?"),
                {QStringLiteral("Add"), QStringLiteral("Open"), QStringLiteral("Cancel")});
            if (answer == 0) return addPaths(paths, files_->entryAt(at)); // before the row dropped on
            if (answer != 1 || !settleEdits([this, first] { OpenFile(first); })) return;
        }
        OpenFile(first); // as Open does with the same file
    });
}

// --- other commands -----------------------------------------------------------------------------

void TPdlg::ImportPicture1Click() {
    if (JobRunning()) return;
    guarded([this] {
        if (!importDialog_) importDialog_ = new ImportPictureDialog(*this, this);
        importDialog_->open(); // window-modal; the choices of its last use stay
    });
}

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
        openWithDesktopOrSay(prompts_, qText(page));
    });
}

void TPdlg::About1Click() {
    prompts_.message(aboutText());
}

} // namespace vexa::ui
