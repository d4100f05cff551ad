#include "app/SettingsBaseline.h"

SettingsBaseline::SettingsBaseline(SequenceContainer& sequences)
    : sequences_(sequences), changed_(sequences, false) {}

void SettingsBaseline::Take(const std::wstring& deviceSection) {
    device_ = deviceSection;
    for (std::uint32_t number = 0; number < kSlots; ++number) {
        saved_[number] = {sequences_.GetSequenceName(number), sequences_.GetCommandSets(number)};
    }
    changed_.Take();
    differing_.reset();
}

bool SettingsBaseline::Differs(const std::wstring& deviceSection) {
    const ChangedSequences::Numbers changed = changed_.Take();
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
