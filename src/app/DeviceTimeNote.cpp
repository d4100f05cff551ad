#include "app/DeviceTimeNote.h"

#include <array>
#include <optional>
#include <vector>

#include "sequences/SequenceContainer.h"
#include "sequences/SequenceWalk.h"
#include "sequences/StimulusTimeline.h"

namespace {

using Role = ParsedCommand::TimingRole;

// Counts, along the timing walk, the -EndLoop passes one run of each sequence makes, its
// callees' included. A callee is walked once, so its count is kept for every later call.
class EndLoopPasses final : public SequenceContainer::StepObserver {
  public:
    double Of(std::uint32_t number) const { return passes_[number]; }

    bool EnterSequence(std::uint32_t number) override {
        if (walked_[number]) {
            return false;
        }
        walked_[number] = true;
        open_.push_back({number, 0.0, std::nullopt, false});
        return true;
    }

    void StepTimed(const std::vector<ParsedCommand>& commands,
                   const SequenceContainer::StepTime& time) override {
        Open& open = open_.back();
        const Role role = commands.empty() ? Role::None : commands.front().Role();
        if (role == Role::Loop) {
            // The upload drops a loop with nothing between its two steps; a -Duration on the
            // loop's own step waits inside it.
            open.loopCount = commands.front().IntegerArgument();
            open.loopHasBody = time.duration > 0.0;
        } else if (role == Role::EndLoop) {
            if (open.loopCount && open.loopHasBody && *open.loopCount > 0) {
                open.passes += *open.loopCount;
            }
            open.loopCount.reset();
        } else {
            open.loopHasBody = true;
            if (role == Role::Call) {
                open.passes += time.loopFactor * passes_[commands.front().IntegerArgument()];
            }
        }
    }

    void SequenceTimed() override {
        passes_[open_.back().number] = open_.back().passes;
        open_.pop_back();
    }

  private:
    struct Open {
        std::uint32_t number = 0;
        double passes = 0.0;
        std::optional<std::int32_t> loopCount;
        bool loopHasBody = false;
    };

    std::array<bool, SequenceContainer::kSequenceCount> walked_{};
    std::array<double, SequenceContainer::kSequenceCount> passes_{};
    std::vector<Open> open_;
};

}  // namespace

std::wstring DeviceTimeNote(const SequenceContainer& sequences, std::uint32_t number) {
    constexpr double kStepMs = SequenceContainer::kDefaultStepDuration;
    if (number >= SequenceContainer::kSequenceCount || sequences.GetSequenceName(number).empty()) {
        return L"";
    }
    EndLoopPasses passes;
    double duration = 0.0;
    if (sequences.WalkSequence(number, duration, passes) != VlrDataTypes::VLR_SUCCESS ||
        passes.Of(number) * kStepMs <= kStepMs) {
        return L"";
    }
    return L"The device may take " + FormatTimelineTime(passes.Of(number) * kStepMs) +
           L" ms longer than shown: each -EndLoop also runs as a " + FormatTimelineTime(kStepMs) +
           L" ms step on every pass (" + FormatTimelineTime(passes.Of(number), 0) + L" passes).";
}
