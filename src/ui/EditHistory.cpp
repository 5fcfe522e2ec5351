#include "ui/EditHistory.h"

#include <QUndoCommand>

namespace vexa::ui {

class EditHistory::Step : public QUndoCommand {
  public:
    Step(EditHistory& history, const QString& text, ContainerEdit before, ContainerEdit after)
        : QUndoCommand(text), history_(history), before_(std::move(before)), after_(std::move(after)) {}

    void undo() override { history_.set(before_); }
    void redo() override { history_.set(after_); }

  private:
    EditHistory& history_;
    const ContainerEdit before_;
    const ContainerEdit after_;
};

EditHistory::EditHistory(QObject* parent) : QObject(parent), steps_(this) {}

void EditHistory::reset(std::optional<ContainerEdit> edit) {
    steps_.clear();
    edit_ = std::move(edit);
    emit changed();
}

void EditHistory::apply(const QString& text, const std::function<void(ContainerEdit&)>& change) {
    if (!edit_) return;
    auto after = *edit_;
    change(after);
    steps_.push(new Step(*this, text, *edit_, std::move(after))); // its redo makes it the edit
}

void EditHistory::set(const ContainerEdit& edit) {
    edit_ = edit;
    emit changed();
}

} // namespace vexa::ui
