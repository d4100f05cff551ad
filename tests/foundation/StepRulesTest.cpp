#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/StepRules.h"
#include "foundation/StepText.h"

namespace {

using StepRules::Field;
using StepRules::Reason;

// A refusal as the tables state it: reason, field, and index (the command's within its step, or
// the step's for loops); none when accepted.
using Verdict = std::optional<std::tuple<Reason, Field, std::size_t>>;

Verdict Refused(Reason reason, Field field, std::size_t index = 0) {
    return std::tuple(reason, field, index);
}

Verdict VerdictOf(const std::optional<StepRules::Refusal>& refusal) {
    return refusal ? Refused(refusal->reason, refusal->field, refusal->index) : std::nullopt;
}

// Which field each rule refuses (the editor marks that cell); the model's wording of every
// refusal is the container's test. Sequence 0 is defined, Blue and TTL bit 3 exist.
TEST(StepRulesTest, EachRuleNamesItsReasonAndField) {
    const struct {
        std::vector<std::wstring> tokens;
        Verdict verdict;
    } cases[] = {
        {{L"-on", L"BLUE"}, std::nullopt},
        {{}, Refused(Reason::UnknownWord, Field::Word)},
        {{L"-Blink", L"Blue"}, Refused(Reason::UnknownWord, Field::Word)},
        {{L"-Off"}, Refused(Reason::ArgumentCount, Field::Arguments)},
        {{L"-EndLoop", L"7"}, Refused(Reason::ArgumentCount, Field::Arguments)},
        {{L"-On", L"Red"}, Refused(Reason::UnknownColor, Field::Color)},
        {{L"-SetIntensity", L"Red", L"300"}, Refused(Reason::UnknownColor, Field::Color)},
        {{L"-SetIntensity", L"blue", L"255abc"}, std::nullopt},  // the leading digits count
        {{L"-SetIntensity", L"Blue", L"-1"},
         Refused(Reason::IntensityOutOfRange, Field::Intensity)},
        {{L"-Call", L"0"}, std::nullopt},
        {{L"-Call", L"255"}, Refused(Reason::SequenceNumberOutOfRange, Field::Sequence)},
        {{L"-Call", L"4"}, Refused(Reason::NoSuchSequence, Field::Sequence)},
        {{L"-loop", L"2"}, std::nullopt},
        {{L"-Loop", L"1"}, Refused(Reason::LoopCountOutOfRange, Field::LoopCount)},
        {{L"-Loop", L"1000000"}, std::nullopt},
        {{L"-Loop", L"1000001"}, Refused(Reason::LoopCountOutOfRange, Field::LoopCount)},
        {{L"-Duration", L"0.1"}, std::nullopt},
        {{L"-duration", L"1800000ms"}, std::nullopt},
        {{L"-Duration", L"1800000.01"}, Refused(Reason::DurationOutOfRange, Field::Duration)},
        {{L"-TTLHigh", L"4"}, Refused(Reason::UnknownTTLBit, Field::TTLBit)},
    };
    const std::vector<std::wstring> colors{L"Blue"};
    const std::vector<std::wstring> bits{L"3"};
    const StepRules::Context context{colors, bits, [](std::uint32_t n) { return n == 0; }};
    for (const auto& c : cases) {
        EXPECT_EQ(VerdictOf(StepRules::CheckCommand(c.tokens, context)), c.verdict)
            << testing::PrintToString(c.tokens);
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

// A step runs as one script command: switches and TTL bits share it, anything else takes it
// whole; -Duration joins any. The first refused command is named by its index.
TEST(StepRulesTest, AStepIsRefusedAtItsFirstCommandThatCannotShareIt) {
    const struct {
        std::vector<std::wstring> texts;
        Verdict verdict;
    } cases[] = {
        {{L"-On Blue", L"-TTLHigh 3", L"-Off Green", L"-Duration 5"}, std::nullopt},
        {{L"-Duration 2", L"-Call 0", L"-Duration 3"}, std::nullopt},
        {{L"-SetIntensity Blue 9", L"-Duration 2"}, std::nullopt},
        {{L"-On Blue", L"-SetIntensity Blue 200"},
         Refused(Reason::CannotShareStep, Field::Word, 1)},
        {{L"-SetIntensity Blue 200", L"-TTLLow 3"},
         Refused(Reason::CannotShareStep, Field::Word, 1)},
        {{L"-SetIntensity Blue 1", L"-SetIntensity Green 2"},
         Refused(Reason::CannotShareStep, Field::Word, 1)},
        {{L"-TTLHigh 3", L"-Loop 2", L"-On Red"}, Refused(Reason::CannotShareStep, Field::Word, 1)},
        {{L"-Call 0", L"-EndLoop"}, Refused(Reason::CannotShareStep, Field::Word, 1)},
        {{L"-Loop 2", L"-Off Blue"}, Refused(Reason::CannotShareStep, Field::Word, 1)},
        {{L"-On Blue", L"-On Red", L"-Call 0"}, Refused(Reason::UnknownColor, Field::Color, 1)},
        {{L"-Duration 1", L"-On \"Blue"}, Refused(Reason::Unreadable, Field::Word, 1)},
        // Judged fully, ranges count (the device's reading keeps the script's widths).
        {{L"-Duration 1", L"-Call 258"},
         Refused(Reason::SequenceNumberOutOfRange, Field::Sequence, 1)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.texts));
        EXPECT_EQ(VerdictOf(StepRules::CheckStep(c.texts, kContext)), c.verdict);
    }
}

// L: a loop start, E: a loop end, o: any other step.
TEST(StepRulesTest, LoopsPairWithoutNesting) {
    const struct {
        std::string steps;
        Verdict verdict;
    } cases[] = {
        {"oLooEoLEo", std::nullopt},
        {"LoLE", Refused(Reason::LoopAlreadyOpen, Field::Word, 2)},
        {"oE", Refused(Reason::LoopEndWithoutStart, Field::Word, 1)},
        {"LEE", Refused(Reason::LoopEndWithoutStart, Field::Word, 2)},
        {"LEoLo", Refused(Reason::LoopNotClosed, Field::Word, 3)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.steps);
        std::vector<Step> steps(c.steps.size());
        for (std::size_t i = 0; i < c.steps.size(); ++i) {
            steps[i].loopCount = c.steps[i] == 'L' ? std::optional<std::uint32_t>(2) : std::nullopt;
            steps[i].loopEnd = c.steps[i] == 'E';
        }
        EXPECT_EQ(VerdictOf(StepRules::CheckLoops(steps)), c.verdict);
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
