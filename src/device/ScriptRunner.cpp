#include "device/ScriptRunner.h"

#include <algorithm>

bool ScriptRunner::Start(std::uint32_t number, const Lookup& lookup) {
    frames_.clear();
    steps_ = 0;
    outcome_ = Outcome::Running;
    return Enter(number, lookup);
}

bool ScriptRunner::Enter(std::uint32_t number, const Lookup& lookup) {
    if (frames_.size() >= kMaxCallDepth) {
        Finish(Outcome::TooDeep);
        return false;
    }
    SharedScript script = lookup ? lookup(number) : nullptr;
    if (script == nullptr) {
        missing_ = number;
        Finish(Outcome::MissingScript);
        return false;
    }
    const std::size_t size = script->size();
    frames_.push_back({std::move(script), number, 0, std::vector<std::uint32_t>(size, 0)});
    return true;
}

void ScriptRunner::Finish(Outcome outcome) {
    frames_.clear();
    outcome_ = outcome;
}

std::optional<ScriptRunner::Executed> ScriptRunner::Next(const Lookup& lookup) {
    if (frames_.empty()) {
        return std::nullopt;
    }
    Frame& frame = frames_.back();
    if (frame.next >= frame.script->size()) {
        Finish(Outcome::RanOffEnd);
        return std::nullopt;
    }
    const std::size_t index = frame.next++;
    Executed executed{(*frame.script)[index], frame.sequence, index, steps_};
    const ScriptCommand& command = executed.command;
    switch (command.opCode) {
        case ScriptOpCode::WaitSteps:
            steps_ += std::max<std::uint64_t>(command.waitSteps, 1);
            break;
        case ScriptOpCode::EndLoop:
            ++steps_;
            if (++frame.passes[index] < command.loopCount) {
                frame.next = command.jumpTargetIndex;
            } else {
                frame.passes[index] = 0;
            }
            break;
        case ScriptOpCode::CallSequence:
            ++steps_;
            Enter(command.calledSequence, lookup);
            break;
        case ScriptOpCode::EndOfSequence:
            frames_.pop_back();
            if (frames_.empty()) {
                outcome_ = Outcome::Ended;
            }
            break;
        default:
            ++steps_;
    }
    return executed;
}
