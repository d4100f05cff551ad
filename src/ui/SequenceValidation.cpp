#include "ui/SequenceValidation.h"

#include <algorithm>
#include <climits>
#include <mutex>

#include "app/SequenceUpload.h"
#include "device/MicroController.h"
#include "foundation/ErrorRecorder.h"
#include "foundation/LogFile.h"
#include "foundation/MiscFunctions.h"
#include "foundation/SequenceCommandWords.h"
#include "foundation/TextConversion.h"
#include "sequences/StepRules.h"
#include "ui/SequenceEditor.h"

using VlrDataTypes::VLR_SUCCESS;
using Word = SequenceCommandWords::Word;

namespace {

// What a refusal that gave no reason is shown with.
const std::wstring kNoReason = L"The conversion to script commands refuses this step.";

std::optional<Word> WordOf(const std::wstring& command, std::wstring* argument = nullptr) {
    const std::size_t start = command.find_first_not_of(L" \t");
    if (start == std::wstring::npos) {
        return std::nullopt;
    }
    const std::size_t end = command.find_first_of(L" \t", start);
    if (argument != nullptr && end != std::wstring::npos) {
        const std::size_t next = command.find_first_not_of(L" \t", end);
        *argument = next == std::wstring::npos
                        ? std::wstring()
                        : command.substr(next, command.find_first_of(L" \t", next) - next);
    }
    return SequenceCommandWords::Find(command.substr(start, end - start));
}

bool OpensOrClosesLoop(const std::vector<std::wstring>& set) {
    for (const std::wstring& command : set) {
        const std::optional<Word> word = WordOf(command);
        if (word == Word::Loop || word == Word::EndLoop) {
            return true;
        }
    }
    return false;
}

// What to do about the last command of a step's commands, which the conversion refuses after
// the ones before it: a step is one script command, and an intensity change takes it whole.
std::wstring ShareAdvice(const std::vector<std::wstring>& commands) {
    const std::wstring& refused = commands.back();
    const bool intensityBefore = std::any_of(
        commands.begin(), commands.end() - 1,
        [](const std::wstring& command) { return WordOf(command) == Word::SetIntensity; });
    if (intensityBefore) {
        return L"An intensity change needs a step of its own: move " + refused +
               L" to another row.";
    }
    if (commands.size() > 1) {
        return refused +
               L" cannot share a step with the commands before it: move it to another "
               L"row.";
    }
    return L"The device cannot run " + refused +
           L": correct or clear this cell (the message "
           L"log says why).";
}

}  // namespace

// The changes the model reported since the last recompute. The model may change on the device
// worker's thread (a settings file read there), and its event outlives this validation.
class SequenceValidation::PendingChanges {
  public:
    PendingChanges() { numbers_.set(); }

    void Note(const SequenceContainer::Change& change) {
        const std::lock_guard<std::mutex> guard(lock_);
        if (change.IsEverySequence()) {
            numbers_.set();
        } else if (change.sequence < kSlots) {
            numbers_.set(change.sequence);
        }
    }

    Numbers Take() {
        const std::lock_guard<std::mutex> guard(lock_);
        const Numbers taken = numbers_;
        numbers_.reset();
        return taken;
    }

  private:
    std::mutex lock_;
    Numbers numbers_;
};

// The conversion the step rules are still read from: a device model with the model's LEDs and
// a log of its own.
struct SequenceValidation::ConversionModels {
    ErrorRecorder recorder;
    LogFile log;
    MicroController device{&log};

    explicit ConversionModels(const std::vector<std::wstring>& labels) {
        log.SetMessageReceiver(&recorder);
        for (const std::wstring& label : labels) {
            device.AddLED(label, 0.0);
        }
    }

    // None when the sets convert; else the first reason given.
    std::optional<std::wstring> Refusal(const Sets& sets) {
        recorder.Take();
        std::vector<std::uint8_t> bytes;
        if (device.ConvertToScript(sets, bytes) == VLR_SUCCESS) {
            return std::nullopt;
        }
        const std::vector<std::wstring> reasons = recorder.Take();
        return reasons.empty() ? kNoReason : reasons.front();
    }
};

SequenceValidation::SequenceValidation(SequenceContainer& sequences)
    : sequences_(sequences), pending_(std::make_shared<PendingChanges>()) {
    sequences.SubscribeToChanges([pending = pending_](const SequenceContainer::Change& change) {
        pending->Note(change);
        return 0;
    });
}

SequenceValidation::~SequenceValidation() = default;

