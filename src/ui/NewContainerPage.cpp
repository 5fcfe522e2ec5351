#include "ui/NewContainerPage.h"

namespace vexa::ui {

NewContainerPage::NewContainerPage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("New_C"));
}

void NewContainerPage::ResetPage() {}

} // namespace vexa::ui
