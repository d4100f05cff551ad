#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "sequences/ContainerFixture.h"
#include "sequences/SequenceContainer.h"
#include "sequences/StimulusTimeline.h"
#include "sequences/TimelineSvg.h"

namespace {

const std::wstring kInfiniteLoop =
    L"Error processing sequence duration, the call command will create an infinite loop.";
const std::wstring kTooDeep =
    L"Error processing sequence duration, the call creates a violation of the maximum number(4) "
    L"of nested call commands allowed.";

// Every step lasts 0.1 ms or its last -Duration, times the loop factor in force; a call step
// adds the called sequence. Sequence 0 lasts 3.1 ms, sequence 1 12.6 ms. The timeline agrees.
TEST_F(ContainerFixture, DurationAddsEveryStepTimesItsLoopFactor) {
    const struct {
        const char* name;
        std::vector<CommandSet> steps;
        double expected;
    } cases[] = {
        {"NoSteps", {}, 0.0},
        {"LastDurationOfAStepCounts", {{L"-Duration 5", L"-On Red", L"-Duration 2"}}, 2.0},
        {"Loop",
         {{L"-Loop 3"}, {L"-Duration 5"}, {L"-Off Blue"}, {L"-EndLoop"}, {L"-Duration 1"}},
         16.3},
        {"OpenLoopRunsToTheEnd", {{L"-Loop 4"}, {L"-Duration 1"}, {L"-Duration 2"}}, 12.0},
        {"DurationAfterLoopWordCounts", {{L"-Loop 3", L"-Duration 5"}, {L"-Duration 1"}}, 18.0},
        {"DurationAfterEndLoopWordCounts", {{L"-Loop 3"}, {L"-EndLoop", L"-Duration 5"}}, 5.0},
        {"SecondLoopReplacesTheFactor",
         {{L"-Loop 2"}, {L"-Duration 1"}, {L"-Loop 5"}, {L"-Duration 1"}},
         7.0},
        {"Call", {{L"-Call 1"}}, 12.7},
        {"CallInALoopCountsEveryPass", {{L"-Loop 2"}, {L"-Call 1"}, {L"-EndLoop"}}, 25.4},
        {"CallStepAddsItsOwnDuration", {{L"-Call 1", L"-Duration 2"}}, 12.6 + 2.0},
        {"LoopFactorsDoNotCrossACall", {{L"-Call 3"}, {L"-Duration 1"}}, 0.1 + 15.0 + 1.0},
        // Timing goes by a command's word, not by words its arguments happen to hold.
        {"WordInALabel", {{L"-On x-Duration"}, {L"-Off x-Duration"}}, 0.2},
        {"WordAsCalledNumber", {{L"-Call -Duration"}}, 3.1},  // "-Duration" reads as 0
        {"WordsInAnyCase",
         {{L"-LOOP 3"}, {L"-on Blue", L"-duration 5"}, {L"-ENDLOOP"}, {L"-CALL 0"}},
         18.1},
    };
    container.SetColorLabels({L"Blue", L"Red", L"x-Duration"});
    Define(0, L"Zero", {{L"-Duration 3"}});
    Define(1, L"Base",
           {{L"-SetIntensity Blue 100", L"-Duration 10"}, {L"-Off Blue"}, {L"-Duration 2.5"}});
    Define(3, L"OpenLoop", {{L"-Loop 3"}, {L"-Duration 5"}});
    for (const auto& c : cases) {
        container.RemoveSequence(5);
        Define(5, L"Timed", c.steps);
        ResetRecords();
        double duration = 0.0;
        ASSERT_EQ(container.GetSequenceDuration(5, duration), 0) << log.Text();
        EXPECT_NEAR(duration, c.expected, 1e-9) << c.name;
        EXPECT_EQ(log.messages.size(), 0u);
        const TimelineBuild build = StimulusTimeline::Build(container, 5, {{L"Blue"}, {26}});
        ASSERT_TRUE(build.timeline) << build.error;
        EXPECT_EQ(build.timeline->DurationMs(), duration) << c.name;  // to the last bit
    }
}

// 1 -> 2 -> 3 -> 4 -> 5 and 6 -> 2; 7 stands alone.
class CallNestingTest : public ContainerFixture {
  protected:
    void SetUp() override {
        Define(5, L"S5", {{L"-Duration 1"}});
        for (std::uint32_t n = 4; n >= 1; --n) {
            Define(n, L"S" + std::to_wstring(n), {{L"-Call " + std::to_wstring(n + 1)}});
        }
        Define(6, L"S6", {{L"-Call 2"}});
        Define(7, L"S7", {});
        ResetRecords();
    }
};

TEST_F(CallNestingTest, RefusesCyclesAndChainsOfMoreThanFourCalls) {
    const struct {
        std::uint32_t calling, called;
        std::wstring message;  // empty: accepted
    } cases[] = {
        {7, 2, L""},  // 7 -> 2 -> 3 -> 4 -> 5
        {7, 1, kTooDeep},
        {5, 1, kInfiniteLoop},  // 1 reaches 5, found first
        {3, 4, L""},
        {4, 3, kInfiniteLoop},
        {2, 6, kInfiniteLoop},
        {7, 7, kInfiniteLoop},
        {7, 200, L""},
        {7, 255,
         L"Error validating sequence number.  The sequence number(255) is out of range(0..254)."},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(container.CheckCallNesting(c.calling, c.called), !c.message.empty()) << c.calling;
        EXPECT_EQ(ErrorMessages(), c.message.empty() ? std::vector<std::wstring>{}
                                                     : std::vector<std::wstring>{c.message});
        ResetRecords();
    }
}

// An added call deepens every chain through its sequence, also when that sequence alone changed
// since the last check: one too deep is taken back. What a check learnt must not outlive a
// change: renumbering (which checks nothing) can lengthen a chain, and cutting a chain makes
// room again.
TEST_F(CallNestingTest, AddedCallsAreCheckedAgainstTheChainsAsTheyAreNow) {
    Define(10, L"S10", {{L"-Call 7"}});  // a check: what it learnt stays
    ASSERT_EQ(container.AddCommandSet(5, 1), 0);
    ResetRecords();
    EXPECT_EQ(container.AddCommand(5, 1, L"-call 7"), -1);  // 1 -> ... -> 5 -> 7
    EXPECT_EQ(ErrorMessages(), std::vector<std::wstring>{kTooDeep});
    EXPECT_EQ(container.GetCommandSets(5), (std::vector<CommandSet>{{L"-Duration 1"}, {}}));
    EXPECT_EQ(changes, 0);
    ASSERT_EQ(container.ClearCommandSet(1, 0), 0);
    ASSERT_EQ(container.AddCommand(5, 1, L"-Call 7"), -1);  // 6 -> 2 -> ... -> 5 -> 7
    ASSERT_EQ(container.ClearCommandSet(6, 0), 0);
    EXPECT_EQ(container.AddCommand(5, 1, L"-Call 7"), 0) << log.Text();
    Define(9, L"S9", {});
    Define(0, L"S0", {{L"-Call 9"}});
    ASSERT_EQ(container.RemoveSequence(9), 0);
    ASSERT_EQ(container.ModifySequenceNumber(2, 9), 0);  // 0 -> 9 -> 3 -> 4 -> 5 -> 7
    Define(8, L"S8", {{}});
    ResetRecords();
    EXPECT_EQ(container.AddCommand(8, 0, L"-Call 7"), -1);  // 8 -> 7 alone would do
    EXPECT_EQ(ErrorMessages(), std::vector<std::wstring>{kTooDeep});
}

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
        std::wistringstream in(tsv);
        std::vector<std::wstring> lines;
        for (std::wstring line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return {lines.begin() + 1 + timeline.Lanes().size(), lines.end()};
    }
};

