#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/TextConversion.h"
#include "support/HexBytes.h"
#include "zavik-sim/FaultPlan.h"

namespace {

using namespace std::chrono_literals;

FaultPlan PlanOf(const std::vector<std::wstring>& rules) {
    FaultPlan plan;
    for (const std::wstring& text : rules) {
        FaultRule rule;
        std::wstring problem;
        EXPECT_EQ(FaultRule::Parse(text, rule, problem), 0) << problem;
        plan.Add(rule);
    }
    return plan;
}

// The SetLEDIntensity success answer, the sample every byte-level fault is applied to.
const std::string kIntensityAnswer = "02 02 02 00 0B 00 03 0A";

// Rules not meant for this command or occurrence are left out here: see the occurrence test.
TEST(FaultPlan, TurnsTheAnswerIntoTheBytesSent) {
    const std::pair<std::vector<std::wstring>, std::string> rows[] = {
        {{L"silent"}, ""},
        {{L"half"}, "02 02 02 00"},
        {{L"bad-crc"}, "02 02 02 00 0B 00 03 0B"},
        {{L"bad-stx"}, "00 02 02 00 0B 00 03 08"},
        {{L"bad-type"}, "02 01 02 00 0B 00 03 09"},
        {{L"wrong-id"}, "02 02 02 00 0C 00 03 0D"},
        {{L"oversize"}, "02 02 05 04"},
        {{L"wrong-id", L"bad-crc"}, "02 02 02 00 0C 00 03 0C"},
        {{L"half", L"oversize"}, "02 02 02 00"},
        {{L"oversize", L"half"}, "02 02 05 04"},
    };
    for (const auto& [rules, sent] : rows) {
        FaultPlan plan = PlanOf(rules);
        Bytes answer = HexBytes(kIntensityAnswer);
        std::mt19937 random(1);
        FaultPlan::Apply(plan.Decide(0x0B), answer, random);
        EXPECT_EQ(ToHex(answer), sent) << WideToNarrow(rules[0]) << " first of " << rules.size();
    }
}

// The first random byte of either seed is STX, which garbage must not start with.
TEST(FaultPlan, GarbageKeepsTheLengthNeverStartsWithStxAndRepeatsWithTheSeed) {
    const FaultDecision decision = PlanOf({L"garbage"}).Decide(0x0B);
    std::vector<Bytes> runs;
    for (const std::uint32_t seed : {609u, 609u, 919u}) {
        std::mt19937 random(seed);
        runs.push_back(HexBytes(kIntensityAnswer));
        FaultPlan::Apply(decision, runs.back(), random);
        EXPECT_EQ(runs.back().size(), 8u);
        EXPECT_NE(runs.back()[0], 0x02);
    }
    EXPECT_EQ(runs[0], runs[1]);
    EXPECT_NE(runs[0], runs[2]);
}

TEST(FaultPlan, OccurrenceCountsOnlyPacketsOfItsCommand) {
    FaultPlan plan = PlanOf({L"silent:0x0B@2", L"half@3"});
    std::vector<std::vector<FaultKind>> hits;
    for (const std::uint8_t command : {0x0B, 0x01, 0x01, 0x0B, 0x0B}) {
        hits.push_back(plan.Decide(command).applied);
    }
    const std::vector<std::vector<FaultKind>> expected{
        {}, {}, {FaultKind::Half}, {FaultKind::Silent}, {}};
    EXPECT_EQ(hits, expected);
}

TEST(FaultPlan, DecisionCollectsStatusDelayAndHangup) {
    FaultPlan plan = PlanOf(
        {L"status=0xFA", L"delay=20", L"status=0xFC:0x14", L"delay=30:0x14", L"hangup:0x14@1"});
    const FaultDecision first = plan.Decide(0x14);
    EXPECT_EQ(first.status, std::optional<std::uint8_t>(0xFC));
    EXPECT_EQ(first.delay, 50ms);
    EXPECT_TRUE(first.hangup);
    EXPECT_FALSE(plan.Decide(0x14).hangup);
    const FaultDecision other = plan.Decide(0x01);
    EXPECT_EQ(other.status, std::optional<std::uint8_t>(0xFA));
    EXPECT_EQ(other.delay, 20ms);
}

}  // namespace
