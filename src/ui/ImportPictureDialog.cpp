#include "ui/ImportPictureDialog.h"

#include "base/errors.h"
#include "base/text.h"
#include "ui/BrowseButton.h"
#include "ui/PageHost.h"
#include "ui/PreviewPane.h"
#include "ui/Prompts.h"
#include "ui/QtText.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace vexa::ui {

namespace fs = std::filesystem;

namespace {

constexpr int kPreviewSide = 256;
constexpr int kDialogWidth = 520;

// The kinds made of one picture, in the order of the texture kinds' table.
std::vector<TextureKind> singlePictureKinds() {
    std::vector<TextureKind> kinds;
    for (const auto& info : textureKinds())
        if (!info->manyPictures) kinds.push_back(info->kind);
    return kinds;
}

QImage indexedImage(const IndexedImage& picture, const PaletteTable& palette) {
    QImage image(static_cast<int>(picture.width), static_cast<int>(picture.height), QImage::Format_Indexed8);
    QList<QRgb> colours;
    for (std::size_t i = 0; i < kPaletteEntries; ++i) {
        const auto rgb = paletteColour(palette, i);
        colours << qRgb(rgb[0], rgb[1], rgb[2]);
    }
    image.setColorTable(colours);
    for (std::uint32_t y = 0; y < picture.height; ++y)
        std::copy_n(picture.indices.begin() + static_cast<std::ptrdiff_t>(y * picture.width), picture.width,
                    image.scanLine(static_cast<int>(y)));
    return image;
}

QLineEdit* fieldEdit(QWidget* parent, const char* name, const char* placeholder, const char* tip) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setPlaceholderText(QString::fromUtf8(placeholder));
    edit->setToolTip(QString::fromUtf8(tip));
    return edit;
}

// A header number as typed: decimal or 0x hexadecimal, from least to most; none when empty.
std::optional<std::uint32_t> fieldNumber(const QLineEdit* edit, const char* what, qint64 least, qint64 most) {
    const auto text = edit->text().trimmed();
    if (text.isEmpty()) return std::nullopt;
    bool ok = false;
    const bool hex = text.startsWith(QStringLiteral("0x"), Qt::CaseInsensitive);
    const auto value = hex ? text.mid(2).toLongLong(&ok, 16) : text.toLongLong(&ok, 10);
    if (!ok || value < least || value > most)
        throw Error(std::string("The ") + what + " takes a number from " + std::to_string(least) + " to " +
                    std::to_string(most) + " (or 0x hexadecimal), not " + text.toStdString());
    return static_cast<std::uint32_t>(value);
}

std::optional<std::string> fieldText(const QLineEdit* edit) {
    if (edit->text().isEmpty()) return std::nullopt;
    return edit->text().toStdString();
}

QString errorText(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return qText(printableText(e.what()));
    } catch (...) {
        return QStringLiteral("Unexpected error");
    }
}

} // namespace

