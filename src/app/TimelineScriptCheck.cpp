// What the walk assumes about the device (the README's "Timeline" section says the same): every
// script command takes one 0.1 ms step and sets its outputs at the start of it; WaitSteps n
// takes n steps (a WaitSteps 0, the command of a step that sets nothing, still its one step);
// EndLoop takes its step on every pass and jumps back until the loop has run its count;
// CallSequence takes its step and then runs the called script to its end; EndOfSequence takes
// no time and returns to the caller.

#include "app/TimelineScriptCheck.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <optional>

#include "device/LEDRecord.h"
#include "device/MicroController.h"
#include "device/MicroControllerCommandConversion.h"
#include "device/ScriptCommand.h"
#include "device/ScriptRunner.h"
#include "foundation/ArgumentReading.h"
#include "foundation/platform/ExitSignals.h"
#include "sequences/SequenceContainer.h"

namespace {

constexpr double kStepMs = 0.1;
constexpr double kSameTimeMs = 1e-6;
constexpr std::size_t kDifferencesDescribed = 5;

std::wstring Decimal(std::uint64_t value) {
    return std::to_wstring(value);
}

// One moment at which outputs are set, with the last value each output gets then, by lane.
struct Instant {
    double timeMs = 0.0;
    double toleranceMs = 0.0;
    std::vector<std::pair<std::uint16_t, std::int16_t>> settings;
};

void AddSetting(std::vector<Instant>& instants, double timeMs, double toleranceMs,
                std::uint16_t lane, std::int16_t value) {
    if (instants.empty() || instants.back().timeMs != timeMs) {
        instants.push_back({timeMs, toleranceMs, {}});
    }
    auto& settings = instants.back().settings;
    const auto found = std::find_if(settings.begin(), settings.end(),
                                    [lane](const auto& s) { return s.first == lane; });
    if (found != settings.end()) {
        found->second = value;
    } else {
        settings.emplace_back(lane, value);
        std::sort(settings.begin(), settings.end());
    }
}

class ScriptWalker {
  public:
    ScriptWalker(const SequenceContainer& container, const MicroController& device,
                 const std::vector<TimelineLane>& lanes, LogFile* log)
        : container_(container), conversion_(log) {
        const TimelineOutputs outputs = DeviceTimelineOutputs(device);
        for (int index = 0; index < device.GetLEDCount(); ++index) {
            LEDRecord led;
            if (device.GetLEDInfo(index, led) == VlrDataTypes::VLR_SUCCESS) {
                conversion_.RegisterLED(led.colorLabel, led.deviceLedId);
                ledLaneById_[led.deviceLedId] = static_cast<std::uint16_t>(2 * index);
            }
        }
        ledLanes_ = static_cast<std::uint16_t>(2 * outputs.ledLabels.size());
        for (std::size_t i = 0; i < outputs.ttlBits.size() && ledLanes_ + i < lanes.size(); ++i) {
            const std::int32_t bit = ArgumentReading::ReadInteger(outputs.ttlBits[i]);
            if (bit >= 0 && bit < 8) {
                ttlLaneByBit_[static_cast<std::uint32_t>(bit)] =
                    static_cast<std::uint16_t>(ledLanes_ + i);
            }
        }
    }

