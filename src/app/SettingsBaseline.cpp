#include "app/SettingsBaseline.h"

SettingsBaseline::SettingsBaseline(SequenceContainer& sequences) : sequences_(sequences) {
    sequences.SubscribeToChanges([this](const SequenceContainer::Change& change) {
        Note(change);
        return 0;
    });
}

void SettingsBaseline::Note(const SequenceContainer::Change& change) {
    const std::lock_guard<std::mutex> guard(lock_);
    if (change.IsEverySequence()) {
        changed_.set();
    } else if (change.sequence < kSlots) {
        changed_.set(change.sequence);
    }
}

void SettingsBaseline::Take(const std::wstring& deviceSection) {
    device_ = deviceSection;
    for (std::uint32_t number = 0; number < kSlots; ++number) {
        saved_[number] = {sequences_.GetSequenceName(number), sequences_.GetCommandSets(number)};
    }
    const std::lock_guard<std::mutex> guard(lock_);
    changed_.reset();
    differing_.reset();
}

bool SettingsBaseline::Differs(const std::wstring& deviceSection) {
    std::bitset<kSlots> changed;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        changed = changed_;
        changed_.reset();
    }
    for (std::uint32_t number = 0; number < kSlots; ++number) {
        if (changed.test(number)) {
            differing_.set(number, SlotDiffers(number));
        }
    }
    return differing_.any() || deviceSection != device_;
}

bool SettingsBaseline::SlotDiffers(std::uint32_t number) const {
    const Slot& saved = saved_[number];
    return sequences_.GetSequenceName(number) != saved.name ||
           sequences_.GetCommandSets(number) != saved.steps;
}
