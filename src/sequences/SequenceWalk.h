#pragma once

// The timing walk itself, a template on the observer that hears it: plain timing instantiates
// it with an observer that does nothing, so its loop tests nothing per step, and a `final`
// observer's calls are direct and can be inlined into the loop.

#include <algorithm>
#include <optional>

#include "sequences/SequenceContainer.h"

class SequenceContainer::NoObserver final : public StepObserver {
  public:
    bool EnterSequence(std::uint32_t) override { return true; }
    void StepTimed(const std::vector<ParsedCommand>&, const StepTime&) override {}
    void SequenceTimed() override {}
};

template <class Observer>
VlrDataTypes::VlrRetVal SequenceContainer::WalkSequence(std::uint32_t number, double& duration,
                                                        Observer& observer) const {
    TimingMemo memo;
    return TimeSequence(number, duration, CallStack(), memo, observer, nullptr);
}

template <class Observer>
VlrDataTypes::VlrRetVal SequenceContainer::TimeSequence(std::uint32_t number, double& duration,
                                                        CallStack stack, TimingMemo& memo,
                                                        Observer& observer,
                                                        std::optional<ChainFault>* fault) const {
    using VlrDataTypes::VLR_FAILURE;
    using VlrDataTypes::VLR_SUCCESS;
    if (const std::optional<VlrRetVal> result =
            TimeWithoutWalking(number, duration, stack, memo, fault)) {
        return *result;
    }
    // An observer that knows this sequence already hears nothing of it or of its calls.
    if (!observer.EnterSequence(number)) {
        NoObserver none;
        return TimeSequence(number, duration, stack, memo, none, fault);
    }
    const double start = duration;
    TimingMemo::Reach reach;
    reach.visited.set(number);
    stack.Push(number);
    std::uint32_t loopFactor = 1;
    for (const auto& parsedSet : slots_[number].ParsedSets()) {
        double stepDuration = kDefaultStepDuration;
        std::optional<std::uint32_t> called;
        for (const ParsedCommand& command : parsedSet) {
            if (TimeCommand(command, stepDuration, loopFactor, called) != VLR_SUCCESS) {
                return VLR_FAILURE;
            }
        }
        // The device runs the whole call and then waits out the step's own duration, so the
        // callee adds onto that duration wherever the step names it.
        if (called &&
            TimeCall(*called, stepDuration, stack, memo, reach, observer, fault) != VLR_SUCCESS) {
            return VLR_FAILURE;
        }
        duration += static_cast<double>(loopFactor) * stepDuration;
        observer.StepTimed(parsedSet, {stepDuration, loopFactor});
    }
    observer.SequenceTimed();
    memo.Store(number, reach, start, duration);
    return VLR_SUCCESS;
}

template <class Observer>
VlrDataTypes::VlrRetVal SequenceContainer::TimeCall(std::uint32_t called, double& stepDuration,
                                                    const CallStack& stack, TimingMemo& memo,
                                                    TimingMemo::Reach& reach, Observer& observer,
                                                    std::optional<ChainFault>* fault) const {
    if (TimeSequence(called, stepDuration, stack, memo, observer, fault) !=
        VlrDataTypes::VLR_SUCCESS) {
        return VlrDataTypes::VLR_FAILURE;
    }
    const TimingMemo::Reach& calledReach = memo.ReachOf(called);
    reach.visited |= calledReach.visited;
    reach.height = std::max(reach.height, calledReach.height + 1);
    return VlrDataTypes::VLR_SUCCESS;
}

// Inline, as the walk runs these for every command it visits.
inline VlrDataTypes::VlrRetVal SequenceContainer::TimeCommand(
    const ParsedCommand& command, double& stepDuration, std::uint32_t& loopFactor,
    std::optional<std::uint32_t>& called) const {
    using SequenceCommandWords::Word;
    switch (command.Role()) {
        case ParsedCommand::TimingRole::Duration:
            if (CheckSingleArgument(Word::Duration, command) != VlrDataTypes::VLR_SUCCESS) {
                return VlrDataTypes::VLR_FAILURE;
            }
            stepDuration = command.FractionArgument();  // the last -Duration of a step counts
            break;
        case ParsedCommand::TimingRole::Call:
            if (CheckSingleArgument(Word::Call, command) != VlrDataTypes::VLR_SUCCESS) {
                return VlrDataTypes::VLR_FAILURE;
            }
            called = static_cast<std::uint32_t>(command.IntegerArgument());
            break;
        case ParsedCommand::TimingRole::Loop:
            if (CheckSingleArgument(Word::Loop, command) != VlrDataTypes::VLR_SUCCESS) {
                return VlrDataTypes::VLR_FAILURE;
            }
            // The factor holds until an -EndLoop, also across steps; loops do not nest.
            stepDuration = 0.0;
            loopFactor = static_cast<std::uint32_t>(command.IntegerArgument());
            break;
        case ParsedCommand::TimingRole::EndLoop:
            stepDuration = 0.0;
            loopFactor = 1;
            break;
        case ParsedCommand::TimingRole::None:
            break;
    }
    return VlrDataTypes::VLR_SUCCESS;
}

// The walk runs this for every command it visits; the message text is built only on failure.
inline VlrDataTypes::VlrRetVal SequenceContainer::CheckSingleArgument(
    SequenceCommandWords::Word word, const ParsedCommand& command) const {
    if (command.ArgumentCount() == 1) {
        return VlrDataTypes::VLR_SUCCESS;
    }
    return VerifyArgumentCount(word, command.ArgumentCount());
}
