#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "foundation/VlrDataTypes.h"
#include "sequences/SequenceSlot.h"

class SequenceContainer;

// What the operator looked at: the sequence shown and the editor's current row (-1 for none).
struct SequenceFocus {
    std::optional<std::uint32_t> sequence;
    int row = -1;
};

// One undoable change of the sequences, kept as the difference it made to each sequence it
// touched: the name, and the run of steps between the steps that stayed the same. Undo and Redo
// put the other side back through the model's own operations, so the model checks every step it
// gets back and raises its change event as for any edit.
class SequenceChange {
  public:
    using VlrRetVal = VlrDataTypes::VlrRetVal;

    // The cell a change edited; consecutive edits of one cell become one step.
    struct Cell {
        std::uint32_t sequence = 0;
        int row = 0;
        int column = 0;
        bool operator==(const Cell&) const = default;
    };

    // Takes the state before the change: of sequence `only`, or of every sequence (a renumber
    // rewrites the calls of others).
    SequenceChange(const SequenceContainer& model, std::wstring text,
                   std::optional<std::uint32_t> only, SequenceFocus before);
    // Takes the state after the change and keeps only what differs.
    void Finish(const SequenceContainer& model, SequenceFocus after);

    bool IsEmpty() const { return slots_.empty(); }
    const std::wstring& Text() const { return text_; }
    const SequenceFocus& FocusBefore() const { return before_; }
    const SequenceFocus& FocusAfter() const { return after_; }
    void SetCell(Cell cell) { cell_ = cell; }
    const std::optional<Cell>& EditedCell() const { return cell_; }

    VlrRetVal Undo(SequenceContainer& model) const { return Apply(model, false); }
    VlrRetVal Redo(SequenceContainer& model) const { return Apply(model, true); }
    // Takes `later` into this change when both edited the same cell and the same steps; the
    // result may change nothing at all (IsEmpty).
    bool MergeWith(const SequenceChange& later);

  private:
    struct Side {
        std::wstring name;  // empty: the number is free
        std::vector<CommandSet> steps;
    };
    // Steps [first, first + steps) of one side differ from the other side's.
    struct SlotChange {
        std::uint32_t number = 0;
        std::size_t first = 0;
        Side before;
        Side after;
    };

    VlrRetVal Apply(SequenceContainer& model, bool forward) const;

    std::wstring text_;
    SequenceFocus before_;
    SequenceFocus after_;
    std::optional<Cell> cell_;
    // Whole states while the change runs, then the differences.
    std::vector<std::pair<std::uint32_t, Side>> taken_;
    std::vector<SlotChange> slots_;
};
