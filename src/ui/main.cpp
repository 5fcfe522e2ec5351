// The window's program entry: the application "VEXA" and its one main window.

#include "ui/Main.h"
#include "base/memory.h"
#include "ui/Prompts.h"
#include "ui/QtText.h"

#include <QApplication>

int main(int argc, char** argv) {
    vexa::prepareHeapForLargeListings();
    QApplication app(argc, argv);
    // The name only: a display name would be appended to every window's and dialog's title.
    QApplication::setApplicationName(QStringLiteral("VEXA"));

    vexa::ui::QtPrompts prompts;
    vexa::ui::TPdlg window(vexa::ui::fsPath(QCoreApplication::applicationDirPath()), prompts,
                           QCoreApplication::arguments().mid(1));
    window.show();
    return QApplication::exec();
}
