#pragma once

#include <QUndoCommand>
#include <functional>

#include "ui/SequenceChange.h"
#include "ui/SequenceHistory.h"

class QUndoStack;
class SequenceContainer;

// One change of the sequences on the window's undo stack. The change is made before the
// command is pushed, so the push's own redo does nothing; later undos and redos restore the
// model and then show the sequence and row the operator was at.
class SequenceUndoCommand final : public QUndoCommand {
  public:
    using Show = std::function<void(const SequenceFocus&)>;
    static constexpr int kCellEdit = 1;

    SequenceUndoCommand(SequenceContainer& model, SequenceChange change, Show show);
    void undo() override;
    void redo() override;
    int id() const override { return change_.EditedCell() ? kCellEdit : -1; }
    bool mergeWith(const QUndoCommand* other) override;

  private:
    SequenceContainer& model_;
    SequenceChange change_;
    Show show_;
    bool pushed_ = false;
};

// The window's history: every recorded change becomes one command on its stack.
class UndoStackHistory final : public SequenceHistory {
  public:
    UndoStackHistory(QUndoStack& stack, SequenceContainer& model, SequenceUndoCommand::Show show)
        : stack_(stack), model_(model), show_(std::move(show)) {}

  protected:
    void Keep(SequenceChange change) override;

  private:
    QUndoStack& stack_;
    SequenceContainer& model_;
    SequenceUndoCommand::Show show_;
};
