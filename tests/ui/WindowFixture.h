#pragma once
// The shared part of the window tests: a program folder with the five default palettes, the real
// window over scripted Prompts, and its controls found by their object names.

#include "ScriptedPrompts.h"
#include "images/image_builders.h"
#include "images/palette_files.h"
#include "support/test_files.h"
#include "ui/BackgroundJob.h"
#include "ui/Main.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSemaphore>
#include <QSettings>
#include <QTest>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

namespace vexa::test {

inline QString q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// Holds a job's worker at its first progress report until the test lets it go, so Cancel can be
// pressed while the job is known to be between entries.
class WorkerGate {
  public:
    explicit WorkerGate(ui::JobRunner& jobs) {
        connection_ = QObject::connect(
            &jobs.progress(), &ui::JobProgress::positionChanged, &jobs.progress(),
            [this](int) {
                if (held_.exchange(true)) return;
                reached_.release();
                go_.acquire();
            },
            Qt::DirectConnection); // runs on the worker
    }
    void waitForWorker() { ASSERT_TRUE(reached_.tryAcquire(1, 120'000)) << "the job never reported"; }
    void release() { go_.release(); }
    ~WorkerGate() { QObject::disconnect(connection_); }

  private:
    QMetaObject::Connection connection_;
    std::atomic<bool> held_{false};
    QSemaphore reached_, go_;
};

class WindowFixture : public ::testing::Test {
  protected:
    TempDir program; // the folder "beside the executable"
    TempDir work;    // containers and extraction targets
    ScriptedPrompts prompts;
    std::unique_ptr<ui::TPdlg> window;

    // The default palette the Data folder holds for game item, each one different.
    static Bytes defaultPalette(std::size_t item) {
        return knownPalette(static_cast<std::uint8_t>(20 + 40 * item));
    }
    fs::path defaultPalettePath(std::size_t item) const {
        return program / ("Data/" + std::string(gamePalettes().at(item).defaultFile));
    }
    // Writes the default palettes as the program ships them; a test may leave them out.
    bool shipDefaultPalettes = true;

    void start(const QStringList& arguments = {}) {
        if (shipDefaultPalettes)
            for (std::size_t item = 0; item < gamePalettes().size(); ++item)
                writeFile(defaultPalettePath(item), defaultPalette(item));
        QSettings().remove(QStringLiteral("window")); // every test's window starts as on a first run
        window = std::make_unique<ui::TPdlg>(program.path(), prompts, arguments);
        window->setFreeSpaceProbe([](const fs::path&) { return std::int64_t{1} << 40; });
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        waitForJob(); // a command-line open
    }

    // Jobs and previews run off the window's thread: a test waits for them to end before it
    // looks. The limit only keeps a hung job from hanging the run.
    template <class Busy> static bool waitWhile(Busy busy) {
        QElapsedTimer timer;
        timer.start();
        while (busy() && timer.elapsed() < 120'000)
            QTest::qWait(2);
        return !busy();
    }
    void waitForJob() {
        EXPECT_TRUE(waitWhile([this] { return window->JobRunning(); })) << "the job did not end";
    }
    void waitForPreview() {
        EXPECT_TRUE(waitWhile([this] { return window->PreviewBusy() || window->JobRunning(); }))
            << "the preview did not end";
    }

    template <class T> T* control(const char* name) {
        auto* found = window->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << "no control " << name;
        return found;
    }
    QString text(const char* label) { return control<QLabel>(label)->text(); }
    // A click or menu command, and the job it starts run to their end.
    void click(const char* button) {
        QTest::mouseClick(control<QPushButton>(button), Qt::LeftButton);
        waitForJob();
    }
    void trigger(const char* action) {
        control<QAction>(action)->trigger();
        waitForJob();
    }

    void open(const fs::path& path) {
        prompts.fileAnswers.push_back(q(path));
        trigger("Open1");
    }
};

} // namespace vexa::test
