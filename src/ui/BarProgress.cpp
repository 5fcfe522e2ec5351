#include "ui/BarProgress.h"

#include <QProgressBar>

#include <algorithm>

namespace vexa::ui {

void BarProgress::setRange(int maximum) {
    // An empty job would ask for -1, which a bar cannot hold: its range is then 0..0.
    bar_.setRange(0, std::max(0, maximum));
    paintedAt_ = -1;
}

void BarProgress::setPosition(int position) {
    bar_.setValue(std::clamp(position, bar_.minimum(), bar_.maximum()));
    paintIfMoved();
}

void BarProgress::paintIfMoved() {
    // Painting 100,000 times for 100,000 rows would cost more than the rows: paint only when the
    // filled part has grown or shrunk by a pixel.
    const auto span = static_cast<long long>(bar_.maximum()) - bar_.minimum();
    const auto done = static_cast<long long>(bar_.value()) - bar_.minimum();
    const int filled = span > 0 ? static_cast<int>(done * bar_.width() / span) : bar_.width();
    if (filled == paintedAt_) return;
    paintedAt_ = filled;
    if (bar_.isVisible()) bar_.repaint();
}

} // namespace vexa::ui
