// Builds the stimulus timeline from the same parsed commands and the same step rules as timing
// (StepTiming), adding the durations in the same order, so that its end equals the duration of
// GetSequenceDuration exactly. Each sequence is built once, however often it is called.

#include "sequences/StimulusTimeline.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>
#include <optional>
#include <string_view>

#include "foundation/ArgumentReading.h"
#include "foundation/TextConversion.h"
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

// Splits a command text as MiscFunctions::ParseCommandString does, without copying: the texts
// were stored only after that parser accepted them. Building a timeline visits every output
// command of a sequence, and a copy of each would cost more than timing the whole sequence.
std::array<std::wstring_view, 3> LeadingTokens(std::wstring_view text) {
    const auto skipped = [](wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); };
    const auto ends = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\n' || c == L'\r'; };
    std::array<std::wstring_view, 3> tokens{};
    std::size_t pos = 0;
    for (std::wstring_view& token : tokens) {
        while (pos < text.size() && skipped(text[pos])) {
            ++pos;
        }
        if (pos == text.size()) {
            break;
        }
        std::size_t end = pos + 1;
        if (text[pos] == L'"') {
            while (end < text.size() && text[end] != L'"') {
                ++end;
            }
            token = text.substr(pos + 1, end - pos - 1);
            pos = std::min(end + 1, text.size());
        } else {
            while (end < text.size() && !ends(text[end])) {
                ++end;
            }
            token = text.substr(pos, end - pos);
            pos = end;
        }
    }
    return tokens;
}

// CompareNoCase, without a copy when both are plain ASCII (command words always are). Simple
// case folding maps one character to one, so texts of different lengths never match.
bool EqualsNoCase(std::wstring_view a, const std::wstring& b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const wchar_t x = a[i];
        const wchar_t y = b[i];
        if (x >= 0x80 || y >= 0x80) {
            return CompareNoCase(std::wstring(a), b) == 0;
        }
        const auto lower = [](wchar_t c) { return c >= L'A' && c <= L'Z' ? c + 32 : c; };
        if (lower(x) != lower(y)) {
            return false;
        }
    }
    return true;
}

template <typename Names>
std::optional<std::size_t> FindNoCase(std::wstring_view name, const Names& names) {
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (EqualsNoCase(name, names[i])) {
            return i;
        }
    }
    return std::nullopt;
}

