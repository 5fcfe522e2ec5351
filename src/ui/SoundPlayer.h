#pragma once
// A sound entry heard in the preview: Play and Stop (Space toggles), with its length, rate and form,
// played from the decoded samples in memory through Qt Multimedia. Where the system has no sound
// device it says so and shows the same facts.

#include "media/sound.h"

#include <QBuffer>
#include <QByteArray>
#include <QWidget>

#include <memory>
#include <optional>

class QAudioSink;
class QLabel;
class QPushButton;

namespace vexa::ui {

class SoundPlayer : public QWidget {
  public:
    explicit SoundPlayer(QWidget* parent = nullptr);
    ~SoundPlayer() override;

    // The sound to play (nothing plays until Play), or none; about: its facts in words.
    void setSound(std::optional<Sound> sound, const QString& about);
    void play();
    void stop();
    void toggle();
    bool playing() const;
    // Whether the system offers a device to play on.
    static bool hasOutput();
    // "Playing", "Stopped", or why nothing can play.
    QString stateText() const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void showState();

    QPushButton* play_;
    QLabel* about_;
    QLabel* state_;
    std::optional<Sound> sound_;
    QByteArray pcm_;
    QBuffer buffer_;
    std::unique_ptr<QAudioSink> sink_;
    QString failure_;
};

} // namespace vexa::ui
