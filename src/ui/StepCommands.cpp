#include "ui/StepCommands.h"

#include <algorithm>

#include "sequences/SequenceContainer.h"
#include "ui/SequenceHistory.h"

namespace {

const wchar_t kPasteError[] = L"Unable to Paste Steps";

// Every part, an empty last one included: a spreadsheet ends a row whose last cell is empty
// with a tab.
std::vector<std::wstring> Split(const std::wstring& text, wchar_t separator) {
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(separator, start)) != std::wstring::npos;
         start = end + 1) {
        parts.push_back(text.substr(start, end - start));
    }
    parts.push_back(text.substr(start));
    return parts;
}

}  // namespace

SequenceFocus StepCommands::Focus() const {
    return {editor_.ShownSequence(), editor_.CurrentRow()};
}

template <typename Change>
bool StepCommands::Recorded(const std::wstring& text, Change change,
                            std::optional<SequenceChange::Cell> cell) {
    const std::uint32_t shown = editor_.ShownSequence();
    if (history_ == nullptr || model_ == nullptr || shown == SequenceEditor::kNoSequence) {
        return change();
    }
    SequenceChange recorded(*model_, text, shown, Focus());
    const bool result = change();
    recorded.Finish(*model_, Focus());
    if (cell) {
        recorded.SetCell(*cell);
    }
    history_->Record(std::move(recorded));
    return result;
}

bool StepCommands::EndEdit(int row, int column, const std::wstring& chosen) {
    return Recorded(
        L"Edit Cell", [&] { return editor_.EndEdit(row, column, chosen); },
        SequenceChange::Cell{editor_.ShownSequence(), row, column});
}

void StepCommands::Run(Operation operation) {
    const std::wstring text = operation == &SequenceEditor::AddRow      ? L"Add Row"
                              : operation == &SequenceEditor::RemoveRow ? L"Remove Row"
                              : operation == &SequenceEditor::MoveRowUp ? L"Move Row Up"
                                                                        : L"Move Row Down";
    Recorded(text, [&] {
        (editor_.*operation)();
        return true;
    });
}

std::wstring StepCommands::Copy(int first, int count) const {
    std::wstring text;
    for (int row = std::max(first, 0); row < std::min(first + count, editor_.RowCount()); ++row) {
        for (int column = 0; column < editor_.ColumnCount(); ++column) {
            text += (column > 0 ? L"\t" : L"") + editor_.CellText(row, column);
        }
        text += L"\n";
    }
    return text;
}

std::optional<std::wstring> StepCommands::Cut(int first, int count) {
    const int end = first + count;
    if (model_ == nullptr || count <= 0 || first < 0 || end > editor_.RowCount()) {
        return std::nullopt;
    }
    const auto inside = [first, end](int row) { return row >= first && row < end; };
    const std::vector<int> partner = editor_.MatchLoops();
    for (int row = first; row < end; ++row) {
        if (partner[static_cast<std::size_t>(row)] >= 0 &&
            !inside(partner[static_cast<std::size_t>(row)])) {
            prompts_.ShowRuleError(L"Unable to Cut Steps",
                                   L"A loop's start and end go together: select both, or "
                                   L"neither.");
            return std::nullopt;
        }
    }
    std::wstring text = Copy(first, count);
    const std::uint32_t shown = editor_.ShownSequence();
    Recorded(L"Cut Steps", [&] {
        for (int row = end - 1; row >= first; --row) {
            model_->RemoveCommandSet(shown, static_cast<std::uint32_t>(row));
        }
        editor_.LoadSequence(shown);
        editor_.SelectRow(std::min(first, editor_.RowCount() - 1));
        return true;
    });
    return text;
}

bool StepCommands::Paste(const std::wstring& text) {
    const int current = editor_.CurrentRow();
    return Insert(text, current >= 0 ? current : editor_.RowCount(), L"Paste Steps");
}

bool StepCommands::Duplicate(int first, int count) {
    if (count <= 0 || first < 0 || first + count > editor_.RowCount()) {
        return false;
    }
    return Insert(Copy(first, count), first + count, L"Duplicate Steps");
}

