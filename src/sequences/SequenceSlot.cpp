#include "sequences/SequenceSlot.h"

#include <iterator>
#include <utility>

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
}

void SequenceSlot::InsertCommandSet(std::size_t position) {
    Changed();
    const auto offset = static_cast<std::ptrdiff_t>(position);
    commandSets_.insert(std::next(commandSets_.begin(), offset), CommandSet());
    parsedSets_.insert(std::next(parsedSets_.begin(), offset), std::vector<ParsedCommand>());
}

void SequenceSlot::RemoveCommandSet(std::size_t set) {
    Changed();
    const auto offset = static_cast<std::ptrdiff_t>(set);
    commandSets_.erase(std::next(commandSets_.begin(), offset));
    parsedSets_.erase(std::next(parsedSets_.begin(), offset));
}

void SequenceSlot::ClearCommandSet(std::size_t set) {
    Changed();
    commandSets_[set].clear();
    parsedSets_[set].clear();
}

void SequenceSlot::SwapCommandSets(std::size_t a, std::size_t b) {
    Changed();
    std::swap(commandSets_[a], commandSets_[b]);
    std::swap(parsedSets_[a], parsedSets_[b]);
}

void SequenceSlot::AppendCommand(std::size_t set, const std::wstring& text,
                                 const ParsedCommand& parsed) {
    Changed();
    commandSets_[set].push_back(text);
    parsedSets_[set].push_back(parsed);
}

void SequenceSlot::RemoveLastCommand(std::size_t set) {
    Changed();
    commandSets_[set].pop_back();
    parsedSets_[set].pop_back();
}

void SequenceSlot::RestoreCommandSet(std::size_t set, const CommandSet& texts,
                                     const std::vector<ParsedCommand>& parsed) {
    Changed();
    commandSets_[set] = texts;
    parsedSets_[set] = parsed;
}

void SequenceSlot::ReplaceCommand(std::size_t set, std::size_t index, const std::wstring& text,
                                  const ParsedCommand& parsed) {
    Changed();
    commandSets_[set][index] = text;
    parsedSets_[set][index] = parsed;
}

void SequenceSlot::ResolveOutputs(const ParsedCommand::OutputNames& names) {
    for (std::size_t set = 0; set < parsedSets_.size(); ++set) {
        for (std::size_t index = 0; index < parsedSets_[set].size(); ++index) {
            parsedSets_[set][index].ResolveOutput(commandSets_[set][index], names);
        }
    }
}
