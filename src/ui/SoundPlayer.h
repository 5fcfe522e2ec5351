#pragma once
// A sound or a song heard in the preview: Play and Stop (Space toggles), with its length, rate and
// form (a song's tracks and instruments), played from the decoded or rendered samples in memory
// through Qt Multimedia. Where the system has no sound device, or a song could not be rendered, it
// says so and shows the same facts.

#include "media/sound.h"

#include <QBuffer>
#include <QByteArray>
#include <QWidget>

#include <memory>
#include <optional>

class QAudioSink;
class QLabel;
class QPushButton;
class QTimer;

namespace vexa::ui {

class SoundPlayer : public QWidget {
  public:
    explicit SoundPlayer(QWidget* parent = nullptr);
    ~SoundPlayer() override;

    // The sound to play (nothing plays until Play), or none; about: its facts in words; unplayable:
    // why there is no sound to play where there is something to hear; length: the seconds its
    // progress is told against, where they are not its samples' (a song's last note rings on).
    void setSound(std::shared_ptr<const Sound> sound, const QString& about, const QString& unplayable = {},
                  std::optional<double> length = std::nullopt);
    void play();
    void stop();
    void toggle();
    bool playing() const;
    // Whether the system offers a device to play on.
    static bool hasOutput();
    // What is said where it has none.
    static QString noDeviceText();
    // "Playing, 0:12 of 1:23", "Stopped", or why nothing can play.
    QString stateText() const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void showState();

    QPushButton* play_;
    QLabel* about_;
    QLabel* state_;
    QTimer* clock_; // while playing: how far it is
    std::shared_ptr<const Sound> sound_;
    double length_ = 0;
    QByteArray pcm_;
    QBuffer buffer_;
    std::unique_ptr<QAudioSink> sink_;
    QString failure_;
};

} // namespace vexa::ui
