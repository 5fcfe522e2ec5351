#include "ui/QtPrompts.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace vexa::ui {

namespace {

QWidget* owner() {
    return QApplication::activeWindow();
}

QString title() {
    return QStringLiteral("VEXA");
}

// The program's messages separate their lines with a line feed followed by a carriage return, as
// on the desktop they come from. Qt breaks the line at each of the two, so the pair would show as
// an empty line: on screen it is one break.
QString shown(QString text) {
    text.replace(QLatin1String("\n\r"), QLatin1String("\n"));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

// Shows box centred on owner: left to itself, a box placed before it knows its size opens with its
// corner at the window's centre.
int execCentred(QMessageBox& box, const QWidget* owner) {
    const auto centre = [&box, owner] {
        box.move(owner->frameGeometry().center() - QPoint(box.width() / 2, box.height() / 2));
    };
    if (owner && owner->isVisible()) {
        box.adjustSize();
        centre();
        QTimer::singleShot(0, &box, centre); // again once it is shown at its final size
    }
    return box.exec();
}

} // namespace

void QtPrompts::message(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, title(), shown(text), QMessageBox::Ok, owner());
    box.setTextFormat(Qt::PlainText); // paths and entry names are never markup
    execCentred(box, owner());
}

bool QtPrompts::question(const QString& text) {
    QMessageBox box(QMessageBox::Question, title(), shown(text), QMessageBox::Yes | QMessageBox::No, owner());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    return execCentred(box, owner()) == QMessageBox::Yes;
}

int QtPrompts::choose(const QString& text, const QStringList& answers) {
    QMessageBox box(QMessageBox::Question, title(), shown(text), QMessageBox::NoButton, owner());
    box.setTextFormat(Qt::PlainText);
    QList<QAbstractButton*> buttons;
    for (int i = 0; i < answers.size(); ++i) {
        const auto role = i == 0                    ? QMessageBox::AcceptRole
                          : i + 1 == answers.size() ? QMessageBox::RejectRole
                                                    : QMessageBox::DestructiveRole;
        buttons << box.addButton(answers[i], role);
    }
    if (buttons.isEmpty()) return 0;
    box.setDefaultButton(qobject_cast<QPushButton*>(buttons.front()));
    box.setEscapeButton(buttons.back());
    execCentred(box, owner());
    const auto pressed = buttons.indexOf(box.clickedButton());
    return pressed < 0 ? static_cast<int>(buttons.size()) - 1 : static_cast<int>(pressed);
}

std::optional<QString> QtPrompts::askText(const QString& caption, const QString& label,
                                          const QString& initial) {
    bool ok = false;
    const auto text = QInputDialog::getText(owner(), caption, label, QLineEdit::Normal, initial, &ok);
    if (!ok) return std::nullopt;
    return text;
}

std::optional<QString> QtPrompts::openFile(const QString& caption, const QString& folder,
                                           const QString& filter) {
    const auto path = QFileDialog::getOpenFileName(owner(), caption, folder, filter);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

// The file dialogs do not ask before replacing: the command asks when it writes (mayReplace), also
// for a name typed rather than chosen.
std::optional<QString> QtPrompts::saveFile(const QString& caption, const QString& initialPath,
                                           const QString& filter) {
    const auto path = QFileDialog::getSaveFileName(owner(), caption, initialPath, filter, nullptr,
                                                   QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

QStringList QtPrompts::openFiles(const QString& caption, const QString& folder, const QString& filter) {
    return QFileDialog::getOpenFileNames(owner(), caption, folder, filter);
}

std::optional<Prompts::SaveChoice> QtPrompts::saveFileAs(const QString& caption, const QString& initialPath,
                                                         const QStringList& filters, int selected) {
    auto chosenFilter = filters.value(selected);
    const auto path =
        QFileDialog::getSaveFileName(owner(), caption, initialPath, filters.join(QStringLiteral(";;")),
                                     &chosenFilter, QFileDialog::DontConfirmOverwrite);
    if (path.isEmpty()) return std::nullopt;
    return SaveChoice{path, std::max(0, static_cast<int>(filters.indexOf(chosenFilter)))};
}

std::optional<QString> QtPrompts::chooseFolder(const QString& caption, const QString& folder) {
    const auto path = QFileDialog::getExistingDirectory(owner(), caption, folder);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

bool QtPrompts::openWithDesktop(const QString& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

} // namespace vexa::ui
