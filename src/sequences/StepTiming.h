#pragma once

#include <cstdint>

#include "sequences/ParsedCommand.h"

// How one command changes the step being timed: its duration and the loop factor in force.
// Only the timing walk applies it; whoever needs step times hears them from that walk
// (SequenceContainer::StepObserver). A -Call adds the called sequence to the step duration;
// that needs the callee, so the walk does it.
namespace StepTiming {

inline void Apply(const ParsedCommand& command, double& stepDuration, std::uint32_t& loopFactor) {
    switch (command.Role()) {
        case ParsedCommand::TimingRole::Duration:
            stepDuration = command.FractionArgument();  // the last -Duration of a step counts
            return;
        case ParsedCommand::TimingRole::Loop:
            // The factor holds until an -EndLoop, also across steps; loops do not nest.
            stepDuration = 0.0;
            loopFactor = static_cast<std::uint32_t>(command.IntegerArgument());
            return;
        case ParsedCommand::TimingRole::EndLoop:
            loopFactor = 1;
            stepDuration = 0.0;
            return;
        case ParsedCommand::TimingRole::Call:
        case ParsedCommand::TimingRole::None:
            return;
    }
}

}  // namespace StepTiming
