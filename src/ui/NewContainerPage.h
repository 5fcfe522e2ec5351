#pragma once
// The New_C page, where new containers are built. Its controls and behaviour come with the container-creation
// work; until then the page is empty and its part of ResetWindow does nothing.

#include <QWidget>

namespace vexa::ui {

class NewContainerPage : public QWidget {
    Q_OBJECT
  public:
    explicit NewContainerPage(QWidget* parent = nullptr);

    // The page's share of ResetWindow: no kind chosen in RGConCreate, EGetFiles and EConName
    // empty, SBCreate disabled.
    void ResetPage();
};

} // namespace vexa::ui
