#include "ui/NewContainerPage.h"

#include "app/wad_batch.h"
#include "base/errors.h"
#include "base/ordered_work.h"
#include "formats/writer.h"
#include "ui/BackgroundJob.h"
#include "ui/BrowseButton.h"
#include "ui/PageHost.h"
#include "ui/Prompts.h"
#include "ui/QtText.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QThread>
#include <QVBoxLayout>

#include <algorithm>

namespace vexa::ui {

namespace fs = std::filesystem;

namespace {

constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 22;

// Between a gathered name and what the kind's fields cut it to, in the review.
constexpr std::string_view kCutMark = "  \u2192 ";

const QString kReviewText =
    QStringLiteral(" These files will be included , remove files , or press OK to create container");

// An item of RGConCreate. Its caption lines up the kind and the game with runs of blanks, which
// only worked in the font it was written for; the item keeps that caption as its text but draws
// the kind and the rest at a common tab stop, so the columns line up in any font.
class KindItem : public QRadioButton {
  public:
    KindItem(const QString& caption, QWidget* parent) : QRadioButton(caption, parent) {
        const auto text = caption.simplified();
        const auto blank = text.indexOf(QLatin1Char(' '));
        kind_ = blank < 0 ? text : text.left(blank);
        rest_ = blank < 0 ? QString() : text.mid(blank + 1);
    }

    const QString& kind() const { return kind_; }
    void setTabStop(int pixels) {
        tabStop_ = pixels;
        updateGeometry();
        update();
    }

    QSize sizeHint() const override {
        QStyleOptionButton option;
        initStyleOption(&option);
        const auto metrics = fontMetrics();
        const QSize label(tabStop_ + metrics.horizontalAdvance(rest_), metrics.height());
        return style()->sizeFromContents(QStyle::CT_RadioButton, &option, label, this);
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

  protected:
    void paintEvent(QPaintEvent*) override {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        option.text.clear();
        painter.drawControl(QStyle::CE_RadioButton, option);
        auto area = style()->subElementRect(QStyle::SE_RadioButtonContents, &option, this);
        const auto flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
        painter.drawItemText(area, flags, palette(), isEnabled(), kind_, QPalette::WindowText);
        area.setLeft(area.left() + tabStop_);
        painter.drawItemText(area, flags, palette(), isEnabled(), rest_, QPalette::WindowText);
    }

  private:
    QString kind_;
    QString rest_;
    int tabStop_ = 0;
};

QGroupBox* pathGroup(QWidget* parent, const char* name, const QString& caption, QLineEdit*& edit,
                     const char* editName, QPushButton*& browse, const char* browseName) {
    auto* group = new QGroupBox(caption, parent);
    group->setObjectName(QString::fromLatin1(name));
    edit = new QLineEdit(group);
    edit->setObjectName(QString::fromLatin1(editName));
    browse = browseButton(group, browseName);
    browse->setFixedSize(kButtonHeight + 6, kButtonHeight + 2);
    auto* layout = new QHBoxLayout(group);
    layout->addWidget(edit, 1);
    layout->addWidget(browse);
    return group;
}

} // namespace

NewContainerPage::NewContainerPage(CreationHost& window, QWidget* parent) : QWidget(parent), window_(window) {
    setObjectName(QStringLiteral("New_C"));

    RGConCreate = new QGroupBox(QStringLiteral("Select container file type to create"), this);
    RGConCreate->setObjectName(QStringLiteral("RGConCreate"));
    kindGroup_ = new QButtonGroup(this);
    auto* grid = new QGridLayout(RGConCreate);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(2);
    const auto& kinds = creatableKinds();
    const int rowsPerColumn = static_cast<int>(kinds.size() + 1) / 2;
    int tabStop = 0;
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        auto* item = new KindItem(
            QString::fromUtf8(kinds[i].caption.data(), static_cast<qsizetype>(kinds[i].caption.size())),
            RGConCreate);
        item->setObjectName(QStringLiteral("RGConCreateItem%1").arg(i));
        tabStop =
            std::max(tabStop, item->fontMetrics().horizontalAdvance(item->kind() + QStringLiteral("  ")));
        const int index = static_cast<int>(i);
        kindGroup_->addButton(item, index);
        // Two columns, filled column by column, as the radio group the page stands for did.
        grid->addWidget(item, index % rowsPerColumn, index / rowsPerColumn);
        kindItems_.push_back(item);
    }
    for (auto* item : kindItems_)
        static_cast<KindItem*>(item)->setTabStop(tabStop);
    connect(kindGroup_, &QButtonGroup::idClicked, this, &NewContainerPage::RGConCreateClick);

