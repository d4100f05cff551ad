#include "ui/SequenceChange.h"

#include <algorithm>

#include "sequences/SequenceContainer.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;

namespace {

template <typename Side>
Side Read(const SequenceContainer& model, std::uint32_t number) {
    Side side;
    side.name = model.GetSequenceName(number);
    if (!side.name.empty()) {
        side.steps = model.GetCommandSets(number);
    }
    return side;
}

}  // namespace

SequenceChange::SequenceChange(const SequenceContainer& model, std::wstring text,
                               std::optional<std::uint32_t> only, SequenceFocus before)
    : text_(std::move(text)), before_(before) {
    if (only) {
        taken_.emplace_back(*only, Read<Side>(model, *only));
        return;
    }
    for (std::uint32_t number = 0; number < SequenceContainer::kSequenceCount; ++number) {
        taken_.emplace_back(number, Read<Side>(model, number));
    }
}

void SequenceChange::Finish(const SequenceContainer& model, SequenceFocus after) {
    after_ = after;
    for (auto& [number, before] : taken_) {
        Side now = Read<Side>(model, number);
        if (now.name == before.name && now.steps == before.steps) {
            continue;
        }
        // Only the run of steps between the unchanged head and tail is kept: 1,000 edits of a
        // long sequence would otherwise hold 1,000 copies of it.
        std::vector<CommandSet>& was = before.steps;
        std::vector<CommandSet>& is = now.steps;
        const std::size_t shorter = std::min(was.size(), is.size());
        std::size_t head = 0;
        while (head < shorter && was[head] == is[head]) {
            ++head;
        }
        std::size_t tail = 0;
        while (tail < shorter - head && was[was.size() - 1 - tail] == is[is.size() - 1 - tail]) {
            ++tail;
        }
        SlotChange slot;
        slot.number = number;
        slot.first = head;
        slot.before.name = std::move(before.name);
        slot.after.name = std::move(now.name);
        slot.before.steps.assign(std::make_move_iterator(was.begin() + head),
                                 std::make_move_iterator(was.end() - tail));
        slot.after.steps.assign(std::make_move_iterator(is.begin() + head),
                                std::make_move_iterator(is.end() - tail));
        slots_.push_back(std::move(slot));
    }
    taken_.clear();
}

bool SequenceChange::MergeWith(const SequenceChange& later) {
    if (!cell_ || cell_ != later.cell_ || slots_.size() != 1 || later.slots_.size() != 1) {
        return false;
    }
    SlotChange& mine = slots_.front();
    const SlotChange& next = later.slots_.front();
    if (mine.number != next.number || mine.first != next.first ||
        mine.before.name != mine.after.name || next.before.name != next.after.name ||
        mine.after.steps != next.before.steps) {
        return false;
    }
    mine.after.steps = next.after.steps;
    after_ = later.after_;
    if (mine.before.steps == mine.after.steps) {
        slots_.clear();
    }
    return true;
}

// The order keeps every intermediate state one the model accepts: steps that go away leave
// first, and when several sequences change every differing step is emptied as well, so that
// while steps come back no call remains that the target lacks (no cycle, no call to a free
// number); numbers are freed before names move to other numbers.
SequenceChange::VlrRetVal SequenceChange::Apply(SequenceContainer& model, bool forward) const {
    const bool several = slots_.size() > 1;
    bool ok = true;
    const auto check = [&ok](VlrRetVal result) { ok = ok && result == VLR_SUCCESS; };
    for (const SlotChange& slot : slots_) {
        const Side& from = forward ? slot.before : slot.after;
        const Side& to = forward ? slot.after : slot.before;
        if (from.name.empty() || to.name.empty()) {  // freed whole below
            continue;
        }
        const auto at = [&slot](std::size_t index) {
            return static_cast<std::uint32_t>(slot.first + index);
        };
        for (std::size_t count = from.steps.size(); count > to.steps.size(); --count) {
            check(model.RemoveCommandSet(slot.number, at(to.steps.size())));
        }
        for (std::size_t index = 0; several && index < to.steps.size() && index < from.steps.size();
             ++index) {
            if (from.steps[index] != to.steps[index]) {
                check(model.ReplaceCommandSet(slot.number, at(index), {}));
            }
        }
    }
    for (const SlotChange& slot : slots_) {
        const Side& from = forward ? slot.before : slot.after;
        const Side& to = forward ? slot.after : slot.before;
        if (!from.name.empty() && to.name.empty()) {
            check(model.RemoveSequence(slot.number));
        }
    }
    for (const SlotChange& slot : slots_) {
        const Side& from = forward ? slot.before : slot.after;
        const Side& to = forward ? slot.after : slot.before;
        if (!to.name.empty() && from.name != to.name) {
            check(from.name.empty() ? model.AddSequence(slot.number, to.name)
                                    : model.RenameSequence(slot.number, to.name));
        }
    }
    for (const SlotChange& slot : slots_) {
        const Side& from = forward ? slot.before : slot.after;
        const Side& to = forward ? slot.after : slot.before;
        const std::size_t kept =
            from.name.empty() ? 0 : std::min(from.steps.size(), to.steps.size());
        for (std::size_t index = 0; index < to.steps.size(); ++index) {
            const auto set = static_cast<std::uint32_t>(slot.first + index);
            if (index >= kept) {
                check(model.AddCommandSet(slot.number, set));
            }
            const bool emptied = index >= kept || (several && from.steps[index] != to.steps[index]);
            const bool holds =
                emptied ? to.steps[index].empty() : from.steps[index] == to.steps[index];
            if (!holds) {
                check(model.ReplaceCommandSet(slot.number, set, to.steps[index]));
            }
        }
    }
    return ok ? VLR_SUCCESS : VLR_FAILURE;
}
