#pragma once
// The Palettes page. Its controls and behaviour come with the palette work; until then
// the page is empty and its start-up does nothing.

#include <QWidget>

namespace vexa::ui {

class PalettesPage : public QWidget {
    Q_OBJECT
  public:
    explicit PalettesPage(QWidget* parent = nullptr);

    // The page's start-up, run when the window is first shown: the five game palette paths and
    // the first game's palette.
    void SetDefaultPalettes();
};

} // namespace vexa::ui
