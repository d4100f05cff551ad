#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "app/OperationResult.h"
#include "app/TimelineScriptCheck.h"
#include "foundation/TimeOfDay.h"
#include "sequences/StimulusTimeline.h"

class LogFile;
class MicroController;
class SequenceContainer;

// The stimulus timeline as the application hands it to its front ends, and the record of the
// stimulus a run delivered.
namespace SequenceTimeline {

// A sequence's timeline from the device model's outputs (its LEDs, with their stored
// intensities as the state before the run, and its TTL bits), with the walk of the script the
// upload would send checked against it.
struct Listing {
    TimelineListing timeline;  // `error` says why there is none
    ScriptCheckResult check;   // made only when there is a timeline
};
Listing List(const SequenceContainer& sequences, const MicroController& device,
             std::uint32_t number, std::uint64_t maxEvents, LogFile* log);

// The picture of the timeline (TimelineToSvg) written to `path`; a failure is logged at Error.
OperationResult WriteSvg(const std::wstring& path, const StimulusTimeline& timeline,
                         const std::wstring& title, LogFile* log);

// How one run went, as its record states it.
struct RunTimes {
    LocalTime start;
    std::optional<LocalTime> stop;  // when a stop request ended the run early
    bool completed = false;
    // Who asked for the run; no line when empty.
    std::wstring by;
};

// A record lists at most this many settings; a longer one says where it stops.
inline constexpr std::uint64_t kRecordMaxEvents = 100'000;

// "Stimulus_3_2026-12-06_14-03-07.tsv"
std::wstring RecordFileName(std::uint32_t number, const LocalTime& start);

// The record of a run: comment lines ("#") naming the sequence, the wall-clock start and who
// started it, the
// timeline's TSV (TimelineToTsv), then the stop, if any, and a closing line that says whether
// the run completed.
std::wstring RecordText(const TimelineListing& listing, const std::wstring& name,
                        const RunTimes& times);

// Writes the record of a run of sequence `number` into `directory`, under RecordFileName or,
// when a run of the same second has one, with a suffix "_2", "_3", ... before ".tsv". A failure
// is logged as a Warning and answered with an empty path: the record never fails the run.
std::wstring WriteRecord(const std::wstring& directory, const SequenceContainer& sequences,
                         const MicroController& device, std::uint32_t number, const RunTimes& times,
                         LogFile* log);

}  // namespace SequenceTimeline
