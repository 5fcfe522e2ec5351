#include "ui/PicturePreview.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QScrollArea>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <array>
#include <cmath>

namespace vexa::ui {

namespace {

constexpr int kCheckerSquare = 8;
constexpr int kCrossArm = 7;
constexpr std::array<double, 10> kWheelZooms = {0.25, 0.5, 1, 2, 3, 4, 6, 8, 12, 16};
constexpr std::array<int, 4> kButtonZooms = {0, 1, 2, 4}; // 0: fit

QString zoomCaption(int zoom) {
    return zoom == 0 ? QStringLiteral("Fit") : QStringLiteral("%1\u00d7").arg(zoom);
}

} // namespace

// --- PictureCanvas ------------------------------------------------------------------------------

void PictureCanvas::setPicture(QImage image, std::optional<PictureOffset> offset) {
    image_ = std::move(image);
    offset_ = offset;
    setZoom(zoom_);
}

void PictureCanvas::setZoom(double zoom) {
    zoom_ = zoom;
    // A zoom larger than the view makes the scroll area scroll; fitting needs no room of its own.
    setMinimumSize(zoom_ > 0 ? sizeHint() : QSize(16, 16));
    updateGeometry();
    update();
}

QRectF PictureCanvas::extent() const {
    QRectF rect(0, 0, image_.width(), image_.height());
    if (offset_) rect = rect.united(QRectF(offset_->x - 0.5, offset_->y - 0.5, 1, 1));
    return rect;
}

double PictureCanvas::scale() const {
    if (zoom_ > 0 || image_.isNull()) return zoom_ > 0 ? zoom_ : 1;
    const auto area = extent();
    const double fit = std::min(width() / area.width(), height() / area.height());
    // Whole-number zoom keeps every pixel of the picture the same size on screen.
    return fit >= 1.0 ? std::floor(fit) : fit;
}

QSize PictureCanvas::sizeHint() const {
    const auto area = extent();
    const double zoom = zoom_ > 0 ? zoom_ : 1;
    return {static_cast<int>(std::ceil(area.width() * zoom)) + 2 * kCrossArm,
            static_cast<int>(std::ceil(area.height() * zoom)) + 2 * kCrossArm};
}

QPointF PictureCanvas::pictureCorner() const {
    const auto area = extent();
    const double s = scale();
    const QPointF areaCorner((width() - area.width() * s) / 2, (height() - area.height() * s) / 2);
    return areaCorner - area.topLeft() * s;
}

std::optional<QPointF> PictureCanvas::originPoint() const {
    if (!offset_) return std::nullopt;
    return pictureCorner() + QPointF(offset_->x, offset_->y) * scale();
}

void PictureCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Dark));
    if (image_.isNull()) return;
    const double s = scale();
    const QRectF target(pictureCorner(), QSizeF(image_.width() * s, image_.height() * s));
    // See-through pixels show a checkerboard, fixed to the screen so it reads as "nothing here".
    painter.save();
    painter.setClipRect(target);
    const QRect board = target.toAlignedRect();
    for (int y = board.top() - board.top() % kCheckerSquare; y <= board.bottom(); y += kCheckerSquare)
        for (int x = board.left() - board.left() % kCheckerSquare; x <= board.right(); x += kCheckerSquare)
            painter.fillRect(x, y, kCheckerSquare, kCheckerSquare,
                             ((x / kCheckerSquare + y / kCheckerSquare) % 2) ? QColor(204, 204, 204)
                                                                             : QColor(255, 255, 255));
    painter.restore();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(target, image_);
    if (const auto origin = originPoint()) {
        // Dark under light, so the cross shows on any colour.
        const QPointF o = *origin;
        for (const auto& [colour, thickness] :
             {std::pair{QColor(0, 0, 0), 3}, std::pair{QColor(255, 40, 40), 1}}) {
            painter.setPen(QPen(colour, thickness));
            painter.drawLine(o - QPointF(kCrossArm, 0), o + QPointF(kCrossArm, 0));
            painter.drawLine(o - QPointF(0, kCrossArm), o + QPointF(0, kCrossArm));
        }
    }
}

// --- PicturePreview -----------------------------------------------------------------------------

