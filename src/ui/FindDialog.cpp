#include "ui/FindDialog.h"

#include "base/errors.h"
#include "base/text.h"
#include "ui/BrowseButton.h"
#include "ui/Prompts.h"
#include "ui/QtText.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <utility>

namespace vexa::ui {

namespace {

constexpr int kEntryRole = Qt::UserRole;
constexpr int kContainerRole = Qt::UserRole + 1;

const char* const kContentWords[] = {"picture", "palette", "sound", "music", "text", "container", "data"};

} // namespace

FindDialog::FindDialog(Prompts& prompts, QWidget* parent) : QDialog(parent), prompts_(prompts) {
    setObjectName(QStringLiteral("FindDialog"));
    setWindowTitle(QStringLiteral("Find in Folder"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    auto* folderRow = new QHBoxLayout;
    EFolder = new QLineEdit(this);
    EFolder->setObjectName(QStringLiteral("EFolder"));
    folderRow->addWidget(EFolder, 1);
    auto* browse = browseButton(this, "SBFindFolder");
    folderRow->addWidget(browse);
    form->addRow(QStringLiteral("Folder:"), folderRow);
    EPattern = new QLineEdit(this);
    EPattern->setObjectName(QStringLiteral("EPattern"));
    EPattern->setToolTip(
        QStringLiteral("Entry names holding this, without regard to letter case ('*', '?')"));
    form->addRow(QStringLiteral("Name:"), EPattern);
    CBContent = new QComboBox(this);
    CBContent->setObjectName(QStringLiteral("CBContent"));
    CBContent->addItem(QStringLiteral("any"));
    for (const auto* word : kContentWords)
        CBContent->addItem(QString::fromLatin1(word));
    form->addRow(QStringLiteral("Content:"), CBContent);
    layout->addLayout(form);

    LVResults = new QTreeWidget(this);
    LVResults->setObjectName(QStringLiteral("LVResults"));
    LVResults->setHeaderLabels({QStringLiteral("Container"), QStringLiteral("Entry"), QStringLiteral("Size"),
                                QStringLiteral("Content")});
    LVResults->setRootIsDecorated(false);
    // Paths differ at their end: a long one keeps its last levels in view.
    LVResults->setTextElideMode(Qt::ElideLeft);
    LVResults->setUniformRowHeights(true); // thousands of results stay quick to show
    LVResults->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    layout->addWidget(LVResults, 1);
    FindProgress = new QLabel(this);
    FindProgress->setObjectName(QStringLiteral("FindProgress"));
    layout->addWidget(FindProgress);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    SBFind = new QPushButton(QStringLiteral("Find"), this);
    SBFind->setObjectName(QStringLiteral("SBFind"));
    SBFind->setDefault(true);
    SBCancelFind = new QPushButton(QStringLiteral("Cancel"), this);
    SBCancelFind->setObjectName(QStringLiteral("SBCancelFind"));
    SBCancelFind->setEnabled(false);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setAutoDefault(false);
    buttons->addWidget(SBFind);
    buttons->addWidget(SBCancelFind);
    buttons->addWidget(close);
    layout->addLayout(buttons);

    connect(browse, &QPushButton::clicked, this, &FindDialog::chooseFolder);
    connect(SBFind, &QPushButton::clicked, this, &FindDialog::startSearch);
    connect(SBCancelFind, &QPushButton::clicked, this, &FindDialog::cancelSearch);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(LVResults, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
        emit openRequested(fsPath(item->data(0, kContainerRole).toString()),
                           static_cast<std::size_t>(item->data(0, kEntryRole).toULongLong()));
    });
    resize(640, 420);
}

FindDialog::~FindDialog() {
    cancelSearch();
}

void FindDialog::chooseFolder() {
    if (const auto folder = prompts_.chooseFolder(QStringLiteral("Find in Folder"), EFolder->text()))
        EFolder->setText(*folder);
}

void FindDialog::cancelSearch() {
    if (!worker_.joinable()) return;
    worker_.request_stop();
    worker_.join();
    if (!finished_) finish(FindProgress->text() + QStringLiteral(" \u2014 cancelled"));
}

void FindDialog::startSearch() {
    cancelSearch();
    const auto folder = fsPath(EFolder->text());
    FindQuery query;
    try {
        const auto content = CBContent->currentIndex() > 0
                                 ? std::optional<std::string>(CBContent->currentText().toStdString())
                                 : std::nullopt;
        query = makeFindQuery(EPattern->text().toStdString(), content);
    } catch (const Error& e) {
        prompts_.message(qText(printableText(e.what())));
        return;
    }
    LVResults->clear();
    found_ = files_ = 0;
    problems_.clear();
    FindProgress->setToolTip({});
    finished_ = false;
    // What a search hands over after it was cancelled or replaced is dropped: each call says whose it is.
    const auto search = ++search_;
    const auto current = [this, search] { return search == search_ && !finished_; };
    SBFind->setEnabled(false);
    SBCancelFind->setEnabled(true);
    FindProgress->setText(QStringLiteral("Looking through ") + qText(folder));
    // The results are handed to the window's thread as queued calls on this dialog: Qt drops those
    // still waiting when the dialog goes, and the thread is joined before that.
    worker_ = std::jthread([this, current, folder, query = std::move(query)](std::stop_token stop) {
        std::vector<WalkItem> items;
        try {
            items = walkFolder(folder);
        } catch (const Error& e) {
            QMetaObject::invokeMethod(
                this,
                [this, current, line = qText(printableText(e.what()))] {
                    if (current()) finish(line);
                },
                Qt::QueuedConnection);
            return;
        }
        std::size_t done = 0;
        for (const auto& item : items) {
            if (stop.stop_requested()) return;
            FileFindings findings;
            if (item.problem.empty())
                findings = searchFile(item.path, query);
            else
                findings.problems.push_back(displayPath(item.path) + ": " + item.problem);
            ++done;
            QMetaObject::invokeMethod(
                this,
                [this, current, findings = std::move(findings), done, total = items.size()] {
                    if (current()) addFindings(findings, done, total);
                },
                Qt::QueuedConnection);
        }
        QMetaObject::invokeMethod(
            this,
            [this, current] {
                if (!current()) return;
                auto line = QStringLiteral("%1 found in %2 files").arg(found_).arg(files_);
                if (!problems_.isEmpty())
                    line += QStringLiteral("; %1 not read (hover for which)").arg(problems_.size());
                finish(line);
            },
            Qt::QueuedConnection);
    });
}

void FindDialog::addFindings(const FileFindings& findings, std::size_t done, std::size_t total) {
    for (const auto& hit : findings.found) {
        auto* item = new QTreeWidgetItem(LVResults);
        item->setText(0, qText(printableText(hit.container)));
        item->setText(1, qText(printableText(hit.entry)));
        item->setText(2, hit.size ? QString::number(*hit.size) : QString());
        const auto word = contentWord(hit.content);
        item->setText(3, QString::fromLatin1(word.data(), static_cast<qsizetype>(word.size())));
        item->setData(0, kContainerRole, qText(hit.container));
        item->setData(0, kEntryRole, QVariant::fromValue<qulonglong>(hit.index));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    }
    found_ += findings.found.size();
    for (const auto& line : findings.problems)
        problems_ << qText(printableText(line));
    // What could not be read is named where the user can read it all, without a box per file.
    FindProgress->setToolTip(problems_.join(QLatin1Char('\n')));
    files_ = total;
    FindProgress->setText(QStringLiteral("%1 of %2 files, %3 found").arg(done).arg(total).arg(found_));
}

void FindDialog::finish(const QString& line) {
    finished_ = true;
    FindProgress->setText(line);
    SBFind->setEnabled(true);
    SBCancelFind->setEnabled(false);
}

} // namespace vexa::ui
