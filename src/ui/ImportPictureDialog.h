#pragma once
// File > Import picture…: one PNG or BMP picture becomes one game texture (WAL, DF BM, JK MAT).
// The user chooses the picture, the kind and the file to write, and sees the picture as the texture
// will hold it (mapped onto the kind's game palette, with or without dithering) before anything is
// written. Mapping and writing run off the window's thread; the dialog never writes a file itself.

#include "app/texture_import.h"
#include "formats/container.h"

#include <QDialog>
#include <QFutureWatcher>
#include <QImage>
#include <QString>

#include <atomic>
#include <exception>
#include <filesystem>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace vexa::ui {

class PageHost;
class PictureView;

class ImportPictureDialog : public QDialog {
    Q_OBJECT
  public:
    ImportPictureDialog(PageHost& window, QWidget* parent = nullptr);
    ~ImportPictureDialog() override;

    // A preview being mapped or waiting, or a texture being written; tests wait for it.
    bool busy() const { return previewRunning_ || pendingPreview_ || writing_; }
    // The preview shown (null while there is none) and the line under it.
    const QImage& previewImage() const;
    QString previewNote() const;

    // Closes the dialog; a write still running is cancelled and waited for.
    void reject() override;

  private slots:
    void SBBrowsePictureClick();
    void SBBrowseTextureClick();
    void CBTextureKindChange();
    void SBWriteClick();

  private:
    struct PreviewRequest {
        TextureKind kind;
        std::filesystem::path picture;
        ImportOptions options;
    };
    struct PreviewOutcome {
        std::optional<ImportPreview> preview;
        QString error;
    };
    // Cancels a write the dialog is closed during; nothing to show for a single picture.
    class WriteCancel : public ProgressSink {
      public:
        void setRange(int) override {}
        void setPosition(int) override {}
        bool cancelRequested() override { return cancel_.load(std::memory_order_relaxed); }
        void set(bool cancel) { cancel_.store(cancel, std::memory_order_relaxed); }

      private:
        std::atomic<bool> cancel_{false};
    };

    TextureKind chosenKind() const;
    ImportOptions options() const;
    // The WAL header's fields typed (none for the other kinds); throws Error naming a field that
    // holds no number in its range.
    TextureFieldChoices walFields() const;
    std::filesystem::path picturePath() const;
    // The texture's path proposed for the picture: its name with the kind's extension, in Temp.
    QString proposedTexturePath() const;
    void pictureChosen();
    void requestPreview();
    void startPreview(PreviewRequest request);
    void previewFinished();
    void showPreview(const PreviewOutcome& outcome);
    void writeFinished();
    void setControlsEnabled(bool enabled);
    // Ends a running write (cancelled) and drops any preview, before the dialog goes away.
    void stopWork();

    PageHost& window_;
    QLineEdit* EPicture;
    QPushButton* SBBrowsePicture;
    QComboBox* CBTextureKind;
    QCheckBox* CBDither;
    // A WAL's header: empty fields are kept from the WAL written over, else take their defaults.
    QWidget* WalFields;
    QLineEdit* EWalName;
    QLineEdit* EWalNext;
    QLineEdit* EWalFlags;
    QLineEdit* EWalContents;
    QLineEdit* EWalValue;
    QLineEdit* ETexture;
    QPushButton* SBBrowseTexture;
    PictureView* PreviewPicture;
    QLabel* LPreviewNote;
    QPushButton* SBWrite;
    QPushButton* SBClose;

    bool textureProposed_ = true; // ETexture holds what the dialog proposed, not the user's choice
    QFutureWatcher<PreviewOutcome> previewWatcher_;
    std::optional<PreviewRequest> pendingPreview_;
    bool previewRunning_ = false;
    QFutureWatcher<std::exception_ptr> writeWatcher_;
    std::filesystem::path writingPath_;
    std::optional<std::string> placeholderNotice_; // the write paints with a placeholder palette
    bool writing_ = false;
    WriteCancel writeCancel_;
};

} // namespace vexa::ui
