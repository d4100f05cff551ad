#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "device/MicroControllerCommandConversion.h"
#include "sequences/ContainerFixture.h"
#include "sequences/SequenceContainer.h"

namespace {

const std::wstring kInfiniteLoop =
    L"Error processing sequence duration, the call command will create an infinite loop.";
const std::wstring kTooDeep =
    L"Error processing sequence duration, the call creates a violation of the maximum number(4) "
    L"of nested call commands allowed.";

struct DurationCase {
    const char* name;
    std::vector<CommandSet> steps;
    double expected;
};

void PrintTo(const DurationCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

class SequenceDurationTest : public ContainerFixture,
                             public ::testing::WithParamInterface<DurationCase> {};

TEST_P(SequenceDurationTest, AddsEveryStepTimesItsLoopFactor) {
    Define(3, L"Timed", GetParam().steps);
    ResetRecords();
    double duration = 0.0;
    ASSERT_EQ(container.GetSequenceDuration(3, duration), 0) << log.Text();
    EXPECT_NEAR(duration, GetParam().expected, 1e-9);
    EXPECT_EQ(log.messages.size(), 0u);
}

const DurationCase kDurationCases[] = {
    {"ThreeSteps",
     {{L"-SetIntensity Blue 100", L"-Duration 10"}, {L"-Off Blue"}, {L"-Duration 2.5"}},
     12.6},
    {"Loop",
     {{L"-Loop 3"}, {L"-Duration 5"}, {L"-Off Blue"}, {L"-EndLoop"}, {L"-Duration 1"}},
     16.3},
    {"NoSteps", {}, 0.0},
    {"EmptySteps", {{}, {}}, 0.2},
    {"LastDurationOfAStepCounts", {{L"-Duration 5", L"-On Red", L"-Duration 2"}}, 2.0},
    {"OpenLoopRunsToTheEnd", {{L"-Loop 4"}, {L"-Duration 1"}, {L"-Duration 2"}}, 12.0},
    {"DurationAfterLoopWordCounts", {{L"-Loop 3", L"-Duration 5"}, {L"-Duration 1"}}, 18.0},
    {"DurationAfterEndLoopWordCounts", {{L"-Loop 3"}, {L"-EndLoop", L"-Duration 5"}}, 5.0},
    {"SecondLoopReplacesTheFactor",
     {{L"-Loop 2"},
      {L"-Duration 1"},
      {L"-Loop 5"},
      {L"-Duration 1"},
      {L"-EndLoop"},
      {L"-Duration 1"}},
     8.0},
};

INSTANTIATE_TEST_SUITE_P(Steps, SequenceDurationTest, ::testing::ValuesIn(kDurationCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A word in any case means the word: the model takes it, timing counts it and the device's
// conversion gives the same script as for the word written as the vocabulary writes it.
struct WordCaseCase {
    const char* name;
    std::vector<CommandSet> written;
    std::vector<CommandSet> asTheVocabularyWritesThem;
};

class WordsInAnyCaseTest : public ContainerFixture,
                           public ::testing::WithParamInterface<WordCaseCase> {};

TEST_P(WordsInAnyCaseTest, AreTimedAndConvertedAlike) {
    Define(0, L"Called", {{L"-Duration 2"}});
    Define(1, L"Written", GetParam().written);
    Define(2, L"Reference", GetParam().asTheVocabularyWritesThem);
    MicroControllerCommandConversion conversion(&log);
    conversion.RegisterLED(L"Blue", 0);
    double duration[2] = {0.0, 0.0};
    std::vector<std::uint8_t> script[2];
    for (std::uint32_t i = 0; i < 2; ++i) {
        ASSERT_EQ(container.GetSequenceDuration(1 + i, duration[i]), 0) << log.Text();
        ASSERT_EQ(conversion.Convert(container.GetCommandSets(1 + i), script[i]), 0) << log.Text();
    }
    EXPECT_EQ(duration[0], duration[1]);
    EXPECT_EQ(script[0], script[1]);
}

const WordCaseCase kWordCases[] = {
    {"OnOffDurationTTL",
     {{L"-on Blue", L"-duration 5"}, {L"-OFF blue", L"-ttlhigh 3"}},
     {{L"-On Blue", L"-Duration 5"}, {L"-Off blue", L"-TTLHigh 3"}}},
    {"Loop",
     {{L"-LOOP 3"}, {L"-DuRaTiOn 1.5"}, {L"-endloop"}},
     {{L"-Loop 3"}, {L"-Duration 1.5"}, {L"-EndLoop"}}},
    {"Call", {{L"-CALL 0"}, {L"-call 0"}}, {{L"-Call 0"}, {L"-Call 0"}}},
    {"IntensityAndTTLLow",
     {{L"-SETINTENSITY Blue 7"}, {L"-ttllow 4"}},
     {{L"-SetIntensity Blue 7"}, {L"-TTLLow 4"}}},
};

INSTANTIATE_TEST_SUITE_P(Words, WordsInAnyCaseTest, ::testing::ValuesIn(kWordCases),
                         [](const auto& info) { return std::string(info.param.name); });

class CallTimingTest : public ContainerFixture {
  protected:
    void SetUp() override {
        Define(1, L"Base",
               {{L"-SetIntensity Blue 100", L"-Duration 10"}, {L"-Off Blue"}, {L"-Duration 2.5"}});
        ResetRecords();
    }

    double DurationOf(std::uint32_t number) {
        double duration = 0.0;
        EXPECT_EQ(container.GetSequenceDuration(number, duration), 0) << log.Text();
        return duration;
    }
};

TEST_F(CallTimingTest, ACallStepLastsItsOwnStepPlusTheCalledSequence) {
    Define(2, L"Caller", {{L"-Call 1"}});
    Define(3, L"Looped", {{L"-Loop 2"}, {L"-Call 1"}, {L"-EndLoop"}});
    EXPECT_NEAR(DurationOf(2), 12.7, 1e-9);
    EXPECT_NEAR(DurationOf(3), 25.4, 1e-9);
}

TEST_F(CallTimingTest, LoopFactorsDoNotCrossACall) {
    Define(4, L"OpenLoop", {{L"-Loop 3"}, {L"-Duration 5"}});
    Define(5, L"Outer", {{L"-Call 4"}, {L"-Duration 1"}});
    EXPECT_NEAR(DurationOf(5), 0.1 + 15.0 + 1.0, 1e-9);
}

TEST_F(CallTimingTest, ACallOfAFreeSlotAddsOneStep) {
    Define(2, L"Caller", {{L"-Call 1"}, {L"-Duration 4"}});
    ASSERT_EQ(container.RemoveSequence(1), 0);
    EXPECT_NEAR(DurationOf(2), 4.1, 1e-9);
    EXPECT_EQ(log.messages.size(), 0u);
}

TEST_F(CallTimingTest, AFreeSlotTimesAsNothing) {
    double duration = 1.5;
    EXPECT_EQ(container.GetSequenceDuration(200, duration), 0);
    EXPECT_EQ(duration, 1.5);  // the total is added to what was passed in
    EXPECT_EQ(log.messages.size(), 0u);
}

TEST_F(CallTimingTest, ANumberOutOfRangeFails) {
    double duration = 0.0;
    EXPECT_EQ(container.GetSequenceDuration(255, duration), -1);
    EXPECT_EQ(ErrorMessages(),
              std::vector<std::wstring>{L"Error validating sequence number.  The sequence "
                                        L"number(255) is out of range(0..254)."});
}

// Each case defines sequences 2.. (index i is sequence 2 + i) and then adds `text` to a new last
// set of sequence `target`; the call must be refused with `message` and taken back.
struct RefusedCallCase {
    const char* name;
    std::vector<std::vector<CommandSet>> sequences;
    std::uint32_t target;
    std::wstring text;
    std::wstring message;
};

void PrintTo(const RefusedCallCase& testCase, std::ostream* out) {
    *out << testCase.name;
}

class RefusedCallTest : public ContainerFixture,
                        public ::testing::WithParamInterface<RefusedCallCase> {};

TEST_P(RefusedCallTest, IsLoggedOnceAndTakenBack) {
    const RefusedCallCase& testCase = GetParam();
    // Names first, so that a sequence may call one defined after it.
    for (std::uint32_t i = 0; i < testCase.sequences.size(); ++i) {
        ASSERT_EQ(container.AddSequence(2 + i, L"S" + std::to_wstring(2 + i)), 0);
    }
    for (std::uint32_t i = 0; i < testCase.sequences.size(); ++i) {
        const std::vector<CommandSet>& steps = testCase.sequences[i];
        for (std::uint32_t set = 0; set < steps.size(); ++set) {
            ASSERT_EQ(container.AddCommandSet(2 + i, set), 0);
            for (const std::wstring& text : steps[set]) {
                ASSERT_EQ(container.AddCommand(2 + i, set, text), 0) << log.Text();
            }
        }
    }
    const auto setCount =
        static_cast<std::uint32_t>(container.GetCommandSets(testCase.target).size());
    ASSERT_EQ(container.AddCommandSet(testCase.target, setCount), 0);
    const ModelSnapshot before = TakeSnapshot(container);
    ResetRecords();

    EXPECT_EQ(container.AddCommand(testCase.target, setCount, testCase.text), -1);
    EXPECT_EQ(ErrorMessages(), std::vector<std::wstring>{testCase.message});
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(TakeSnapshot(container), before);
    double duration = 0.0;
    EXPECT_EQ(container.GetSequenceDuration(2, duration), 0);
}

const RefusedCallCase kRefusedCalls[] = {
    {"CallsItself", {{}}, 2, L"-Call 2", kInfiniteLoop},
    {"DirectCycle", {{{L"-Call 3"}}, {}}, 3, L"-Call 2", kInfiniteLoop},
    {"IndirectCycle", {{{L"-Call 3"}}, {{L"-Call 4"}}, {}}, 4, L"-Call 2", kInfiniteLoop},
    {"CycleInsideALoop", {{{L"-Loop 2"}, {L"-Call 3"}}, {}}, 3, L"-Call 2", kInfiniteLoop},
    {"FifthNestedCall",
     {{{L"-Call 3"}}, {{L"-Call 4"}}, {{L"-Call 5"}}, {{L"-Call 6"}}, {}, {}},
     6,
     L"-Call 7",
     kTooDeep},
    {"FifthNestedCallFromTheFront",
     {{}, {{L"-Call 4"}}, {{L"-Call 5"}}, {{L"-Call 6"}}, {{L"-Call 7"}}, {}},
     2,
     L"-Call 3",
     kTooDeep},
    {"CycleByWordsInAnotherCase", {{{L"-CALL 3"}}, {}}, 3, L"-call 2", kInfiniteLoop},
};

INSTANTIATE_TEST_SUITE_P(Calls, RefusedCallTest, ::testing::ValuesIn(kRefusedCalls),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ContainerFixture, AChainOfFourNestedCallsIsTheLongestAccepted) {
    Define(4, L"E", {{L"-Duration 1"}});
    Define(3, L"D", {{L"-Call 4"}});
    Define(2, L"C", {{L"-Call 3"}});
    Define(1, L"B", {{L"-Call 2"}});
    Define(0, L"A", {{L"-Call 1"}});
    double duration = 0.0;
    ASSERT_EQ(container.GetSequenceDuration(0, duration), 0) << log.Text();
    EXPECT_NEAR(duration, 1.4, 1e-9);

    Define(5, L"F", {});
    ASSERT_EQ(container.AddCommandSet(4, 1), 0);
    ResetRecords();
    EXPECT_EQ(container.AddCommand(4, 1, L"-Call 5"), -1);
    EXPECT_EQ(ErrorMessages(), std::vector<std::wstring>{kTooDeep});
    EXPECT_EQ(container.GetCommandSets(4), (std::vector<CommandSet>{{L"-Duration 1"}, {}}));
    EXPECT_EQ(changes, 0);
}

// Timing goes by a command's word, not by words its arguments happen to hold.
TEST_F(ContainerFixture, TimingFollowsTheWordNotItsArguments) {
    container.SetColorLabels({L"x-Duration"});
    Define(0, L"Zero", {{L"-Duration 3"}});
    Define(1, L"Label", {{L"-On x-Duration"}, {L"-Off x-Duration"}});
    Define(2, L"Argument", {{L"-Call -Duration"}});  // "-Duration" reads as 0
    double duration = 0.0;
    ASSERT_EQ(container.GetSequenceDuration(1, duration), 0);
    EXPECT_NEAR(duration, 0.2, 1e-9);
    duration = 0.0;
    ASSERT_EQ(container.GetSequenceDuration(2, duration), 0);
    EXPECT_NEAR(duration, 3.1, 1e-9);
    bool referenced = false;
    ASSERT_EQ(container.IsSequenceReferenced(0, referenced), 0);
    EXPECT_TRUE(referenced);
}

class CallNestingTest : public ContainerFixture {
  protected:
    // 1 -> 2 -> 3 -> 4 -> 5 and 6 -> 2; 7 stands alone.
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

struct NestingCase {
    std::uint32_t calling;
    std::uint32_t called;
    bool refused;
    std::wstring message;
};

void PrintTo(const NestingCase& testCase, std::ostream* out) {
    *out << testCase.calling << " calls " << testCase.called;
}

class CallNestingCaseTest : public CallNestingTest,
                            public ::testing::WithParamInterface<NestingCase> {};

TEST_P(CallNestingCaseTest, RefusesCyclesAndDeepChains) {
    const NestingCase& testCase = GetParam();
    EXPECT_EQ(container.CheckCallNesting(testCase.calling, testCase.called), testCase.refused);
    const std::vector<std::wstring> expected = testCase.refused
                                                   ? std::vector<std::wstring>{testCase.message}
                                                   : std::vector<std::wstring>{};
    EXPECT_EQ(ErrorMessages(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, CallNestingCaseTest,
    ::testing::Values(NestingCase{7, 2, false, L""},           // 7 -> 2 -> 3 -> 4 -> 5
                      NestingCase{7, 1, true, kTooDeep},       // 7 -> 1 -> ... -> 5
                      NestingCase{5, 1, true, kInfiniteLoop},  // 1 reaches 5, found first
                      NestingCase{3, 4, false, L""}, NestingCase{4, 3, true, kInfiniteLoop},
                      NestingCase{2, 2, true, kInfiniteLoop},
                      NestingCase{2, 6, true, kInfiniteLoop},
                      NestingCase{7, 7, true, kInfiniteLoop}, NestingCase{7, 200, false, L""},
                      NestingCase{7, 255, true,
                                  L"Error validating sequence number.  The sequence number(255) "
                                  L"is out of range(0..254)."}));

TEST_F(CallNestingTest, AddingACallDeepensEveryChainThroughItsSequence) {
    // 6 -> 2 -> ... -> 5 -> 7 would still do, but 1 -> ... -> 5 -> 7 is one call too many.
    ASSERT_EQ(container.AddCommandSet(5, 1), 0);
    ResetRecords();
    EXPECT_EQ(container.AddCommand(5, 1, L"-Call 7"), -1);
    EXPECT_EQ(ErrorMessages(), std::vector<std::wstring>{kTooDeep});
}

// Renumbering checks nothing, so it can hang a chain under a call of a free slot. The next
// added -Call times every sequence again and finds the chain, even though the sequences that
// now make it up passed every check before.
TEST_F(CallNestingTest, AChainMadeByRenumberingIsFoundByTheNextAddedCall) {
    Define(9, L"S9", {});
    Define(0, L"S0", {{L"-Call 9"}});
    ASSERT_EQ(container.RemoveSequence(9), 0);
    ASSERT_EQ(container.ModifySequenceNumber(1, 9), 0);  // 0 -> 9 -> 2 -> 3 -> 4 -> 5
    ASSERT_EQ(container.AddCommandSet(7, 0), 0);
    ResetRecords();
    EXPECT_EQ(container.AddCommand(7, 0, L"-Call 5"), -1);
    EXPECT_EQ(ErrorMessages(), std::vector<std::wstring>{kTooDeep});
    EXPECT_EQ(container.GetCommandSets(7), (std::vector<CommandSet>{{}}));
}

// What one check learnt must not outlive a change: a chain cut short accepts a call that the
// same chain refused before.
TEST_F(CallNestingTest, ACallRefusedThroughAChainIsAcceptedOnceTheChainIsCut) {
    ASSERT_EQ(container.AddCommandSet(5, 1), 0);
    ASSERT_EQ(container.AddCommand(5, 1, L"-Call 7"), -1);
    ASSERT_EQ(container.ClearCommandSet(1, 0), 0);
    ASSERT_EQ(container.AddCommand(5, 1, L"-Call 7"), -1);  // 6 -> 2 -> ... -> 5 -> 7
    ASSERT_EQ(container.ClearCommandSet(6, 0), 0);
    ResetRecords();
    EXPECT_EQ(container.AddCommand(5, 1, L"-Call 7"), 0) << log.Text();
    double duration = 0.0;
    ASSERT_EQ(container.GetSequenceDuration(2, duration), 0);
    // Three call steps to 5, whose -Duration 1 step and call of the empty 7 follow.
    EXPECT_NEAR(duration, 0.1 * 3 + 1 + 0.1, 1e-9);
}

}  // namespace
