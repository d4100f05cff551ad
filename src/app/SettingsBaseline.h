#pragma once

#include <array>
#include <bitset>
#include <string>
#include <vector>

#include "sequences/ChangedSequences.h"
#include "sequences/SequenceContainer.h"

// The settings as they were last read or saved, so that "are they unsaved?" re-reads only the
// sequences changed since the last question instead of writing the whole settings text: for
// the largest protocol that text took tens of milliseconds on the window's thread after every
// change. The settings text is made of the device section and each slot's name and steps alone,
// so comparing those is comparing the text.
class SettingsBaseline {
  public:
    explicit SettingsBaseline(SequenceContainer& sequences);
    SettingsBaseline(const SettingsBaseline&) = delete;
    SettingsBaseline& operator=(const SettingsBaseline&) = delete;

    // The models as they are now become the saved settings.
    void Take(const std::wstring& deviceSection);
    bool Differs(const std::wstring& deviceSection);

  private:
    static constexpr std::size_t kSlots = SequenceContainer::kSequenceCount;

    struct Slot {
        std::wstring name;
        std::vector<CommandSet> steps;
    };

    bool SlotDiffers(std::uint32_t number) const;

    const SequenceContainer& sequences_;
    std::wstring device_;
    std::array<Slot, kSlots> saved_;
    // Slots whose saved state may no longer hold.
    ChangedSequences changed_;
    // Slots found to differ at the last question.
    std::bitset<kSlots> differing_;
};
