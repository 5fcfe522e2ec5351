#pragma once
// The Palettes page: which game's palette is shown (RGpal), the 16 x 16 preview of the window's
// CurrentPalette (PB1), and loading a palette from one of five kinds of file (SBGetPal, RGPalGet), whose copy
// in the Data folder becomes the chosen game's palette until the program ends.

#include "images/palette.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace vexa::ui {

class PageHost;
class RadioGroup;

// PB1: paints the palette it is given (the window's CurrentPalette) as it is at each repaint.
class PalettePreview : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kSide = 200;
    PalettePreview(const Palette& palette, QWidget* parent = nullptr);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    const Palette& palette_;
};

class PalettesPage : public QWidget {
    Q_OBJECT
  public:
    PalettesPage(PageHost& window, QWidget* parent = nullptr);

    // The page's start-up, run when the window is first shown: the five game palette paths, the
    // first game chosen and its palette loaded.
    void SetDefaultPalettes();

  protected:
    // The preview shows the current palette as it is whenever the page comes into view: opening
    // an image loads its game's palette meanwhile.
    void showEvent(QShowEvent* event) override;

  private slots:
    void RGpalClick();
    void SBGetPalClick();

  private:
    PageHost& window_;
    QLabel* Plab;
    RadioGroup* RGpal;
    PalettePreview* PB1;
    QPushButton* SBGetPal;
    RadioGroup* RGPalGet;
};

} // namespace vexa::ui
