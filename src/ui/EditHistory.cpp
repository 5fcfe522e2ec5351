#include "ui/EditHistory.h"

#include <QUndoCommand>

#include <algorithm>
#include <utility>

namespace vexa::ui {

// One snapshot per step: the value the edit does not have now (after it before Redo, before it
// after), swapped with the edit's each way.
class EditHistory::Step : public QUndoCommand {
  public:
    Step(EditHistory& history, const QString& text, ContainerEdit after)
        : QUndoCommand(text), history_(history), other_(std::move(after)) {}

    void undo() override { history_.swap(other_); }
    void redo() override { history_.swap(other_); }

  private:
    EditHistory& history_;
    ContainerEdit other_;
};

namespace {

// Each step holds a copy of the edit's rows (some 64 bytes a row): the steps kept are as many as
// fit in a budget, so that a long session on 100,000 entries stays bounded, and never fewer than
// a hand's worth of edits.
int stepLimit(std::size_t rows) {
    constexpr std::size_t kBudget = std::size_t{64} << 20, kRowBytes = 64;
    constexpr std::size_t kFewest = 10, kMost = 100;
    return static_cast<int>(std::clamp(kBudget / std::max<std::size_t>(1, rows * kRowBytes), kFewest, kMost));
}

} // namespace

EditHistory::EditHistory(QObject* parent) : QObject(parent), steps_(this) {}

void EditHistory::reset(std::optional<ContainerEdit> edit) {
    steps_.clear();
    steps_.setUndoLimit(stepLimit(edit ? edit->rowCount() : 0)); // only while there are no steps
    edit_ = std::move(edit);
    emit changed();
}

void EditHistory::apply(const QString& text, const std::function<void(ContainerEdit&)>& change) {
    if (!edit_) return;
    auto after = *edit_;
    change(after);
    steps_.push(new Step(*this, text, std::move(after))); // its redo makes it the edit
}

void EditHistory::swap(ContainerEdit& other) {
    std::swap(*edit_, other);
    emit changed();
}

} // namespace vexa::ui
