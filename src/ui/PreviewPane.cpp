#include "ui/PreviewPane.h"

#include "ui/EndoomView.h"
#include "ui/MusicSynth.h"
#include "ui/PicturePreview.h"
#include "ui/SoundPlayer.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QStackedWidget>
#include <QStyle>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace vexa::ui {

namespace {

QImage paletteImage(const std::vector<std::uint8_t>& rgb) {
    QImage image(16, 16, QImage::Format_Indexed8);
    QList<QRgb> colours;
    for (std::size_t i = 0; i + 2 < rgb.size() && colours.size() < 256; i += 3)
        colours << qRgb(rgb[i], rgb[i + 1], rgb[i + 2]);
    while (colours.size() < 256)
        colours << qRgb(0, 0, 0);
    image.setColorTable(colours);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            image.setPixel(x, y, static_cast<uint>(16 * y + x));
    return image;
}

QString sizeText(std::size_t bytes) {
    return bytes % 1024 == 0 && bytes >= 1024 ? QString::number(bytes / 1024) + QStringLiteral(" KiB")
                                              : QString::number(bytes) + QStringLiteral(" bytes");
}

} // namespace

// --- PictureView ----------------------------------------------------------------------------------

void PictureView::setImage(QImage image) {
    image_ = std::move(image);
    update();
}

void PictureView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Dark));
    if (image_.isNull() || width() < 1 || height() < 1) return;
    const double fit = std::min(static_cast<double>(width()) / image_.width(),
                                static_cast<double>(height()) / image_.height());
    // Whole-number zoom keeps every source pixel the same size on screen.
    const double zoom = fit >= 1.0 ? std::floor(fit) : fit;
    const QSizeF size(image_.width() * zoom, image_.height() * zoom);
    const QRectF target(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    painter.drawImage(target, image_);
}

// --- PreviewPane ----------------------------------------------------------------------------------

PreviewPane::PreviewPane(QWidget* parent) : QWidget(parent), soundFont_(findSoundFont()) {
    setObjectName(QStringLiteral("PreviewPane"));
    pages_ = new QStackedWidget(this);
    picture_ = new PicturePreview(pages_);
    picture_->setMinimumSize(16, 16);
    text_ = new QPlainTextEdit(pages_);
    text_->setObjectName(QStringLiteral("PreviewText"));
    text_->setReadOnly(true);
    endoom_ = new EndoomView(pages_);
    pages_->addWidget(picture_);
    pages_->addWidget(text_);
    pages_->addWidget(endoom_);
    sound_ = new SoundPlayer(pages_);
    pages_->addWidget(sound_);
    connect(picture_, &PicturePreview::paletteChosen, this, &PreviewPane::paletteChosen);
    connect(picture_, &PicturePreview::pictureChosen, this, &PreviewPane::pictureChosen);

    caption_ = new QLabel(this);
    caption_->setObjectName(QStringLiteral("PreviewCaption"));
    caption_->setWordWrap(true);
    caption_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);
    layout->addWidget(pages_, 1);
    layout->addWidget(caption_);
    clear();
}

const QImage& PreviewPane::image() const {
    return picture_->canvas().image();
}

QString PreviewPane::captionText() const {
    return caption_->text();
}

void PreviewPane::clear() {
    // Nothing to show takes no room: the list has the page until a row is clicked.
    setVisible(false);
    shown_.reset();
    content_.reset();
    picture_->clear();
    text_->clear();
    endoom_->setScreen({});
    sound_->setSound(nullptr, {});
    pages_->setCurrentWidget(picture_);
    caption_->clear();
}

void PreviewPane::showNote(const QString& note) {
    setVisible(true);
    shown_.reset();
    content_.reset();
    picture_->clear();
    sound_->setSound(nullptr, {}); // a sound playing stops with the row it belongs to
    pages_->setCurrentWidget(picture_);
    caption_->setText(note);
}

