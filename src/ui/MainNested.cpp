// The main window's part in containers inside containers: an entry that is a container opened in place
// (Enter or a double-click on its row), the breadcrumb bar back up (a click, Alt+Up, Backspace).

#include "app/kinds.h"
#include "base/errors.h"
#include "formats/kind.h"
#include "ui/Breadcrumb.h"
#include "ui/FilesPage.h"
#include "ui/FindDialog.h"
#include "ui/Main.h"

#include <QShortcut>

#include <utility>

namespace vexa::ui {

namespace fs = std::filesystem;

namespace {

// Whether the entry's bytes are of a kind VEXA opens as a container; looked at without reading its
// directory, so a row of another content is let be without a word.
bool holdsContainer(const ContainerReader& reader, std::size_t entry) {
    try {
        const auto& name = reader.EntryName(entry);
        const auto slash = name.find_last_of("\\/");
        const auto kind = detectKind(*reader.entrySource(entry),
                                     slash == std::string::npos ? name : name.substr(slash + 1));
        return kind != ContainerType::Unknown && !isImageKind(kind);
    } catch (const Error&) {
        return false; // a damaged entry: its own row says so
    }
}

} // namespace

void TPdlg::connectNestedNavigation() {
    connect(files_, &FilesPage::rowActivated, this, &TPdlg::OpenEntry);
    connect(breadcrumb_, &Breadcrumb::levelChosen, this, [this](int depth) { OpenLevel(depth); });
    // The line edits take Backspace for themselves before a shortcut of the window sees it.
    for (const auto& key : {QKeySequence(Qt::ALT | Qt::Key_Up), QKeySequence(Qt::Key_Backspace)}) {
        auto* up = new QShortcut(key, this);
        connect(up, &QShortcut::activated, this, [this] {
            if (document_.nested()) OpenLevel(document_.levelNames().size() - 2);
        });
    }
}

void TPdlg::OpenEntry(std::size_t row) {
    if (creationMode_ || JobRunning() || !document_.reader()) return;
    const auto entry = document_.storedEntry(row);
    if (!entry || !holdsContainer(*document_.reader(), *entry)) return;
    if (!settleEdits([this, row] { OpenEntry(row); })) return;
    guarded([&] {
        document_.detectEntry(*entry); // a container that cannot be read changes nothing
        selectAfterOpen_.reset();
        ResetWindow();
        CompleteOpen();
    });
}

void TPdlg::OpenLevel(std::size_t depth) {
    if (creationMode_ || JobRunning() || !document_.nested()) return;
    guarded([&] {
        selectAfterOpen_ = document_.detectLevel(depth);
        ResetWindow();
        CompleteOpen();
    });
}

void TPdlg::FindInFolder1Click() {
    guarded([this] {
        if (!findDialog_) {
            findDialog_ = new FindDialog(prompts_, this);
            // A result opens as a path into its containers would, with its entry selected.
            connect(findDialog_, &FindDialog::openRequested, this,
                    [this](const fs::path& container, std::size_t entry) {
                        if (JobRunning() || !settleEdits({})) return;
                        guarded([&] {
                            OpenFile(container);
                            selectAfterOpen_ = entry;
                        });
                    });
        }
        findDialog_->show(); // not modal: the window shows what a double-click opens
        findDialog_->raise();
    });
}

void TPdlg::selectAfterOpen() {
    const auto entry = std::exchange(selectAfterOpen_, std::nullopt);
    if (!entry || !document_.reader() || *entry >= document_.reader()->EntryCount()) return;
    files_->selectEntries({*entry});
    LB1Click();
}

} // namespace vexa::ui
