#pragma once
// The Prompts the program runs with: Qt's own dialogs.

#include "ui/Prompts.h"

namespace vexa::ui {

// The real dialogs, parented to the active window.
class QtPrompts : public Prompts {
  public:
    void message(const QString& text) override;
    bool question(const QString& text) override;
    int choose(const QString& text, const QStringList& answers) override;
    std::optional<QString> askText(const QString& title, const QString& label,
                                   const QString& initial) override;
    std::optional<QString> openFile(const QString& title, const QString& folder,
                                    const QString& filter) override;
    QStringList openFiles(const QString& title, const QString& folder, const QString& filter) override;
    std::optional<QString> saveFile(const QString& title, const QString& initialPath,
                                    const QString& filter) override;
    std::optional<SaveChoice> saveFileAs(const QString& title, const QString& initialPath,
                                         const QStringList& filters, int selected) override;
    std::optional<QString> chooseFolder(const QString& title, const QString& folder) override;
    bool openWithDesktop(const QString& path) override;
};

} // namespace vexa::ui
