#include "ui/SequenceUndoCommand.h"

#include <QUndoStack>

SequenceUndoCommand::SequenceUndoCommand(SequenceContainer& model, SequenceChange change, Show show)
    : model_(model), change_(std::move(change)), show_(std::move(show)) {
    setText(QString::fromStdWString(change_.Text()));
}

void SequenceUndoCommand::undo() {
    change_.Undo(model_);
    show_(change_.FocusBefore());
}

void SequenceUndoCommand::redo() {
    if (!pushed_) {
        pushed_ = true;
        return;
    }
    change_.Redo(model_);
    show_(change_.FocusAfter());
}

bool SequenceUndoCommand::mergeWith(const QUndoCommand* other) {
    if (!change_.MergeWith(static_cast<const SequenceUndoCommand*>(other)->change_)) {
        return false;
    }
    // An edit typed back to what the cell held leaves no step behind.
    setObsolete(change_.IsEmpty());
    return true;
}

void UndoStackHistory::Keep(SequenceChange change) {
    stack_.push(new SequenceUndoCommand(model_, std::move(change), show_));
}