const std::wstring kOn = L"-On";
const std::wstring kOff = L"-Off";
const std::wstring kSetIntensity = L"-SetIntensity";
const std::wstring kTTLHigh = L"-TTLHigh";
const std::wstring kTTLLow = L"-TTLLow";

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
        : container_(container), outputs_(outputs), timeline_(timeline) {
        timeline.lanes_ = TimelineLanes(outputs);
    }

    const TimelineBlock* SequenceBlock(std::uint32_t number) {
        if (built_[number] != nullptr) {
            return built_[number];
        }
        TimelineBlock* block = NewBlock(number, false);
        std::vector<double>& contributions = contributions_[number];
        const auto& parsedSets = container_.GetParsedCommandSets(number);
        const auto& texts = container_.GetCommandSets(number);
        contributions.reserve(parsedSets.size());
        block->items.reserve(parsedSets.size());
        std::uint32_t loopFactor = 1;
        TimelineBlock* body = nullptr;
        for (std::uint32_t step = 0; step < parsedSets.size(); ++step) {
            double stepDuration = SequenceContainer::kDefaultStepDuration;
            bool loopWord = false;
            // This step's items sit at the end of the scratch list until the step is placed; a
            // call builds the callee first, which adds and removes its own.
            const std::size_t firstItem = scratch_.size();
            for (std::size_t i = 0; i < parsedSets[step].size(); ++i) {
                const ParsedCommand& command = parsedSets[step][i];
                switch (command.Role()) {
                    case ParsedCommand::TimingRole::Call:
                        AddCall(static_cast<std::uint32_t>(command.IntegerArgument()), step,
                                stepDuration);
                        break;
                    case ParsedCommand::TimingRole::Loop:
                    case ParsedCommand::TimingRole::EndLoop:
                        loopWord = true;
                        break;
                    case ParsedCommand::TimingRole::None:
                        AddSetting(texts[step][i], step);
                        break;
                    case ParsedCommand::TimingRole::Duration:
                        break;
                }
                StepTiming::Apply(command, stepDuration, loopFactor);
            }
            // A step naming -Loop or -EndLoop ends the repeated block before it; the steps from
            // one with a factor other than 1 on form the next block.
            if (loopWord) {
                CloseBody(*block, body);
                if (loopFactor != 1) {
                    body = NewBlock(number, true);
                    block->items.push_back({block->duration, step, 0, 0, body, loopFactor});
                }
            }
            TimelineBlock& target = body != nullptr ? *body : *block;
            for (std::size_t k = firstItem; k < scratch_.size(); ++k) {
                target.items.push_back(scratch_[k]);
                target.items.back().offset += target.duration;
            }
            scratch_.resize(firstItem);
            if (body != nullptr) {
                body->duration += stepDuration;
            }
            // Added exactly as timing adds it, one step at a time.
            const double contribution = static_cast<double>(loopFactor) * stepDuration;
            contributions.push_back(contribution);
            block->duration += contribution;
        }
        CloseBody(*block, body);
        block->eventCount = CountEvents(*block);
        built_[number] = block;
        return block;
    }

  private:
    TimelineBlock* NewBlock(std::uint32_t number, bool loopBody) {
        timeline_.blocks_.push_back(std::make_unique<TimelineBlock>());
        TimelineBlock* block = timeline_.blocks_.back().get();
        block->sequence = number;
        block->loopBody = loopBody;
        return block;
    }

    // The block's duration so far stays the running sum timing makes; the body keeps the length
    // of one pass.
    void CloseBody(TimelineBlock& block, TimelineBlock*& body) {
        if (body == nullptr) {
            return;
        }
        body->eventCount = CountEvents(*body);
        if (body->items.empty()) {
            // A loop around steps that set nothing and call nothing has nothing to show.
            block.items.pop_back();
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

    // The call's own step comes first, then the called sequence; timing adds the callee's steps
    // one by one onto the step's 0.1 ms, and so does this.
    void AddCall(std::uint32_t called, std::uint32_t step, double& stepDuration) {
        const TimelineBlock* callee = SequenceBlock(called);
        scratch_.push_back({stepDuration, step, 0, 0, callee, 1});
        for (const double contribution : contributions_[called]) {
            stepDuration += contribution;
        }
    }

    void AddSetting(const std::wstring& text, std::uint32_t step) {
        const auto [word, first, second] = LeadingTokens(text);
        const auto led = [&] { return FindNoCase(first, outputs_.ledLabels); };
        std::optional<std::size_t> index;
        if (EqualsNoCase(word, kOn) || EqualsNoCase(word, kOff)) {
            if ((index = led())) {
                Push(step, 2 * *index, EqualsNoCase(word, kOn) ? 1 : 0);
            }
        } else if (EqualsNoCase(word, kSetIntensity)) {
            if ((index = led())) {
                // Kept to 8 bits, as the script command carries it.
                const auto value =
                    static_cast<std::uint8_t>(ArgumentReading::ReadInteger(std::wstring(second)));
                Push(step, 2 * *index + 1, value);
            }
        } else if (EqualsNoCase(word, kTTLHigh) || EqualsNoCase(word, kTTLLow)) {
            if ((index = FindNoCase(first, outputs_.ttlBits))) {
                Push(step, 2 * outputs_.ledLabels.size() + *index,
                     EqualsNoCase(word, kTTLHigh) ? 1 : 0);
            }
        }
    }

    void Push(std::uint32_t step, std::size_t lane, int value) {
        scratch_.push_back({0.0, step, static_cast<std::uint16_t>(lane),
                            static_cast<std::int16_t>(value), nullptr, 0});
    }

    const SequenceContainer& container_;
    const TimelineOutputs& outputs_;
    StimulusTimeline& timeline_;
    std::array<const TimelineBlock*, SequenceContainer::kSequenceCount> built_{};
    // Each step's factor times its duration, as timing adds them; a call adds them up again.
    std::array<std::vector<double>, SequenceContainer::kSequenceCount> contributions_;
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
                if (events_.size() >= maxEvents_) {
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
