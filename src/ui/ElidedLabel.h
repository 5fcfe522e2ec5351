#pragma once
// A one-line label for long paths: the text is shortened in its middle when it does not fit, rather
// than widening the window. text() stays whole.

#include <QLabel>
#include <QPainter>

namespace vexa::ui {

class ElidedLabel : public QLabel {
  public:
    using QLabel::QLabel;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        const auto area = contentsRect();
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width()));
    }
};

} // namespace vexa::ui
