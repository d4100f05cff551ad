#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "foundation/Step.h"
#include "sequences/ParsedCommand.h"

// One step of a sequence: its command texts, verbatim and in the order they were added.
using CommandSet = std::vector<std::wstring>;
// The parsed forms of one sequence's steps. A deque, because a file may add every step at the
// front: with a vector each insertion moved every later step, and 160,000 steps took minutes.
using ParsedSetList = std::deque<std::vector<ParsedCommand>>;

// One numbered place of the sequence table. It is used exactly when its name is not empty.
// Every command text has its parsed form beside it, and every command set the Step its texts
// make as the device reads them (StepText); the mutators below keep them in step, so callers
// never touch the lists directly. Indexes are checked by the caller.
class SequenceSlot {
  public:
    bool IsUsed() const { return !name_.empty(); }
    const std::wstring& Name() const { return name_; }
    // The texts as one vector, made on the first call after a change; the model's own checks
    // use the calls below, so loading a file never makes it.
    const std::vector<CommandSet>& CommandSets() const;
    const ParsedSetList& ParsedSets() const { return parsedSets_; }
    std::size_t CommandSetCount() const { return commandSets_.size(); }
    bool IsCommandSetEmpty(std::size_t set) const { return commandSets_[set].empty(); }
    const CommandSet& CommandSetAt(std::size_t set) const { return commandSets_[set]; }
    // When RefusedCommandAt names a command the step holds only the commands before it.
    const Step& StepAt(std::size_t set) const { return steps_[set].step; }
    std::optional<std::size_t> RefusedCommandAt(std::size_t set) const;

    void SetName(const std::wstring& name) { name_ = name; }
    // Empties the name and the command sets: the slot becomes free.
    void Clear();
    void ClearCommandSets();

    void InsertCommandSet(std::size_t position);
    void RemoveCommandSet(std::size_t set);
    void ClearCommandSet(std::size_t set);
    void SwapCommandSets(std::size_t a, std::size_t b);

    // names: what the steps are read with.
    void AppendCommand(std::size_t set, const std::wstring& text, const ParsedCommand& parsed,
                       const ParsedCommand::OutputNames& names);
    void RemoveLastCommand(std::size_t set, const ParsedCommand::OutputNames& names);
    void RestoreCommandSet(std::size_t set, const CommandSet& texts,
                           const std::vector<ParsedCommand>& parsed,
                           const ParsedCommand::OutputNames& names);
    void ReplaceCommand(std::size_t set, std::size_t index, const std::wstring& text,
                        const ParsedCommand& parsed, const ParsedCommand::OutputNames& names);
    // Every command finds its output again among changed names, every step is read anew.
    void ResolveOutputs(const ParsedCommand::OutputNames& names);

  private:
    // Kept small: one sits beside each of the (possibly hundreds of thousands) command sets.
    struct StoredStep {
        static constexpr std::uint32_t kWhole = 0xFFFFFFFF;
        Step step;
        std::uint32_t refusedAt = kWhole;
    };

    void ReadStep(std::size_t set, const ParsedCommand::OutputNames& names);
    void Changed() {
        view_.clear();
        viewCurrent_ = false;
    }

    std::wstring name_;
    std::deque<CommandSet> commandSets_;
    ParsedSetList parsedSets_;
    std::deque<StoredStep> steps_;
    mutable std::vector<CommandSet> view_;
    mutable bool viewCurrent_ = true;
};
