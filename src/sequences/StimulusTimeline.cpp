// Builds the stimulus timeline during the timing walk itself (SequenceContainer::WalkSequence):
// every step's time is the one GetSequenceDuration adds, so the two cannot disagree.

#include "sequences/StimulusTimeline.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <optional>
#include <string_view>

#include "foundation/ArgumentReading.h"
#include "foundation/TextConversion.h"
#include "foundation/platform/ExitSignals.h"
#include "sequences/SequenceContainer.h"
#include "sequences/SequenceWalk.h"

namespace {

constexpr std::uint64_t kMaxCount = std::numeric_limits<std::uint64_t>::max();

std::uint64_t SaturatingAdd(std::uint64_t a, std::uint64_t b) {
    return a > kMaxCount - b ? kMaxCount : a + b;
}

std::uint64_t SaturatingMultiply(std::uint64_t a, std::uint64_t b) {
    return a != 0 && b > kMaxCount / a ? kMaxCount : a * b;
}

std::wstring Decimal(std::uint64_t value) {
    return std::to_wstring(value);
}

}  // namespace

// Builds the blocks of one timeline as the timing walk tells it each step with its time, so
// that it ends exactly where GetSequenceDuration does. The lanes follow TimelineOutputs: LED i
// has lanes 2i (on/off) and 2i + 1 (intensity), TTL bit j lane 2 * LEDs + j.
class TimelineBuilder final : public SequenceContainer::StepObserver {
  public:
    TimelineBuilder(const SequenceContainer& container, const TimelineOutputs& outputs,
                    StimulusTimeline& timeline)
        : timeline_(timeline) {
        // Enough for the items of the sequences being built at once, in most protocols.
        scratch_.reserve(1024);
        // Enough for every item and block of most timelines, the largest file's deepest
        // sequence included, so the list is allocated once.
        timeline.items_.reserve(2048);
        taken_.reserve(64);
        open_.reserve(CallStack::kCapacity);
        timeline.lanes_ = TimelineLanes(outputs);
        for (auto& lanes : lanes_) {
            lanes.fill(kNoLane);
        }
        using SequenceCommandWords::Word;
        const std::vector<std::wstring>& labels = container.GetColorLabels();
        for (std::size_t i = 0; i < labels.size() && i < kNoOutput; ++i) {
            if (const std::optional<std::size_t> led = FindNoCase(outputs.ledLabels, labels[i])) {
                SetLane(Word::On, i, 2 * *led);
                SetLane(Word::Off, i, 2 * *led);
                SetLane(Word::SetIntensity, i, 2 * *led + 1);
            }
        }
        const std::vector<std::wstring>& bits = container.GetTTLBitNames();
        for (std::size_t i = 0; i < bits.size() && i < kNoOutput; ++i) {
            if (const std::optional<std::size_t> ttl = FindNoCase(outputs.ttlBits, bits[i])) {
                SetLane(Word::TTLHigh, i, 2 * outputs.ledLabels.size() + *ttl);
                SetLane(Word::TTLLow, i, 2 * outputs.ledLabels.size() + *ttl);
            }
        }
    }

    const TimelineBlock* Block(std::uint32_t number) const { return built_[number]; }

    // Once the walk is done the timeline's item storage no longer grows, so the blocks can
    // point into it.
    void Finish() {
        for (const Taken& taken : taken_) {
            taken.block->items = {timeline_.items_.data() + taken.first, taken.count};
        }
    }

    // Each sequence is built once, however often it is called. A call walks its callee within
    // the calling step, so the sequences being built form a stack.
    bool EnterSequence(std::uint32_t number) override {
        if (built_[number] != nullptr) {
            return false;
        }
        open_.push_back({NewBlock(number, false), nullptr, 0, scratch_.size(), 0});
        return true;
    }

    // Runs once per step; inlined into the walk's loop it costs a tenth of the build less.
    [[gnu::always_inline]] void StepTimed(const std::vector<ParsedCommand>& commands,
                                          const SequenceContainer::StepTime& time) override {
        Open& open = open_.back();
        // -Call, -Loop and -EndLoop open their step. A step naming -Loop or -EndLoop ends the
        // repeated block before it; the steps from one with a factor other than 1 on form the
        // next block, this step's items included.
        const ParsedCommand::TimingRole role =
            commands.empty() ? ParsedCommand::TimingRole::None : commands.front().Role();
        if (role == ParsedCommand::TimingRole::Loop || role == ParsedCommand::TimingRole::EndLoop) {
            CloseBody(open);
            if (time.loopFactor != 1) {
                open.body = NewBlock(open.block->sequence, true);
                scratch_.push_back(
                    {open.block->duration, open.step, 0, 0, open.body, time.loopFactor});
                open.bodyStart = scratch_.size();
            }
        }
        TimelineBlock& target = open.body != nullptr ? *open.body : *open.block;
        const double start = target.duration;
        if (role == ParsedCommand::TimingRole::Call) {
            // The call's own script command takes the step's first 0.1 ms, then the called
            // sequence runs, then the wait that fills the step's own duration.
            const TimelineBlock* callee =
                built_[static_cast<std::uint32_t>(commands.front().IntegerArgument())];
            scratch_.push_back(
                {start + SequenceContainer::kDefaultStepDuration, open.step, 0, 0, callee, 1});
            target.eventCount = SaturatingAdd(target.eventCount, callee->eventCount);
        }
        const std::size_t before = scratch_.size();
        for (const ParsedCommand& command : commands) {
            const std::uint16_t lane = LaneOf(command);
            if (lane != kNoLane) {
                scratch_.push_back({start, open.step, lane,
                                    static_cast<std::int16_t>(command.OutputValue()), nullptr, 0});
            }
        }
        target.eventCount = SaturatingAdd(target.eventCount, scratch_.size() - before);
        if (open.body != nullptr) {
            open.body->duration += time.duration;
        }
        // Added exactly as timing adds it, one step at a time.
        open.block->duration += static_cast<double>(time.loopFactor) * time.duration;
        ++open.step;
    }