PicturePreview::PicturePreview(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PicturePreview"));
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(0, 0, 0, 0);
    bar->setSpacing(2);
    zooms_ = new QButtonGroup(this);
    for (const int zoom : kButtonZooms) {
        auto* button = new QToolButton(this);
        button->setText(zoomCaption(zoom));
        button->setObjectName(
            QStringLiteral("Zoom%1").arg(zoom == 0 ? QStringLiteral("Fit") : QString::number(zoom)));
        button->setCheckable(true);
        button->setAutoRaise(true);
        zooms_->addButton(button, zoom);
        bar->addWidget(button);
    }
    zooms_->button(0)->setChecked(true);
    connect(zooms_, &QButtonGroup::idClicked, this, [this](int zoom) { setZoom(zoom); });
    bar->addSpacing(8);
    auto* label = new QLabel(QStringLiteral("Palette:"), this);
    bar->addWidget(label);
    palettes_ = new QComboBox(this);
    palettes_->setObjectName(QStringLiteral("PreviewPalette"));
    palettes_->setToolTip(
        QStringLiteral("The palette the picture is painted with here; extraction is not changed"));
    palettes_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    label->setBuddy(palettes_);
    bar->addWidget(palettes_, 1);
    connect(palettes_, &QComboBox::currentIndexChanged, this, [this](int item) {
        if (filling_ || item < 0) return;
        const auto data = palettes_->itemData(item).toInt();
        PaletteChoice choice;
        if (data == -1)
            choice.from = PaletteChoice::From::Extraction;
        else if (data == -2)
            choice.from = PaletteChoice::From::Container;
        else {
            choice.from = PaletteChoice::From::Game;
            choice.game = static_cast<Game>(data);
        }
        if (choice == choice_) return;
        choice_ = choice;
        emit paletteChosen();
    });

    pictures_ = new QListWidget(this);
    pictures_->setObjectName(QStringLiteral("PreviewPictures"));
    pictures_->setToolTip(QStringLiteral("Click one to see it"));
    pictures_->setMaximumWidth(150);
    pictures_->setUniformItemSizes(true);
    connect(pictures_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { emit pictureChosen(item->text()); });

    canvas_ = new PictureCanvas;
    canvas_->setObjectName(QStringLiteral("PreviewCanvas"));
    canvas_->installEventFilter(this);
    scroll_ = new QScrollArea(this);
    scroll_->setWidgetResizable(true);
    scroll_->setWidget(canvas_);
    scroll_->setAlignment(Qt::AlignCenter);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(pictures_);
    row->addWidget(scroll_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(bar);
    layout->addLayout(row, 1);
    fillPaletteChooser(false);
    pictures_->hide();
}

void PicturePreview::fillPaletteChooser(bool containerHasOne) {
    filling_ = true;
    palettes_->clear();
    palettes_->addItem(QStringLiteral("As extraction paints it"), -1);
    if (containerHasOne) palettes_->addItem(QStringLiteral("The container's own"), -2);
    for (const auto& game : gamePalettes())
        palettes_->addItem(
            QString::fromLatin1(game.caption.data(), static_cast<qsizetype>(game.caption.size()))
                .simplified(), // the Palettes page's captions line up with runs of spaces
            static_cast<int>(game.game));
    const int wanted = choice_.from == PaletteChoice::From::Extraction  ? -1
                       : choice_.from == PaletteChoice::From::Container ? -2
                                                                        : static_cast<int>(choice_.game);
    const int item = palettes_->findData(wanted);
    palettes_->setCurrentIndex(item < 0 ? 0 : item);
    filling_ = false;
}

void PicturePreview::setPaletteChoice(const PaletteChoice& choice) {
    choice_ = choice;
    fillPaletteChooser(palettes_->findData(-2) >= 0);
}

void PicturePreview::showRendering(const ContentRendering& rendering, bool keepList) {
    palettes_->setEnabled(true);
    fillPaletteChooser(rendering.hasContainerPalette);
    if (!keepList) {
        pictures_->clear();
        if (rendering.pictureNames.size() > 1) pictures_->addItems(rendering.pictureNames);
        pictures_->setVisible(rendering.pictureNames.size() > 1);
    }
    if (rendering.picture) {
        const auto found = pictures_->findItems(rendering.picture->name, Qt::MatchExactly);
        if (!found.isEmpty()) pictures_->setCurrentItem(found.front());
        canvas_->setPicture(rendering.picture->image, rendering.picture->offset);
    }
}

void PicturePreview::showImage(QImage image) {
    palettes_->setEnabled(false);
    pictures_->clear();
    pictures_->hide();
    canvas_->setPicture(std::move(image), std::nullopt);
}

void PicturePreview::clear() {
    pictures_->clear();
    pictures_->hide();
    canvas_->setPicture({}, std::nullopt);
}

void PicturePreview::setZoom(double zoom) {
    canvas_->setZoom(zoom);
    showZoomButtons();
}

void PicturePreview::showZoomButtons() {
    // A wheel zoom that no button stands for leaves none checked.
    zooms_->setExclusive(false);
    for (auto* button : zooms_->buttons())
        button->setChecked(zooms_->id(button) == canvas_->zoom());
    zooms_->setExclusive(true);
}

bool PicturePreview::eventFilter(QObject* watched, QEvent* event) {
    if (watched == canvas_ && event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        const int steps = wheel->angleDelta().y();
        if (steps == 0 || canvas_->image().isNull()) return false;
        const double now = canvas_->scale();
        double next = now;
        if (steps > 0) {
            for (const double zoom : kWheelZooms)
                if (zoom > now + 1e-9) {
                    next = zoom;
                    break;
                }
        } else {
            for (auto it = kWheelZooms.rbegin(); it != kWheelZooms.rend(); ++it)
                if (*it < now - 1e-9) {
                    next = *it;
                    break;
                }
        }
        setZoom(next);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace vexa::ui
