#pragma once
// The edit of the open container, with Undo and Redo over the edits not yet saved. Each step keeps
// a copy of the edit value: undoing puts the older value back, so no edit needs an inverse of its own.

#include "app/container_edit.h"

#include <QObject>
#include <QString>
#include <QUndoStack>

#include <functional>
#include <optional>

namespace vexa::ui {

class EditHistory : public QObject {
    Q_OBJECT
  public:
    explicit EditHistory(QObject* parent = nullptr);

    // The edit, or null while the open file is of a kind that cannot be edited (or none is open).
    const ContainerEdit* edit() const { return edit_ ? &*edit_ : nullptr; }
    bool modified() const { return edit_ && edit_->modified(); }

    // A fresh edit over a file just opened or saved (null: none), with no steps to undo.
    void reset(std::optional<ContainerEdit> edit);
    // Makes change on a copy of the edit. When it throws, the edit stays as it was and the error
    // goes on to the caller; otherwise the changed copy is the edit and one step named text.
    void apply(const QString& text, const std::function<void(ContainerEdit&)>& change);

    QUndoStack& steps() { return steps_; }

  signals:
    // The edit has changed (a step, Undo, Redo or a reset).
    void changed();

  private:
    class Step;
    void swap(ContainerEdit& other);

    std::optional<ContainerEdit> edit_;
    QUndoStack steps_;
};

} // namespace vexa::ui