void PreviewPane::showPreview(const QString& entryName, EntryPreview preview) {
    setVisible(true);
    QString caption = entryName + QStringLiteral(": ");
    const auto palette = QString::fromStdString(preview.palette);
    switch (preview.kind) {
    case PreviewKind::Picture: {
        const auto& bytes = preview.bytes;
        auto image = QImage::fromData(bytes.data(), static_cast<int>(bytes.size()), "BMP");
        picture_->showImage(image);
        pages_->setCurrentWidget(picture_);
        caption +=
            QStringLiteral("%1 x %2, colours from %3").arg(preview.width).arg(preview.height).arg(palette);
        if (preview.pictures > 1)
            caption += QStringLiteral("; the first of %1 pictures extraction writes").arg(preview.pictures);
        break;
    }
    case PreviewKind::Palette:
        picture_->showImage(paletteImage(preview.bytes));
        pages_->setCurrentWidget(picture_);
        caption += QStringLiteral("palette (%1)").arg(palette);
        break;
    case PreviewKind::Text:
        text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        text_->setFont(QFont());
        text_->setPlainText(QString::fromUtf8(reinterpret_cast<const char*>(preview.bytes.data()),
                                              static_cast<qsizetype>(preview.bytes.size())));
        pages_->setCurrentWidget(text_);
        caption += preview.truncated ? QStringLiteral("text, the first ") + sizeText(preview.bytes.size())
                                     : QStringLiteral("text");
        break;
    case PreviewKind::Hex:
        text_->setLineWrapMode(QPlainTextEdit::NoWrap);
        text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
        pages_->setCurrentWidget(text_);
        showHex(preview.bytes);
        caption += preview.truncated ? QStringLiteral("the first ") + sizeText(preview.bytes.size())
                                     : sizeText(preview.bytes.size());
        break;
    }
    caption_->setText(caption);
    content_.reset();
    shown_ = std::move(preview);
}

void PreviewPane::showContent(const QString& entryName, const ContentRendering& content, bool keepList) {
    setVisible(true);
    shown_.reset();
    QString caption = entryName + QStringLiteral(": ");
    switch (content.kind) {
    case ContentRendering::Kind::Picture: {
        picture_->showRendering(content, keepList);
        pages_->setCurrentWidget(picture_);
        const auto& shown = *content.picture;
        if (!shown.name.isEmpty()) caption += shown.name + QStringLiteral(", ");
        caption += QStringLiteral("%1 x %2").arg(shown.image.width()).arg(shown.image.height());
        if (shown.offset)
            caption += QStringLiteral(", offsets %1, %2").arg(shown.offset->x).arg(shown.offset->y);
        caption += QStringLiteral(", colours from ") + shown.palette;
        if (content.pictureNames.size() > 1)
            caption +=
                QStringLiteral("; %1 pictures, click one in the list").arg(content.pictureNames.size());
        for (const auto& note : content.notes)
            caption += QStringLiteral("\n") + note;
        break;
    }
    case ContentRendering::Kind::Text:
        text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        text_->setFont(QFont());
        text_->setPlainText(content.text);
        pages_->setCurrentWidget(text_);
        caption += content.textForm;
        break;
    case ContentRendering::Kind::Endoom:
        endoom_->setScreen(content.screen);
        pages_->setCurrentWidget(endoom_);
        caption += content.textForm;
        break;
    case ContentRendering::Kind::Sound:
        sound_->setSound(content.sound, content.textForm);
        pages_->setCurrentWidget(sound_);
        caption += content.textForm;
        break;
    case ContentRendering::Kind::Music:
        // A song not rendered because nothing could play it is described, and the pane says why.
        sound_->setSound(content.sound, content.text,
                         content.sound || !content.unplayable.isEmpty() ? content.unplayable
                                                                        : SoundPlayer::noDeviceText(),
                         content.songSeconds);
        pages_->setCurrentWidget(sound_);
        caption += content.textForm;
        break;
    }
    caption_->setText(caption);
    content_ = content;
}