    // False, with the failing sequence in `failed`, when a conversion fails.
    bool Walk(std::uint32_t number, std::uint64_t maxSettings, std::vector<Instant>& instants,
              std::uint32_t& failed) {
        const ScriptRunner::Lookup lookup = [this](std::uint32_t n) { return Script(n); };
        ScriptRunner runner;
        runner.Start(number, lookup);
        std::uint64_t settings = 0;
        ExitSignals::Poll exitPoll;
        for (std::uint64_t run = 0;
             run < kMaxScriptCommands && settings < maxSettings && !exitPoll.Requested(); ++run) {
            const std::optional<ScriptRunner::Executed> executed = runner.Next(lookup);
            if (!executed) {
                break;
            }
            const ScriptCommand& command = executed->command;
            const double time = static_cast<double>(executed->step) * kStepMs;
            const double tolerance = static_cast<double>(stepsRun_) * kStepMs;
            ForEachScriptOutput(command, [&](ScriptOutput kind, std::uint8_t which, int value) {
                const std::optional<std::uint16_t> lane = LaneOf(kind, which);
                if (lane) {
                    AddSetting(instants, time, tolerance, *lane, static_cast<std::int16_t>(value));
                    ++settings;
                }
            });
            // Only a wait of whole steps is exact; every other command adds a step of its own.
            const bool exactWait =
                command.opCode == ScriptOpCode::WaitSteps && command.waitSteps != 0;
            if (!exactWait && command.opCode != ScriptOpCode::EndOfSequence) {
                ++stepsRun_;
            }
        }
        steps_ = runner.Steps();
        if (runner.GetOutcome() == ScriptRunner::Outcome::MissingScript) {
            failed = runner.MissingSequence();
            return false;
        }
        reachedEnd_ = runner.GetOutcome() == ScriptRunner::Outcome::Ended;
        return true;
    }

    bool ReachedEnd() const { return reachedEnd_; }
    double EndMs() const { return static_cast<double>(steps_) * kStepMs; }

  private:
    std::optional<std::uint16_t> LaneOf(ScriptOutput kind, std::uint8_t which) const {
        if (kind == ScriptOutput::Intensity) {
            const auto lane = static_cast<std::uint16_t>(2 * which + 1);
            return lane < ledLanes_ ? std::optional(lane) : std::nullopt;
        }
        const auto& lanes = kind == ScriptOutput::Led ? ledLaneById_ : ttlLaneByBit_;
        const auto found = lanes.find(which);
        return found != lanes.end() ? std::optional(found->second) : std::nullopt;
    }

    SharedScript Script(std::uint32_t number) {
        auto found = scripts_.find(number);
        if (found == scripts_.end()) {
            std::vector<std::uint8_t> bytes;
            if (conversion_.Convert(container_.GetCommandSets(number), bytes) !=
                VlrDataTypes::VLR_SUCCESS) {
                return nullptr;
            }
            auto script = std::make_shared<::Script>();
            for (std::size_t at = 0; at + ScriptCommand::kSize <= bytes.size();
                 at += ScriptCommand::kSize) {
                script->push_back(ScriptCommand::Parse(&bytes[at]));
            }
            found = scripts_.emplace(number, std::move(script)).first;
        }
        return found->second;
    }

    const SequenceContainer& container_;
    MicroControllerCommandConversion conversion_;
    std::map<std::uint32_t, std::uint16_t> ledLaneById_;
    std::map<std::uint32_t, std::uint16_t> ttlLaneByBit_;
    std::uint16_t ledLanes_ = 0;
    std::map<std::uint32_t, SharedScript> scripts_;
    std::uint64_t steps_ = 0;     // device steps of 0.1 ms
    std::uint64_t stepsRun_ = 0;  // commands that begin a step of the sequence
    bool reachedEnd_ = false;
};

std::wstring Describe(const std::vector<TimelineLane>& lanes,
                      const std::pair<std::uint16_t, std::int16_t>& setting, double timeMs) {
    const TimelineLane& lane = lanes[setting.first];
    return lane.name + L" " + FormatLaneValue(lane, setting.second) + L" at " +
           FormatTimelineTime(timeMs) + L" ms";
}

}  // namespace

TimelineOutputs DeviceTimelineOutputs(const MicroController& device) {
    TimelineOutputs outputs;
    for (int index = 0; index < device.GetLEDCount(); ++index) {
        LEDRecord led;
        if (device.GetLEDInfo(index, led) == VlrDataTypes::VLR_SUCCESS) {
            outputs.ledLabels.push_back(led.colorLabel);
            outputs.intensities.push_back(led.intensity);
        }
    }
    device.GetTTLBitNames(outputs.ttlBits);
    return outputs;
}

