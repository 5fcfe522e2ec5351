#include "ui/SoundPlayer.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QKeyEvent>
#include <QLabel>
#include <QMediaDevices>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace vexa::ui {

namespace {

// How far a sound has played, of its length: seconds as the caption gives them for a short one,
// minutes otherwise.
QString progressText(double done, double length) {
    if (length < 60) return QStringLiteral("%1 s of %2 s").arg(done, 0, 'f', 2).arg(length, 0, 'f', 2);
    const auto clock = [](double seconds) {
        const auto whole = static_cast<long long>(seconds);
        return QStringLiteral("%1:%2").arg(whole / 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
    };
    return clock(done) + QStringLiteral(" of ") + clock(length);
}

} // namespace

SoundPlayer::SoundPlayer(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PreviewSound"));
    setFocusPolicy(Qt::StrongFocus); // Space toggles while the pane has the focus
    play_ = new QPushButton(QStringLiteral("Play"), this);
    play_->setObjectName(QStringLiteral("SoundPlay"));
    play_->setToolTip(QStringLiteral("Plays or stops the sound (Space)"));
    play_->setFocusPolicy(Qt::NoFocus); // Space stays this widget's
    connect(play_, &QPushButton::clicked, this, &SoundPlayer::toggle);
    about_ = new QLabel(this);
    about_->setObjectName(QStringLiteral("SoundAbout"));
    about_->setWordWrap(true);
    state_ = new QLabel(this);
    state_->setObjectName(QStringLiteral("SoundState"));
    state_->setWordWrap(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(play_, 0, Qt::AlignLeft);
    layout->addWidget(about_);
    layout->addWidget(state_);
    layout->addStretch(1);
    buffer_.setBuffer(&pcm_);
    clock_ = new QTimer(this);
    clock_->setInterval(250);
    connect(clock_, &QTimer::timeout, this, &SoundPlayer::showState);
}

SoundPlayer::~SoundPlayer() {
    stop();
}

bool SoundPlayer::hasOutput() {
    return !QMediaDevices::audioOutputs().isEmpty();
}

QString SoundPlayer::noDeviceText() {
    return QStringLiteral("No sound device: this system offers none to play on");
}

void SoundPlayer::setSound(std::shared_ptr<const Sound> sound, const QString& about,
                           const QString& unplayable, std::optional<double> length) {
    stop();
    // The buffer lets go of the samples before they may go.
    pcm_.clear();
    sound_ = std::move(sound);
    length_ = length.value_or(sound_ ? durationSeconds(*sound_) : 0);
    failure_ = sound_ ? QString() : unplayable;
    // Read where they are: a rendered song is up to 100 MiB, held once.
    if (sound_)
        pcm_ = QByteArray::fromRawData(reinterpret_cast<const char*>(sound_->samples.data()),
                                       static_cast<qsizetype>(sound_->samples.size()));
    about_->setText(about);
    play_->setVisible(sound_ != nullptr);
    showState();
}

bool SoundPlayer::playing() const {
    return sink_ && sink_->state() == QAudio::ActiveState;
}

void SoundPlayer::play() {
    stop();
    if (!sound_) return;
    if (!hasOutput()) {
        failure_ = noDeviceText();
        showState();
        return;
    }
    QAudioFormat format;
    format.setSampleRate(static_cast<int>(sound_->rate));
    format.setChannelCount(sound_->channels);
    format.setSampleFormat(sound_->bitsPerSample == 16 ? QAudioFormat::Int16 : QAudioFormat::UInt8);
    const auto device = QMediaDevices::defaultAudioOutput();
    if (!device.isFormatSupported(format)) {
        failure_ = QStringLiteral("The sound device cannot play %1 Hz, %2-bit, %3 channel(s)")
                       .arg(sound_->rate)
                       .arg(sound_->bitsPerSample)
                       .arg(sound_->channels);
        showState();
        return;
    }
    failure_.clear();
    sink_ = std::make_unique<QAudioSink>(device, format);
    connect(sink_.get(), &QAudioSink::stateChanged, this, [this](QAudio::State state) {
        // The end of the samples: stopped, ready to play again from the start.
        if (state == QAudio::IdleState)
            QMetaObject::invokeMethod(
                this, [this] { stop(); }, Qt::QueuedConnection);
        showState();
    });
    buffer_.close();
    buffer_.open(QIODevice::ReadOnly);
    sink_->start(&buffer_);
    if (sink_->error() != QAudio::NoError) {
        failure_ = QStringLiteral("The sound device refused to play (error %1)")
                       .arg(static_cast<int>(sink_->error()));
        sink_.reset();
    }
    showState();
}

void SoundPlayer::stop() {
    if (sink_) {
        sink_->disconnect(this);
        sink_->stop();
        sink_.reset();
    }
    buffer_.close();
    showState();
}

void SoundPlayer::toggle() {
    if (playing())
        stop();
    else
        play();
}

QString SoundPlayer::stateText() const {
    return state_->text();
}

void SoundPlayer::showState() {
    if (!play_) return;
    const bool on = playing();
    play_->setText(on ? QStringLiteral("Stop") : QStringLiteral("Play"));
    if (!failure_.isEmpty())
        state_->setText(failure_);
    else if (sound_ && !hasOutput())
        state_->setText(noDeviceText());
    else
        state_->setText(
            on ? QStringLiteral("Playing, ") +
                     progressText(std::min(static_cast<double>(sink_->processedUSecs()) / 1e6, length_),
                                  length_)
            : sound_ ? QStringLiteral("Stopped")
                     : QString());
    if (on != clock_->isActive()) on ? clock_->start() : clock_->stop();
}

void SoundPlayer::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space && sound_) {
        toggle();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace vexa::ui
