#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "sequences/ContainerFixture.h"
#include "sequences/StimulusTimeline.h"
#include "sequences/TimelineSvg.h"

namespace {

class StimulusTimelineTest : public ContainerFixture {
  protected:
    const TimelineOutputs outputs{{L"Blue", L"Red", L"Green"}, {26, 40, 255}};

    StimulusTimeline Build(std::uint32_t number) {
        TimelineBuild build = StimulusTimeline::Build(container, number, outputs);
        EXPECT_TRUE(build.timeline) << build.error;
        return std::move(*build.timeline);
    }

    // The TSV lines of the settings, without the header and the initial states.
    std::vector<std::wstring> SettingLines(std::uint32_t number) {
        const StimulusTimeline timeline = Build(number);
        const std::wstring tsv = TimelineToTsv(timeline, timeline.Expand(1000).events);
        std::vector<std::wstring> lines;
        for (std::size_t pos = 0, end; (end = tsv.find(L'\n', pos)) != std::wstring::npos;
             pos = end + 1) {
            lines.push_back(tsv.substr(pos, end - pos));
        }
        return {lines.begin() + 1 + timeline.Lanes().size(), lines.end()};
    }
};

// The timing examples: 12.6 ms; a loop giving 16.3 ms; its call 12.7 ms, and 25.4 ms in a loop.
TEST_F(StimulusTimelineTest, TimingExamplesGiveTheirSettingsAndEnd) {
    Define(1, L"Three steps",
           {{L"-SetIntensity Blue 100", L"-Duration 10"}, {L"-Off Blue"}, {L"-Duration 2.5"}});
    Define(2, L"Loop",
           {{L"-Loop 3"}, {L"-Duration 5"}, {L"-Off Blue"}, {L"-EndLoop"}, {L"-Duration 1"}});
    Define(3, L"Call", {{L"-Call 1"}});
    Define(4, L"Call twice", {{L"-Loop 2"}, {L"-Call 1"}, {L"-EndLoop"}});
    const struct {
        std::uint32_t number;
        double end;
        std::vector<std::wstring> lines;
    } cases[] = {
        {1, 12.6, {L"0.0\tBlue intensity\t100\tseq 1 step 0", L"10.0\tBlue\toff\tseq 1 step 1"}},
        {2,
         16.3,
         {L"5.0\tBlue\toff\tseq 2 step 2 pass 1", L"10.1\tBlue\toff\tseq 2 step 2 pass 2",
          L"15.2\tBlue\toff\tseq 2 step 2 pass 3"}},
        {3,
         12.7,
         {L"0.1\tBlue intensity\t100\tseq 3 step 0 > seq 1 step 0",
          L"10.1\tBlue\toff\tseq 3 step 0 > seq 1 step 1"}},
        {4,
         25.4,
         {L"0.1\tBlue intensity\t100\tseq 4 step 1 pass 1 > seq 1 step 0",
          L"10.1\tBlue\toff\tseq 4 step 1 pass 1 > seq 1 step 1",
          L"12.8\tBlue intensity\t100\tseq 4 step 1 pass 2 > seq 1 step 0",
          L"22.8\tBlue\toff\tseq 4 step 1 pass 2 > seq 1 step 1"}},
    };
    for (const auto& c : cases) {
        double duration = 0.0;
        ASSERT_EQ(container.GetSequenceDuration(c.number, duration), 0);
        EXPECT_EQ(Build(c.number).DurationMs(), duration) << c.number;
        EXPECT_NEAR(duration, c.end, 1e-9) << c.number;
        EXPECT_EQ(SettingLines(c.number), c.lines) << c.number;
    }
}

TEST_F(StimulusTimelineTest, TsvStartsWithHeaderAndEveryOutputsInitialState) {
    container.SetColorLabels({L"Blue"});
    Define(7, L"Marker", {{L"-TTLHigh 3", L"-on blue"}, {L"-TTLLow 3"}});
    const StimulusTimeline timeline =
        *StimulusTimeline::Build(container, 7, {{L"Blue"}, {26}, {L"3"}}).timeline;
    EXPECT_EQ(TimelineToTsv(timeline, timeline.Expand(10).events),
              L"time_ms\tlane\tvalue\tsource\n"
              L"0.0\tBlue\toff\tinitial\n"
              L"0.0\tBlue intensity\t26\tinitial\n"
              L"0.0\tTTL 3\tlow\tinitial\n"
              L"0.0\tTTL 3\thigh\tseq 7 step 0\n"
              L"0.0\tBlue\ton\tseq 7 step 0\n"
              L"0.1\tTTL 3\tlow\tseq 7 step 1\n");
}

// Loops of a million passes, one calling the other: 2 * 10^12 settings held in a few blocks.
// Stored commands keep the position of their output among the model's names; new names (in
// another order, fewer of them) are looked up again, whatever case the command wrote.
TEST_F(StimulusTimelineTest, OutputsAreFoundAgainWhenTheModelsNamesChange) {
    Define(5, L"Names", {{L"-On green", L"-TTLHigh 4"}});
    container.SetColorLabels({L"Green", L"Blue"});
    container.SetTTLBitNames({L"4"});
    EXPECT_EQ(SettingLines(5), (std::vector<std::wstring>{L"0.0\tGreen\ton\tseq 5 step 0",
                                                          L"0.0\tTTL 4\thigh\tseq 5 step 0"}));
}

TEST_F(StimulusTimelineTest, MillionPassLoopsStayBlocksAndExpandOnlyToTheLimit) {
    Define(5, L"Flicker", {{L"-Loop 1000000"}, {L"-On Blue"}, {L"-Off Blue"}, {L"-EndLoop"}});
    Define(6, L"Sessions", {{L"-Loop 1000000"}, {L"-Call 5"}, {L"-EndLoop"}});
    const StimulusTimeline timeline = Build(6);
    EXPECT_EQ(timeline.Root().eventCount, 2'000'000'000'000u);
    ASSERT_EQ(timeline.Root().items.size(), 1u);
    const TimelineItem& loop = timeline.Root().items[0];
    EXPECT_EQ(loop.count, 1000000u);
    ASSERT_EQ(loop.repeated->items.size(), 1u);
    EXPECT_EQ(loop.repeated->items[0].repeated->items[0].repeated->items.size(), 2u);

    const TimelineExpansion expansion = timeline.Expand(5);
    ASSERT_EQ(expansion.events.size(), 5u);
    EXPECT_NEAR(expansion.events[4].timeMs, 0.1 + 0.2 * 2, 1e-9);
    EXPECT_FALSE(expansion.complete);
    EXPECT_EQ(expansion.message,
              L"Sequence 6 sets its outputs 2000000000000 times; only the first 5 are listed "
              L"(the limit given).");
}

TEST_F(StimulusTimelineTest, RefusesFreeAndUntimableSequences) {
    EXPECT_EQ(StimulusTimeline::Build(container, 9, outputs).error, L"Sequence 9 does not exist.");
    EXPECT_EQ(StimulusTimeline::Build(container, 300, outputs).error,
              L"There is no sequence 300: sequence numbers run from 0 to 254.");
}

// Random sequences with loops (also open, nested and empty ones) and calls: the timeline always
// ends exactly where timing does, and lists as many settings as it counts.
TEST_F(StimulusTimelineTest, EndEqualsTimingForRandomSequences) {
    std::mt19937 random(20261206);
    const auto pick = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
    const std::vector<std::wstring> others = {
        L"-Duration 0.1", L"-Duration 2.5",      L"-Duration 0.33", L"-duration 7",
        L"-On Blue",      L"-Off red",           L"-TTLHigh 3",     L"-TTLLow 6",
        L"-On Green",     L"-SetIntensity Red 7"};
    for (std::uint32_t n = 200; n-- > 0;) {
        std::vector<CommandSet> steps(1 + pick(10));
        for (CommandSet& step : steps) {
            const int kind = pick(8);
            if (kind == 0) {
                step.push_back(L"-Loop " + std::to_wstring(2 + pick(4)));
            } else if (kind == 1) {
                step.push_back(L"-EndLoop");
            } else if (kind == 2 && n < 195) {
                step.push_back(L"-Call " + std::to_wstring(n + 1 + pick(5)));
            }
            for (int k = pick(3); k > 0; --k) {
                step.push_back(others[pick(static_cast<int>(others.size()))]);
            }
        }
        ASSERT_EQ(container.AddSequence(n, L"S" + std::to_wstring(n)), 0);
        for (std::uint32_t set = 0; set < steps.size(); ++set) {
            ASSERT_EQ(container.AddCommandSet(n, set), 0);
            for (const std::wstring& text : steps[set]) {
                container.AddCommand(n, set, text);  // a call nested too deeply is refused
            }
        }
    }
    for (std::uint32_t n = 0; n < 200; ++n) {
        double duration = 0.0;
        ASSERT_EQ(container.GetSequenceDuration(n, duration), 0);
        const StimulusTimeline timeline = Build(n);
        ASSERT_EQ(timeline.DurationMs(), duration) << n;
        if (timeline.Root().eventCount <= 2000) {
            EXPECT_EQ(timeline.Expand(2000).events.size(), timeline.Root().eventCount) << n;
        }
    }
}

TEST_F(StimulusTimelineTest, SvgEscapesItsTextsAndHasOneLanePerLedAndTtlBit) {
    container.SetColorLabels({L"Blue", L"R&D<red>"});
    Define(1, L"Pulse", {{L"-On R&D<red>", L"-Duration 2"}, {L"-Off R&D<red>"}});
    Define(2, L"Train", {{L"-Loop 1000000"}, {L"-Call 1"}, {L"-TTLHigh 4"}, {L"-EndLoop"}});
    const TimelineOutputs two{{L"Blue", L"R&D<red>"}, {26, 40}};
    const std::string svg = TimelineToSvg(*StimulusTimeline::Build(container, 2, two).timeline,
                                          L"2.Train \"<\u00fc>\"");
    // Every label and title text escaped: no raw "<" or "&" of theirs reaches the markup.
    EXPECT_EQ(svg.find("R&D"), std::string::npos);
    EXPECT_EQ(svg.find("<red>"), std::string::npos);
    std::size_t lanes = 0;
    for (std::size_t pos = 0; (pos = svg.find("class=\"lane\"", pos)) != std::string::npos; ++pos) {
        ++lanes;
    }
    EXPECT_EQ(lanes, 2u + 4u);
    EXPECT_NE(svg.find("data-lane=\"R&amp;D&lt;red&gt;\""), std::string::npos);
    EXPECT_NE(svg.find("&#215;1000000 from 0.0 ms"), std::string::npos) << svg;
    EXPECT_NE(svg.find("<title>2.Train &quot;&lt;&#252;&gt;&quot;</title>"), std::string::npos);
}

}  // namespace