ScriptCheckResult CheckTimelineScripts(const SequenceContainer& container,
                                       const MicroController& device,
                                       const StimulusTimeline& timeline, std::uint64_t maxEvents,
                                       LogFile* log) {
    ScriptCheckResult result;
    result.timelineEndMs = timeline.DurationMs();
    const std::vector<TimelineLane>& lanes = timeline.Lanes();

    const TimelineExpansion expansion = timeline.Expand(maxEvents);
    std::vector<Instant> expected;
    for (const TimelineEvent& event : expansion.events) {
        AddSetting(expected, event.timeMs, 0.0, event.lane, event.value);
    }
    std::vector<Instant> walked;
    ScriptWalker walker(container, device, lanes, log);
    std::uint32_t failed = 0;
    // A complete listing is walked to the end, so that a script setting more shows up.
    const std::uint64_t walkLimit =
        expansion.complete ? std::numeric_limits<std::uint64_t>::max() : expansion.events.size();
    if (!walker.Walk(timeline.Sequence(), walkLimit, walked, failed)) {
        result.error = L"Sequence " + Decimal(failed) +
                       L" cannot be converted into script "
                       L"commands (the log names the reason).";
        return result;
    }
    result.reachedEnd = walker.ReachedEnd();
    result.scriptEndMs = walker.EndMs();
    result.complete = expansion.complete && result.reachedEnd;
    // A listing cut short may end inside an instant: compare only whole ones.
    if (!result.complete) {
        if (!expected.empty()) {
            expected.pop_back();
        }
        walked.resize(std::min(walked.size(), expected.size()));
    }
    const std::size_t common = std::min(expected.size(), walked.size());
    for (std::size_t i = 0; i < common; ++i) {
        const Instant& want = expected[i];
        const Instant& got = walked[i];
        if (want.settings != got.settings) {
            const auto [w, g] = std::mismatch(want.settings.begin(), want.settings.end(),
                                              got.settings.begin(), got.settings.end());
            result.mismatch =
                L"the timeline sets " +
                (w != want.settings.end() ? Describe(lanes, *w, want.timeMs) : L"nothing more") +
                L", the script " +
                (g != got.settings.end() ? Describe(lanes, *g, got.timeMs) : L"nothing more") +
                L".";
            return result;
        }
        result.compared += want.settings.size();
        const double difference = got.timeMs - want.timeMs;
        if (std::fabs(difference) > kSameTimeMs) {
            ++result.timesDiffering;
            if (std::fabs(difference) > std::fabs(result.largestDifferenceMs)) {
                result.largestDifferenceMs = difference;
            }
            if (std::fabs(difference) > got.toleranceMs + kSameTimeMs) {
                result.withinStepRounding = false;
            }
            if (result.firstDifferences.size() < kDifferencesDescribed) {
                result.firstDifferences.push_back(
                    Describe(lanes, want.settings.front(), want.timeMs) + L" runs at " +
                    FormatTimelineTime(got.timeMs) + L" ms on the device");
            }
        }
    }
    if (expected.size() != walked.size() && result.complete) {
        result.mismatch = L"the timeline sets outputs at " + Decimal(expected.size()) +
                          L" moments, the script at " + Decimal(walked.size()) + L".";
    }
    return result;
}

std::wstring ScriptCheckResult::Summary() const {
    if (!error.empty()) {
        return error;
    }
    if (!mismatch.empty()) {
        return L"Script and timeline disagree: " + mismatch;
    }
    std::wstring text = L"Script and timeline agree on " + Decimal(compared) + L" settings" +
                        (complete ? L"" : L" (as far as compared)");
    if (timesDiffering == 0) {
        text += L", all at the same times.";
    } else {
        text += L"; " + Decimal(timesDiffering) + L" moments differ in time, by up to " +
                FormatTimelineTime(largestDifferenceMs, 2) + L" ms (" +
                (withinStepRounding ? L"within" : L"beyond") + L" 0.1 ms per step).";
    }
    if (reachedEnd) {
        text += L" It ends at " + FormatTimelineTime(scriptEndMs) + L" ms, the timeline at " +
                FormatTimelineTime(timelineEndMs) + L" ms.";
    }
    return text;
}
