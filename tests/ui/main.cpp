// The window tests run the real window on Qt's offscreen platform, with GoogleTest's runner.

#include <QApplication>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The offscreen platform warns about what it cannot do for a window; that is not the test's news.
QtMessageHandler previousHandler = nullptr;

void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (message.contains(QLatin1String("does not support propagateSizeHints"))) return;
    if (previousHandler) previousHandler(type, context, message);
}

// A sound server of the tests' own whose only output is a null sink, so that the preview really plays
// a sound into nothing where PulseAudio is installed (the sound test says why it skips where not).
class NullSoundServer {
  public:
    NullSoundServer() {
        const auto program = QStandardPaths::findExecutable(QStringLiteral("pulseaudio"));
        if (program.isEmpty() || !folder_.isValid()) return;
        qputenv("XDG_RUNTIME_DIR", folder_.path().toLocal8Bit());
        qunsetenv("PULSE_SERVER");
        server_.setProgram(program);
        server_.setArguments({QStringLiteral("-n"), QStringLiteral("--daemonize=no"),
                              QStringLiteral("--exit-idle-time=-1"),
                              QStringLiteral("--load=module-null-sink"),
                              QStringLiteral("--load=module-native-protocol-unix")});
        server_.setProcessChannelMode(QProcess::ForwardedOutputChannel); // its warnings are not ours
        server_.setStandardErrorFile(QProcess::nullDevice());
        server_.start();
        if (!server_.waitForStarted(5000)) return;
        const auto socket = folder_.filePath(QStringLiteral("pulse/native"));
        for (int i = 0; i < 100 && !QFileInfo::exists(socket); ++i)
            QThread::msleep(50);
    }
    ~NullSoundServer() {
        if (server_.state() == QProcess::NotRunning) return;
        server_.terminate();
        if (!server_.waitForFinished(5000)) server_.kill();
    }

  private:
    QTemporaryDir folder_;
    QProcess server_;
};

} // namespace

int main(int argc, char** argv) {
    previousHandler = qInstallMessageHandler(quietHandler);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const auto sound = std::make_unique<NullSoundServer>();
    // Settings the window keeps go to a folder of tests, not the user's.
    QStandardPaths::setTestModeEnabled(true);
    QApplication::setOrganizationName(QStringLiteral("VEXA tests"));
    QSettings().clear();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
