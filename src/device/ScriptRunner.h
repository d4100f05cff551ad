#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "device/ScriptCommand.h"

using Script = std::vector<ScriptCommand>;
using SharedScript = std::shared_ptr<const Script>;

// Runs uploaded scripts the way the device is assumed to, one command at a time, and counts
// their time in device steps of 0.1 ms. The timeline's device check and the emulator both walk
// scripts through this, so the two cannot drift apart. The assumptions: every command takes one
// step and sets its outputs at the start of it; WaitSteps n takes n steps (WaitSteps 0, the
// command of a step that sets nothing, still its one step); EndLoop takes its step on every pass
// and jumps back until the loop has run its count; CallSequence takes its step and then runs the
// called script to its end; EndOfSequence takes no time and returns to the caller. A script that
// runs past its last command without an EndOfSequence ends the run there.
class ScriptRunner {
  public:
    // The script uploaded under a number, or null. A running script is held until the run
    // leaves it, so a new upload of the same number does not pull it away.
    using Lookup = std::function<SharedScript(std::uint32_t number)>;
    enum class Outcome { Running, Ended, RanOffEnd, MissingScript, TooDeep };
    // Calls nested deeper than this end the run (a script calling itself would never end).
    static constexpr std::size_t kMaxCallDepth = 64;

    struct Executed {
        ScriptCommand command;
        std::uint32_t sequence = 0;
        std::size_t index = 0;
        std::uint64_t step = 0;  // since the start: when the command begins and sets its outputs
    };

    // Begins the script of `number` at step 0; false when there is none.
    bool Start(std::uint32_t number, const Lookup& lookup);
    // Runs the next command: its control flow and its time. None once the run is over.
    std::optional<Executed> Next(const Lookup& lookup);
    // Ends the run where it is (a stop).
    void Abandon() { Finish(Outcome::Ended); }

    bool IsRunning() const { return outcome_ == Outcome::Running; }
    Outcome GetOutcome() const { return outcome_; }
    // The sequence a call named that had no script (MissingScript).
    std::uint32_t MissingSequence() const { return missing_; }
    // Steps taken so far: the step at which the next command begins.
    std::uint64_t Steps() const { return steps_; }

  private:
    struct Frame {
        SharedScript script;
        std::uint32_t sequence = 0;
        std::size_t next = 0;
        std::vector<std::uint32_t> passes;  // per EndLoop command
    };
    bool Enter(std::uint32_t number, const Lookup& lookup);
    void Finish(Outcome outcome);

    std::vector<Frame> frames_;
    std::uint64_t steps_ = 0;
    Outcome outcome_ = Outcome::Ended;
    std::uint32_t missing_ = 0;
};

// The outputs a command sets, each as visit(kind, which, value): an LED by device LED ID (value
// 1 on), a TTL bit by number (1 high), an intensity by the LED's table position (0..255).
enum class ScriptOutput { Led, Ttl, Intensity };
template <typename Visit>
void ForEachScriptOutput(const ScriptCommand& command, Visit&& visit) {
    switch (command.opCode) {
        case ScriptOpCode::SetOutputs:
            for (std::uint8_t id = 0; id < 16; ++id) {
                if ((command.ledChangeMask >> id) & 1u) {
                    visit(ScriptOutput::Led, id, (command.ledValueMask >> id) & 1);
                }
            }
            [[fallthrough]];
        case ScriptOpCode::SetTTLOutputs:
            for (std::uint8_t bit = 0; bit < 8; ++bit) {
                if ((command.ttlChangeMask >> bit) & 1u) {
                    visit(ScriptOutput::Ttl, bit, (command.ttlValueMask >> bit) & 1);
                }
            }
            break;
        case ScriptOpCode::SetIntensity1:
        case ScriptOpCode::SetIntensity2:
        case ScriptOpCode::SetIntensity3:
            visit(ScriptOutput::Intensity,
                  static_cast<std::uint8_t>(command.opCode - ScriptOpCode::SetIntensity1),
                  static_cast<int>(command.intensity));
            break;
        default:
            break;
    }
}
