#include "ui/SequenceEditor.h"

#include <algorithm>
#include <iterator>

#include "foundation/ArgumentReading.h"
#include "foundation/LogFile.h"
#include "foundation/MiscFunctions.h"
#include "foundation/SequenceCommandWords.h"
#include "foundation/StepRules.h"
#include "foundation/StepText.h"
#include "foundation/TextConversion.h"
#include "sequences/SequenceContainer.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using Word = SequenceCommandWords::Word;

namespace {

const std::wstring kClear = L"Clear";
const std::wstring kRemove = L"Remove";
using StepRules::kMinDuration;

std::wstring WordText(Word word) {
    return SequenceCommandWords::Text(word);
}

// What the duration cell of a step without -Duration shows: the default step.
std::wstring DefaultDurationText() {
    return FixedText(kMinDuration, 1);
}

// A cell's kind is its first word, whatever else the text holds (a sequence name may hold
// "-Loop" or "Clear").
std::optional<Word> FirstWord(const std::wstring& text) {
    const std::vector<std::wstring> words = StepCells::Words(text);
    return words.empty() ? std::nullopt : SequenceCommandWords::Find(words.front());
}

bool IsWord(const std::wstring& token, Word word) {
    return SequenceCommandWords::Find(token) == word;
}

bool IsLedWord(const std::wstring& token) {
    return IsWord(token, Word::On) || IsWord(token, Word::Off) ||
           StepCells::IntensityOf(token).has_value();
}

}  // namespace

void SequenceEditor::InitializeGrid(LogFile* log, SequenceContainer& container) {
    log_ = log;
    container_ = &container;
    labels_ = container.GetColorLabels();
    ttlBits_ = container.GetTTLBitNames();
    ClearGrid();
}

void SequenceEditor::ClearGrid() {
    rows_.clear();
    sequence_ = kNoSequence;
    currentRow_ = -1;
    buttons_ = Buttons();
    total_ = L"0 ms";
}

SequenceEditor::VlrRetVal SequenceEditor::LoadSequence(std::uint32_t number) {
    ClearGrid();
    if (container_ == nullptr) {
        return VLR_FAILURE;
    }
    buttons_.addRow = true;
    sequence_ = number;
    if (container_->ValidateSequenceNumber(number) == VLR_SUCCESS) {
        const std::vector<CommandSet>& sets = container_->GetCommandSets(number);
        rows_.reserve(sets.size());
        for (std::size_t set = 0; set < sets.size(); ++set) {
            rows_.push_back(NewRow());
            ShowCommandSet(static_cast<int>(set), sets[set]);
        }
    }
    UpdateTimes();
    UpdateButtons();
    return VLR_SUCCESS;
}

std::wstring SequenceEditor::ColumnHeader(int column) const {
    static const wchar_t* const kHeaders[] = {L"Start Time(ms)", L"Duration(ms)", L"Loop/Call",
                                              L"TTL Out Bit(s)"};
    return column < kFirstLedColumn ? kHeaders[column] : labels_[column - kFirstLedColumn];
}

int SequenceEditor::ColumnWidth(int column) {
    static const int kWidths[] = {85, 115, 115, 80};
    return column < kFirstLedColumn ? kWidths[column] : 115;
}

bool SequenceEditor::IsReadOnly(int row, int column) const {
    return column == kStartColumn || rows_[row].frozen || rows_[row].readOnly[column];
}

SequenceEditor::RowKind SequenceEditor::KindOf(int row) const {
    return KindOf(rows_[row].cells[kLoopCallColumn]);
}

SequenceEditor::RowKind SequenceEditor::KindOf(const std::wstring& loopCallText) {
    switch (FirstWord(loopCallText).value_or(Word::On)) {
        case Word::Loop:
            return RowKind::LoopStart;
        case Word::EndLoop:
            return RowKind::LoopEnd;
        case Word::Call:
            return RowKind::Call;
        default:
            return RowKind::Ordinary;
    }
}

