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
        view_.reserve(sets_.size());
        for (const StoredSet& stored : sets_) {
            view_.push_back(stored.texts);
        }
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
    sets_.clear();
}

void SequenceSlot::InsertCommandSet(std::size_t position) {
    Changed();
    sets_.insert(std::next(sets_.begin(), static_cast<std::ptrdiff_t>(position)), StoredSet());
}

void SequenceSlot::RemoveCommandSet(std::size_t set) {
    Changed();
    sets_.erase(std::next(sets_.begin(), static_cast<std::ptrdiff_t>(set)));
}

void SequenceSlot::ClearCommandSet(std::size_t set) {
    Changed();
    sets_[set] = StoredSet();
}

void SequenceSlot::SwapCommandSets(std::size_t a, std::size_t b) {
    Changed();
    std::swap(sets_[a], sets_[b]);
}

void SequenceSlot::RestoreCommandSet(std::size_t set, StoredSet stored) {
    Changed();
    sets_[set] = std::move(stored);
}

std::optional<std::size_t> SequenceSlot::RefusedCommandAt(std::size_t set) const {
    const std::uint32_t at = sets_[set].refusedAt;
    return at == StoredSet::kWhole ? std::nullopt : std::optional<std::size_t>(at);
}

// Only the new command is read: a step refused before stays refused where it was.
void SequenceSlot::AppendCommand(std::size_t set, const std::wstring& text,
                                 const ParsedCommand& parsed,
                                 const ParsedCommand::OutputNames& names) {
    Changed();
    StoredSet& stored = sets_[set];
    stored.texts.push_back(text);
    stored.parsed.push_back(parsed);
    if (stored.refusedAt != StoredSet::kWhole) {
        return;
    }
    StepText::Reading reading{stored.step, std::nullopt};
    const std::size_t index = stored.texts.size() - 1;
    StepText::ReadNext(reading, text, index, ContextOf(names), StepText::Judging::AsTheDeviceReads);
    stored.step = reading.step;
    if (reading.refusal) {
        stored.refusedAt = static_cast<std::uint32_t>(index);
    }
}

void SequenceSlot::RemoveLastCommand(std::size_t set, const ParsedCommand::OutputNames& names) {
    Changed();
    sets_[set].texts.pop_back();
    sets_[set].parsed.pop_back();
    ReadStep(set, names);
}

void SequenceSlot::ReplaceCommand(std::size_t set, std::size_t index, const std::wstring& text,
                                  const ParsedCommand& parsed,
                                  const ParsedCommand::OutputNames& names) {
    Changed();
    sets_[set].texts[index] = text;
    sets_[set].parsed[index] = parsed;
    ReadStep(set, names);
}

void SequenceSlot::ResolveOutputs(const ParsedCommand::OutputNames& names) {
    for (std::size_t set = 0; set < sets_.size(); ++set) {
        StoredSet& stored = sets_[set];
        for (std::size_t index = 0; index < stored.parsed.size(); ++index) {
            stored.parsed[index].ResolveOutput(stored.texts[index], names);
        }
        ReadStep(set, names);
    }
}

void SequenceSlot::ReadStep(std::size_t set, const ParsedCommand::OutputNames& names) {
    StoredSet& stored = sets_[set];
    const StepText::Reading reading =
        StepText::Read(stored.texts, ContextOf(names), StepText::Judging::AsTheDeviceReads);
    stored.step = reading.step;
    stored.refusedAt =
        reading.refusal ? static_cast<std::uint32_t>(reading.refusal->index) : StoredSet::kWhole;
}
