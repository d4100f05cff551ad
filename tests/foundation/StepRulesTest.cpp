#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "foundation/StepRules.h"
#include "foundation/StepText.h"

namespace {

using StepRules::Field;
using StepRules::Reason;

struct Verdict {
    Reason reason;
    Field field;
};

// Which field each rule refuses (the editor marks that cell); the model's wording of every
// refusal is the container's test. Sequence 0 is defined, Blue and TTL bit 3 exist.
TEST(StepRulesTest, EachRuleNamesItsReasonAndField) {
    const struct {
        std::vector<std::wstring> tokens;
        std::optional<Verdict> verdict;
    } cases[] = {
        {{L"-on", L"BLUE"}, std::nullopt},
        {{}, Verdict{Reason::UnknownWord, Field::Word}},
        {{L"-Blink", L"Blue"}, Verdict{Reason::UnknownWord, Field::Word}},
        {{L"-Off"}, Verdict{Reason::ArgumentCount, Field::Arguments}},
        {{L"-On", L"Red"}, Verdict{Reason::UnknownColor, Field::Color}},
        {{L"-SetIntensity", L"Red", L"300"}, Verdict{Reason::UnknownColor, Field::Color}},
        {{L"-SetIntensity", L"Blue", L"-1"},
         Verdict{Reason::IntensityOutOfRange, Field::Intensity}},
        {{L"-Call", L"0"}, std::nullopt},
        {{L"-Call", L"255"}, Verdict{Reason::SequenceNumberOutOfRange, Field::Sequence}},
        {{L"-Call", L"4"}, Verdict{Reason::NoSuchSequence, Field::Sequence}},
        {{L"-Loop", L"1000000"}, std::nullopt},
        {{L"-Loop", L"1000001"}, Verdict{Reason::LoopCountOutOfRange, Field::LoopCount}},
        {{L"-Duration", L"1800000.01"}, Verdict{Reason::DurationOutOfRange, Field::Duration}},
        {{L"-TTLHigh", L"4"}, Verdict{Reason::UnknownTTLBit, Field::TTLBit}},
    };
    const std::vector<std::wstring> colors{L"Blue"};
    const std::vector<std::wstring> bits{L"3"};
    const StepRules::Context context{colors, bits, [](std::uint32_t n) { return n == 0; }};
    for (const auto& c : cases) {
        const std::optional<StepRules::Refusal> refusal =
            StepRules::CheckCommand(c.tokens, context);
        const std::wstring text = c.tokens.empty() ? L"" : c.tokens.front();
        ASSERT_EQ(refusal.has_value(), c.verdict.has_value()) << text.size();
        if (refusal) {
            EXPECT_EQ(refusal->reason, c.verdict->reason) << text.size();
            EXPECT_EQ(refusal->field, c.verdict->field) << text.size();
        }
    }
}

// -Call, -Loop and -EndLoop make up a step of their own; the rest share freely.
TEST(StepRulesTest, OnlyCallAndLoopWordsMustOpenTheirStep) {
    using SequenceCommandWords::Word;
    for (const Word word : {Word::Call, Word::Loop, Word::EndLoop}) {
        EXPECT_FALSE(StepRules::CheckSharing(word, true));
        ASSERT_TRUE(StepRules::CheckSharing(word, false));
        EXPECT_EQ(StepRules::CheckSharing(word, false)->reason, Reason::MustOpenItsStep);
    }
    EXPECT_FALSE(StepRules::CheckSharing(Word::Duration, false));
}

// Sequence 0 is defined; Blue and Green, TTL bits 3 and 4 exist.
const std::vector<std::wstring> kColors{L"Blue", L"Green"};
const std::vector<std::wstring> kBits{L"3", L"4"};
const StepRules::Context kContext{kColors, kBits, [](std::uint32_t n) { return n == 0; }};

struct StepVerdict {
    Reason reason;
    std::size_t index;
};

// A step runs as one script command: switches and TTL bits share it, anything else takes it
// whole; -Duration joins any. The first refused command is named by its index.
TEST(StepRulesTest, AStepIsRefusedAtItsFirstCommandThatCannotShareIt) {
    const struct {
        std::vector<std::wstring> texts;
        std::optional<StepVerdict> verdict;
    } cases[] = {
        {{L"-On Blue", L"-TTLHigh 3", L"-Off Green", L"-Duration 5"}, std::nullopt},
        {{L"-Duration 2", L"-Call 0", L"-Duration 3"}, std::nullopt},
        {{L"-SetIntensity Blue 9", L"-Duration 2"}, std::nullopt},
        {{L"-On Blue", L"-SetIntensity Blue 200"}, StepVerdict{Reason::CannotShareStep, 1}},
        {{L"-SetIntensity Blue 200", L"-TTLLow 3"}, StepVerdict{Reason::CannotShareStep, 1}},
        {{L"-SetIntensity Blue 1", L"-SetIntensity Green 2"},
         StepVerdict{Reason::CannotShareStep, 1}},
        {{L"-TTLHigh 3", L"-Loop 2", L"-On Red"}, StepVerdict{Reason::CannotShareStep, 1}},
        {{L"-Call 0", L"-EndLoop"}, StepVerdict{Reason::CannotShareStep, 1}},
        {{L"-Loop 2", L"-Off Blue"}, StepVerdict{Reason::CannotShareStep, 1}},
        {{L"-On Blue", L"-On Red", L"-Call 0"}, StepVerdict{Reason::UnknownColor, 1}},
        {{L"-Duration 1", L"-On \"Blue"}, StepVerdict{Reason::Unreadable, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.texts));
        const std::optional<StepRules::Refusal> refusal = StepRules::CheckStep(c.texts, kContext);
        ASSERT_EQ(refusal.has_value(), c.verdict.has_value());
        if (refusal) {
            EXPECT_EQ(refusal->reason, c.verdict->reason);
            EXPECT_EQ(refusal->index, c.verdict->index);
        }
    }
}

// The device reading keeps numbers as a script command holds them and lets -EndLoop's
// arguments be; judging fully refuses both.
TEST(StepRulesTest, TheDeviceReadingLeavesRangesToTheModel) {
    using StepText::Judging;
    const StepText::Reading call =
        StepText::Read({L"-Call 258"}, kContext, Judging::AsTheDeviceReads);
    ASSERT_FALSE(call.refusal);
    EXPECT_EQ(call.step.call, 2);
    EXPECT_EQ(StepText::Read({L"-Call 258"}, kContext).refusal->reason,
              Reason::SequenceNumberOutOfRange);
    EXPECT_FALSE(StepText::Read({L"-EndLoop 7"}, kContext, Judging::AsTheDeviceReads).refusal);
    EXPECT_EQ(StepText::Read({L"-EndLoop 7"}, kContext).refusal->reason, Reason::ArgumentCount);
}

// L: a loop start, E: a loop end, o: any other step.
TEST(StepRulesTest, LoopsPairWithoutNesting) {
    const struct {
        std::string steps;
        std::optional<StepVerdict> verdict;
    } cases[] = {
        {"oLooEoLEo", std::nullopt},
        {"LoLE", StepVerdict{Reason::LoopAlreadyOpen, 2}},
        {"oE", StepVerdict{Reason::LoopEndWithoutStart, 1}},
        {"LEE", StepVerdict{Reason::LoopEndWithoutStart, 2}},
        {"LEoLo", StepVerdict{Reason::LoopNotClosed, 3}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.steps);
        std::vector<Step> steps(c.steps.size());
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            steps[i].loopCount = c.steps[i] == 'L' ? std::optional<std::uint32_t>(2) : std::nullopt;
            steps[i].loopEnd = c.steps[i] == 'E';
        }
        const std::optional<StepRules::Refusal> refusal = StepRules::CheckLoops(steps);
        ASSERT_EQ(refusal.has_value(), c.verdict.has_value());
        if (refusal) {
            EXPECT_EQ(refusal->reason, c.verdict->reason);
            EXPECT_EQ(refusal->index, c.verdict->index);
        }
    }
}

