// Builds the stimulus timeline from the same parsed commands and the same step rules as timing
// (StepTiming), adding the durations in the same order, so that its end equals the duration of
// GetSequenceDuration exactly. Each sequence is built once, however often it is called.

#include "sequences/StimulusTimeline.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <limits>
#include <optional>

#include "foundation/ArgumentReading.h"
#include "foundation/TextConversion.h"
#include "foundation/platform/ExitSignals.h"
#include "sequences/SequenceContainer.h"
#include "sequences/StepTiming.h"

namespace {

constexpr std::uint64_t kMaxCount = std::numeric_limits<std::uint64_t>::max();

std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
    return a > kMaxCount - b ? kMaxCount : a + b;
}

std::uint64_t SaturatingMultiply(std::uint64_t a, std::uint64_t b) {
    return a != 0 && b > kMaxCount / a ? kMaxCount : a * b;
}

std::optional<std::size_t> FindNoCase(const std::wstring& name,
                                      const std::vector<std::wstring>& names) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (CompareNoCase(names[i], name) == 0) {
            return i;
        }
    }
    return std::nullopt;
}

std::wstring Decimal(std::uint64_t value) {
    return std::to_wstring(value);
}

}  // namespace

// Builds the blocks of one timeline; the lanes follow TimelineOutputs: LED i has lanes 2i (on/off)
// and 2i + 1 (intensity), TTL bit j lane 2 * LEDs + j.
class TimelineBuilder {
  public:
    TimelineBuilder(const SequenceContainer& container, const TimelineOutputs& outputs,
                    StimulusTimeline& timeline)
        : container_(container), timeline_(timeline) {
        timeline.lanes_ = TimelineLanes(outputs);
        for (const std::wstring& label : container.GetColorLabels()) {
            const std::optional<std::size_t> led = FindNoCase(label, outputs.ledLabels);
            ledLanes_.push_back(led ? std::optional<std::size_t>(2 * *led) : std::nullopt);
        }
        for (const std::wstring& bit : container.GetTTLBitNames()) {
            const std::optional<std::size_t> ttl = FindNoCase(bit, outputs.ttlBits);
            ttlLanes_.push_back(
                ttl ? std::optional<std::size_t>(2 * outputs.ledLabels.size() + *ttl)
                    : std::nullopt);
        }
    }

    // The items of the blocks being built sit on one scratch stack: a sequence's own, above
    // them those of its open loop body, above those the current step's. A call builds the
    // callee first, which pushes and pops its own, so no block's items are copied but once.
    const TimelineBlock* SequenceBlock(std::uint32_t number) {
        Built& built = built_[number];
        if (built.block != nullptr) {
            return built.block;
        }
        TimelineBlock* block = NewBlock(number, false);
        const auto& parsedSets = container_.GetParsedCommandSets(number);
        built.contributions.reserve(parsedSets.size());
        const std::size_t blockStart = scratch_.size();
        std::size_t bodyStart = 0;
        TimelineBlock* body = nullptr;
        std::uint32_t loopFactor = 1;
        for (std::uint32_t step = 0; step < parsedSets.size(); ++step) {
            double stepDuration = SequenceContainer::kDefaultStepDuration;
            bool loopWord = false;
            std::optional<std::uint32_t> called;
            std::size_t stepStart = scratch_.size();
            for (std::size_t i = 0; i < parsedSets[step].size(); ++i) {
                const ParsedCommand& command = parsedSets[step][i];
                switch (command.Role()) {
                    case ParsedCommand::TimingRole::Call:
                        called = static_cast<std::uint32_t>(command.IntegerArgument());
                        AddCall(*called, step, stepDuration);
                        break;
                    case ParsedCommand::TimingRole::Loop:
                    case ParsedCommand::TimingRole::EndLoop:
                        loopWord = true;
                        break;
                    case ParsedCommand::TimingRole::None:
                        AddSetting(command, step);
                        break;
                    case ParsedCommand::TimingRole::Duration:
                        break;
                }
                StepTiming::Apply(command, stepDuration, loopFactor);
            }
            if (called) {
                AddCallDuration(*called, stepDuration);
            }
            // A step naming -Loop or -EndLoop ends the repeated block before it; the steps from
            // one with a factor other than 1 on form the next block.
            if (loopWord) {
                CloseBody(body, bodyStart, stepStart);
                if (loopFactor != 1) {
                    body = NewBlock(number, true);
                    scratch_.insert(scratch_.begin() + static_cast<std::ptrdiff_t>(stepStart),
                                    {block->duration, step, 0, 0, body, loopFactor});
                    bodyStart = ++stepStart;
                }
            }
            const double base = body != nullptr ? body->duration : block->duration;
            for (std::size_t k = stepStart; k < scratch_.size(); ++k) {
                scratch_[k].offset += base;
            }
            if (body != nullptr) {
                body->duration += stepDuration;
            }
            // Added exactly as timing adds it, one step at a time.
            const double contribution = static_cast<double>(loopFactor) * stepDuration;
            built.contributions.push_back(contribution);
            block->duration += contribution;
        }
        std::size_t end = scratch_.size();
        CloseBody(body, bodyStart, end);
        TakeItems(*block, blockStart, end);
        built.block = block;
        return block;
    }

