#pragma once
// The preview beside LB1: the clicked entry as extraction would write its picture (zoomed to fit
// without smoothing, so single pixels stay sharp), a palette as a 16 x 16 grid, text, or the first
// bytes as hex, with a caption that names the palette used. EntryPreviewer renders it off the
// window's thread with the core's previewEntry.

#include "app/preview.h"
#include "ui/ContentRender.h"

#include <QFutureWatcher>
#include <QImage>
#include <QWidget>

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QPlainTextEdit;
class QStackedWidget;

namespace vexa::ui {

class EndoomView;
class PicturePreview;
class SoundPlayer;

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
    // What an entry of a content kind holds, decoded: its pictures, its text, its screen. keepList:
    // a picture chosen from the list shown, which stays.
    void showContent(const QString& entryName, const ContentRendering& content, bool keepList);
    // A line in place of a preview: "Rendering ...", a refusal, a hint.
    void showNote(const QString& text);
    void clear();

    // What is shown: the core's preview (a picture's BMP bytes) and the image made of it.
    const std::optional<EntryPreview>& shown() const { return shown_; }
    const std::optional<ContentRendering>& shownContent() const { return content_; }
    // Whether an entry is shown (rather than a note or nothing).
    bool showsEntry() const { return shown_ || content_; }
    const QImage& image() const;
    PicturePreview& picture() { return *picture_; }
    EndoomView& endoom() { return *endoom_; }
    SoundPlayer& sound() { return *sound_; }
    QPlainTextEdit& text() { return *text_; }
    QString captionText() const;
    // Bytes a line of the hex view holds now; fewer when the pane is narrow.
    std::size_t hexBytesPerLine() const { return hexBytesPerLine_; }
    // The General MIDI sound font songs are rendered with; none: songs are described only.
    const std::optional<std::filesystem::path>& soundFont() const { return soundFont_; }
    void setSoundFont(std::optional<std::filesystem::path> font) { soundFont_ = std::move(font); }

  signals:
    // The user chose another palette, or a picture of the entry's list, to see.
    void paletteChosen();
    void pictureChosen(const QString& name);

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    std::size_t fittingHexBytesPerLine() const;
    void showHex(const std::vector<std::uint8_t>& bytes);

    QStackedWidget* pages_;
    PicturePreview* picture_;
    QPlainTextEdit* text_;
    EndoomView* endoom_;
    SoundPlayer* sound_;
    QLabel* caption_;
    std::optional<EntryPreview> shown_;
    std::optional<ContentRendering> content_;
    std::size_t hexBytesPerLine_ = 16;
    std::optional<std::filesystem::path> soundFont_;
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
        std::optional<ContentRendering> content;
        bool keepList = false; // a picture chosen from the list shown
        QString error;
    };
    // An entry of a content kind the preview decodes itself, and how.
    struct ContentAsked {
        const ContentKind* kind = nullptr;
        ContainerType container = ContainerType::Unknown;
        PaletteChoice palette;
        std::string picture; // by name; empty: the first, with the list of all
        SongSynthesis songs; // its stop flag is the previewer's own
    };
    using Shown = std::function<void(const Outcome&)>;

    explicit EntryPreviewer(Shown shown, QObject* parent = nullptr);
    ~EntryPreviewer() override;

    void request(std::shared_ptr<const ContainerReader> object, std::size_t index, Palette palette,
                 GamePalettePaths games, std::optional<ContentAsked> content = std::nullopt);
    // Drops any waiting request and the result of the render running now (it is not waited for; a
    // song rendering stops).
    void drop();
    bool busy() const { return running_ || pending_.has_value(); }

  private:
    struct Request {
        std::shared_ptr<const ContainerReader> object;
        std::size_t index;
        Palette palette;
        GamePalettePaths games;
        std::optional<ContentAsked> content;
    };
    void startPending();
    void finish();

    Shown shown_;
    QFutureWatcher<Outcome> watcher_;
    std::optional<Request> pending_;
    // Turned on when the render running is no longer wanted.
    std::shared_ptr<std::atomic<bool>> stopRunning_;
    bool running_ = false;
    bool discard_ = false;
};

} // namespace vexa::ui
