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
        QString kind; // "open", "open files", "save", "save as", "folder" or "text"
        QString title;
        QString folder;
        QString filter;
    };

    std::deque<std::optional<QString>> fileAnswers;   // open and save dialogs
    std::deque<std::optional<QString>> folderAnswers; // folder dialogs
    std::deque<bool> questionAnswers;
    std::deque<QString> choiceAnswers;              // the caption of the answer pressed
    std::deque<std::optional<QString>> textAnswers; // askText
    std::deque<QStringList> filesAnswers;           // openFiles; empty is a cancel
    struct SaveAs {
        QString path;
        QString filter; // the filter whose text starts with this
    };
    std::deque<std::optional<SaveAs>> saveAsAnswers;
    bool desktopOpens = true;

    QStringList messages;
    QStringList questions; // questions and choices
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

    int choose(const QString& text, const QStringList& answers) override {
        questions << text;
        if (choiceAnswers.empty()) {
            ADD_FAILURE() << "unexpected choice: " << text.toStdString();
            return static_cast<int>(answers.size()) - 1;
        }
        const auto answer = choiceAnswers.front();
        choiceAnswers.pop_front();
        const auto index = answers.indexOf(answer);
        EXPECT_GE(index, 0) << "no answer " << answer.toStdString() << " to: " << text.toStdString();
        return index < 0 ? static_cast<int>(answers.size()) - 1 : static_cast<int>(index);
    }

    std::optional<QString> askText(const QString& title, const QString& label,
                                   const QString& initial) override {
        dialogs.push_back({QStringLiteral("text"), title, initial, label});
        return next(textAnswers);
    }

    QStringList openFiles(const QString& title, const QString& folder, const QString& filter) override {
        dialogs.push_back({QStringLiteral("open files"), title, folder, filter});
        if (filesAnswers.empty()) {
            ADD_FAILURE() << "unexpected open files dialog \"" << title.toStdString() << "\"";
            return {};
        }
        auto answer = filesAnswers.front();
        filesAnswers.pop_front();
        return answer;
    }

    std::optional<SaveChoice> saveFileAs(const QString& title, const QString& initialPath,
                                         const QStringList& filters, int selected) override {
        dialogs.push_back({QStringLiteral("save as"), title, initialPath, filters.value(selected)});
        const auto answer = next(saveAsAnswers);
        if (!answer) return std::nullopt;
        for (int i = 0; i < filters.size(); ++i)
            if (filters[i].startsWith(answer->filter)) return SaveChoice{answer->path, i};
        ADD_FAILURE() << "no filter " << answer->filter.toStdString();
        return std::nullopt;
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
    template <class T> std::optional<T> next(std::deque<std::optional<T>>& answers) {
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