  private:
    struct Built {
        const TimelineBlock* block = nullptr;
        // Each step's factor times its duration, as timing adds them; a call adds them up again,
        // onto the step's duration so far, unless it did so from the same value before.
        std::vector<double> contributions;
        bool summed = false;
        double sumStart = 0.0;
        double sumTotal = 0.0;
    };

    TimelineBlock* NewBlock(std::uint32_t number, bool loopBody) {
        TimelineBlock& block = timeline_.blocks_.emplace_back();
        block.sequence = number;
        block.loopBody = loopBody;
        return &block;
    }

    // The scratch items from `start` to `end` become the block's.
    void TakeItems(TimelineBlock& block, std::size_t start, std::size_t end) {
        const auto first = scratch_.begin() + static_cast<std::ptrdiff_t>(start);
        const auto last = scratch_.begin() + static_cast<std::ptrdiff_t>(end);
        block.items.assign(first, last);
        block.eventCount = CountEvents(block);
        scratch_.erase(first, last);
    }

    // Ends the open body, if any, with the items below the current step's (which move down).
    void CloseBody(TimelineBlock*& body, std::size_t bodyStart, std::size_t& stepStart) {
        if (body == nullptr) {
            return;
        }
        TakeItems(*body, bodyStart, stepStart);
        stepStart = bodyStart;
        if (body->items.empty()) {
            // A loop around steps that set nothing and call nothing has nothing to show.
            scratch_.erase(scratch_.begin() + static_cast<std::ptrdiff_t>(--stepStart));
        }
        body = nullptr;
    }

    static std::uint64_t CountEvents(const TimelineBlock& block) {
        std::uint64_t count = 0;
        for (const TimelineItem& item : block.items) {
            count = SaturatingAdd(count,
                                  item.repeated == nullptr
                                      ? 1
                                      : SaturatingMultiply(item.count, item.repeated->eventCount));
        }
        return count;
    }

    // The call's own script command comes first, then the called sequence, then the wait that
    // fills the step's own duration.
    void AddCall(std::uint32_t called, std::uint32_t step, double stepDuration) {
        const TimelineBlock* callee = SequenceBlock(called);
        scratch_.push_back({stepDuration, step, 0, 0, callee, 1});
    }

    // Timing adds the callee's steps one by one onto the step's own duration, and so does this.
    void AddCallDuration(std::uint32_t called, double& stepDuration) {
        Built& built = built_[called];
        if (!built.summed || std::bit_cast<std::uint64_t>(built.sumStart) !=
                                 std::bit_cast<std::uint64_t>(stepDuration)) {
            built.summed = true;
            built.sumStart = stepDuration;
            for (const double contribution : built.contributions) {
                stepDuration += contribution;
            }
            built.sumTotal = stepDuration;
        }
        stepDuration = built.sumTotal;
    }

