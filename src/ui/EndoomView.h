#pragma once
// An ENDOOM screen as DOS showed it: 80 x 25 cells of a code page 437 character in its text-mode
// colours, in a fixed-pitch font.

#include <QWidget>

#include <cstdint>
#include <vector>

namespace vexa::ui {

class EndoomView : public QWidget {
  public:
    explicit EndoomView(QWidget* parent = nullptr);
    // screen: the entry's 4,000 bytes (anything shorter shows nothing).
    void setScreen(std::vector<std::uint8_t> screen);
    const std::vector<std::uint8_t>& screen() const { return screen_; }
    // The rectangle cell (row, column) is painted in, in this widget's pixels.
    QRect cellRect(int row, int column) const;
    QSize sizeHint() const override;

    // The 16 colours of the PC's text mode.
    static QColor textColour(int index);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QSize cellSize() const;

    std::vector<std::uint8_t> screen_;
};

} // namespace vexa::ui