// Read then written: each output once with its last word, names as declared, in the editor's
// order; written then read: the same step.
TEST(StepTextTest, WritesWhatItReadsInOneOrder) {
    const struct {
        std::vector<std::wstring> texts;
        std::vector<std::wstring> written;
    } cases[] = {
        {{L"-duration 5", L"-ttllow 3", L"-on green", L"-TTLHigh 4", L"-Off Green", L"-On blue"},
         {L"-On Blue", L"-Off Green", L"-TTLHigh 4", L"-TTLLow 3", L"-Duration 5"}},
        {{L"-TTLHigh 3", L"-TTLLow 3", L"-Duration 0.15"}, {L"-TTLLow 3", L"-Duration 0.15"}},
        {{L"-Call 0", L"-Duration 1800000"}, {L"-Call 0", L"-Duration 1800000"}},
        {{L"-Loop 1000000"}, {L"-Loop 1000000"}},
        {{L"-EndLoop", L"-Duration 2"}, {L"-EndLoop", L"-Duration 2"}},
        {{L"-SetIntensity GREEN 255"}, {L"-SetIntensity Green 255"}},
        {{}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.texts));
        const StepText::Reading reading = StepText::Read(c.texts, kContext);
        ASSERT_FALSE(reading.refusal);
        const std::vector<std::wstring> written = StepText::Write(reading.step, kContext);
        EXPECT_EQ(written, c.written);
        EXPECT_EQ(StepText::Read(written, kContext).step, reading.step);
    }
}

}  // namespace
