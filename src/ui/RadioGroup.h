#pragma once
// A titled group of radio buttons with one chosen item (or none), laid out in columns filled top to
// bottom. itemClicked reports a choice by the user, also of the item already chosen.

#include <QGroupBox>
#include <QStringList>

#include <vector>

class QButtonGroup;
class QRadioButton;

namespace vexa::ui {

class RadioGroup : public QGroupBox {
    Q_OBJECT
  public:
    RadioGroup(const QString& title, const QStringList& items, int columns, QWidget* parent = nullptr);

    // The chosen item, -1 when none is.
    int itemIndex() const;
    // Chooses item index without reporting a click; -1 chooses none.
    void setItemIndex(int index);
    int count() const { return static_cast<int>(buttons_.size()); }
    QRadioButton* button(int index) const { return buttons_.at(static_cast<std::size_t>(index)); }

  signals:
    void itemClicked(int index);

  private:
    QButtonGroup* group_;
    std::vector<QRadioButton*> buttons_;
};

} // namespace vexa::ui
