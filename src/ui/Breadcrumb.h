#pragma once
// The bar above the list that shows where the open container lies when it is an entry of another
// ("pak0.pak › maps › e1m1.bsp"): each level but the last is a button that goes back up to it.

#include <QWidget>

#include <string>
#include <vector>

class QHBoxLayout;

namespace vexa::ui {

class Breadcrumb : public QWidget {
    Q_OBJECT
  public:
    explicit Breadcrumb(QWidget* parent = nullptr);

    // The levels' names, the file first; one level (a file of its own) hides the bar.
    void setLevels(const std::vector<std::string>& names);
    // The names shown, joined by " › ", for the title and the tests.
    QString text() const;

  signals:
    // The user chose level depth (0: the file).
    void levelChosen(int depth);

  private:
    QHBoxLayout* layout_;
    std::vector<std::string> names_;
};

} // namespace vexa::ui
