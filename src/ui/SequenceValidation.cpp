#include "ui/SequenceValidation.h"

#include <algorithm>

#include "app/ScratchModels.h"
#include "app/SequenceUpload.h"
#include "foundation/SequenceCommandWords.h"
#include "foundation/TextConversion.h"
#include "ui/SequenceEditor.h"

using VlrDataTypes::VLR_SUCCESS;
using Word = SequenceCommandWords::Word;
using Sets = std::vector<std::vector<std::wstring>>;

namespace {

// What a refusal that logged nothing is shown with.
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

SequenceValidation::SequenceValidation(const std::wstring& setupFile)
    : models_(std::make_unique<ScratchModels>()) {
    models_->ReadSetupFile(setupFile);
    models_->recorder.Take();
}

SequenceValidation::~SequenceValidation() = default;

void SequenceValidation::Recompute(const SequenceContainer& sequences) {
    cells_.clear();
    advice_.clear();
    sequenceReasons_.clear();
    uploadRefusal_.reset();
    CopySequences(sequences);
    std::optional<std::wstring> firstFailure;
    for (const std::uint32_t number : sequences.UsedSequenceNumbers()) {
        const Sets& sets = sequences.GetCommandSets(number);
        CheckSteps(number, sets);
        models_->recorder.Take();
        if (!Converts(sets)) {
            const std::vector<std::wstring> reasons = models_->recorder.Take();
            const std::wstring reason = reasons.empty() ? kNoReason : reasons.front();
            sequenceReasons_.emplace(number, reason);
            CheckLoops(number, sets, reason);
            firstFailure = firstFailure.value_or(reason);
        }
    }
    // The upload's own check, over the same sets and LEDs: its message is the one an upload
    // would give.
    const SequenceUpload::Result prepared =
        SequenceUpload(models_->device, sequences, nullptr).Prepare();
    models_->recorder.Take();
    if (!prepared.status) {
        uploadRefusal_ = prepared.status.Message() + L" " + firstFailure.value_or(kNoReason);
    }
}

// Each command is stored as the model stores it; what the model refuses marks its cell.
void SequenceValidation::CopySequences(const SequenceContainer& source) {
    SequenceContainer& copy = models_->sequences;
    copy.ClearAllSequences();
    const std::vector<std::uint32_t> used = source.UsedSequenceNumbers();
    for (const std::uint32_t number : used) {
        copy.AddSequence(number, source.GetSequenceName(number));
    }
    models_->recorder.Take();
    for (const std::uint32_t number : used) {
        const Sets& sets = source.GetCommandSets(number);
        for (std::uint32_t set = 0; set < sets.size(); ++set) {
            copy.AddCommandSet(number, set);
            for (const std::wstring& command : sets[set]) {
                if (copy.AddCommand(number, set, command) != VLR_SUCCESS) {
                    Refuse(number, static_cast<int>(set), command, models_->recorder.Take(),
                           L"Correct or clear this cell: the sequences cannot hold \"" + command +
                               L"\" (the message log says why).");
                }
            }
        }
    }
    models_->recorder.Take();
    double duration = 0.0;
    for (const std::uint32_t number : used) {
        if (copy.GetSequenceDuration(number, duration) != VLR_SUCCESS) {
            const std::vector<std::wstring> reasons = models_->recorder.Take();
            sequenceReasons_.emplace(number, reasons.empty() ? kNoReason : reasons.front());
        }
    }
}

// A step is converted alone, then command by command, so that the command the conversion stops
// at is the one marked. Loop starts and ends are paired over the whole sequence (CheckLoops).
void SequenceValidation::CheckSteps(std::uint32_t number, const Sets& sets) {
    for (std::size_t set = 0; set < sets.size(); ++set) {
        if (OpensOrClosesLoop(sets[set]) || Converts({sets[set]})) {
            continue;
        }
        for (std::size_t count = 1; count <= sets[set].size(); ++count) {
            models_->recorder.Take();
            const std::vector<std::wstring> prefix(sets[set].begin(),
                                                   sets[set].begin() + static_cast<long>(count));
            if (!Converts({prefix})) {
                Refuse(number, static_cast<int>(set), prefix.back(), models_->recorder.Take(),
                       ShareAdvice(prefix));
                break;
            }
        }
    }
}

// The loop row the pairing stops at, walked as the conversion walks it: a start inside an open
// loop, an end without one, or a start never closed.
void SequenceValidation::CheckLoops(std::uint32_t number, const Sets& sets,
                                    const std::wstring& reason) {
    const auto marked = [&](std::size_t row) {
        return cells_.count({number, static_cast<int>(row), SequenceEditor::kLoopCallColumn}) > 0;
    };
    int open = -1;
    for (std::size_t set = 0; set < sets.size(); ++set) {
        const std::optional<Word> word = sets[set].empty() ? std::nullopt : WordOf(sets[set][0]);
        if ((word == Word::Loop && open >= 0) || (word == Word::EndLoop && open < 0)) {
            if (!marked(set)) {
                Refuse(number, static_cast<int>(set), sets[set][0], {reason},
                       word == Word::Loop
                           ? L"A loop cannot start inside another loop: end the loop above "
                             L"first, or clear this -Loop."
                           : L"This -EndLoop ends no loop: choose -Loop in a row above it.");
            }
            return;
        }
        if (word == Word::Loop) {
            open = static_cast<int>(set);
        } else if (word == Word::EndLoop) {
            open = -1;
        }
    }
    if (open >= 0 && !marked(static_cast<std::size_t>(open))) {
        Refuse(number, open, sets[static_cast<std::size_t>(open)][0], {reason},
               L"This loop has no -EndLoop: clear the -Loop and choose it again, which adds one.");
    }
}

void SequenceValidation::Refuse(std::uint32_t number, int row, const std::wstring& command,
                                const std::vector<std::wstring>& reasons,
                                const std::wstring& advice) {
    const Cell cell{number, row, ColumnOf(command)};
    if (cells_.emplace(cell, reasons.empty() ? kNoReason : reasons.front()).second) {
        advice_.emplace(cell, advice);
    }
}

int SequenceValidation::ColumnOf(const std::wstring& command) const {
    std::wstring argument;
    switch (WordOf(command, &argument).value_or(Word::Call)) {
        case Word::On:
        case Word::Off:
        case Word::SetIntensity: {
            const std::vector<std::wstring>& labels = models_->sequences.GetColorLabels();
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

bool SequenceValidation::Converts(const Sets& sets) const {
    std::vector<std::uint8_t> bytes;
    return models_->device.ConvertToScript(sets, bytes) == VLR_SUCCESS;
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
    const auto found = sequenceReasons_.find(sequence);
    return found == sequenceReasons_.end() ? std::nullopt
                                           : std::optional<std::wstring>(found->second);
}
