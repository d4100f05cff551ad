#include <gtest/gtest.h>

#include <sstream>
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