int SequenceEditor::FindRow(std::uint64_t id) const {
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        if (rows_[row].id == id) {
            return static_cast<int>(row);
        }
    }
    return -1;
}

void SequenceEditor::LogError(const std::wstring& message) const {
    if (log_ != nullptr) {
        log_->WriteMessage(LogLevel::Error, message);
    }
}

std::optional<std::vector<std::wstring>> SequenceEditor::Tokens(const std::wstring& text) const {
    std::vector<std::wstring> tokens;
    std::wstring error;
    if (MiscFunctions::ParseCommandString(text, tokens, error) != VLR_SUCCESS) {
        LogError(error);
        return std::nullopt;
    }
    return tokens;
}

SequenceEditor::Row SequenceEditor::NewRow() {
    Row row;
    row.id = nextId_++;
    row.cells.assign(static_cast<std::size_t>(ColumnCount()), std::wstring());
    row.readOnly.assign(row.cells.size(), false);
    row.cells[kDurationColumn] = DefaultDurationText();
    return row;
}

// Shows a stored command set, each command as the rulebook's text form reads it, in the order
// stored. When the row would not store the same commands back, it is frozen: the operator sees
// it but no edit can rewrite it. A step the rulebook refuses as a whole (a switch beside an
// intensity) stays editable, so that the operator can mend it.
void SequenceEditor::ShowCommandSet(int row, const CommandSet& stored) {
    const std::uint64_t id = rows_[row].id;
    rows_[row] = NewRow();
    rows_[row].id = id;
    const StepRules::Context context = container_->RuleContext();
    bool shown = true;
    bool hasDuration = false;
    for (const std::wstring& text : stored) {
        const StepText::Reading reading = StepText::Read({text}, context);
        if (reading.refusal) {
            LogUnshown(*reading.refusal);
            shown = false;
            continue;
        }
        shown = ShowCommand(row, reading.step, text) && shown;
        hasDuration = hasDuration || reading.step.duration.has_value();
    }
    CommandSet written = RowCommands(row);
    if (!hasDuration) {
        // A step without -Duration lasts the default step, which the row shows as a duration.
        std::erase(written, WordText(Word::Duration) + L" " + DefaultDurationText());
    }
    rows_[row].frozen = !shown || CanonicalCommands(stored) != CanonicalCommands(written);
}

// Adds one stored command, read as `command`, to the row's cells; false when the grid would
// refuse it (a call closing a cycle stays visible, on a frozen row).
bool SequenceEditor::ShowCommand(int row, const Step& command, const std::wstring& text) {
    const StepCells cells(*container_);
    std::vector<std::wstring>& shown = rows_[row].cells;
    if (const std::wstring loopCall = cells.LoopCallText(command); !loopCall.empty()) {
        SetLoopCallCell(row, loopCall);
        return !command.call || !container_->CheckCallNesting(sequence_, *command.call);
    }
    if (command.duration) {
        // As written, so that a commit stores it unchanged ("5" stays "5", "2.0" stays "2.0").
        std::vector<std::wstring> tokens;
        std::wstring error;
        MiscFunctions::ParseCommandString(text, tokens, error);
        shown[kDurationColumn] = tokens.back();
    } else if (command.SetsTTL()) {
        const std::wstring canonical = StepText::Write(command, container_->RuleContext()).front();
        shown[kTTLColumn] = UpdateTTLCellText(shown[kTTLColumn], canonical).value_or(L"");
    }
    for (int column = kFirstLedColumn; column < ColumnCount(); ++column) {
        const std::wstring light = StepCells::LightText(
            command.lights[static_cast<std::size_t>(column - kFirstLedColumn)]);
        std::wstring& cell = shown[column];
        cell += (cell.empty() || light.empty() ? L"" : L" ") + light;
    }
    return true;
}

