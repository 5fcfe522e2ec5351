#include "ui/PalettesPage.h"

namespace vexa::ui {

PalettesPage::PalettesPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Palettes"));
}

void PalettesPage::SetDefaultPalettes() {}

} // namespace vexa::ui
