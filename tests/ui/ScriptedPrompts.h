#pragma once
// Prompts for the window tests: each dialog takes the next scripted answer, and every message,
// question and dialog is recorded. A dialog nobody scripted fails the test and is cancelled.

#include "ui/Prompts.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <ostream>
#include <vector>

// gtest shows a QString as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace vexa::test {

class ScriptedPrompts : public ui::Prompts {
  public:
    struct Dialog {
        QString kind; // "open", "save" or "folder"
        QString title;
        QString folder;
        QString filter;
    };

    std::deque<std::optional<QString>> fileAnswers;   // open and save dialogs
    std::deque<std::optional<QString>> folderAnswers; // folder dialogs
    std::deque<bool> questionAnswers;
    bool desktopOpens = true;

    QStringList messages;
    QStringList questions;
    QStringList openedWithDesktop;
    std::vector<Dialog> dialogs;

    void message(const QString& text) override { messages << text; }

    bool question(const QString& text) override {
        questions << text;
        if (questionAnswers.empty()) {
            ADD_FAILURE() << "unexpected question: " << text.toStdString();
            return false;
        }
        const bool yes = questionAnswers.front();
        questionAnswers.pop_front();
        return yes;
    }

    std::optional<QString> openFile(const QString& title, const QString& folder,
                                    const QString& filter) override {
        dialogs.push_back({QStringLiteral("open"), title, folder, filter});
        return next(fileAnswers);
    }

    std::optional<QString> saveFile(const QString& title, const QString& initialPath,
                                    const QString& filter) override {
        dialogs.push_back({QStringLiteral("save"), title, initialPath, filter});
        return next(fileAnswers);
    }

    std::optional<QString> chooseFolder(const QString& title, const QString& folder) override {
        dialogs.push_back({QStringLiteral("folder"), title, folder, {}});
        return next(folderAnswers);
    }

    bool openWithDesktop(const QString& path) override {
        openedWithDesktop << path;
        return desktopOpens;
    }

  private:
    std::optional<QString> next(std::deque<std::optional<QString>>& answers) {
        if (answers.empty()) {
            ADD_FAILURE() << "unexpected " << dialogs.back().kind.toStdString() << " dialog \""
                          << dialogs.back().title.toStdString() << "\"";
            return std::nullopt;
        }
        auto answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

} // namespace vexa::test
