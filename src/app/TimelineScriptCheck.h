#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sequences/StimulusTimeline.h"

class LogFile;
class MicroController;
class SequenceContainer;

// The outputs of the device model as the timeline names them: its LEDs in table order with their
// stored intensities, and its TTL bits.
TimelineOutputs DeviceTimelineOutputs(const MicroController& device);

// The script commands the upload would send for a sequence (and for every sequence it calls),
// walked as the device runs them, against the timeline: the same outputs set to the same values
// in the same order, at the same times. Durations are rounded to whole 0.1 ms device steps and
// every pass of a loop runs its EndLoop command, so times can differ; each difference is
// counted and measured, never hidden.
struct ScriptCheckResult {
    std::wstring error;          // the check could not be made (a conversion failed); see the log
    std::uint64_t compared = 0;  // settings compared
    bool complete = true;        // false when the limit of settings or commands was reached
    std::wstring mismatch;       // the first setting that is not the timeline's; empty if none
    std::uint64_t timesDiffering = 0;
    double largestDifferenceMs = 0.0;  // script time minus timeline time, largest in size
    bool withinStepRounding = true;    // every difference at most 0.1 ms per step run before it
    std::vector<std::wstring> firstDifferences;  // a few, described
    bool reachedEnd = false;
    double scriptEndMs = 0.0;
    double timelineEndMs = 0.0;

    bool Agrees() const { return error.empty() && mismatch.empty() && timesDiffering == 0; }
    std::wstring Summary() const;
};

// Compares at most maxEvents settings. The walk also stops after kMaxScriptCommands commands,
// so that a loop of a million passes around nested calls cannot keep it busy for hours.
inline constexpr std::uint64_t kMaxScriptCommands = 50'000'000;
ScriptCheckResult CheckTimelineScripts(const SequenceContainer& container,
                                       const MicroController& device,
                                       const StimulusTimeline& timeline, std::uint64_t maxEvents,
                                       LogFile* log = nullptr);
