#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "sequences/ParsedCommand.h"

// One step of a sequence: its command texts, verbatim and in the order they were added.
using CommandSet = std::vector<std::wstring>;

// One numbered place of the sequence table. It is used exactly when its name is not empty.
// Every command text has its parsed form beside it; the mutators below keep the two in step,
// so callers never touch either list directly. Indexes are checked by the caller.
class SequenceSlot {
  public:
    bool IsUsed() const { return !name_.empty(); }
    const std::wstring& Name() const { return name_; }
    const std::vector<CommandSet>& CommandSets() const { return commandSets_; }
    const std::vector<std::vector<ParsedCommand>>& ParsedSets() const { return parsedSets_; }
    std::size_t CommandSetCount() const { return commandSets_.size(); }

    void SetName(const std::wstring& name) { name_ = name; }
    // Empties the name and the command sets: the slot becomes free.
    void Clear();
    void ClearCommandSets();

    void InsertCommandSet(std::size_t position);
    void RemoveCommandSet(std::size_t set);
    void ClearCommandSet(std::size_t set);
    void SwapCommandSets(std::size_t a, std::size_t b);

    void AppendCommand(std::size_t set, const std::wstring& text, const ParsedCommand& parsed);
    void RemoveLastCommand(std::size_t set);
    void ReplaceCommand(std::size_t set, std::size_t index, const std::wstring& text,
                        const ParsedCommand& parsed);
    // Every command finds its output again among changed names.
    void ResolveOutputs(const ParsedCommand::OutputNames& names);

  private:
    std::wstring name_;
    std::vector<CommandSet> commandSets_;
    std::vector<std::vector<ParsedCommand>> parsedSets_;
};
