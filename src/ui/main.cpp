// The window's program entry: the application "VEXA" and its one main window.

#include "ui/Main.h"
#include "ui/QtPrompts.h"
#include "ui/QtText.h"

#include "base/platform.h"

#include <QApplication>
#include <QTimer>
#include <csignal>

namespace {

// Interrupt, terminate, hang-up and quit close the window as its own Exit would, asking only
// about unsaved edits (TPdlg::StopBySignal): the job in progress stops between two entries and
// nothing half-written is left. A second signal only asks again, so the clean-up is never cut short.
volatile std::sig_atomic_t stopRequested = 0;
extern "C" void onStopSignal(int) {
    stopRequested = 1;
}

} // namespace

int main(int argc, char** argv) {
    vexa::platform::onStopSignals(onStopSignal);
    QApplication app(argc, argv);
    // The name only: a display name would be appended to every window's and dialog's title.
    QApplication::setApplicationName(QStringLiteral("VEXA"));
    // Settings go to ~/.config/VEXA/VEXA.conf.
    QApplication::setOrganizationName(QStringLiteral("VEXA"));

    vexa::ui::QtPrompts prompts;
    vexa::ui::TPdlg window(vexa::ui::fsPath(QCoreApplication::applicationDirPath()), prompts,
                           QCoreApplication::arguments().mid(1));
    QTimer stopWatch;
    bool asking = false; // the question about unsaved edits is open: a signal meanwhile waits for it
    QObject::connect(&stopWatch, &QTimer::timeout, [&] {
        if (!stopRequested || asking) return;
        stopRequested = 0;
        asking = true;
        window.StopBySignal();
        asking = false;
    });
    stopWatch.start(100);
    window.show();
    return QApplication::exec();
}
