#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "sequences/StepRules.h"

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

}  // namespace
