#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "foundation/DeviceLimits.h"

class SequenceContainer;

// What the outputs are before a sequence runs, and what they are called. The sequence model does
// not know the LEDs' stored intensities, so the caller hands them over.
struct TimelineOutputs {
    std::vector<std::wstring> ledLabels;    // in LED table order
    std::vector<std::uint8_t> intensities;  // the stored intensity of each LED, same order
    std::vector<std::wstring> ttlBits = DeviceLimits::TTLOutputNames();
};

// One output over time. Every LED has an on/off lane and an intensity lane, every TTL bit one.
struct TimelineLane {
    enum class Kind : std::uint8_t { Led, Intensity, Ttl };
    Kind kind = Kind::Led;
    std::wstring name;    // "Blue", "Blue intensity", "TTL 3"
    int initial = 0;      // off, low, or the stored intensity
    std::size_t led = 0;  // the LED's table position, for the two LED kinds
};

struct TimelineBlock;

// A setting of one output at `offset` ms from the start of its block, or a repeated block.
struct TimelineItem {
    double offset = 0.0;
    std::uint32_t step = 0;  // command set index in the block's sequence
    std::uint16_t lane = 0;
    std::int16_t value = 0;                   // 1 on or high, 0 off or low; the intensity 0..255
    const TimelineBlock* repeated = nullptr;  // null for a setting
    std::uint32_t count = 0;                  // passes of `repeated`
};

// One pass of a loop body, or a whole sequence as it runs or is called. A loop of a million
// passes is one item naming its body once, so a timeline stays as small as its sequences.
struct TimelineBlock {
    std::uint32_t sequence = 0;
    bool loopBody = false;
    std::span<const TimelineItem> items;  // in the order the steps run; held by the timeline
    double duration = 0.0;                // one pass, in ms
    std::uint64_t eventCount = 0;         // settings in one pass, repeats included; held at the max
};

// Where a setting came from, outermost first: the step of each sequence on the way, with the
// pass of the loop that step was in (from 1; 0 outside loops).
struct SourceFrame {
    std::uint32_t sequence = 0;
    std::uint32_t step = 0;
    std::uint32_t pass = 0;
};

struct TimelineEvent {
    double timeMs = 0.0;
    std::uint16_t lane = 0;
    std::int16_t value = 0;
    std::vector<SourceFrame> source;
};

struct TimelineExpansion {
    std::vector<TimelineEvent> events;
    bool complete = true;
    std::wstring message;  // why the listing stops early; empty when complete
};

struct TimelineBuild;

// The stimulus sequence N delivers: every command that sets an LED on or off, an intensity or a
// TTL bit, at the time the timing rules give it (a setting may repeat the value an output
// already has). The end is exactly the sequence's duration from timing.
class StimulusTimeline {
  public:
    static TimelineBuild Build(const SequenceContainer& container, std::uint32_t number,
                               const TimelineOutputs& outputs);

    std::uint32_t Sequence() const { return root_->sequence; }
    const std::vector<TimelineLane>& Lanes() const { return lanes_; }
    const TimelineBlock& Root() const { return *root_; }
    double DurationMs() const { return root_->duration; }

    // The settings in the order they run, at most maxEvents of them.
    TimelineExpansion Expand(std::uint64_t maxEvents) const;

    // Blocks point into the timeline's own storage, which a move keeps and a copy would not.
    StimulusTimeline(StimulusTimeline&&) = default;
    StimulusTimeline& operator=(StimulusTimeline&&) = default;
    StimulusTimeline(const StimulusTimeline&) = delete;
    StimulusTimeline& operator=(const StimulusTimeline&) = delete;

  private:
    friend class TimelineBuilder;
    StimulusTimeline() = default;

    std::vector<TimelineLane> lanes_;
    std::deque<TimelineBlock> blocks_;  // every block, the root included; they never move
    std::vector<TimelineItem> items_;   // the items of every block, each block's in one run
    const TimelineBlock* root_ = nullptr;
};

struct TimelineBuild {
    std::optional<StimulusTimeline> timeline;
    std::wstring error;  // why there is none
};

// Builds the timeline and lists at most maxEvents of its settings; a listing cut short says so
// in `message`.
struct TimelineListing {
    std::optional<StimulusTimeline> timeline;
    TimelineExpansion expansion;
    std::wstring error;
};
TimelineListing ListTimeline(const SequenceContainer& container, std::uint32_t number,
                             const TimelineOutputs& outputs, std::uint64_t maxEvents);

// Milliseconds with one decimal (or as many as asked), whatever the process locale: "12.6".
std::wstring FormatTimelineTime(double milliseconds, int decimals = 1);
// "on"/"off", "high"/"low" or the intensity.
std::wstring FormatLaneValue(const TimelineLane& lane, int value);
// "seq 3 step 2 pass 4 > seq 5 step 0".
std::wstring FormatSource(const std::vector<SourceFrame>& source);

// The lanes of these outputs: LED i has lanes 2i (on/off) and 2i + 1 (intensity), TTL bit j
// lane 2 * LEDs + j.
std::vector<TimelineLane> TimelineLanes(const TimelineOutputs& outputs);

// One line of the TSV form below, and its start: the header and every lane's state at time 0
// (the given values, or each lane's initial one where none is given). The emulator's event
// record is written with these, so that it compares line by line with a timeline.
std::wstring TimelineTsvLine(double timeMs, const TimelineLane& lane, int value,
                             const std::wstring& source);
std::wstring TimelineTsvStart(const std::vector<TimelineLane>& lanes,
                              const std::vector<int>& values);

// Tab-separated lines ending in LF: a header, every output's state at the start (source
// "initial"), then one line per setting: time in ms, lane, value, source.
std::wstring TimelineToTsv(const StimulusTimeline& timeline,
                           const std::vector<TimelineEvent>& events);
