// How long a sequence runs. The walk reads only the parsed form of each command, which was
// taken from its text when the text was stored: adding a -Call times every used sequence, and
// a settings file does that once per call line. A TimingMemo keeps what the walk learnt, so a
// sequence is walked once however often it is called, and the check after an added -Call walks
// only the sequences that changed or call one that did.

#include <algorithm>
#include <optional>
#include <string>

#include "sequences/SequenceContainer.h"
#include "sequences/SequenceWalk.h"

using SequenceCommandWords::Word;
using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

// The walk pushes only onto a stack of at most kMaxNestedCalls entries.
static_assert(SequenceContainer::kMaxNestedCalls < CallStack::kCapacity);

VlrRetVal SequenceContainer::GetSequenceDuration(std::uint32_t number, double& duration) const {
    return ComputeSequenceDuration(number, duration, CallStack());
}

namespace {

// The steps of the sequence walked first; those of the sequences it calls are not its own.
class OwnStepTimes final : public SequenceContainer::StepObserver {
  public:
    explicit OwnStepTimes(std::vector<SequenceContainer::StepTime>& steps) : steps_(steps) {}
    bool EnterSequence(std::uint32_t) override {
        const bool first = !entered_;
        entered_ = true;
        return first;
    }
    void StepTimed(const std::vector<ParsedCommand>&,
                   const SequenceContainer::StepTime& time) override {
        steps_.push_back(time);
    }
    void SequenceTimed() override {}

  private:
    std::vector<SequenceContainer::StepTime>& steps_;
    bool entered_ = false;
};

}  // namespace

VlrRetVal SequenceContainer::GetStepTimes(std::uint32_t number,
                                          std::vector<StepTime>& steps) const {
    steps.clear();
    OwnStepTimes own(steps);
    double duration = 0.0;
    return WalkSequence(number, duration, own);
}

bool SequenceContainer::CheckCallNesting(std::uint32_t calling, std::uint32_t called) const {
    double scratch = 0.0;
    return ComputeSequenceDuration(called, scratch, CallStack{calling}) != VLR_SUCCESS;
}

std::optional<SequenceContainer::ChainFault> SequenceContainer::FindChainFault(
    std::uint32_t number) const {
    std::optional<ChainFault> fault;
    TimingMemo memo;
    double duration = 0.0;
    TimeSequence(number, duration, CallStack(), memo, &fault);
    return fault;
}

std::wstring SequenceContainer::ChainFaultText(ChainFault fault) {
    if (fault == ChainFault::Cycle) {
        return L"Error processing sequence duration, the call command will create an infinite "
               L"loop.";
    }
    return L"Error processing sequence duration, the call creates a violation of the maximum "
           L"number(" +
           std::to_wstring(kMaxNestedCalls) + L") of nested call commands allowed.";
}

VlrRetVal SequenceContainer::ComputeSequenceDuration(std::uint32_t number, double& duration,
                                                     CallStack stack) const {
    TimingMemo memo;
    return TimeSequence(number, duration, stack, memo);
}

// A -Call may close a cycle or deepen a chain that runs through any sequence, so all are timed.
// Only success matters here, so a sequence known to pass on its own is not walked again: one
// that passed in this check, or in an earlier one when nothing it visits has changed since.
VlrRetVal SequenceContainer::TimeEveryUsedSequence() {
    knownTimings_.ForgetChanged();
    const CallStack empty;
    for (std::uint32_t number = 0; number < kSequenceCount; ++number) {
        if (!IsUsed(number) || knownTimings_.Passes(number, empty, kMaxNestedCalls)) {
            continue;
        }
        double duration = 0.0;
        if (TimeSequence(number, duration, empty, knownTimings_) != VLR_SUCCESS) {
            return VLR_FAILURE;
        }
    }
    return VLR_SUCCESS;
}

// Only the new call can fail when nothing else changed: the rest of the sequence passed the
// last check and its callees are as they were. Sequences are still checked in ascending order,
// so a caller of the changed sequence fails first with the message a full check would give.
VlrRetVal SequenceContainer::CheckAddedCall(std::uint32_t number, std::uint32_t called) {
    const std::optional<TimingMemo::Reach> before = knownTimings_.ReachBeforeSoleChange(number);
    if (!before) {
        return TimeEveryUsedSequence();
    }
    knownTimings_.ForgetChanged();
    const CallStack empty;
    for (std::uint32_t other = 0; other < kSequenceCount; ++other) {
        if (!IsUsed(other) || knownTimings_.Passes(other, empty, kMaxNestedCalls)) {
            continue;
        }
        double duration = kDefaultStepDuration;
        if (other != number) {
            duration = 0.0;
            if (TimeSequence(other, duration, empty, knownTimings_) != VLR_SUCCESS) {
                return VLR_FAILURE;
            }
            continue;
        }
        if (TimeSequence(called, duration, CallStack{number}, knownTimings_) != VLR_SUCCESS) {
            return VLR_FAILURE;
        }
        TimingMemo::Reach reach = *before;
        const TimingMemo::Reach& calledReach = knownTimings_.ReachOf(called);
        reach.visited |= calledReach.visited;
        reach.height = std::max(reach.height, calledReach.height + 1);
        knownTimings_.StoreReach(number, reach);
    }
    return VLR_SUCCESS;
}

VlrRetVal SequenceContainer::TimeSequence(std::uint32_t number, double& duration, CallStack stack,
                                          TimingMemo& memo,
                                          std::optional<ChainFault>* fault) const {
    NoObserver none;
    return TimeSequence(number, duration, stack, memo, none, fault);
}

std::optional<VlrRetVal> SequenceContainer::TimeWithoutWalking(
    std::uint32_t number, double& duration, const CallStack& stack, const TimingMemo& memo,
    std::optional<ChainFault>* fault) const {
    if (ValidateSequenceNumber(number) != VLR_SUCCESS) {
        return VLR_FAILURE;
    }
    const std::optional<ChainFault> found =
        stack.Contains(number)           ? std::optional(ChainFault::Cycle)
        : stack.Size() > kMaxNestedCalls ? std::optional(ChainFault::TooDeep)
                                         : std::nullopt;
    if (found) {
        if (fault != nullptr) {
            *fault = found;
        } else {
            LogError(ChainFaultText(*found));
        }
        return VLR_FAILURE;
    }
    if (memo.Passes(number, stack, kMaxNestedCalls) && memo.FindTotal(number, duration, duration)) {
        return VLR_SUCCESS;
    }
    return std::nullopt;
}