void SequenceValidation::Recompute() {
    const Numbers changed = pending_->Take();
    if (changed.none()) {
        return;
    }
    if (!conversion_ || changed.all()) {
        // The LEDs are the model's: they change with a setup, which re-reads every sequence.
        conversion_ = std::make_unique<ConversionModels>(sequences_.GetColorLabels());
    }
    const Numbers judged = WithCallers(changed);
    for (std::uint32_t number = 0; number < kSlots; ++number) {
        if (judged.test(number)) {
            Store(number, Judge(number));
        }
    }
    FindUploadRefusal();
}

// The sequences given and every sequence that calls one of them, directly or not, by the calls
// each made when it was last judged (a changed sequence is judged anew anyway).
SequenceValidation::Numbers SequenceValidation::WithCallers(Numbers numbers) const {
    for (bool grew = true; grew;) {
        grew = false;
        for (std::uint32_t number = 0; number < kSlots; ++number) {
            if (!numbers.test(number) && (verdicts_[number].callees & numbers).any()) {
                numbers.set(number);
                grew = true;
            }
        }
    }
    return numbers;
}

SequenceValidation::Verdict SequenceValidation::Judge(std::uint32_t number) const {
    Verdict verdict;
    if (sequences_.GetSequenceName(number).empty()) {
        return verdict;
    }
    const Sets& sets = sequences_.GetCommandSets(number);
    JudgeCommands(number, sets, verdict);
    if (const auto fault = sequences_.FindChainFault(number)) {
        verdict.timingReason = SequenceContainer::ChainFaultText(*fault);
    }
    JudgeSteps(sets, verdict);
    verdict.conversionReason = conversion_->Refusal(sets);
    if (verdict.conversionReason) {
        JudgeLoops(sets, verdict);
    }
    return verdict;
}

// Each command as the model judges one it is given; what it refuses marks its cell.
void SequenceValidation::JudgeCommands(std::uint32_t number, const Sets& sets,
                                       Verdict& verdict) const {
    const StepRules::Context context{
        sequences_.GetColorLabels(), sequences_.GetTTLBitNames(),
        [this](std::uint32_t n) { return !sequences_.GetSequenceName(n).empty(); }};
    const ParsedSetList& parsed = sequences_.GetParsedCommandSets(number);
    for (std::size_t set = 0; set < sets.size(); ++set) {
        for (std::size_t index = 0; index < sets[set].size(); ++index) {
            const std::wstring& command = sets[set][index];
            const ParsedCommand& form = parsed[set][index];
            if (form.IsCall() && form.IntegerArgument() >= 0 &&
                static_cast<std::size_t>(form.IntegerArgument()) < kSlots) {
                verdict.callees.set(static_cast<std::size_t>(form.IntegerArgument()));
            }
            std::vector<std::wstring> tokens;
            std::wstring error;
            MiscFunctions::ParseCommandString(command, tokens, error);
            std::optional<StepRules::Refusal> refusal = StepRules::CheckCommand(tokens, context);
            if (!refusal && form.CommandWord()) {
                refusal = StepRules::CheckSharing(*form.CommandWord(), index == 0);
            }
            if (refusal) {
                const auto row = static_cast<std::uint32_t>(set);
                Refuse(verdict, {static_cast<int>(set), ColumnOf(command),
                                 sequences_.RefusalText(*refusal, command, number, row),
                                 L"Correct or clear this cell: the sequences cannot hold \"" +
                                     command + L"\" (the message log says why)."});
            }
        }
    }
}

// A step is converted alone, then command by command, so that the command the conversion stops
// at is the one marked. Loop starts and ends are paired over the whole sequence (JudgeLoops).
void SequenceValidation::JudgeSteps(const Sets& sets, Verdict& verdict) const {
    for (std::size_t set = 0; set < sets.size(); ++set) {
        if (OpensOrClosesLoop(sets[set]) || !conversion_->Refusal({sets[set]})) {
            continue;
        }
        for (std::size_t count = 1; count <= sets[set].size(); ++count) {
            const std::vector<std::wstring> prefix(sets[set].begin(),
                                                   sets[set].begin() + static_cast<long>(count));
            if (const auto reason = conversion_->Refusal({prefix})) {
                Refuse(verdict, {static_cast<int>(set), ColumnOf(prefix.back()), *reason,
                                 ShareAdvice(prefix)});
                break;
            }
        }
    }
}

