#pragma once
// Every modal question, message and file dialog of the window, and "open with the desktop", go
// through this seam: the window uses the real dialogs, the tests a scripted implementation.

#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <optional>

namespace vexa::ui {

class Prompts {
  public:
    virtual ~Prompts() = default;

    // A plain message box titled "VEXA".
    virtual void message(const QString& text) = 0;
    // A question with Yes and No; only Yes counts as consent.
    virtual bool question(const QString& text) = 0;
    // A question with the given answers: the index of the one pressed. The last one is what Escape
    // or closing the box answers.
    virtual int choose(const QString& text, const QStringList& answers) = 0;
    // A line of text, starting as initial; nullopt when the user cancels.
    virtual std::optional<QString> askText(const QString& title, const QString& label,
                                           const QString& initial) = 0;

    // An existing file to open; nullopt when the user cancels. filter is in Qt form ("All Files (*)").
    virtual std::optional<QString> openFile(const QString& title, const QString& folder,
                                            const QString& filter) = 0;
    // Existing files to open, several at once; empty when the user cancels.
    virtual QStringList openFiles(const QString& title, const QString& folder, const QString& filter) = 0;
    // A file name to write (it need not exist yet); nullopt when the user cancels.
    virtual std::optional<QString> saveFile(const QString& title, const QString& initialPath,
                                            const QString& filter) = 0;
    // A file name to write and which of filters (one kind of file each) the user chose with it.
    struct SaveChoice {
        QString path;
        int filter = 0;
    };
    virtual std::optional<SaveChoice> saveFileAs(const QString& title, const QString& initialPath,
                                                 const QStringList& filters, int selected) = 0;
    // An existing folder; nullopt when the user cancels.
    virtual std::optional<QString> chooseFolder(const QString& title, const QString& folder) = 0;

    // Asks the desktop to open path with the program it uses for that type; false when it could not.
    virtual bool openWithDesktop(const QString& path) = 0;
};

// Opens a file that is there with the desktop, and says so when no program takes it.
inline void openWithDesktopOrSay(Prompts& prompts, const QString& path) {
    if (!prompts.openWithDesktop(path)) prompts.message(QStringLiteral("No program is set to open ") + path);
}

// Asks before a file that is there is written over: true when nothing is there or the user chose
// Replace. Save As, New_C and Import picture ask it the same way.
inline bool mayReplace(Prompts& prompts, const QString& path) {
    if (!QFileInfo::exists(path)) return true;
    return prompts.choose(path + QStringLiteral(" already exists. Replace it?"),
                          {QStringLiteral("Replace"), QStringLiteral("Cancel")}) == 0;
}

} // namespace vexa::ui
