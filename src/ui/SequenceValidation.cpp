#include "ui/SequenceValidation.h"

#include <algorithm>
#include <climits>

#include "app/SequenceUpload.h"
#include "device/MicroControllerCommandConversion.h"
#include "foundation/SequenceCommandWords.h"
#include "foundation/Step.h"
#include "foundation/StepRules.h"
#include "foundation/StepText.h"
#include "foundation/TextConversion.h"
#include "ui/SequenceEditor.h"
#include "ui/StepCells.h"

using Word = SequenceCommandWords::Word;

namespace {

// What a refusal that gave no reason is shown with.
const std::wstring kNoReason = L"The conversion to script commands refuses this step.";

std::wstring LoopAdvice(StepRules::Reason reason) {
    switch (reason) {
        case StepRules::Reason::LoopAlreadyOpen:
            return L"A loop cannot start inside another loop: end the loop above first, or clear "
                   L"this -Loop.";
        case StepRules::Reason::LoopEndWithoutStart:
            return L"This -EndLoop ends no loop: choose -Loop in a row above it.";
        default:
            return L"This loop has no -EndLoop: clear the -Loop and choose it again, which adds "
                   L"one.";
    }
}

}  // namespace

// The conversion's own wording of what it refuses, for the model's LEDs; asked only about
// sequences the rulebook refuses. Where the LEDs sit on the device changes no wording.
struct SequenceValidation::DeviceWording {
    MicroControllerCommandConversion conversion;

    explicit DeviceWording(const std::vector<std::wstring>& labels) {
        for (std::size_t position = 0; position < labels.size(); ++position) {
            conversion.RegisterLED(labels[position], static_cast<std::uint32_t>(position));
        }
    }

    // None when the sets convert.
    std::optional<std::wstring> Refusal(const Sets& sets) const {
        const std::optional<std::wstring> refusal = conversion.Refusal(sets);
        return refusal && refusal->empty() ? kNoReason : refusal;
    }
};

SequenceValidation::SequenceValidation(SequenceContainer& sequences)
    : sequences_(sequences), pending_(sequences, true) {}

SequenceValidation::~SequenceValidation() = default;

void SequenceValidation::Recompute() {
    const Numbers changed = pending_.Take();
    if (changed.none()) {
        return;
    }
    if (!device_ || changed.all()) {
        // The LEDs are the model's: they change with a setup, which re-reads every sequence.
        device_ = std::make_unique<DeviceWording>(sequences_.GetColorLabels());
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
    for (const auto& parsedSet : sequences_.GetParsedCommandSets(number)) {
        for (const ParsedCommand& command : parsedSet) {
            if (command.IsCall() && command.IntegerArgument() >= 0 &&
                static_cast<std::size_t>(command.IntegerArgument()) < kSlots) {
                verdict.callees.set(static_cast<std::size_t>(command.IntegerArgument()));
            }
        }
    }
    if (const auto fault = sequences_.FindChainFault(number)) {
        verdict.timingReason = SequenceContainer::ChainFaultText(*fault);
    }
    const Sets& sets = sequences_.GetCommandSets(number);
    JudgeSteps(number, sets, verdict);
    // Only the conversion words its own refusals, and the rulebook refuses whatever it would.
    if (!verdict.marks.empty()) {
        verdict.conversionReason = device_->Refusal(sets);
        for (Mark& mark : verdict.marks) {
            if (mark.reason.empty()) {
                mark.reason = verdict.conversionReason.value_or(kNoReason);
            }
        }
    }
    return verdict;
}

// Each step through the rulebook as the model judges what it stores, then the loops over the
// whole sequence; the command a step is refused at marks its cell.
void SequenceValidation::JudgeSteps(std::uint32_t number, const Sets& sets,
                                    Verdict& verdict) const {
    const StepRules::Context context = sequences_.RuleContext();
    std::vector<Step> steps;
    steps.reserve(sets.size());
    for (std::size_t set = 0; set < sets.size(); ++set) {
        StepText::Reading reading = StepText::Read(sets[set], context);
        if (reading.refusal) {
            const std::vector<std::wstring> commands(
                sets[set].begin(),
                sets[set].begin() + static_cast<long>(reading.refusal->index) + 1);
            Refuse(verdict, RefusedCommand(number, set, commands, *reading.refusal, reading.step));
        }
        steps.push_back(std::move(reading.step));
    }
    if (const auto loops = StepRules::CheckLoops(steps)) {
        // The conversion's reason, which names the loop by its place in the script.
        Refuse(verdict, {static_cast<int>(loops->index), SequenceEditor::kLoopCallColumn,
                         std::wstring(), LoopAdvice(loops->reason)});
    }
}

// commands: the step's commands up to the refused one; before: what the ones before it hold.
SequenceValidation::Mark SequenceValidation::RefusedCommand(
    std::uint32_t number, std::size_t set, const std::vector<std::wstring>& commands,
    const StepRules::Refusal& refusal, const Step& before) const {
    const std::wstring& command = commands.back();
    const int row = static_cast<int>(set);
    if (refusal.reason != StepRules::Reason::CannotShareStep) {
        return {row, ColumnOf(command),
                sequences_.RefusalText(refusal, command, number, static_cast<std::uint32_t>(set)),
                L"Correct or clear this cell: the sequences cannot hold \"" + command +
                    L"\" (the message log says why)."};
    }
    // A step is one script command, and an intensity change takes it whole.
    std::wstring advice =
        before.SetsIntensity() || refusal.word == Word::SetIntensity
            ? L"An intensity change needs a step of its own: move " + command + L" to another row."
            : command +
                  L" cannot share a step with the commands before it: move it to another row.";
    return {row, ColumnOf(command), device_->Refusal({commands}).value_or(kNoReason),
            std::move(advice)};
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
    const std::vector<std::wstring> words = StepCells::Words(command);
    const std::optional<Word> word =
        words.empty() ? std::nullopt : SequenceCommandWords::Find(words.front());
    switch (word.value_or(Word::Call)) {
        case Word::On:
        case Word::Off:
        case Word::SetIntensity: {
            const std::optional<std::size_t> light =
                words.size() > 1 ? FindNoCase(sequences_.GetColorLabels(), words[1]) : std::nullopt;
            return light ? SequenceEditor::kFirstLedColumn + static_cast<int>(*light)
                         : SequenceEditor::kLoopCallColumn;
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
