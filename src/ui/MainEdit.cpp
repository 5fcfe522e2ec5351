// TPdlg's editing of an open container of a writable kind: Add, Replace, Rename, Remove, Undo and
// Redo over an EditHistory, Save and Save As off the window's thread, and the question to save
// before the file goes.

#include "app/extract.h"
#include "app/kinds.h"
#include "base/errors.h"
#include "base/text.h"
#include "ui/FilesPage.h"
#include "ui/Main.h"

#include "ui/Breadcrumb.h"
#include "ui/PreviewPane.h"
#include "ui/Prompts.h"
#include "ui/QtText.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSettings>

#include <algorithm>

namespace vexa::ui {

namespace fs = std::filesystem;

namespace {

const QString kProgramTitle = QStringLiteral("VEXA ver 0.3");

// The kinds Save As writes, one file dialog filter each ("PAK (*.pak)"), in the New_C page's order.
struct SaveKind {
    ContainerType code;
    QString filter;
};
std::vector<SaveKind> saveKinds() {
    std::vector<SaveKind> kinds;
    for (const auto& kind : creatableKinds()) {
        if (!ContainerEdit::Editable(kind.code)) continue;
        // A kind of two New_C items (Half-Life's WAD3) is one file type.
        if (std::any_of(kinds.begin(), kinds.end(), [&](const SaveKind& k) { return k.code == kind.code; }))
            continue;
        const auto extension = fs::path(std::string(kind.defaultName)).extension().string();
        // A kind's second item (Mots' GOO beside Jedi Knight's GOB) is named as its New_C caption
        // names it: the game, then the kind.
        const bool second = std::any_of(kinds.begin(), kinds.end(),
                                        [&](const SaveKind& other) { return other.code == kind.code; });
        const auto words = qView(kind.caption).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const auto name = second && words.size() >= 2 ? words[1] + QLatin1Char(' ') + words[0]
                                                      : qText(std::string(kindName(kind.code)));
        kinds.push_back(
            {kind.code, name + QStringLiteral(" (*") + qText(toLowerAscii(extension)) + QStringLiteral(")")});
    }
    return kinds;
}

QString files(std::size_t count) {
    return QString::number(count) + (count == 1 ? QStringLiteral(" file") : QStringLiteral(" files"));
}

} // namespace

void TPdlg::buildEditMenu() {
    Edit1 = menuBar()->addMenu(QStringLiteral("&Edit"));
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Undo1 = document_.edits().steps().createUndoAction(this, QStringLiteral("&Undo"));
    Undo1->setObjectName(QStringLiteral("Undo1"));
    Undo1->setShortcut(QKeySequence::Undo);
    Redo1 = document_.edits().steps().createRedoAction(this, QStringLiteral("&Redo"));
    Redo1->setObjectName(QStringLiteral("Redo1"));
    Redo1->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    Edit1->addAction(Undo1);
    Edit1->addAction(Redo1);
    // The status line says what the step did, not what the last edit before it did.
    auto& steps = document_.edits().steps();
    const auto sayStep = [this, &steps](const QString& done, int step) {
        SzLabText(done + steps.text(step) +
                  (steps.isClean() ? QStringLiteral(": as saved") : QStringLiteral(", not saved yet")));
    };
    connect(Undo1, &QAction::triggered, this,
            [sayStep, &steps] { sayStep(QStringLiteral("Undid "), steps.index()); });
    connect(Redo1, &QAction::triggered, this,
            [sayStep, &steps] { sayStep(QStringLiteral("Redid "), steps.index() - 1); });
    Edit1->addSeparator();

    auto item = [this](const char* name, const QString& caption, void (TPdlg::*handler)(),
                       const QString& hint) {
        auto* action = Edit1->addAction(caption);
        action->setObjectName(QString::fromLatin1(name));
        action->setToolTip(hint);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    AddFiles1 =
        item("AddFiles1", QStringLiteral("&Add Files..."), &TPdlg::AddFilesClick,
             QStringLiteral("Adds files at the end; an entry of the same name takes the file's bytes"));
    AddFolder1 = item("AddFolder1", QStringLiteral("Add &Folder..."), &TPdlg::AddFolderClick,
                      QStringLiteral("Adds every file below a folder, under the folder's name"));
    Replace1 = item("Replace1", QStringLiteral("Re&place..."), &TPdlg::ReplaceClick,
                    QStringLiteral("The selected entry takes its bytes from a file"));
    Rename1 = item("Rename1", QStringLiteral("Re&name"), &TPdlg::RenameClick, {});
    Rename1->setShortcut(Qt::Key_F2);
    Remove1 = item("Remove1", QStringLiteral("Re&move"), &TPdlg::RemoveClick, {});
    Remove1->setShortcut(QKeySequence::Delete);
    Edit1->addSeparator();
    SaveInPlace1 = Edit1->addAction(QStringLiteral("Save &In Place Where Possible"));
    SaveInPlace1->setObjectName(QStringLiteral("SaveInPlace1"));
    SaveInPlace1->setCheckable(true);
    SaveInPlace1->setToolTip(QStringLiteral(
        "Files added at the end of a PAK or Dark Forces GOB, and renames, rewrite only its end. "
        "Clear it while a game or another program that reads the file has it open: Save then "
        "always writes the file anew, and such a program goes on reading the old one"));
    SaveInPlace1->setChecked(QSettings().value(QStringLiteral("save/inPlace"), true).toBool());
    connect(SaveInPlace1, &QAction::toggled, this,
            [](bool checked) { QSettings().setValue(QStringLiteral("save/inPlace"), checked); });
    files_->addRowActions({AddFiles1, Replace1, Rename1, Remove1, Undo1, Redo1});
    enableEditCommands();
}

void TPdlg::showEdits() {
    FszlabClear();
    if (document_.edits().modified())
        files_->showEditRows(&document_.editRows(), document_.reader().get(), &document_.contents());
    else
        files_->showEntries(document_.reader().get(), &document_.contents());
    setTitle();
    DisableCommands(); // until a row is clicked, as after an open
    enableEditCommands();
}

void TPdlg::setTitle() {
    // "*": edits not saved yet.
    breadcrumb_->setLevels(document_.reader() && !creationMode_ ? document_.levelNames()
                                                                : std::vector<std::string>{});
    if (!document_.reader() || creationMode_) return setWindowTitle(kProgramTitle);
    // An entry of a container is named by its whole path, from the file on.
    auto names = document_.levelNames();
    std::string shown;
    for (const auto& name : names)
        shown += (shown.empty() ? "" : "/") + printableText(name);
    setWindowTitle(kProgramTitle + QStringLiteral(" - ") + qText(shown) +
                   (document_.edits().modified() ? QStringLiteral("*") : QString()));
}

void TPdlg::enableEditCommands() {
    const auto* edit = creationMode_ ? nullptr : document_.edits().edit();
    // A kind that cannot be edited shows no edit commands at all.
    Edit1->menuAction()->setVisible(edit != nullptr);
    for (auto* action : {Save1, SaveAs1, AddFiles1, Replace1, Rename1, Remove1})
        action->setVisible(edit != nullptr);
    AddFolder1->setVisible(edit && ContainerEdit::HasFolders(edit->kind()));
    if (JobRunning()) return; // the job's end gives them back
    const auto selected = edit ? files_->selectedEntries().size() : 0;
    for (auto* action : {SaveAs1, AddFiles1, AddFolder1})
        action->setEnabled(edit != nullptr);
    Save1->setEnabled(edit && edit->modified());
    Replace1->setEnabled(selected == 1);
    Rename1->setEnabled(selected == 1);
    Remove1->setEnabled(selected > 0);
}

// --- the edits ----------------------------------------------------------------------------------

void TPdlg::applyEdit(const QString& step,
                      const std::function<std::vector<std::size_t>(ContainerEdit&)>& change,
                      const std::function<QString()>& done) {
    if (JobRunning() || !document_.edits().edit()) return;
    std::vector<std::size_t> rows;
    document_.edits().apply(step, [&](ContainerEdit& edit) { rows = change(edit); });
    files_->selectEntries(rows);
    LB1Click(); // the size, the commands and the preview of the rows now selected
    SzLabText(done() + QStringLiteral(", not saved yet"));
}

void TPdlg::addPaths(const std::vector<fs::path>& paths, std::optional<std::size_t> position) {
    if (paths.empty() || !document_.edits().edit()) return;
    const bool folders = ContainerEdit::HasFolders(document_.edits().edit()->kind());
    std::size_t count = 0;
    applyEdit(
        QStringLiteral("Add"),
        [&](ContainerEdit& edit) {
            std::vector<std::size_t> rows;
            for (const auto& path : paths) {
                std::error_code ec;
                if (fs::is_directory(path, ec)) {
                    if (!folders)
                        throw Error(pathText(path) + ": " + std::string(kindName(edit.kind())) +
                                    " entries have no folders; add the files in it instead");
                    count += edit.addTree(path, pathText(path.filename()));
                    continue;
                }
                const auto row = edit.add(path, {}, position);
                rows.push_back(row);
                ++count;
                if (position) position = row + 1; // the next one after it
            }
            return rows;
        },
        [&] { return QStringLiteral("Added ") + files(count); });
    addFolder_ = paths.front().parent_path();
}

void TPdlg::AddFilesClick() {
    if (JobRunning() || !document_.edits().edit()) return;
    guarded([this] {
        const auto chosen = prompts_.openFiles(QStringLiteral("Add Files"), qText(addFolder_), kAllFiles);
        std::vector<fs::path> paths;
        for (const auto& path : chosen)
            paths.push_back(fsPath(path));
        addPaths(paths, std::nullopt);
    });
}

void TPdlg::AddFolderClick() {
    if (JobRunning() || !document_.edits().edit()) return;
    guarded([this] {
        const auto chosen = prompts_.chooseFolder(QStringLiteral("Add Folder"), qText(addFolder_));
        if (chosen) addPaths({fsPath(*chosen)}, std::nullopt);
    });
}

void TPdlg::editSelectedRow(const std::function<void(std::size_t row, const QString& name)>& command) {
    const auto selected = files_->selectedEntries();
    if (JobRunning() || !document_.edits().edit() || selected.size() != 1) return;
    guarded([&] { command(selected.front(), qText(document_.edits().edit()->row(selected.front()).name)); });
}

void TPdlg::ReplaceClick() {
    editSelectedRow([this](std::size_t row, const QString& name) {
        const auto chosen =
            prompts_.openFile(QStringLiteral("Replace ") + name, qText(addFolder_), kAllFiles);
        if (!chosen) return;
        const auto path = fsPath(*chosen);
        applyEdit(
            QStringLiteral("Replace"),
            [&](ContainerEdit& edit) {
                edit.replace(row, path);
                return std::vector<std::size_t>{row};
            },
            [&] { return QStringLiteral("Replaced ") + name; });
        addFolder_ = path.parent_path();
    });
}

void TPdlg::RenameClick() {
    editSelectedRow([this](std::size_t row, const QString& name) {
        const auto chosen =
            prompts_.askText(QStringLiteral("Rename"), QStringLiteral("New name of ") + name, name);
        if (!chosen || *chosen == name) return;
        applyEdit(
            QStringLiteral("Rename"),
            [&](ContainerEdit& edit) {
                edit.rename(row, chosen->toStdString());
                return std::vector<std::size_t>{row};
            },
            [&] { return QStringLiteral("Renamed ") + name + QStringLiteral(" to ") + *chosen; });
    });
}

void TPdlg::RemoveClick() {
    const auto selected = files_->selectedEntries();
    if (JobRunning() || !document_.edits().edit() || selected.empty()) return;
    guarded([&] {
        applyEdit(
            QStringLiteral("Remove"),
            [&](ContainerEdit& edit) {
                edit.remove(selected);
                // The row that took the first one's place, so that Delete can go on down the list.
                if (edit.rowCount() == 0) return std::vector<std::size_t>{};
                return std::vector<std::size_t>{std::min(selected.front(), edit.rowCount() - 1)};
            },
            [&] { return QStringLiteral("Removed ") + files(selected.size()); });
    });
}

// --- saving -------------------------------------------------------------------------------------

bool TPdlg::settleEdits(std::function<void()> afterSave) {
    if (!document_.edits().modified() || JobRunning()) return !document_.edits().modified();
    const auto answer =
        prompts_.choose(QStringLiteral("Save the changes to ") +
                            qText(document_.edits().edit()->path().filename()) + QStringLiteral("?"),
                        {QStringLiteral("Save"), QStringLiteral("Discard"), QStringLiteral("Cancel")});
    if (answer == 1) {
        document_.edits().reset(std::nullopt);
        return true;
    }
    if (answer == 0) guarded([&] { saveEdits(std::nullopt, std::move(afterSave)); });
    return false;
}

void TPdlg::SaveClick() {
    if (document_.edits().modified()) guarded([this] { saveEdits(std::nullopt, {}); });
}

void TPdlg::SaveAsClick() {
    if (JobRunning() || !document_.edits().edit()) return;
    guarded([this] {
        const auto kinds = saveKinds();
        QStringList filters;
        int current = 0;
        for (const auto& kind : kinds) {
            if (kind.code == document_.edits().edit()->kind() && current == 0)
                current = static_cast<int>(filters.size());
            filters << kind.filter;
        }
        const auto chosen = prompts_.saveFileAs(QStringLiteral("Save As"),
                                                qText(document_.edits().edit()->path()), filters, current);
        if (!chosen || chosen->filter < 0 || static_cast<std::size_t>(chosen->filter) >= kinds.size()) return;
        if (!mayReplace(prompts_, chosen->path)) return;
        const auto kind = kinds[static_cast<std::size_t>(chosen->filter)].code;
        // Names too long for the other kind are cut as New_C cuts them, but not unseen.
        if (const auto cut = document_.edits().edit()->cutNames(kind); !cut.empty()) {
            auto text = QString::number(cut.size()) +
                        (cut.size() == 1 ? QStringLiteral(" name is") : QStringLiteral(" names are")) +
                        QStringLiteral(" too long for ") + qView(kindName(kind)) +
                        QStringLiteral(" and will be cut:");
            constexpr std::size_t kNamesShown = 10;
            for (std::size_t i = 0; i < cut.size() && i < kNamesShown; ++i)
                text += QStringLiteral("\n") + qText(cut[i].given) + QStringLiteral(" \u2192 ") +
                        qText(cut[i].stored);
            if (cut.size() > kNamesShown) text += QStringLiteral("\n\u2026");
            if (prompts_.choose(text, {QStringLiteral("Save"), QStringLiteral("Cancel")}) != 0) return;
        }
        saveEdits(Document::SaveTarget{fsPath(chosen->path), kind}, {});
    });
}

void TPdlg::saveEdits(std::optional<Document::SaveTarget> target, std::function<void()> afterSave) {
    const auto* edit = document_.edits().edit();
    if (JobRunning() || !edit) return;
    const auto path = target ? target->path : edit->path();
    const auto writing = SaveInPlace1->isChecked() ? ContainerEdit::Writing::InPlaceWherePossible
                                                   : ContainerEdit::Writing::WholeFile;
    SzLabText(QStringLiteral("Saving ") + qText(path));
    progress_->setPosition(0);
    document_.save(
        std::move(target), writing, [this, path, afterSave = std::move(afterSave)](std::exception_ptr error) {
            guarded([&] {
                progress_->setPosition(0);
                if (!error) {
                    auto said = QStringLiteral("Saved ") + qText(path);
                    for (const auto& note : document_.jobs().progress().notes())
                        said += QStringLiteral("; ") + qText(printableText(note));
                    SzLabText(said);
                    if (afterSave) afterSave();
                    return;
                }
                // Nothing was written over the file: the edits stay, to save again or elsewhere.
                try {
                    std::rethrow_exception(error);
                } catch (const Cancelled&) {
                    SzLabText(QStringLiteral("Saving cancelled: ") + qText(path) +
                              QStringLiteral(" was not changed"));
                } catch (const ContainerChangedOnDisk& changed) {
                    SzLabText(QStringLiteral("Not saved: ") + qText(path) +
                              QStringLiteral(" changed on disk"));
                    if (prompts_.question(qText(printableText(changed.what())) +
                                          QStringLiteral("\n\rSave the changes as another file instead?")))
                        SaveAsClick();
                } catch (...) {
                    SzLabText(QStringLiteral("Not saved: ") + qText(path));
                    throw;
                }
            });
        });
}

} // namespace vexa::ui
