#pragma once
// The core's ProgressSink over the window's bar PBar. The core calls it between files; it repaints
// the bar at once, since the long loops run on the GUI thread and nothing else would paint it.

#include "formats/container.h"

class QProgressBar;

namespace vexa::ui {

class BarProgress : public ProgressSink {
  public:
    explicit BarProgress(QProgressBar& bar) : bar_(bar) {}

    void setRange(int maximum) override;
    void setPosition(int position) override;

  private:
    void paintIfMoved();

    QProgressBar& bar_;
    int paintedAt_ = -1; // the bar's filled width when it was last painted
};

} // namespace vexa::ui
