#include "ui/PalettesPage.h"

#include "images/palette_files.h"
#include "ui/ElidedLabel.h"
#include "ui/PageHost.h"
#include "ui/Prompts.h"
#include "ui/QtText.h"
#include "ui/RadioGroup.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace vexa::ui {

namespace {

// What the open dialog offers once a palette load is over, until the window's next reset. The
// known files leave out kinds told by their first bytes alone (.grp, .lfd, .rpk, .zfs...): all
// files stay a choice.
const QString kKnownFiles =
    QStringLiteral(
        "Known Files (*.wad *.gob *.goo *.lab *.pak *.bsp *.bm *.wal *.mat *.hog *.d3c *.d3m *.mn3 *.vp)"
        ";;") +
    kAllFiles;

QString text(std::string_view view) {
    return QString::fromUtf8(view.data(), static_cast<qsizetype>(view.size()));
}

QStringList gameCaptions() {
    QStringList captions;
    for (const auto& game : gamePalettes())
        captions << text(game.caption);
    return captions;
}

QStringList sourceCaptions() {
    QStringList captions;
    for (const auto& source : paletteSources())
        captions << text(source.caption);
    return captions;
}

} // namespace

PalettePreview::PalettePreview(const Palette& palette, QWidget* parent) : QWidget(parent), palette_(palette) {
    setObjectName(QStringLiteral("PB1"));
    setFixedSize(kSide, kSide);
}

void PalettePreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(QPen(Qt::black, 1));
    for (const auto& cell : PaintPalettePreview(palette_.table)) {
        painter.setBrush(QColor(cell.red, cell.green, cell.blue));
        // A stroked rectangle covers one pixel more than its size: the square ends one short of
        // its right and bottom edges, leaving a one-pixel gap to the next at the 11-pixel pitch.
        painter.drawRect(cell.left, cell.top, cell.right - cell.left - 1, cell.bottom - cell.top - 1);
    }
}

PalettesPage::PalettesPage(PageHost& window, QWidget* parent) : QWidget(parent), window_(window) {
    setObjectName(QStringLiteral("Palettes"));

    Plab = new ElidedLabel(this);
    Plab->setObjectName(QStringLiteral("Plab"));
    Plab->setToolTip(QStringLiteral("Palette in use by selected game file"));
    Plab->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto bold = Plab->font();
    bold.setBold(true);
    Plab->setFont(bold);
    Plab->setMinimumHeight(Plab->fontMetrics().height() + 4);

    RGpal =
        new RadioGroup(QStringLiteral("Palette used when no pal is in image file"), gameCaptions(), 2, this);
    RGpal->setObjectName(QStringLiteral("RGpal"));
    RGpal->setToolTip(QStringLiteral("Game file palette selection"));
    RGpal->setItemIndex(0);

    auto* panel = new QFrame(this);
    panel->setObjectName(QStringLiteral("Panel2"));
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFrameShadow(QFrame::Sunken);

    PB1 = new PalettePreview(window_.CurrentPalette(), panel);

    SBGetPal = new QPushButton(QStringLiteral("Load palette"), panel);
    SBGetPal->setObjectName(QStringLiteral("SBGetPal"));
    SBGetPal->setToolTip(QStringLiteral("Loads a palette from the slected source"));
    SBGetPal->setAutoDefault(false);

    auto* fromLabel = new QLabel(QStringLiteral("Load Palette from"), panel);
    fromLabel->setObjectName(QStringLiteral("Label1"));

    RGPalGet = new RadioGroup(QString(), sourceCaptions(), 1, panel);
    RGPalGet->setObjectName(QStringLiteral("RGPalGet"));
    RGPalGet->setToolTip(QStringLiteral("Source for palette"));
    RGPalGet->setItemIndex(0);

    auto* sourceColumn = new QVBoxLayout;
    sourceColumn->setSpacing(4);
    sourceColumn->addWidget(SBGetPal, 0, Qt::AlignLeft);
    sourceColumn->addSpacing(4);
    sourceColumn->addWidget(fromLabel);
    sourceColumn->addWidget(RGPalGet);
    sourceColumn->addStretch(1);

    auto* panelLayout = new QHBoxLayout(panel);
    panelLayout->setContentsMargins(6, 6, 6, 6);
    panelLayout->setSpacing(10);
    panelLayout->addWidget(PB1, 0, Qt::AlignTop);
    panelLayout->addLayout(sourceColumn, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);
    layout->addWidget(Plab);
    layout->addWidget(RGpal);
    layout->addWidget(panel);
    layout->addStretch(1);

    connect(RGpal, &RadioGroup::itemClicked, this, &PalettesPage::RGpalClick);
    connect(SBGetPal, &QPushButton::clicked, this, &PalettesPage::SBGetPalClick);
}

void PalettesPage::SetDefaultPalettes() {
    window_.GamePalettes() = GamePalettePaths::defaults(window_.Folders().data);
    RGpal->setItemIndex(0);
    RGpalClick();
}

void PalettesPage::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    PB1->update();
}

void PalettesPage::RGpalClick() {
    const int item = RGpal->itemIndex();
    if (item < 0) return;
    window_.guarded([this, item] {
        const auto game = gamePalettes().at(static_cast<std::size_t>(item)).game;
        Plab->setText(qText(window_.GamePalettes().path(game)));
        // Also a palette that did not load is shown: black, as the current palette now is.
        struct RepaintAfter {
            QWidget* box;
            ~RepaintAfter() { box->update(); }
        } repaint{PB1};
        window_.SetCurrentPalette(Palette{});
        window_.SetCurrentPalette(loadGamePalette(game, window_.GamePalettes()));
    });
}

void PalettesPage::SBGetPalClick() {
    window_.guarded([this] {
        struct KnownFilesAfter {
            PageHost& host;
            ~KnownFilesAfter() { host.SetOpenDialog(kKnownFiles, host.Folders().extract); }
        } after{window_};

        window_.SetOpenDialog(kAllFiles, window_.Folders().data);
        const auto chosen = window_.ExecuteOpenDialog();
        if (!chosen) return;
        const int game = RGpal->itemIndex(), source = RGPalGet->itemIndex();
        if (game < 0 || source < 0) return;
        window_.SzLabText({}); // the last load's "Loaded Ok" is not this one's

        const auto copy =
            importPalette(paletteSources().at(static_cast<std::size_t>(source)).source, fsPath(*chosen),
                          window_.Folders().data, gamePalettes().at(static_cast<std::size_t>(game)).game,
                          window_.GamePalettes());
        if (!copy) {
            window_.prompts().message(text(kWrongPaletteFile));
            return;
        }
        RGpalClick();
        window_.SzLabText(text(kPaletteLoadedText));
    });
}

} // namespace vexa::ui