// The commands as the rulebook's text form writes each back (the word and label as the model
// names them, numbers as read), in a fixed order: two sets that do the same compare equal.
CommandSet SequenceEditor::CanonicalCommands(const CommandSet& texts) const {
    const StepRules::Context context = container_->RuleContext();
    CommandSet canonical;
    for (const std::wstring& text : texts) {
        const StepText::Reading reading = StepText::Read({text}, context);
        const CommandSet written =
            reading.refusal ? CommandSet{text} : StepText::Write(reading.step, context);
        canonical.insert(canonical.end(), written.begin(), written.end());
    }
    std::sort(canonical.begin(), canonical.end());
    return canonical;
}

// What the operator is told of a stored command the grid leaves out.
void SequenceEditor::LogUnshown(const StepRules::Refusal& refusal) const {
    if (refusal.reason == StepRules::Reason::Unreadable) {
        LogError(refusal.argument);
    } else if (refusal.reason == StepRules::Reason::UnknownColor) {
        LogError(L"SequenceSetupHybridDlg::GetColumnNumber() - Error, color(" + refusal.argument +
                 L") was not found in our list");
    }
}

std::optional<std::wstring> SequenceEditor::UpdateTTLCellText(const std::wstring& cellText,
                                                              const std::wstring& command) const {
    const std::optional<std::vector<std::wstring>> cellTokens = Tokens(cellText);
    const std::optional<std::vector<std::wstring>> commandTokens = Tokens(command);
    if (!cellTokens || !commandTokens) {
        return std::nullopt;
    }
    if (commandTokens->size() != 2) {
        LogError(L"Error updating TTL cell text, the new command " + command +
                 L" had an invalid number of parameters.");
        return std::nullopt;
    }
    std::vector<int> high;
    std::vector<int> low;
    std::vector<int>* current = &high;
    std::vector<std::wstring> tokens = *cellTokens;
    tokens.insert(tokens.end(), commandTokens->begin(), commandTokens->end());
    for (const std::wstring& token : tokens) {
        if (IsWord(token, Word::TTLHigh)) {
            current = &high;
        } else if (IsWord(token, Word::TTLLow)) {
            current = &low;
        } else {
            current->push_back(ArgumentReading::ReadInteger(token));
        }
    }
    return StepCells::TTLText(high, low);
}

void SequenceEditor::SetRowCellsReadOnly(bool readOnly, int row, int exceptColumn) {
    Row& target = rows_[row];
    for (int column = kDurationColumn; column < ColumnCount(); ++column) {
        if (column != exceptColumn) {
            target.readOnly[column] = readOnly;
            target.cells[column].clear();
        }
    }
    target.cells[kDurationColumn].clear();
}

void SequenceEditor::SetLoopCallCell(int row, const std::wstring& text) {
    SetRowCellsReadOnly(true, row, kLoopCallColumn);
    rows_[row].cells[kLoopCallColumn] = text;
    rows_[row].readOnly[kLoopCallColumn] = FirstWord(text) == Word::EndLoop;
}

std::optional<std::uint32_t> SequenceEditor::CalledSequence(const std::wstring& callText) const {
    std::uint32_t number = 0;
    if (container_->ExtractSequenceNumberFromLabel(callText, number) != VLR_SUCCESS) {
        return std::nullopt;
    }
    return number;
}

SequenceEditor::VlrRetVal SequenceEditor::ApplyCall(int row, const std::wstring& callText) {
    const std::optional<std::uint32_t> called = CalledSequence(callText);
    if (!called) {
        return VLR_FAILURE;
    }
    if (container_->CheckCallNesting(sequence_, *called)) {
        prompts_.ShowRuleError(L"Command Usage Error",
                               L"Unable to add call sequence command.  This would have "
                               L"created a nested loop violation.");
        return VLR_FAILURE;
    }
    SetRowCellsReadOnly(true, row, kLoopCallColumn);
    return VLR_SUCCESS;
}

