#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sequences/ContainerFixture.h"
#include "sequences/SequenceContainer.h"
#include "sequences/StimulusTimeline.h"

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

// An added call deepens every chain through its sequence: one too deep is taken back. What a
// check learnt must not outlive a change: renumbering (which checks nothing) can lengthen a
// chain, and cutting a chain makes room again.
TEST_F(CallNestingTest, AddedCallsAreCheckedAgainstTheChainsAsTheyAreNow) {
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

}  // namespace