    // The word, the output and the value were read when the text was stored; the output counts
    // among the model's names, which the outputs given may order differently.
    void AddSetting(const ParsedCommand& command, std::uint32_t step) {
        using SequenceCommandWords::Word;
        const std::optional<Word> word = command.CommandWord();
        const std::optional<std::size_t> output = command.Output();
        if (!word || !output) {
            return;
        }
        switch (*word) {
            case Word::On:
            case Word::Off:
                return Push(step, Lane(ledLanes_, *output), command.OutputValue());
            case Word::SetIntensity:
                return Push(step, Lane(ledLanes_, *output, 1), command.OutputValue());
            case Word::TTLHigh:
            case Word::TTLLow:
                return Push(step, Lane(ttlLanes_, *output), command.OutputValue());
            default:
                return;
        }
    }

    static std::optional<std::size_t> Lane(const std::vector<std::optional<std::size_t>>& lanes,
                                           std::size_t output, std::size_t offset = 0) {
        if (output >= lanes.size() || !lanes[output]) {
            return std::nullopt;
        }
        return *lanes[output] + offset;
    }

    // A name that is not one of the outputs sets nothing.
    void Push(std::uint32_t step, std::optional<std::size_t> lane, int value) {
        if (lane) {
            scratch_.push_back({0.0, step, static_cast<std::uint16_t>(*lane),
                                static_cast<std::int16_t>(value), nullptr, 0});
        }
    }
    const SequenceContainer& container_;
    StimulusTimeline& timeline_;
    std::array<Built, SequenceContainer::kSequenceCount> built_;
    // The lane of each of the model's colour labels (its on/off lane) and TTL bits; none for a
    // name the outputs do not have.
    std::vector<std::optional<std::size_t>> ledLanes_;
    std::vector<std::optional<std::size_t>> ttlLanes_;
    std::vector<TimelineItem> scratch_;
};

TimelineBuild StimulusTimeline::Build(const SequenceContainer& container, std::uint32_t number,
                                      const TimelineOutputs& outputs) {
    TimelineBuild result;
    if (number >= SequenceContainer::kSequenceCount) {
        result.error =
            L"There is no sequence " + Decimal(number) + L": sequence numbers run from 0 to 254.";
        return result;
    }
    if (container.GetSequenceName(number).empty()) {
        result.error = L"Sequence " + Decimal(number) + L" does not exist.";
        return result;
    }
    // Timing finds call cycles, too deep nesting and malformed commands, and logs the reason.
    double duration = 0.0;
    if (container.GetSequenceDuration(number, duration) != VlrDataTypes::VLR_SUCCESS) {
        result.error = L"Sequence " + Decimal(number) +
                       L" cannot be timed (a call cycle, too deep a nesting of calls or a "
                       L"malformed command; the log names it).";
        return result;
    }
    StimulusTimeline timeline;
    TimelineBuilder builder(container, outputs, timeline);
    timeline.root_ = builder.SequenceBlock(number);
    result.timeline = std::move(timeline);
    return result;
}

namespace {

class Expander {
  public:
    Expander(std::uint64_t maxEvents, std::vector<TimelineEvent>& events)
        : maxEvents_(maxEvents), events_(events) {}

    // False once the limit is reached.
    bool Run(const TimelineBlock& block, double start, std::uint32_t pass) {
        for (const TimelineItem& item : block.items) {
            const double time = start + item.offset;
            if (item.repeated == nullptr) {
                // A listing of millions of settings ends early when the program is asked to end.
                if (events_.size() >= maxEvents_ || exitPoll_.Requested()) {
                    return false;
                }
                path_.push_back({block.sequence, item.step, pass});
                events_.push_back({time, item.lane, item.value, path_});
                path_.pop_back();
                continue;
            }
            const TimelineBlock& repeated = *item.repeated;
            if (repeated.eventCount == 0) {
                continue;
            }
            if (repeated.loopBody) {
                for (std::uint32_t p = 1; p <= item.count; ++p) {
                    if (!Run(repeated, time + (p - 1) * repeated.duration, p)) {
                        return false;
                    }
                }
                continue;
            }
            path_.push_back({block.sequence, item.step, pass});
            const bool more = Run(repeated, time, 0);
            path_.pop_back();
            if (!more) {
                return false;
            }
        }
        return true;
    }

  private:
    std::uint64_t maxEvents_;
    std::vector<TimelineEvent>& events_;
    std::vector<SourceFrame> path_;
    ExitSignals::Poll exitPoll_;
};

}  // namespace