ImportPictureDialog::ImportPictureDialog(PageHost& window, QWidget* parent)
    : QDialog(parent), window_(window) {
    setObjectName(QStringLiteral("ImportPicture"));
    setWindowTitle(QStringLiteral("Import picture"));

    EPicture = new QLineEdit(this);
    EPicture->setObjectName(QStringLiteral("EPicture"));
    EPicture->setPlaceholderText(QStringLiteral("a PNG or BMP picture"));
    SBBrowsePicture = browseButton(this, "SBBrowsePicture");

    CBTextureKind = new QComboBox(this);
    CBTextureKind->setObjectName(QStringLiteral("CBTextureKind"));
    for (const auto kind : singlePictureKinds())
        CBTextureKind->addItem(qView(textureKindInfo(kind).caption), static_cast<int>(kind));
    CBDither = new QCheckBox(QStringLiteral("Dither"), this);
    CBDither->setObjectName(QStringLiteral("CBDither"));
    CBDither->setToolTip(QStringLiteral("Spreads each pixel's colour error over its neighbours"));

    WalFields = new QWidget(this);
    WalFields->setObjectName(QStringLiteral("WalFields"));
    EWalName = fieldEdit(WalFields, "EWalName", "from the path below textures/",
                         "The name the WAL stores, as e1u1/brlava; empty: kept from the WAL written over, "
                         "else its path below a folder named textures");
    EWalNext = fieldEdit(WalFields, "EWalNext", "next frame", "The next frame of the texture's animation");
    EWalFlags = fieldEdit(WalFields, "EWalFlags", "flags", "The surface flags (0x hexadecimal or decimal)");
    EWalContents =
        fieldEdit(WalFields, "EWalContents", "contents", "The contents (0x hexadecimal or decimal)");
    EWalValue = fieldEdit(WalFields, "EWalValue", "value", "The value: a light's brightness");
    auto* walRow = new QHBoxLayout(WalFields);
    walRow->setContentsMargins(0, 0, 0, 0);
    for (auto* edit : {EWalName, EWalNext})
        walRow->addWidget(edit, 3);
    for (auto* edit : {EWalFlags, EWalContents, EWalValue})
        walRow->addWidget(edit, 1);

    ETexture = new QLineEdit(this);
    ETexture->setObjectName(QStringLiteral("ETexture"));
    SBBrowseTexture = browseButton(this, "SBBrowseTexture");

    PreviewPicture = new PictureView(this);
    PreviewPicture->setObjectName(QStringLiteral("ImportPreview"));
    PreviewPicture->setMinimumSize(kPreviewSide, kPreviewSide);
    PreviewPicture->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    LPreviewNote = new QLabel(this);
    LPreviewNote->setObjectName(QStringLiteral("LPreviewNote"));
    LPreviewNote->setWordWrap(true);
    LPreviewNote->setTextFormat(Qt::PlainText);
    LPreviewNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Room for two lines, so that a longer note or a reason does not run over the picture.
    LPreviewNote->setMinimumHeight(2 * LPreviewNote->fontMetrics().lineSpacing() + 4);
    LPreviewNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    SBWrite = new QPushButton(QStringLiteral("Write"), this);
    SBWrite->setObjectName(QStringLiteral("SBWrite"));
    SBWrite->setAutoDefault(false);
    SBClose = new QPushButton(QStringLiteral("Close"), this);
    SBClose->setObjectName(QStringLiteral("SBClose"));
    SBClose->setAutoDefault(false);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Picture"), this), 0, 0);
    grid->addWidget(EPicture, 0, 1);
    grid->addWidget(SBBrowsePicture, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Texture kind"), this), 1, 0);
    auto* kindRow = new QHBoxLayout;
    kindRow->addWidget(CBTextureKind);
    kindRow->addSpacing(12);
    kindRow->addWidget(CBDither);
    kindRow->addStretch(1);
    grid->addLayout(kindRow, 1, 1, 1, 2);
    auto* walLabel = new QLabel(QStringLiteral("WAL header"), this);
    grid->addWidget(walLabel, 2, 0);
    grid->addWidget(WalFields, 2, 1, 1, 2);
    // Shown only while a WAL is chosen.
    connect(CBTextureKind, &QComboBox::currentIndexChanged, this, [this, walLabel] {
        const bool wal = chosenKind() == TextureKind::Wal;
        walLabel->setVisible(wal);
        WalFields->setVisible(wal);
    });
    walLabel->setVisible(chosenKind() == TextureKind::Wal);
    WalFields->setVisible(chosenKind() == TextureKind::Wal);
    grid->addWidget(new QLabel(QStringLiteral("Write to"), this), 3, 0);
    grid->addWidget(ETexture, 3, 1);
    grid->addWidget(SBBrowseTexture, 3, 2);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(SBWrite);
    buttons->addWidget(SBClose);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(PreviewPicture, 1);
    layout->addWidget(LPreviewNote);
    layout->addLayout(buttons);

    connect(SBBrowsePicture, &QPushButton::clicked, this, &ImportPictureDialog::SBBrowsePictureClick);
    connect(EPicture, &QLineEdit::editingFinished, this, [this] {
        if (EPicture->isModified()) pictureChosen();
        EPicture->setModified(false);
    });
    connect(CBTextureKind, &QComboBox::currentIndexChanged, this, &ImportPictureDialog::CBTextureKindChange);
    connect(CBDither, &QCheckBox::toggled, this, &ImportPictureDialog::requestPreview);
    connect(ETexture, &QLineEdit::textEdited, this, [this] { textureProposed_ = false; });
    connect(SBBrowseTexture, &QPushButton::clicked, this, &ImportPictureDialog::SBBrowseTextureClick);
    connect(SBWrite, &QPushButton::clicked, this, &ImportPictureDialog::SBWriteClick);
    connect(SBClose, &QPushButton::clicked, this, &ImportPictureDialog::reject);
    connect(&previewWatcher_, &QFutureWatcher<PreviewOutcome>::finished, this,
            &ImportPictureDialog::previewFinished);
    connect(&writeWatcher_, &QFutureWatcher<std::exception_ptr>::finished, this,
            &ImportPictureDialog::writeFinished);

    setMinimumWidth(kDialogWidth);
    requestPreview();
}

ImportPictureDialog::~ImportPictureDialog() {
    // The window may be going too: nothing is reported to it any more.
    pendingPreview_.reset();
    writeCancel_.set(true);
    writeWatcher_.waitForFinished();
    previewWatcher_.waitForFinished();
}

const QImage& ImportPictureDialog::previewImage() const {
    return PreviewPicture->image();
}

QString ImportPictureDialog::previewNote() const {
    return LPreviewNote->text();
}

TextureKind ImportPictureDialog::chosenKind() const {
    return static_cast<TextureKind>(CBTextureKind->currentData().toInt());
}

ImportOptions ImportPictureDialog::options() const {
    return ImportOptions{window_.GamePalettes(), CBDither->isChecked()};
}

TextureFieldChoices ImportPictureDialog::walFields() const {
    TextureFieldChoices fields;
    if (chosenKind() != TextureKind::Wal) return fields;
    fields.name = fieldText(EWalName);
    fields.next = fieldText(EWalNext);
    fields.flags = fieldNumber(EWalFlags, "flags", 0, 0xFFFFFFFF);
    fields.contents = fieldNumber(EWalContents, "contents", 0, 0xFFFFFFFF);
    fields.value = fieldNumber(EWalValue, "value", -0x80000000LL, 0x7FFFFFFF);
    return fields;
}

fs::path ImportPictureDialog::picturePath() const {
    const auto text = EPicture->text().trimmed();
    return text.isEmpty() ? fs::path() : fs::absolute(fsPath(text));
}

QString ImportPictureDialog::proposedTexturePath() const {
    const auto picture = picturePath();
    if (picture.empty()) return {};
    auto name = picture.filename();
    name.replace_extension(std::string(textureKindInfo(chosenKind()).extension));
    return qText(window_.Folders().temp / name);
}

// --- choosing ------------------------------------------------------------------------------------

void ImportPictureDialog::SBBrowsePictureClick() {
    window_.guarded([this] {
        const auto current = picturePath();
        const auto folder = current.empty() ? window_.Folders().extract : current.parent_path();
        const auto chosen =
            window_.prompts().openFile(QStringLiteral("Import picture"), qText(folder),
                                       QStringLiteral("Pictures (*.png *.bmp *.PNG *.BMP);;") + kAllFiles);
        if (!chosen) return;
        EPicture->setText(*chosen);
        pictureChosen();
    });
}

void ImportPictureDialog::pictureChosen() {
    // A name the user chose for the texture stays; the one proposed follows the picture.
    if (textureProposed_ || ETexture->text().trimmed().isEmpty()) {
        ETexture->setText(proposedTexturePath());
        textureProposed_ = true;
    }
    requestPreview();
}

void ImportPictureDialog::CBTextureKindChange() {
    // The texture's extension follows the kind where it is one of the kinds' own.
    auto path = fsPath(ETexture->text());
    const auto extension = QString::fromStdString(path.extension().string()).toLower();
    for (const auto& info : textureKinds())
        if (!extension.isEmpty() && extension == qView(info->extension)) {
            path.replace_extension(std::string(textureKindInfo(chosenKind()).extension));
            ETexture->setText(qText(path));
            break;
        }
    requestPreview();
}

void ImportPictureDialog::SBBrowseTextureClick() {
    window_.guarded([this] {
        const auto& info = textureKindInfo(chosenKind());
        const auto current = ETexture->text().trimmed();
        const auto initial = current.isEmpty() ? qText(window_.Folders().temp / "") : current;
        const auto filter = qView(info.caption) + QStringLiteral(" (*") + qView(info.extension) +
                            QStringLiteral(");;") + kAllFiles;
        const auto chosen = window_.prompts().saveFile(QStringLiteral("Write texture to"), initial, filter);
        if (!chosen) return;
        ETexture->setText(*chosen);
        textureProposed_ = false;
    });
}

// --- the preview ---------------------------------------------------------------------------------

void ImportPictureDialog::requestPreview() {
    const auto picture = picturePath();
    if (picture.empty()) {
        pendingPreview_.reset();
        PreviewPicture->setImage({});
        LPreviewNote->setText(QStringLiteral("Choose a PNG or BMP picture to see it as the texture"));
        return;
    }
    LPreviewNote->setText(QStringLiteral("Mapping ") + qText(picture.filename()) + QStringLiteral(" ..."));
    PreviewRequest request{chosenKind(), picture, options()};
    // One mapping at a time: a change while one runs replaces the waiting request.
    if (previewRunning_)
        pendingPreview_ = std::move(request);
    else
        startPreview(std::move(request));
}

void ImportPictureDialog::startPreview(PreviewRequest request) {
    previewRunning_ = true;
    previewWatcher_.setFuture(QtConcurrent::run([request = std::move(request)] {
        PreviewOutcome outcome;
        try {
            outcome.preview = previewImport(request.kind, request.picture, request.options);
        } catch (...) {
            outcome.error = errorText(std::current_exception());
        }
        return outcome;
    }));
}

void ImportPictureDialog::previewFinished() {
    previewRunning_ = false;
    // A request made since replaces what this one mapped.
    if (pendingPreview_) {
        auto next = std::move(*pendingPreview_);
        pendingPreview_.reset();
        startPreview(std::move(next));
        return;
    }
    showPreview(previewWatcher_.result());
}

void ImportPictureDialog::showPreview(const PreviewOutcome& outcome) {
    if (!outcome.preview) {
        PreviewPicture->setImage({});
        LPreviewNote->setText(QStringLiteral("No preview: ") + outcome.error);
        return;
    }
    const auto& image = outcome.preview->image;
    PreviewPicture->setImage(indexedImage(image, outcome.preview->palette));
    const auto& info = textureKindInfo(chosenKind());
    auto note = qText(picturePath().filename()) + QStringLiteral(": ") + QString::number(image.width) +
                QStringLiteral(" x ") + QString::number(image.height) + QStringLiteral(" as a ") +
                qView(info.caption);
    if (info.game) {
        const auto& game = gamePalettes().at(static_cast<std::size_t>(*info.game));
        note += QStringLiteral(", mapped onto the ") + qView(game.caption).simplified() +
                QStringLiteral(" palette (") + qText(window_.GamePalettes().path(*info.game).filename()) +
                QStringLiteral(")");
    }
    if (CBDither->isChecked()) note += QStringLiteral(", dithered");
    LPreviewNote->setText(note);
}

// --- writing -------------------------------------------------------------------------------------

void ImportPictureDialog::SBWriteClick() {
    if (writing_) return;
    window_.guarded([this] {
        const auto picture = picturePath();
        if (picture.empty()) {
            window_.prompts().message(QStringLiteral("No picture chosen"));
            return;
        }
        if (ETexture->text().trimmed().isEmpty()) {
            window_.prompts().message(QStringLiteral("No texture file name given"));
            return;
        }
        auto chosenOptions = options();
        chosenOptions.fields = walFields(); // a field that is wrong is said before anything is asked
        const auto texture = fs::absolute(fsPath(ETexture->text().trimmed()));
        if (!mayReplace(window_.prompts(), qText(texture))) return;
        const auto kind = chosenKind();
        placeholderNotice_.reset();
        if (const auto& game = textureKindInfo(kind).game;
            game && usesPlaceholder(*game, chosenOptions.palettes))
            placeholderNotice_ = placeholderNotice(loadGamePalette(*game, chosenOptions.palettes));
        writingPath_ = texture;
        writing_ = true;
        writeCancel_.set(false);
        setControlsEnabled(false);
        auto* cancel = &writeCancel_; // the dialog waits for the write before it goes
        writeWatcher_.setFuture(QtConcurrent::run([kind, texture, picture, chosenOptions, cancel] {
            std::exception_ptr error;
            try {
                importTextures(kind, texture, {picture}, chosenOptions, cancel);
            } catch (...) {
                error = std::current_exception();
            }
            return error;
        }));
    });
}

void ImportPictureDialog::writeFinished() {
    if (!writing_) return;
    writing_ = false;
    setControlsEnabled(true);
    const auto error = writeWatcher_.result();
    if (!error) {
        auto status = QStringLiteral("Created File ") + qText(writingPath_);
        if (placeholderNotice_) status += QStringLiteral(" - ") + qText(*placeholderNotice_);
        window_.SzLabText(status);
        accept();
        return;
    }
    // The dialog stays, so that the user can choose another picture, kind or name.
    window_.guarded([&] {
        try {
            std::rethrow_exception(error);
        } catch (const Cancelled&) {
            window_.SzLabText(QStringLiteral("Writing cancelled: ") + qText(writingPath_) +
                              QStringLiteral(" was not written"));
        }
    });
}

void ImportPictureDialog::setControlsEnabled(bool enabled) {
    for (QWidget* control :
         std::initializer_list<QWidget*>{EPicture, SBBrowsePicture, CBTextureKind, CBDither, WalFields,
                                         ETexture, SBBrowseTexture, SBWrite})
        control->setEnabled(enabled);
}

// --- closing -------------------------------------------------------------------------------------

void ImportPictureDialog::stopWork() {
    pendingPreview_.reset();
    if (writing_) {
        writeCancel_.set(true);
        writeWatcher_.waitForFinished();
        writeFinished();
    }
    previewWatcher_.waitForFinished();
}

void ImportPictureDialog::reject() {
    // Close, Escape and the title bar's close all come here.
    stopWork();
    QDialog::reject();
}

} // namespace vexa::ui