// The timing examples (their ends are the timing tests'): the settings of every pass and call.
TEST_F(StimulusTimelineTest, TimingExamplesGiveTheirSettings) {
    Define(1, L"Three steps",
           {{L"-SetIntensity Blue 100", L"-Duration 10"}, {L"-Off Blue"}, {L"-Duration 2.5"}});
    const std::wstring on = L"\tBlue intensity\t100\tseq 5 step ",
                       off = L"\tBlue\toff\tseq 5 step ";
    const struct {
        std::vector<CommandSet> steps;
        std::vector<std::wstring> lines;
    } cases[] = {
        {{{L"-Loop 3"}, {L"-Duration 5"}, {L"-Off Blue"}, {L"-EndLoop"}, {L"-Duration 1"}},
         {L"5.0" + off + L"2 pass 1", L"10.1" + off + L"2 pass 2", L"15.2" + off + L"2 pass 3"}},
        {{{L"-Call 1"}}, {L"0.1" + on + L"0 > seq 1 step 0", L"10.1" + off + L"0 > seq 1 step 1"}},
        {{{L"-Call 1", L"-Duration 2"}, {L"-Off Blue"}},
         {L"0.1" + on + L"0 > seq 1 step 0", L"10.1" + off + L"0 > seq 1 step 1",
          L"14.6" + off + L"1"}},
        {{{L"-Loop 2"}, {L"-Call 1"}, {L"-EndLoop"}},
         {L"0.1" + on + L"1 pass 1 > seq 1 step 0", L"10.1" + off + L"1 pass 1 > seq 1 step 1",
          L"12.8" + on + L"1 pass 2 > seq 1 step 0", L"22.8" + off + L"1 pass 2 > seq 1 step 1"}},
    };
    for (const auto& c : cases) {
        container.RemoveSequence(5);
        Define(5, L"Example", c.steps);
        EXPECT_EQ(SettingLines(5), c.lines);
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

// Stored commands keep the position of their output among the model's names; new names (in
// another order, fewer of them) are looked up again, whatever case the command wrote.
TEST_F(StimulusTimelineTest, OutputsAreFoundAgainWhenTheModelsNamesChange) {
    Define(5, L"Names", {{L"-On green", L"-TTLHigh 4"}});
    container.SetColorLabels({L"Green", L"Blue"});
    container.SetTTLBitNames({L"4"});
    EXPECT_EQ(SettingLines(5), (std::vector<std::wstring>{L"0.0\tGreen\ton\tseq 5 step 0",
                                                          L"0.0\tTTL 4\thigh\tseq 5 step 0"}));
}

// Loops of a million passes, one calling the other: 2 * 10^12 settings held in a few blocks.
TEST_F(StimulusTimelineTest, MillionPassLoopsStayBlocksAndExpandOnlyToTheLimit) {
    Define(5, L"Flicker", {{L"-Loop 1000000"}, {L"-On Blue"}, {L"-Off Blue"}, {L"-EndLoop"}});
    Define(6, L"Sessions", {{L"-Loop 1000000"}, {L"-Call 5"}, {L"-EndLoop"}});
    const StimulusTimeline timeline = Build(6);
    EXPECT_EQ(timeline.Root().eventCount, 2'000'000'000'000u);

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
