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

// One numbered place of the sequence table. It is used exactly when its name is not empty.
// Each step is stored with the parsed form of every text and the Step its texts make as the
// device reads them (StepText); the mutators below keep the three together, so callers never
// touch them directly. Indexes are checked by the caller.
class SequenceSlot {
  public:
    // Kept small: one sits beside each of the (possibly hundreds of thousands) steps.
    struct StoredSet {
        static constexpr std::uint32_t kWhole = 0xFFFFFFFF;

        CommandSet texts;
        std::vector<ParsedCommand> parsed;
        // When refusedAt names a command, the step holds only the commands before it.
        Step step;
        std::uint32_t refusedAt = kWhole;
    };

    bool IsUsed() const { return !name_.empty(); }
    const std::wstring& Name() const { return name_; }
    // The texts as one vector, made on the first call after a change; the model's own checks
    // use the calls below, so loading a file never makes it.
    const std::vector<CommandSet>& CommandSets() const;
    // A deque, because a file may add every step at the front: with a vector each insertion
    // moved every later step, and 160,000 steps took minutes.
    const std::deque<StoredSet>& Sets() const { return sets_; }
    std::size_t CommandSetCount() const { return sets_.size(); }
    bool IsCommandSetEmpty(std::size_t set) const { return sets_[set].texts.empty(); }
    const CommandSet& CommandSetAt(std::size_t set) const { return sets_[set].texts; }
    const Step& StepAt(std::size_t set) const { return sets_[set].step; }
    std::optional<std::size_t> RefusedCommandAt(std::size_t set) const;

    void SetName(const std::wstring& name) { name_ = name; }
    // Empties the name and the command sets: the slot becomes free.
    void Clear();
    void ClearCommandSets();

    void InsertCommandSet(std::size_t position);
    void RemoveCommandSet(std::size_t set);
    void ClearCommandSet(std::size_t set);
    void SwapCommandSets(std::size_t a, std::size_t b);
    // Puts back a set as SetAt gave it.
    void RestoreCommandSet(std::size_t set, StoredSet stored);
    const StoredSet& SetAt(std::size_t set) const { return sets_[set]; }

    // names: what the steps are read with.
    void AppendCommand(std::size_t set, const std::wstring& text, const ParsedCommand& parsed,
                       const ParsedCommand::OutputNames& names);
    void RemoveLastCommand(std::size_t set, const ParsedCommand::OutputNames& names);
    void ReplaceCommand(std::size_t set, std::size_t index, const std::wstring& text,
                        const ParsedCommand& parsed, const ParsedCommand::OutputNames& names);
    // Every command finds its output again among changed names, every step is read anew.
    void ResolveOutputs(const ParsedCommand::OutputNames& names);

  private:
    void ReadStep(std::size_t set, const ParsedCommand::OutputNames& names);
    void Changed() {
        view_.clear();
        viewCurrent_ = false;
    }

    std::wstring name_;
    std::deque<StoredSet> sets_;
    mutable std::vector<CommandSet> view_;
    mutable bool viewCurrent_ = true;
};