std::optional<std::wstring> SequenceEditor::AddLoop(int row, const std::wstring& oldText) {
    const std::optional<std::uint32_t> count = prompts_.AskLoopCount();
    if (!count) {
        return std::nullopt;
    }
    const std::wstring text = WordText(Word::Loop) + L" " + std::to_wstring(*count);
    SetLoopCallCell(row, text);
    if (FirstWord(oldText) != Word::Loop) {
        // The loop start is stored before its end, so that the model sees them in order.
        CommitRow(row);
        if (InsertRow(row + 1, true) != VLR_SUCCESS) {
            return std::nullopt;
        }
        SetLoopCallCell(row + 1, WordText(Word::EndLoop));
        CommitRow(row + 1);
    }
    return text;
}

std::vector<int> SequenceEditor::MatchLoops() const {
    std::vector<int> partner(rows_.size(), -1);
    int open = -1;
    for (int row = 0; row < RowCount(); ++row) {
        const RowKind kind = KindOf(row);
        if (kind == RowKind::LoopStart) {
            open = row;
        } else if (kind == RowKind::LoopEnd && open >= 0) {
            partner[open] = row;
            partner[row] = open;
            open = -1;
        }
    }
    return partner;
}

SequenceEditor::VlrRetVal SequenceEditor::InsertRow(int position, bool inModel) {
    if (inModel &&
        container_->AddCommandSet(sequence_, static_cast<std::uint32_t>(position)) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    rows_.insert(rows_.begin() + position, NewRow());
    return VLR_SUCCESS;
}

SequenceEditor::VlrRetVal SequenceEditor::RemoveRowAt(int row) {
    // A loop start takes its end with it; an unmatched start or end goes alone.
    if (KindOf(row) == RowKind::LoopStart) {
        const int end = MatchLoops()[row];
        if (end >= 0 && RemoveRowAt(end) != VLR_SUCCESS) {
            return VLR_FAILURE;
        }
    }
    if (container_->RemoveCommandSet(sequence_, static_cast<std::uint32_t>(row)) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    rows_.erase(rows_.begin() + row);
    return VLR_SUCCESS;
}

void SequenceEditor::SwapRows(int a, int b) {
    // The start time belongs to the position, not to the step.
    std::swap(rows_[a], rows_[b]);
    std::swap(rows_[a].cells[kStartColumn], rows_[b].cells[kStartColumn]);
    UpdateTimes();
}

std::vector<std::wstring> SequenceEditor::RowCommands(int row) const {
    return CommandsOf(rows_[row].cells);
}

std::vector<std::wstring> SequenceEditor::CommandsOf(const std::vector<std::wstring>& cells) const {
    return StepCells(*container_).Read(cells).commands;
}

Step SequenceEditor::StepOf(const std::vector<std::wstring>& cells) const {
    return StepText::Read(CommandsOf(cells), container_->RuleContext()).step;
}

bool SequenceEditor::LoopMayStartAt(int row) const {
    std::vector<Step> steps;
    for (int above = 0; above < row; ++above) {
        steps.push_back(StepOf(rows_[static_cast<std::size_t>(above)].cells));
    }
    Step start;
    start.loopCount = StepRules::kMinLoopCount;
    steps.push_back(start);
    const std::optional<StepRules::Refusal> refusal = StepRules::CheckLoops(steps);
    return !refusal || refusal->reason != StepRules::Reason::LoopAlreadyOpen;
}

std::optional<SequenceEditor::RowRefusal> SequenceEditor::ReadRows(
    std::vector<StepCells::Cells> rows, int row, std::vector<CommandSet>& sets) const {
    const bool loopAbove = !LoopMayStartAt(row);
    std::vector<Step> steps;
    for (std::size_t index = 0; index < rows.size(); ++index) {
        if (std::optional<StepCells::Refusal> refusal = ReadRow(rows[index], loopAbove, steps)) {
            return RowRefusal{index, *refusal};
        }
        sets.push_back(CommandsOf(rows[index]));
    }
    // Only a loop left open can remain: every other pairing fault was refused with its row.
    if (const std::optional<StepRules::Refusal> unclosed = StepRules::CheckLoops(steps)) {
        return RowRefusal{unclosed->index, {kLoopCallColumn, L"the loop it starts has no end."}};
    }
    return std::nullopt;
}

// One row by the rulebook, the sequence's calls and the pairing of the rows read before it
// (`steps`, to which its step is added); `loopAbove`: the rows go inside a loop.
std::optional<StepCells::Refusal> SequenceEditor::ReadRow(StepCells::Cells& cells, bool loopAbove,
                                                          std::vector<Step>& steps) const {
    if (std::optional<StepCells::Refusal> refusal = StepCells(*container_).Read(cells).refusal) {
        return refusal;
    }
    if (KindOf(cells[kLoopCallColumn]) == RowKind::Ordinary) {
        cells[kDurationColumn] = StepCells::DurationText(cells[kDurationColumn]);
    }
    steps.push_back(StepOf(cells));
    const Step& step = steps.back();
    if (step.call && container_->CheckCallNesting(sequence_, *step.call)) {
        return StepCells::Refusal{kLoopCallColumn,
                                  L"the call would create a nested loop violation."};
    }
    const std::optional<StepRules::Refusal> pairing = StepRules::CheckLoops(steps);
    const auto refused = [&pairing](StepRules::Reason reason) {
        return pairing && pairing->reason == reason;
    };
    if ((step.loopCount && loopAbove) || refused(StepRules::Reason::LoopAlreadyOpen)) {
        return StepCells::Refusal{kLoopCallColumn, L"a loop cannot start inside another loop."};
    }
    if (refused(StepRules::Reason::LoopEndWithoutStart)) {
        return StepCells::Refusal{kLoopCallColumn,
                                  L"the loop end has no loop start among the pasted steps."};
    }
    return std::nullopt;
}

SequenceEditor::VlrRetVal SequenceEditor::CommitRow(int row) {
    if (rows_[row].frozen) {
        return VLR_FAILURE;
    }
    if (container_->ReplaceCommandSet(sequence_, static_cast<std::uint32_t>(row),
                                      RowCommands(row)) == VLR_SUCCESS) {
        return VLR_SUCCESS;
    }
    // The grid shows what the model holds, never what it refused.
    ShowCommandSet(row, container_->GetCommandSets(sequence_)[static_cast<std::size_t>(row)]);
    return VLR_FAILURE;
}

// The times are the model's. A row shows its step once through and a loop's end row the
// repeats of the body, so the start times add up the way the device runs the rows.
SequenceEditor::VlrRetVal SequenceEditor::UpdateTimes() {
    std::vector<SequenceContainer::StepTime> steps;
    const bool timed =
        rows_.empty() ||
        (container_->GetStepTimes(sequence_, steps) == VLR_SUCCESS && steps.size() == rows_.size());
    const std::vector<int> partner = MatchLoops();
    double time = 0.0;
    double repeats = 0.0;
    double total = 0.0;
    for (int index = 0; index < RowCount(); ++index) {
        std::vector<std::wstring>& cells = rows_[index].cells;
        cells[kStartColumn] = timed ? FixedText(time, 1) : L"?";
        const SequenceContainer::StepTime step =
            timed ? steps[index] : SequenceContainer::StepTime();
        double shown = step.duration;
        if (KindOf(index) == RowKind::Call) {
            cells[kDurationColumn] = timed ? FixedText(step.duration, 1) : L"?";
        } else if (KindOf(index) == RowKind::LoopEnd) {
            shown = repeats;
            cells[kDurationColumn] = timed && partner[index] >= 0 ? FixedText(repeats, 1) : L"?";
            repeats = 0.0;
        }
        repeats += static_cast<double>(step.loopFactor - 1) * step.duration;
        total += static_cast<double>(step.loopFactor) * step.duration;
        time += shown;
    }
    total_ = timed ? FixedText(total, 1) + L" ms" : L"?";
    return timed ? VLR_SUCCESS : VLR_FAILURE;
}

void SequenceEditor::UpdateButtons() {
    const bool any = currentRow_ >= 0;
    buttons_.removeRow = any;
    buttons_.moveUp = any && currentRow_ > 0;
    buttons_.moveDown = any && currentRow_ < RowCount() - 1;
    if (!any) {
        return;
    }
    const RowKind kind = KindOf(currentRow_);
    // A matched loop end goes with its start; an unmatched one can go on its own.
    if (kind == RowKind::LoopEnd && MatchLoops()[currentRow_] >= 0) {
        buttons_.removeRow = false;
    }
    if (kind == RowKind::LoopStart || kind == RowKind::LoopEnd) {
        const auto isBoundary = [this](int row) {
            const RowKind other = KindOf(row);
            return other == RowKind::LoopStart || other == RowKind::LoopEnd;
        };
        buttons_.moveUp = buttons_.moveUp && !isBoundary(currentRow_ - 1);
        buttons_.moveDown = buttons_.moveDown && !isBoundary(currentRow_ + 1);
    }
}

void SequenceEditor::SelectRow(int row) {
    currentRow_ = row >= 0 && row < RowCount() ? row : -1;
    UpdateButtons();
}

void SequenceEditor::AddRow() {
    if (!buttons_.addRow) {
        return;
    }
    const int position = currentRow_ >= 0 ? currentRow_ : RowCount();
    InsertRow(position, true);
    UpdateTimes();
    SelectRow(position);
}

void SequenceEditor::RemoveRow() {
    if (!buttons_.removeRow) {
        return;
    }
    if (RemoveRowAt(currentRow_) == VLR_SUCCESS) {
        UpdateTimes();
    }
    SelectRow(std::min(currentRow_, RowCount() - 1));
}

void SequenceEditor::MoveRowUp() {
    const int row = currentRow_;
    if (buttons_.moveUp &&
        container_->SwapCommandSets(sequence_, static_cast<std::uint32_t>(row),
                                    static_cast<std::uint32_t>(row - 1)) == VLR_SUCCESS) {
        SwapRows(row, row - 1);
        SelectRow(row - 1);
    }
}

void SequenceEditor::MoveRowDown() {
    const int row = currentRow_;
    if (buttons_.moveDown &&
        container_->SwapCommandSets(sequence_, static_cast<std::uint32_t>(row),
                                    static_cast<std::uint32_t>(row + 1)) == VLR_SUCCESS) {
        SwapRows(row, row + 1);
        SelectRow(row + 1);
    }
}

std::vector<std::wstring> SequenceEditor::BuildValueChoices(int row, int column) const {
    std::vector<std::wstring> choices;
    const std::vector<std::wstring> tokens = StepCells::Words(rows_[row].cells[column]);
    if (tokens.size() > 1) {
        for (const std::wstring& token : tokens) {
            if (IsLedWord(token)) {
                choices.push_back(kRemove + L" " + token);
            }
        }
    }
    choices.push_back(kClear);
    if (MayJoin(row, column, Word::SetIntensity)) {
        choices.push_back(WordText(Word::SetIntensity));
    }
    // What the LED is switched to when the row starts, as the steps above leave it.
    const auto light = static_cast<std::size_t>(column - kFirstLedColumn);
    std::optional<bool> on;
    for (int above = 0; above < row; ++above) {
        if (const std::optional<bool> switched = StepOf(rows_[above].cells).lights[light].on) {
            on = switched;
        }
    }
    for (const Word word : {Word::On, Word::Off}) {
        if (on != (word == Word::On) && MayJoin(row, column, word)) {
            choices.push_back(WordText(word));
        }
    }
    return choices;
}

// An edit choosing `word` keeps the cell's commands of the other kind (a switch keeps the
// intensity, an intensity the switch) and the row's other cells; may the rulebook's step take
// the word beside them?
bool SequenceEditor::MayJoin(int row, int column, Word word) const {
    std::vector<std::wstring> cells = rows_[row].cells;
    if (column != kTTLColumn) {
        std::wstring kept;
        for (const std::wstring& token : StepCells::Words(cells[column])) {
            if (StepCells::IntensityOf(token).has_value() == (word != Word::SetIntensity)) {
                kept += token + L" ";
            }
        }
        cells[column] = kept;
    }
    return !StepRules::CheckJoining(word, StepOf(cells));
}

std::vector<std::wstring> SequenceEditor::BuildLoopCallChoices(int row) const {
    std::vector<std::wstring> choices = {kClear};
    if (LoopMayStartAt(row)) {
        choices.push_back(WordText(Word::Loop));
    }
    for (const std::uint32_t number : container_->UsedSequenceNumbers()) {
        std::wstring label;
        if (number != sequence_ && container_->GetSequenceLabel(number, label) == VLR_SUCCESS) {
            choices.push_back(WordText(Word::Call) + L" " + label);
        }
    }
    return choices;
}

std::vector<std::wstring> SequenceEditor::BuildTTLChoices(const std::wstring& cellText) const {
    std::vector<std::wstring> choices;
    if (!cellText.empty()) {
        choices = {cellText, kClear};
    }
    const std::vector<std::wstring> used = StepCells::Words(cellText);
    for (const Word word : {Word::TTLHigh, Word::TTLLow}) {
        for (const std::wstring& bit : ttlBits_) {
            if (std::find(used.begin(), used.end(), bit) == used.end()) {
                choices.push_back(WordText(word) + L" " + bit);
            }
        }
    }
    return choices;
}

std::optional<SequenceEditor::EditorSetup> SequenceEditor::BeginEdit(int row, int column) const {
    if (row < 0 || row >= RowCount() || column < 0 || column >= ColumnCount() ||
        IsReadOnly(row, column)) {
        return std::nullopt;
    }
    EditorSetup setup;
    setup.text = rows_[row].cells[column];
    if (column == kDurationColumn) {
        return setup;
    }
    setup.choices = true;
    if (column == kLoopCallColumn) {
        setup.entries = BuildLoopCallChoices(row);
    } else if (column == kTTLColumn) {
        setup.entries = BuildTTLChoices(setup.text);
        if (!MayJoin(row, column, Word::TTLHigh)) {
            // The step holds what no TTL bit may share: only clearing is offered.
            std::erase_if(setup.entries, [&setup](const std::wstring& entry) {
                return entry != setup.text && entry != kClear;
            });
        }
    } else {
        if (!setup.text.empty()) {
            setup.entries.push_back(setup.text);
        }
        for (const std::wstring& choice : BuildValueChoices(row, column)) {
            if (choice != setup.text) {
                setup.entries.push_back(choice);
            }
        }
    }
    const auto found = std::find(setup.entries.begin(), setup.entries.end(), setup.text);
    if (found != setup.entries.end()) {
        setup.selected = static_cast<int>(std::distance(setup.entries.begin(), found));
    }
    return setup;
}

bool SequenceEditor::EndEdit(int row, int column, const std::wstring& chosen) {
    const std::optional<EditorSetup> setup = BeginEdit(row, column);
    // Only what the cell offered: the offers are what the rulebook lets the step hold.
    if (!setup ||
        (setup->choices && !chosen.empty() &&
         std::find(setup->entries.begin(), setup->entries.end(), chosen) == setup->entries.end())) {
        return false;
    }
    bool changed = false;
    if (column == kLoopCallColumn) {
        changed = EndEditLoopCall(row, chosen);
    } else if (column == kTTLColumn) {
        changed = EndEditTTL(row, chosen);
    } else {
        changed = EndEditValue(row, column, chosen);
    }
    if (changed) {
        UpdateTimes();
        UpdateButtons();
    }
    return changed;
}

bool SequenceEditor::EndEditValue(int row, int column, const std::wstring& chosen) {
    std::wstring& cell = rows_[row].cells[column];
    if (column == kDurationColumn) {
        cell = StepCells::DurationText(chosen);
        CommitRow(row);
        return true;
    }
    const std::wstring old = cell;
    if (chosen == old) {
        return false;
    }
    const std::vector<std::wstring> oldTokens = StepCells::Words(old);
    // The new word followed by the old cell's words of the other kind (switch or intensity).
    const auto keep = [&oldTokens](std::wstring text, bool intensities) {
        for (const std::wstring& token : oldTokens) {
            if (StepCells::IntensityOf(token).has_value() == intensities && IsLedWord(token)) {
                text += L" " + token;
            }
        }
        return text;
    };
    std::wstring text;
    if (chosen == kClear || chosen.empty()) {
        text.clear();
    } else if (IsWord(chosen, Word::On) || IsWord(chosen, Word::Off)) {
        text = keep(chosen, true);
    } else if (IsWord(chosen, Word::SetIntensity)) {
        const std::optional<std::uint32_t> intensity = prompts_.AskIntensity();
        if (!intensity) {
            return false;
        }
        text =
            keep(WordText(Word::SetIntensity) + L"(" + std::to_wstring(*intensity) + L")", false);
    } else if (chosen.compare(0, kRemove.size(), kRemove) == 0) {
        const std::vector<std::wstring> words = StepCells::Words(chosen);
        if (words.size() != 2) {
            LogError(L"Error parsing selection(" + chosen +
                     L"), the incorrect number of arguments were received.");
            return false;
        }
        for (const std::wstring& token : oldTokens) {
            if (token != words[1]) {
                text += token + L" ";
            }
        }
    } else {
        return false;
    }
    cell = text;
    CommitRow(row);
    return true;
}

bool SequenceEditor::EndEditLoopCall(int row, const std::wstring& chosen) {
    const std::wstring old = rows_[row].cells[kLoopCallColumn];
    if (chosen.empty() || chosen == old) {
        return false;
    }
    const std::optional<Word> oldWord = FirstWord(old);
    const int oldEnd = oldWord == Word::Loop ? MatchLoops()[row] : -1;
    std::wstring text;
    if (chosen == kClear) {
        if (oldWord == Word::Call || oldWord == Word::Loop) {
            SetRowCellsReadOnly(false, row, kLoopCallColumn);
            rows_[row].cells[kDurationColumn] = DefaultDurationText();
        }
    } else if (chosen == WordText(Word::Loop)) {
        const std::optional<std::wstring> loop = AddLoop(row, old);
        if (!loop) {
            return false;
        }
        text = *loop;
    } else if (FirstWord(chosen) == Word::Call) {
        if (ApplyCall(row, chosen) != VLR_SUCCESS) {
            return false;
        }
        text = chosen;
    } else {
        return false;
    }
    if (oldEnd >= 0 && chosen != WordText(Word::Loop) && RemoveRowAt(oldEnd) != VLR_SUCCESS) {
        return true;
    }
    rows_[row].cells[kLoopCallColumn] = text;
    CommitRow(row);
    return true;
}

bool SequenceEditor::EndEditTTL(int row, const std::wstring& chosen) {
    std::wstring& cell = rows_[row].cells[kTTLColumn];
    if (chosen.empty() || chosen == cell) {
        return false;
    }
    std::wstring text;
    if (chosen != kClear) {
        const std::optional<std::vector<std::wstring>> tokens = Tokens(chosen);
        if (!tokens || tokens->size() != 2) {
            LogError(L"SequenceSetupHybridDlg::EndEditorTTLOut() - Error parsing selection(" +
                     chosen + L").");
            return false;
        }
        const std::optional<std::wstring> merged = UpdateTTLCellText(cell, chosen);
        if (!merged) {
            return false;
        }
        text = *merged;
    }
    cell = text;
    CommitRow(row);
    return true;
}