// The loop row the pairing stops at, walked as the conversion walks it: a start inside an open
// loop, an end without one, or a start never closed.
void SequenceValidation::JudgeLoops(const Sets& sets, Verdict& verdict) const {
    const std::wstring& reason = *verdict.conversionReason;
    const int column = SequenceEditor::kLoopCallColumn;
    int open = -1;
    for (std::size_t set = 0; set < sets.size(); ++set) {
        const std::optional<Word> word = sets[set].empty() ? std::nullopt : WordOf(sets[set][0]);
        if ((word == Word::Loop && open >= 0) || (word == Word::EndLoop && open < 0)) {
            Refuse(verdict, {static_cast<int>(set), column, reason,
                             word == Word::Loop
                                 ? L"A loop cannot start inside another loop: end the loop "
                                   L"above first, or clear this -Loop."
                                 : L"This -EndLoop ends no loop: choose -Loop in a row above it."});
            return;
        }
        if (word == Word::Loop) {
            open = static_cast<int>(set);
        } else if (word == Word::EndLoop) {
            open = -1;
        }
    }
    if (open >= 0) {
        Refuse(verdict, {open, column, reason,
                         L"This loop has no -EndLoop: clear the -Loop and choose it again, which "
                         L"adds one."});
    }
}

// The first reason given for a cell stands.
void SequenceValidation::Refuse(Verdict& verdict, Mark mark) {
    const bool marked = std::any_of(
        verdict.marks.begin(), verdict.marks.end(),
        [&mark](const Mark& m) { return m.row == mark.row && m.column == mark.column; });
    if (!marked) {
        verdict.marks.push_back(std::move(mark));
    }
}

void SequenceValidation::Store(std::uint32_t number, Verdict verdict) {
    const auto first = cells_.lower_bound({number, INT_MIN, INT_MIN});
    const auto last = cells_.lower_bound({number + 1, INT_MIN, INT_MIN});
    cells_.erase(first, last);
    advice_.erase(advice_.lower_bound({number, INT_MIN, INT_MIN}),
                  advice_.lower_bound({number + 1, INT_MIN, INT_MIN}));
    for (const Mark& mark : verdict.marks) {
        cells_.emplace(Cell{number, mark.row, mark.column}, mark.reason);
        advice_.emplace(Cell{number, mark.row, mark.column}, mark.advice);
    }
    verdicts_[number] = std::move(verdict);
}

// The upload names the first sequence, in ascending order, that does not convert.
void SequenceValidation::FindUploadRefusal() {
    uploadRefusal_.reset();
    for (std::uint32_t number = 0; number < kSlots; ++number) {
        if (const auto& reason = verdicts_[number].conversionReason) {
            uploadRefusal_ =
                SequenceUpload::ConversionRefusal(number, sequences_.GetSequenceName(number)) +
                L" " + *reason;
            return;
        }
    }
}

int SequenceValidation::ColumnOf(const std::wstring& command) const {
    std::wstring argument;
    switch (WordOf(command, &argument).value_or(Word::Call)) {
        case Word::On:
        case Word::Off:
        case Word::SetIntensity: {
            const std::vector<std::wstring>& labels = sequences_.GetColorLabels();
            for (std::size_t index = 0; index < labels.size(); ++index) {
                if (CompareNoCase(labels[index], argument) == 0) {
                    return SequenceEditor::kFirstLedColumn + static_cast<int>(index);
                }
            }
            return SequenceEditor::kLoopCallColumn;
        }
        case Word::Duration:
            return SequenceEditor::kDurationColumn;
        case Word::TTLHigh:
        case Word::TTLLow:
            return SequenceEditor::kTTLColumn;
        case Word::Call:
        case Word::Loop:
        case Word::EndLoop:
            break;
    }
    return SequenceEditor::kLoopCallColumn;
}

std::optional<std::wstring> SequenceValidation::CellReason(std::uint32_t sequence, int row,
                                                           int column) const {
    const auto found = cells_.find({sequence, row, column});
    return found == cells_.end() ? std::nullopt : std::optional<std::wstring>(found->second);
}

std::optional<std::wstring> SequenceValidation::CellAdvice(std::uint32_t sequence, int row,
                                                           int column) const {
    const auto found = advice_.find({sequence, row, column});
    return found == advice_.end() ? std::nullopt : std::optional<std::wstring>(found->second);
}

std::optional<std::wstring> SequenceValidation::SequenceReason(std::uint32_t sequence) const {
    if (sequence >= kSlots) {
        return std::nullopt;
    }
    const Verdict& verdict = verdicts_[sequence];
    return verdict.timingReason ? verdict.timingReason : verdict.conversionReason;
}
