#include "sequences/SequenceSlot.h"

#include <iterator>
#include <utility>

void SequenceSlot::Clear() {
    name_.clear();
    ClearCommandSets();
}

void SequenceSlot::ClearCommandSets() {
    commandSets_.clear();
    parsedSets_.clear();
}

void SequenceSlot::InsertCommandSet(std::size_t position) {
    const auto offset = static_cast<std::ptrdiff_t>(position);
    commandSets_.insert(std::next(commandSets_.begin(), offset), CommandSet());
    parsedSets_.insert(std::next(parsedSets_.begin(), offset), std::vector<ParsedCommand>());
}

void SequenceSlot::RemoveCommandSet(std::size_t set) {
    const auto offset = static_cast<std::ptrdiff_t>(set);
    commandSets_.erase(std::next(commandSets_.begin(), offset));
    parsedSets_.erase(std::next(parsedSets_.begin(), offset));
}

void SequenceSlot::ClearCommandSet(std::size_t set) {
    commandSets_[set].clear();
    parsedSets_[set].clear();
}

void SequenceSlot::SwapCommandSets(std::size_t a, std::size_t b) {
    std::swap(commandSets_[a], commandSets_[b]);
    std::swap(parsedSets_[a], parsedSets_[b]);
}

void SequenceSlot::AppendCommand(std::size_t set, const std::wstring& text,
                                 const ParsedCommand& parsed) {
    commandSets_[set].push_back(text);
    parsedSets_[set].push_back(parsed);
}

void SequenceSlot::RemoveLastCommand(std::size_t set) {
    commandSets_[set].pop_back();
    parsedSets_[set].pop_back();
}

void SequenceSlot::ReplaceCommand(std::size_t set, std::size_t index, const std::wstring& text,
                                  const ParsedCommand& parsed) {
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
