#include "ui/EndoomView.h"

#include "media/endoom.h"

#include <QFontDatabase>
#include <QPainter>

#include <algorithm>
#include <array>

namespace vexa::ui {

EndoomView::EndoomView(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PreviewEndoom"));
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
}

void EndoomView::setScreen(std::vector<std::uint8_t> screen) {
    screen_ = std::move(screen);
    updateGeometry();
    update();
}

QColor EndoomView::textColour(int index) {
    // The VGA's text palette: the dark eight, then the bright eight (brown, not dark yellow).
    static constexpr std::array<QRgb, 16> kColours = {
        0x000000, 0x0000aa, 0x00aa00, 0x00aaaa, 0xaa0000, 0xaa00aa, 0xaa5500, 0xaaaaaa,
        0x555555, 0x5555ff, 0x55ff55, 0x55ffff, 0xff5555, 0xff55ff, 0xffff55, 0xffffff};
    return QColor::fromRgb(kColours[static_cast<std::size_t>(index) & 15]);
}

QSize EndoomView::cellSize() const {
    const auto metrics = fontMetrics();
    return {std::max(1, metrics.horizontalAdvance(QLatin1Char('M'))), std::max(1, metrics.height())};
}

QSize EndoomView::sizeHint() const {
    const auto cell = cellSize();
    return {cell.width() * static_cast<int>(kEndoomColumns), cell.height() * static_cast<int>(kEndoomRows)};
}

QRect EndoomView::cellRect(int row, int column) const {
    // Cells shrink with a narrow view rather than run past it.
    const auto hint = sizeHint();
    const double sx = std::min(1.0, static_cast<double>(width()) / hint.width());
    const double sy = std::min(1.0, static_cast<double>(height()) / hint.height());
    const double s = std::min(sx, sy);
    const auto cell = cellSize();
    const double w = cell.width() * s, h = cell.height() * s;
    return QRectF(column * w, row * h, w, h).toAlignedRect();
}

void EndoomView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (screen_.size() < kEndoomSize) return;
    const auto hint = sizeHint();
    const double s = std::min(
        {1.0, static_cast<double>(width()) / hint.width(), static_cast<double>(height()) / hint.height()});
    painter.scale(s, s);
    const auto cell = cellSize();
    for (std::size_t row = 0; row < kEndoomRows; ++row)
        for (std::size_t column = 0; column < kEndoomColumns; ++column) {
            const auto c = endoomCell(screen_, row, column, {});
            const QRect box(static_cast<int>(column) * cell.width(), static_cast<int>(row) * cell.height(),
                            cell.width(), cell.height());
            painter.fillRect(box, textColour(c.background));
            if (c.character == U' ') continue;
            painter.setPen(textColour(c.foreground));
            const char32_t character = c.character;
            painter.drawText(box, Qt::AlignCenter, QString::fromUcs4(&character, 1));
        }
}

} // namespace vexa::ui