    NewNameGroup = pathGroup(this, "NewNameGroup", QStringLiteral("New filename and path"), EConName,
                             "EConName", SBBrowseNewName, "SBBrowseNewName");
    GetFilesGroup = pathGroup(this, "GetFilesGroup", QStringLiteral("Get files from directory"), EGetFiles,
                              "EGetFiles", SBBrwseFiles, "SBBrwseFiles");
    connect(SBBrowseNewName, &QPushButton::clicked, this, &NewContainerPage::SBBrowseNewNameClick);
    connect(SBBrwseFiles, &QPushButton::clicked, this, &NewContainerPage::SBBrwseFilesClick);
    connect(EGetFiles, &QLineEdit::textChanged, this, &NewContainerPage::EGetFilesChange);

    SBCreate = new QPushButton(QStringLiteral("Begin"), this);
    SBCreate->setObjectName(QStringLiteral("SBCreate"));
    SBCreate->setFixedSize(kButtonWidth, kButtonHeight);
    SBCreate->setAutoDefault(false);
    SBCreate->setEnabled(false);
    connect(SBCreate, &QPushButton::clicked, this, &NewContainerPage::SBCreateClick);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(SBCreate);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(RGConCreate);
    layout->addWidget(NewNameGroup);
    layout->addWidget(GetFilesGroup);
    layout->addStretch(1);
    layout->addLayout(bottom);
}

int NewContainerPage::ItemIndex() const {
    return kindGroup_->checkedId();
}

const CreatableKind* NewContainerPage::chosenKind() const {
    const auto item = ItemIndex();
    const auto& kinds = creatableKinds();
    if (item < 0 || static_cast<std::size_t>(item) >= kinds.size()) return nullptr;
    return &kinds[static_cast<std::size_t>(item)];
}

void NewContainerPage::ResetPage() {
    sourceFiles_.clear();
    reviewFolder_.clear();
    reviewing_ = false;
    setReviewLocked(false);

    // An exclusive group keeps one item checked: let go of that rule to check none.
    kindGroup_->setExclusive(false);
    for (auto* item : kindItems_)
        item->setChecked(false);
    kindGroup_->setExclusive(true);
    EGetFiles->clear(); // and so SBCreate is disabled
    EConName->clear();
}

bool NewContainerPage::ResetForCreation() {
    const bool begun = window_.BeginCreation();
    ResetPage();
    return begun;
}

void NewContainerPage::setReviewLocked(bool locked) {
    EGetFiles->setReadOnly(locked);
    SBBrwseFiles->setEnabled(!locked);
}

// --- choosing kind, name and folder ---------------------------------------------------------------

void NewContainerPage::RGConCreateClick(int item) {
    const auto& kinds = creatableKinds();
    if (item < 0 || static_cast<std::size_t>(item) >= kinds.size()) return;
    if (!ResetForCreation()) return;
    kindGroup_->button(item)->setChecked(true); // ResetPage cleared it
    const auto& kind = kinds[static_cast<std::size_t>(item)];
    EConName->setText(qText(window_.Folders().temp / std::string(kind.defaultName)));
}

void NewContainerPage::SBBrowseNewNameClick() {
    window_.guarded([this] {
        const auto current = EConName->text();
        const auto initial = current.isEmpty() ? qText(window_.Folders().temp / "") : current;
        const auto chosen =
            window_.prompts().saveFile(QStringLiteral("New filename and path"), initial, kAllFiles);
        if (chosen) EConName->setText(*chosen);
    });
}

void NewContainerPage::SBBrwseFilesClick() {
    window_.guarded([this] {
        const auto current = EGetFiles->text();
        const auto initial = current.isEmpty() ? qText(window_.Folders().extract) : current;
        const auto chosen =
            window_.prompts().chooseFolder(QStringLiteral("Get files from directory"), initial);
        if (chosen) EGetFiles->setText(qText(fsPath(*chosen) / "")); // a folder ends in its separator
    });
}

void NewContainerPage::EGetFilesChange() {
    SBCreate->setEnabled(!EGetFiles->text().isEmpty());
}

std::optional<fs::path> NewContainerPage::newContainerPath() {
    const auto text = EConName->text();
    if (text.trimmed().isEmpty()) {
        window_.prompts().message(QStringLiteral(" No new filename and path selected"));
        return std::nullopt;
    }
    return fs::absolute(fsPath(text));
}

// --- Begin, the review, OK ------------------------------------------------------------------------

void NewContainerPage::SBCreateClick() {
    window_.guarded([this] {
        const auto* kind = chosenKind();
        const bool noFolder = EGetFiles->text().trimmed().isEmpty();
        if (!kind) window_.prompts().message(QStringLiteral(" No file type to create selected"));
        if (noFolder) window_.prompts().message(QStringLiteral(" No files directory selected"));
        if (!kind || noFolder) return;

        // A folder that is not there would gather to nothing and build an empty container.
        const auto folder = fs::absolute(fsPath(EGetFiles->text()));
        std::error_code ec;
        if (!fs::is_directory(folder, ec)) {
            window_.prompts().message(QStringLiteral("Cannot open file ") + EGetFiles->text());
            return;
        }
        if (kind->gathering == Gathering::None) {
            beginWadBatch(folder);
            return;
        }
        if (!kind->createWriter && !kind->textures) {
            window_.prompts().message(QStringLiteral("Sorry, this version of VEXA cannot build ") +
                                      qText(std::string(kind->caption)).simplified() +
                                      QStringLiteral(" files yet"));
            return;
        }
        sourceFiles_ = gatherSources(*kind, folder);
        reviewFolder_ = folder;
        showReview();
    });
}

void NewContainerPage::beginWadBatch(const fs::path& sourceFolder) {
    const auto newPath = newContainerPath();
    if (!newPath) return;
    const auto batch = writeHalfLifeWadBatch(window_.Folders(), sourceFolder, *newPath);
    openWithDesktopOrSay(window_.prompts(), qText(batch));
}

void NewContainerPage::showReview() {
    std::vector<std::string> names;
    std::vector<std::uint64_t> sizes;
    names.reserve(sourceFiles_.size());
    sizes.reserve(sourceFiles_.size());
    // A name the kind's fields would cut is marked with what it becomes: nothing is cut unseen.
    const auto* kind = chosenKind();
    const auto writer = kind && kind->createWriter ? kind->createWriter() : nullptr;
    const auto target = fsPath(EConName->text()); // for messages only
    std::size_t cut = 0;
    for (const auto& file : sourceFiles_) {
        auto shown = file.name;
        try {
            if (writer)
                if (const auto c = cutName(*writer, WriterEntry{file.name, file.size, {}}, target)) {
                    shown += std::string(kCutMark) + c->stored;
                    ++cut;
                }
        } catch (const Error&) {
            // A name the kind cannot store at all is refused by OK with the reason.
        }
        names.push_back(std::move(shown));
        sizes.push_back(file.size);
    }
    window_.ShowReview(std::move(names), std::move(sizes));
    reviewing_ = true;
    setReviewLocked(true);
    // The count of cut names first: a narrow window elides the middle of the line.
    window_.SzLabText(cut == 0 ? kReviewText
                               : QString::number(cut) +
                                     (cut == 1 ? QStringLiteral(" name is") : QStringLiteral(" names are")) +
                                     QStringLiteral(" too long for this kind and will be cut (marked ") +
                                     qView(kCutMark).trimmed() + QStringLiteral("). ") + kReviewText);
    window_.FszlabSize(SourceTotalSize(sourceFiles_));
}

void NewContainerPage::SBRemoveClick() {
    if (!reviewing_) return;
    window_.guarded([this] {
        if (const auto row = window_.ReviewRow(); row && *row < sourceFiles_.size()) {
            sourceFiles_.erase(sourceFiles_.begin() + static_cast<std::ptrdiff_t>(*row));
            showReview();
        } else {
            window_.FszlabSize(SourceTotalSize(sourceFiles_));
        }
    });
}

ImportOptions NewContainerPage::textureOptions() const {
    ImportOptions options{window_.GamePalettes(), false};
    // A WAD's textures are made by as many threads as the machine has, the job's thread writing them
    // in order: the file is the one a single thread writes.
    const auto threads = static_cast<std::size_t>(std::max(1, QThread::idealThreadCount()));
    if (threads > 1)
        options.making = [threads](const TextureWadImport& wad) {
            return orderedOnThreads<MipTextureContents>(wad.count(), threads,
                                                        [&wad](std::size_t i) { return wad.texture(i); });
        };
    return options;
}

void NewContainerPage::SBOKClick() {
    const auto* kind = chosenKind();
    if (!reviewing_ || !kind || window_.JobRunning()) return;
    window_.guarded([this, kind] {
        const auto newPath = newContainerPath();
        if (!newPath || !mayReplace(window_.prompts(), qText(*newPath))) return;
        window_.SetCurrentType(kind->code);
        // Written off the window's thread from a copy of the review, which stays meanwhile.
        auto writer = std::shared_ptr<ContainerWriter>(createKindWriter(*kind, textureOptions()));
        if (!writer) return;
        const auto path = *newPath;
        const auto folder = reviewFolder_;
        const auto files = sourceFiles_;
        window_.SzLabText(QStringLiteral("Writing ") + qText(path));
        window_.StartJob(
            [writer, path, folder, files](JobProgress& progress) {
                writer->WriteContainer(path, folder, files, &progress);
            },
            [this, path](std::exception_ptr error) {
                window_.Progress().setPosition(0);
                if (!error) {
                    window_.ResetWindow();
                    window_.SzLabText(QStringLiteral("Created File ") + qText(path));
                    return;
                }
                // The review stays, so that the user can remove a file or pick another name and try again.
                try {
                    std::rethrow_exception(error);
                } catch (const Cancelled&) {
                    window_.SzLabText(QStringLiteral("Writing cancelled: ") + qText(path) +
                                      QStringLiteral(" was not written"));
                } catch (...) {
                    window_.SzLabText(QStringLiteral("Failed to create ") + qText(path));
                    throw;
                }
            });
    });
}

} // namespace vexa::ui