    void SequenceTimed() override {
        Open& open = open_.back();
        CloseBody(open);
        TakeItems(*open.block, open.blockStart);
        built_[open.block->sequence] = open.block;
        open_.pop_back();
    }

  private:
    // A sequence being built, with its open loop body, if any, and the step it is at. The
    // items of the blocks being built sit on one scratch stack: a sequence's own, above them
    // those of its open loop body, above those a callee's. Each block takes its own at its end
    // into the timeline's one item list, so a block costs no allocation of its own.
    struct Open {
        TimelineBlock* block = nullptr;
        TimelineBlock* body = nullptr;
        std::uint32_t step = 0;
        std::size_t blockStart = 0;
        std::size_t bodyStart = 0;
    };

    // Where a block's items stand in the timeline's item list.
    struct Taken {
        TimelineBlock* block = nullptr;
        std::size_t first = 0;
        std::size_t count = 0;
    };

    TimelineBlock* NewBlock(std::uint32_t number, bool loopBody) {
        TimelineBlock& block = timeline_.blocks_.emplace_back();
        block.sequence = number;
        block.loopBody = loopBody;
        return &block;
    }

    // The scratch items from `start` on become the block's.
    void TakeItems(TimelineBlock& block, std::size_t start) {
        const auto first = scratch_.begin() + static_cast<std::ptrdiff_t>(start);
        std::vector<TimelineItem>& items = timeline_.items_;
        taken_.push_back({&block, items.size(), scratch_.size() - start});
        items.insert(items.end(), first, scratch_.end());
        scratch_.erase(first, scratch_.end());
    }

    // Ends the open body, if any; its repeat item is the last of the sequence's so far.
    void CloseBody(Open& open) {
        if (open.body == nullptr) {
            return;
        }
        const bool empty = scratch_.size() == open.bodyStart;
        TakeItems(*open.body, open.bodyStart);
        if (empty) {
            // A loop around steps that set nothing and call nothing has nothing to show.
            scratch_.pop_back();
        } else {
            open.block->eventCount =
                SaturatingAdd(open.block->eventCount,
                              SaturatingMultiply(scratch_.back().count, open.body->eventCount));
        }
        open.body = nullptr;
    }

    // The word, the output and the value were read when the text was stored; the output counts
    // among the model's names, which the outputs given may order differently. Only the words
    // that set an output have lanes, and a name that is not one of the outputs has none.
    std::uint16_t LaneOf(const ParsedCommand& command) const {
        const auto word = static_cast<std::size_t>(
            command.CommandWord().value_or(SequenceCommandWords::Word::Call));
        return lanes_[word][command.Output().value_or(kNoOutput)];
    }

    void SetLane(SequenceCommandWords::Word word, std::size_t output, std::size_t lane) {
        lanes_[static_cast<std::size_t>(word)][output] = static_cast<std::uint16_t>(lane);
    }

    static constexpr std::uint16_t kNoLane = 0xFFFF;
    // ParsedCommand keeps an output's position in 8 bits, all ones for none.
    static constexpr std::size_t kNoOutput = 0xFF;
    static constexpr std::size_t kWordCount =
        static_cast<std::size_t>(SequenceCommandWords::Word::TTLLow) + 1;

    StimulusTimeline& timeline_;
    std::array<const TimelineBlock*, SequenceContainer::kSequenceCount> built_{};
    std::vector<Open> open_;
    std::vector<TimelineItem> scratch_;
    std::vector<Taken> taken_;
    // By command word and output position, the lane it sets.
    std::array<std::array<std::uint16_t, kNoOutput + 1>, kWordCount> lanes_;
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
    StimulusTimeline timeline;
    TimelineBuilder builder(container, outputs, timeline);
    double duration = 0.0;
    if (container.WalkSequence(number, duration, builder) != VlrDataTypes::VLR_SUCCESS) {
        result.error = L"Sequence " + Decimal(number) +
                       L" cannot be timed (a call cycle, too deep a nesting of calls or a "
                       L"malformed command; the log names it).";
        return result;
    }
    builder.Finish();
    timeline.root_ = builder.Block(number);
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
    // Every timeline builds these, so each name is allocated once, at its final size.
    std::vector<TimelineLane> lanes(2 * outputs.ledLabels.size() + outputs.ttlBits.size());
    const std::wstring_view intensity = L" intensity";
    const std::wstring_view ttl = L"TTL ";
    auto lane = lanes.begin();
    for (std::size_t i = 0; i < outputs.ledLabels.size(); ++i) {
        const std::wstring& label = outputs.ledLabels[i];
        *lane++ = {TimelineLane::Kind::Led, label, 0, i};
        lane->kind = TimelineLane::Kind::Intensity;
        lane->name.reserve(label.size() + intensity.size());
        lane->name.append(label).append(intensity);
        lane->initial = i < outputs.intensities.size() ? outputs.intensities[i] : 0;
        lane->led = i;
        ++lane;
    }
    for (const std::wstring& bit : outputs.ttlBits) {
        lane->kind = TimelineLane::Kind::Ttl;
        lane->name.reserve(ttl.size() + bit.size());
        lane->name.append(ttl).append(bit);
        ++lane;
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
