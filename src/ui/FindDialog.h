#pragma once
// File > Find in Folder: a folder, a pattern and a content word; the entries found stream into a list
// (container, entry, size, content) with a progress line and Cancel. The search runs on one thread the
// dialog owns, ended and joined when the search is cancelled, started again or the dialog goes; a
// double-click on a result asks the window to open its container with the entry selected.

#include "app/find.h"

#include <QDialog>
#include <QStringList>

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <thread>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace vexa::ui {

class Prompts;

class FindDialog : public QDialog {
    Q_OBJECT
  public:
    FindDialog(Prompts& prompts, QWidget* parent = nullptr);
    ~FindDialog() override;

    // Starts a search of what the fields hold; one already running is ended first.
    void startSearch();
    // Stops the search between two files; what it found stays listed.
    void cancelSearch();
    bool searching() const { return worker_.joinable() && !finished_; }

  signals:
    // The user chose a result: its container's path (a file, or a path into it) and the entry.
    void openRequested(const std::filesystem::path& container, std::size_t entry);

  private:
    // On the window's thread: the findings of the next file, and the end of the walk.
    void addFindings(const FileFindings& findings, std::size_t done, std::size_t total);
    void finish(const QString& line);
    void chooseFolder();

    Prompts& prompts_;
    QLineEdit* EFolder;
    QLineEdit* EPattern;
    QComboBox* CBContent;
    QPushButton* SBFind;
    QPushButton* SBCancelFind;
    QTreeWidget* LVResults;
    QLabel* FindProgress;
    std::size_t found_ = 0;
    std::size_t files_ = 0;
    QStringList problems_;
    bool finished_ = true;
    std::size_t search_ = 0; // which search the results coming in are of
    // Last, so it is ended before the widgets its results go to.
    std::jthread worker_;
};

} // namespace vexa::ui
