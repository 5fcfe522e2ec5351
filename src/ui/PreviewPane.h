#pragma once
// The preview beside LB1: the clicked entry as extraction would write its picture (zoomed to fit
// without smoothing, so single pixels stay sharp), a palette as a 16 x 16 grid, text, or the first
// bytes as hex, with a caption that names the palette used. EntryPreviewer renders it off the
// window's thread with the core's previewEntry.

#include "app/preview.h"

#include <QFutureWatcher>
#include <QImage>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QPlainTextEdit;
class QStackedWidget;

namespace vexa::ui {

// Paints an image scaled to fit, whole-number zoom when it is smaller than the view.
class PictureView : public QWidget {
  public:
    using QWidget::QWidget;
    void setImage(QImage image);
    const QImage& image() const { return image_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage image_;
};

class PreviewPane : public QWidget {
    Q_OBJECT
  public:
    explicit PreviewPane(QWidget* parent = nullptr);

    void showPreview(const QString& entryName, EntryPreview preview);
    // A line in place of a preview: "Rendering ...", a refusal, a hint.
    void showNote(const QString& text);
    void clear();

    // What is shown: the core's preview (a picture's BMP bytes) and the image made of it.
    const std::optional<EntryPreview>& shown() const { return shown_; }
    const QImage& image() const;
    QString captionText() const;
    // Bytes a line of the hex view holds now; fewer when the pane is narrow.
    std::size_t hexBytesPerLine() const { return hexBytesPerLine_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    std::size_t fittingHexBytesPerLine() const;
    void showHex(const std::vector<std::uint8_t>& bytes);

    QStackedWidget* pages_;
    PictureView* picture_;
    QPlainTextEdit* text_;
    QLabel* caption_;
    std::optional<EntryPreview> shown_;
    std::size_t hexBytesPerLine_ = 16;
};

// Runs previewEntry on a worker, one render at a time: a click while one renders replaces the
// waiting request, so only the last click's preview is shown. A render holds its own share of the
// object and copies of the palettes, so it may run beside a job and outlive the window's use of it.
class EntryPreviewer : public QObject {
    Q_OBJECT
  public:
    struct Outcome {
        const ContainerReader* object = nullptr; // which object it rendered, for the window to compare
        std::size_t index = 0;
        std::optional<EntryPreview> preview;
        QString error;
    };
    using Shown = std::function<void(const Outcome&)>;

    explicit EntryPreviewer(Shown shown, QObject* parent = nullptr);
    ~EntryPreviewer() override;

    void request(std::shared_ptr<const ContainerReader> object, std::size_t index, Palette palette,
                 GamePalettePaths games);
    // Drops any waiting request and the result of the render running now (it is not waited for).
    void drop();
    bool busy() const { return running_ || pending_.has_value(); }

  private:
    struct Request {
        std::shared_ptr<const ContainerReader> object;
        std::size_t index;
        Palette palette;
        GamePalettePaths games;
    };
    void startPending();
    void finish();

    Shown shown_;
    QFutureWatcher<Outcome> watcher_;
    std::optional<Request> pending_;
    bool running_ = false;
    bool discard_ = false;
};

} // namespace vexa::ui