// Is the line the grid's own header row, as a spreadsheet copies it along with the steps?
bool StepCommands::IsHeaderRow(const std::vector<std::wstring>& cells) const {
    if (cells.size() < static_cast<std::size_t>(editor_.ColumnCount())) {
        return false;
    }
    for (std::size_t column = 0; column < cells.size(); ++column) {
        const std::wstring expected = static_cast<int>(column) < editor_.ColumnCount()
                                          ? editor_.ColumnHeader(static_cast<int>(column))
                                          : L"";
        if (cells[column] != expected) {
            return false;
        }
    }
    return true;
}

std::optional<std::wstring> StepCommands::Read(const std::wstring& text, int position,
                                               std::vector<CommandSet>& sets) const {
    std::vector<std::wstring> lines = Split(text, L'\n');
    for (std::wstring& line : lines) {
        if (!line.empty() && line.back() == L'\r') {
            line.pop_back();
        }
    }
    while (!lines.empty() && lines.back().empty()) {
        lines.pop_back();
    }
    const std::size_t first = !lines.empty() && IsHeaderRow(Split(lines[0], L'\t')) ? 1 : 0;
    if (lines.size() <= first) {
        return L"There are no steps to paste.";
    }
    const auto columns = static_cast<std::size_t>(editor_.ColumnCount());
    // Rows are counted as in the pasted text, so that the operator finds the one meant.
    const auto where = [this, first](std::size_t index, int column) {
        return L"Pasted row " + std::to_wstring(first + index + 1) +
               (column >= 0 ? L", column \"" + editor_.ColumnHeader(column) + L"\"" : L"") + L": ";
    };
    std::vector<StepCells::Cells> rows;
    for (std::size_t index = first; index < lines.size(); ++index) {
        rows.push_back(Split(lines[index], L'\t'));
        const std::size_t given = rows.back().size();
        if (given == 1) {
            return where(rows.size() - 1, -1) +
                   L"it has no columns.  Steps are pasted one a line, with the grid's columns "
                   L"separated by tabs, as this grid or a spreadsheet copies them.";
        }
        if (given > columns) {
            return where(rows.size() - 1, -1) + L"it has " + std::to_wstring(given) +
                   L" columns; the grid has " + std::to_wstring(columns) + L".";
        }
        rows.back().resize(columns);
    }
    if (const std::optional<SequenceEditor::RowRefusal> refused =
            editor_.ReadRows(std::move(rows), position, sets)) {
        return where(refused->index, refused->refusal.column) + refused->refusal.text;
    }
    return std::nullopt;
}

bool StepCommands::Insert(const std::wstring& text, int position, const std::wstring& undoText) {
    const std::uint32_t shown = editor_.ShownSequence();
    if (model_ == nullptr || shown == SequenceEditor::kNoSequence) {
        return false;
    }
    std::vector<CommandSet> sets;
    if (const std::optional<std::wstring> reason = Read(text, position, sets)) {
        prompts_.ShowRuleError(kPasteError, *reason);
        return false;
    }
    std::optional<std::wstring> refused;
    const int current = editor_.CurrentRow();
    const bool inserted = Recorded(undoText, [&] {
        // All or nothing: what the model refuses takes back the steps already in.
        SequenceChange attempt(*model_, undoText, shown, {});
        for (std::size_t index = 0; index < sets.size() && !refused; ++index) {
            const auto set =
                static_cast<std::uint32_t>(position) + static_cast<std::uint32_t>(index);
            if (model_->AddCommandSet(shown, set) != 0 ||
                model_->ReplaceCommandSet(shown, set, sets[index]) != 0) {
                refused = L"Step " + std::to_wstring(index + 1) +
                          L": the sequence model refused it (see the message log).";
            }
        }
        editor_.LoadSequence(shown);
        for (int row = position; row < position + static_cast<int>(sets.size()) && !refused;
             ++row) {
            if (editor_.IsRowFrozen(row)) {
                refused = L"Step " + std::to_wstring(row - position + 1) +
                          L": the grid would not show it as it was pasted.";
            }
        }
        if (refused) {
            attempt.Finish(*model_, {});
            attempt.Undo(*model_);
            editor_.LoadSequence(shown);
            editor_.SelectRow(current);
            return false;
        }
        editor_.SelectRow(position);
        return true;
    });
    if (refused) {
        prompts_.ShowRuleError(kPasteError, *refused);
    }
    return inserted;
}
