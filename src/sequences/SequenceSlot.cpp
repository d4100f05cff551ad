#include "sequences/SequenceSlot.h"

#include <iterator>
#include <utility>

#include "foundation/StepText.h"

namespace {

StepRules::Context ContextOf(const ParsedCommand::OutputNames& names) {
    return StepRules::Context{names.colorLabels, names.ttlBits, nullptr};
}

}  // namespace

const std::vector<CommandSet>& SequenceSlot::CommandSets() const {
    if (!viewCurrent_) {
        view_.assign(commandSets_.begin(), commandSets_.end());
        viewCurrent_ = true;
    }
    return view_;
}

void SequenceSlot::Clear() {
    name_.clear();
    ClearCommandSets();
}

void SequenceSlot::ClearCommandSets() {
    Changed();
    commandSets_.clear();
    parsedSets_.clear();
    steps_.clear();
}

void SequenceSlot::InsertCommandSet(std::size_t position) {
    Changed();
    const auto offset = static_cast<std::ptrdiff_t>(position);
    commandSets_.insert(std::next(commandSets_.begin(), offset), CommandSet());
    parsedSets_.insert(std::next(parsedSets_.begin(), offset), std::vector<ParsedCommand>());
    steps_.insert(std::next(steps_.begin(), offset), StoredStep());
}

void SequenceSlot::RemoveCommandSet(std::size_t set) {
    Changed();
    const auto offset = static_cast<std::ptrdiff_t>(set);
    commandSets_.erase(std::next(commandSets_.begin(), offset));
    parsedSets_.erase(std::next(parsedSets_.begin(), offset));
    steps_.erase(std::next(steps_.begin(), offset));
}

void SequenceSlot::ClearCommandSet(std::size_t set) {
    Changed();
    commandSets_[set].clear();
    parsedSets_[set].clear();
    steps_[set] = StoredStep();
}

void SequenceSlot::SwapCommandSets(std::size_t a, std::size_t b) {
    Changed();
    std::swap(commandSets_[a], commandSets_[b]);
    std::swap(parsedSets_[a], parsedSets_[b]);
    std::swap(steps_[a], steps_[b]);
}

std::optional<std::size_t> SequenceSlot::RefusedCommandAt(std::size_t set) const {
    const std::uint32_t at = steps_[set].refusedAt;
    return at == StoredStep::kWhole ? std::nullopt : std::optional<std::size_t>(at);
}

// Only the new command is read: a step refused before stays refused where it was.
void SequenceSlot::AppendCommand(std::size_t set, const std::wstring& text,
                                 const ParsedCommand& parsed,
                                 const ParsedCommand::OutputNames& names) {
    Changed();
    commandSets_[set].push_back(text);
    parsedSets_[set].push_back(parsed);
    if (RefusedCommandAt(set)) {
        return;
    }
    StepText::Reading reading{steps_[set].step, std::nullopt};
    const std::size_t index = commandSets_[set].size() - 1;
    StepText::ReadNext(reading, text, index, ContextOf(names), StepText::Judging::AsTheDeviceReads);
    steps_[set].step = reading.step;
    if (reading.refusal) {
        steps_[set].refusedAt = static_cast<std::uint32_t>(index);
    }
}

void SequenceSlot::RemoveLastCommand(std::size_t set, const ParsedCommand::OutputNames& names) {
    Changed();
    commandSets_[set].pop_back();
    parsedSets_[set].pop_back();
    ReadStep(set, names);
}

void SequenceSlot::RestoreCommandSet(std::size_t set, const CommandSet& texts,
                                     const std::vector<ParsedCommand>& parsed,
                                     const ParsedCommand::OutputNames& names) {
    Changed();
    commandSets_[set] = texts;
    parsedSets_[set] = parsed;
    ReadStep(set, names);
}

void SequenceSlot::ReplaceCommand(std::size_t set, std::size_t index, const std::wstring& text,
                                  const ParsedCommand& parsed,
                                  const ParsedCommand::OutputNames& names) {
    Changed();
    commandSets_[set][index] = text;
    parsedSets_[set][index] = parsed;
    ReadStep(set, names);
}

void SequenceSlot::ResolveOutputs(const ParsedCommand::OutputNames& names) {
    for (std::size_t set = 0; set < parsedSets_.size(); ++set) {
        for (std::size_t index = 0; index < parsedSets_[set].size(); ++index) {
            parsedSets_[set][index].ResolveOutput(commandSets_[set][index], names);
        }
        ReadStep(set, names);
    }
}

void SequenceSlot::ReadStep(std::size_t set, const ParsedCommand::OutputNames& names) {
    const StepText::Reading reading =
        StepText::Read(commandSets_[set], ContextOf(names), StepText::Judging::AsTheDeviceReads);
    steps_[set].step = reading.step;
    steps_[set].refusedAt =
        reading.refusal ? static_cast<std::uint32_t>(reading.refusal->index) : StoredStep::kWhole;
}
