#include "ui/Prompts.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

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

} // namespace

void QtPrompts::message(const QString& text) {
    QMessageBox box(QMessageBox::NoIcon, title(), shown(text), QMessageBox::Ok, owner());
    box.setTextFormat(Qt::PlainText); // paths and entry names are never markup
    box.exec();
}

bool QtPrompts::question(const QString& text) {
    QMessageBox box(QMessageBox::Question, title(), shown(text), QMessageBox::Yes | QMessageBox::No, owner());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

std::optional<QString> QtPrompts::openFile(const QString& caption, const QString& folder,
                                           const QString& filter) {
    const auto path = QFileDialog::getOpenFileName(owner(), caption, folder, filter);
    if (path.isEmpty()) return std::nullopt;
    return path;
}

std::optional<QString> QtPrompts::saveFile(const QString& caption, const QString& initialPath,
                                           const QString& filter) {
    const auto path = QFileDialog::getSaveFileName(owner(), caption, initialPath, filter);
    if (path.isEmpty()) return std::nullopt;
    return path;
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