std::size_t PreviewPane::fittingHexBytesPerLine() const {
    // As many bytes a line as let the printable column fit: a narrow pane gets 8 or 4.
    const auto metrics = text_->fontMetrics();
    // The room left beside a vertical scroll bar, which a long dump brings.
    const int room = text_->contentsRect().width() - text_->style()->pixelMetric(QStyle::PM_ScrollBarExtent) -
                     2 * static_cast<int>(text_->document()->documentMargin());
    const std::vector<std::uint8_t> sample(16, 0x41);
    for (const std::size_t perLine : {16u, 8u}) {
        const auto line = QString::fromStdString(hexDump(std::span(sample).first(perLine))).trimmed();
        if (metrics.horizontalAdvance(line) <= room) return perLine;
    }
    return 4;
}

void PreviewPane::showHex(const std::vector<std::uint8_t>& bytes) {
    hexBytesPerLine_ = fittingHexBytesPerLine();
    text_->setPlainText(QString::fromStdString(hexDump(bytes, 0, hexBytesPerLine_)));
}

void PreviewPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (shown_ && shown_->kind == PreviewKind::Hex && fittingHexBytesPerLine() != hexBytesPerLine_)
        showHex(shown_->bytes);
}

// --- EntryPreviewer -------------------------------------------------------------------------------

EntryPreviewer::EntryPreviewer(Shown shown, QObject* parent) : QObject(parent), shown_(std::move(shown)) {
    connect(&watcher_, &QFutureWatcher<Outcome>::finished, this, &EntryPreviewer::finish);
}

EntryPreviewer::~EntryPreviewer() {
    watcher_.disconnect(this);
    if (stopRunning_) *stopRunning_ = true;
    watcher_.waitForFinished();
}

void EntryPreviewer::request(std::shared_ptr<const ContainerReader> object, std::size_t index,
                             Palette palette, GamePalettePaths games, std::optional<ContentAsked> content) {
    pending_ = Request{std::move(object), index, std::move(palette), std::move(games), std::move(content)};
    // The render running is out of date: a song need not render to its end to be thrown away.
    if (running_ && stopRunning_) *stopRunning_ = true;
    startPending();
}

void EntryPreviewer::drop() {
    pending_.reset();
    if (running_) {
        discard_ = true;
        if (stopRunning_) *stopRunning_ = true;
    }
}

void EntryPreviewer::startPending() {
    if (running_ || !pending_) return;
    auto request = std::move(*pending_);
    pending_.reset();
    running_ = true;
    discard_ = false;
    stopRunning_ = std::make_shared<std::atomic<bool>>(false);
    if (request.content) request.content->songs.stop = stopRunning_;
    watcher_.setFuture(QtConcurrent::run([request = std::move(request)] {
        Outcome out;
        out.object = request.object.get();
        out.index = request.index;
        try {
            if (const auto& asked = request.content; asked && asked->kind) {
                out.keepList = !asked->picture.empty();
                out.content = renderContent(*request.object, request.index, *asked->kind, asked->container,
                                            asked->palette, asked->picture, request.games, request.palette,
                                            asked->songs);
            } else {
                out.preview = previewEntry(*request.object, request.index, request.palette, request.games);
            }
        } catch (const std::exception& e) {
            out.error = QString::fromUtf8(e.what());
        } catch (...) {
            out.error = QStringLiteral("Unexpected error");
        }
        return out;
    }));
}

void EntryPreviewer::finish() {
    if (!running_ || !watcher_.future().isFinished()) return;
    running_ = false;
    const auto out = watcher_.future().result();
    // A newer click waits: this render is out of date.
    if (!discard_ && !pending_ && shown_) shown_(out);
    discard_ = false;
    startPending();
}

} // namespace vexa::ui
