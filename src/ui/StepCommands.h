#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ui/SequenceChange.h"
#include "ui/SequenceEditor.h"

class SequenceContainer;
class SequenceHistory;

// Every change the operator makes in the sequence editor, each handed to the history as one
// step; and steps to and from tab-separated text, one step a line and one grid column a field
// in the grid's own texts, as a spreadsheet copies and pastes them. Pasted rows are the editor's
// to judge, as its cells are, and a paste that breaks a rule pastes nothing.
class StepCommands {
  public:
    using Operation = void (SequenceEditor::*)();

    StepCommands(SequenceEditor& editor, SequenceEditorPrompts& prompts)
        : editor_(editor), prompts_(prompts) {}

    // The model the editor shows; without a history nothing is recorded.
    void Initialize(SequenceContainer& model) { model_ = &model; }
    void SetHistory(SequenceHistory* history) { history_ = history; }

    // The editor's own operations, recorded: a finished cell edit (consecutive edits of one
    // cell are one step), and Add Row, Remove Row, Move Row Up and Move Row Down.
    bool EndEdit(int row, int column, const std::wstring& chosen);
    void Run(Operation operation);

    // Steps [first, first + count) as text.
    std::wstring Copy(int first, int count) const;
    // The text of the steps removed, nothing when a loop would lose its start or its end.
    std::optional<std::wstring> Cut(int first, int count);
    // Inserts the steps of `text` where Add Row would insert one.
    bool Paste(const std::wstring& text);
    // Inserts a copy of the steps below them.
    bool Duplicate(int first, int count);

  private:
    SequenceFocus Focus() const;
    template <typename Change>
    bool Recorded(const std::wstring& text, Change change,
                  std::optional<SequenceChange::Cell> cell = std::nullopt);
    // The reason the steps of `text` may not go in at `position`, or the command sets. A first
    // line that is the grid's header row is no step.
    std::optional<std::wstring> Read(const std::wstring& text, int position,
                                     std::vector<CommandSet>& sets) const;
    bool IsHeaderRow(const std::vector<std::wstring>& cells) const;
    bool Insert(const std::wstring& text, int position, const std::wstring& undoText);

    SequenceEditor& editor_;
    SequenceEditorPrompts& prompts_;
    SequenceContainer* model_ = nullptr;
    SequenceHistory* history_ = nullptr;
};