TimelineExpansion StimulusTimeline::Expand(std::uint64_t maxEvents) const {
    TimelineExpansion expansion;
    Expander(maxEvents, expansion.events).Run(*root_, 0.0, 0);
    const std::uint64_t total = root_->eventCount;
    if (total > maxEvents) {
        expansion.complete = false;
        const std::wstring count =
            total == kMaxCount ? L"more than " + Decimal(total - 1) : Decimal(total);
        expansion.message = L"Sequence " + Decimal(Sequence()) + L" sets its outputs " + count +
                            L" times; only the first " + Decimal(maxEvents) +
                            L" are listed (the limit given).";
    }
    return expansion;
}

TimelineListing ListTimeline(const SequenceContainer& container, std::uint32_t number,
                             const TimelineOutputs& outputs, std::uint64_t maxEvents) {
    TimelineListing listing;
    TimelineBuild build = StimulusTimeline::Build(container, number, outputs);
    if (!build.timeline) {
        listing.error = build.error;
        return listing;
    }
    listing.expansion = build.timeline->Expand(maxEvents);
    listing.timeline = std::move(build.timeline);
    return listing;
}

std::wstring FormatTimelineTime(double milliseconds, int decimals) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, milliseconds,
                                      std::chars_format::fixed, decimals);
    std::wstring text(buffer, result.ptr);
    return text.find_first_not_of(L"-0.") == std::wstring::npos && text[0] == L'-' ? text.substr(1)
                                                                                   : text;
}

std::wstring FormatLaneValue(const TimelineLane& lane, int value) {
    switch (lane.kind) {
        case TimelineLane::Kind::Led:
            return value != 0 ? L"on" : L"off";
        case TimelineLane::Kind::Ttl:
            return value != 0 ? L"high" : L"low";
        case TimelineLane::Kind::Intensity:
            break;
    }
    return std::to_wstring(value);
}

std::wstring FormatSource(const std::vector<SourceFrame>& source) {
    std::wstring text;
    for (const SourceFrame& frame : source) {
        text += (text.empty() ? L"seq " : L" > seq ") + Decimal(frame.sequence) + L" step " +
                Decimal(frame.step);
        if (frame.pass != 0) {
            text += L" pass " + Decimal(frame.pass);
        }
    }
    return text;
}

std::vector<TimelineLane> TimelineLanes(const TimelineOutputs& outputs) {
    std::vector<TimelineLane> lanes;
    for (std::size_t i = 0; i < outputs.ledLabels.size(); ++i) {
        const int intensity = i < outputs.intensities.size() ? outputs.intensities[i] : 0;
        lanes.push_back({TimelineLane::Kind::Led, outputs.ledLabels[i], 0, i});
        lanes.push_back(
            {TimelineLane::Kind::Intensity, outputs.ledLabels[i] + L" intensity", intensity, i});
    }
    for (const std::wstring& bit : outputs.ttlBits) {
        lanes.push_back({TimelineLane::Kind::Ttl, L"TTL " + bit, 0, 0});
    }
    return lanes;
}

std::wstring TimelineTsvLine(double timeMs, const TimelineLane& lane, int value,
                             const std::wstring& source) {
    return FormatTimelineTime(timeMs) + L"\t" + lane.name + L"\t" + FormatLaneValue(lane, value) +
           L"\t" + source + L"\n";
}

std::wstring TimelineTsvStart(const std::vector<TimelineLane>& lanes,
                              const std::vector<int>& values) {
    std::wstring text = L"time_ms\tlane\tvalue\tsource\n";
    for (std::size_t i = 0; i < lanes.size(); ++i) {
        text += TimelineTsvLine(0.0, lanes[i], i < values.size() ? values[i] : lanes[i].initial,
                                L"initial");
    }
    return text;
}

std::wstring TimelineToTsv(const StimulusTimeline& timeline,
                           const std::vector<TimelineEvent>& events) {
    std::wstring text = TimelineTsvStart(timeline.Lanes(), {});
    for (const TimelineEvent& event : events) {
        text += TimelineTsvLine(event.timeMs, timeline.Lanes()[event.lane], event.value,
                                FormatSource(event.source));
    }
    return text;
}
