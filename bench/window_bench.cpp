// bench-window: the window on Qt's offscreen platform, timed from File > Open to the first paint
// of the list that shows the rows, then scrolled through with the event loop running.
//
//   bench-window PROGRAM_DIR ARCHIVE
//
// Prints "open SECONDS rows N" and "scroll STEPS max SECONDS total SECONDS" on stdout.

#include "ui/FilesPage.h"
#include "ui/Main.h"
#include "ui/Prompts.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QScrollBar>

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace {

// Answers the Open dialog with the archive; anything else asked is a failure of the run.
class BenchPrompts : public vexa::ui::Prompts {
  public:
    explicit BenchPrompts(QString archive) : archive_(std::move(archive)) {}
    void message(const QString& text) override {
        std::fprintf(stderr, "bench-window: message: %s\n", text.toUtf8().constData());
        failed = true;
    }
    bool question(const QString&) override { return false; }
    std::optional<QString> openFile(const QString&, const QString&, const QString&) override {
        return archive_;
    }
    std::optional<QString> saveFile(const QString&, const QString&, const QString&) override { return {}; }
    int choose(const QString&, const QStringList& answers) override {
        return static_cast<int>(answers.size()) - 1;
    }
    std::optional<QString> askText(const QString&, const QString&, const QString&) override { return {}; }
    QStringList openFiles(const QString&, const QString&, const QString&) override { return {}; }
    std::optional<SaveChoice> saveFileAs(const QString&, const QString&, const QStringList&, int) override {
        return {};
    }
    std::optional<QString> chooseFolder(const QString&, const QString&) override { return {}; }
    bool openWithDesktop(const QString&) override { return false; }
    bool failed = false;

  private:
    QString archive_;
};

// Counts the paints of the list's viewport.
class PaintCounter : public QObject {
  public:
    int paints = 0;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return QObject::eventFilter(watched, event);
    }
};

// Runs the event loop until the viewport has painted once more.
void untilPainted(PaintCounter& counter) {
    const int before = counter.paints;
    while (counter.paints == before)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// The offscreen platform's notes on what it cannot do for a window are not the benchmark's news.
void quiet(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtDebugMsg && type != QtInfoMsg && !message.contains(QLatin1String("propagateSizeHints")) &&
        !message.contains(QLatin1String("XDG_RUNTIME_DIR")))
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

} // namespace

int main(int argc, char** argv) {
    qInstallMessageHandler(quiet);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fputs("usage: bench-window PROGRAM_DIR ARCHIVE\n", stderr);
        return 2;
    }
    BenchPrompts prompts(QString::fromLocal8Bit(argv[2]));
    vexa::ui::TPdlg window(std::filesystem::path(argv[1]), prompts, {});
    window.show();
    auto* list = window.findChild<vexa::ui::FileListView*>(QStringLiteral("LB1"));
    auto* open = window.findChild<QAction*>(QStringLiteral("Open1"));
    if (!list || !open) return 1;
    PaintCounter counter;
    list->viewport()->installEventFilter(&counter);
    while (!window.isVisible() || counter.paints == 0)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);

    QElapsedTimer timer;
    timer.start();
    open->trigger();
    // The archive is read on a worker: the time runs until the list has its rows and has painted them.
    while (list->model()->rowCount() == 0 && !prompts.failed && timer.elapsed() < 60'000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    untilPainted(counter);
    const double openSeconds = timer.nsecsElapsed() / 1e9;
    const int rows = list->model()->rowCount();
    if (prompts.failed || rows == 0) {
        std::fputs("bench-window: the archive showed no rows\n", stderr);
        return 1;
    }
    std::printf("open %.6f rows %d\n", openSeconds, rows);

    // Through the whole list in even steps, each step painted before the next.
    constexpr int kSteps = 400;
    auto* bar = list->verticalScrollBar();
    double longest = 0;
    QElapsedTimer total;
    total.start();
    for (int step = 1; step <= kSteps; ++step) {
        timer.restart();
        bar->setValue(static_cast<int>(static_cast<long long>(bar->maximum()) * step / kSteps));
        untilPainted(counter);
        longest = std::max(longest, timer.nsecsElapsed() / 1e9);
    }
    std::printf("scroll %d max %.6f total %.6f\n", kSteps, longest, total.nsecsElapsed() / 1e9);
    std::fflush(stdout);
    return 0;
}
