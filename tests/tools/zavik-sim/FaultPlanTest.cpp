#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/TextConversion.h"
#include "support/FaultRules.h"
#include "support/HexBytes.h"
#include "zavik-sim/FaultPlan.h"
#include "zavik-sim/FaultRule.h"

namespace {

using namespace std::chrono_literals;

FaultPlan PlanOf(const std::vector<std::wstring>& rules) {
    FaultPlan plan;
    for (const std::wstring& text : rules)
        plan.Add(ParsedFault(text));
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
    for (const std::uint8_t command : {0x0B, 0x01, 0x01, 0x0B, 0x0B})
        hits.push_back(plan.Decide(command).applied);
    EXPECT_EQ(hits, (std::vector<std::vector<FaultKind>>{
                        {}, {}, {FaultKind::Half}, {FaultKind::Silent}, {}}));
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

using K = FaultKind;

// Kinds without a value read alike; the plan's tests read the others by name.
TEST(FaultRule, ReadsTheWrittenFormAndWritesItCanonically) {
    const struct {
        std::wstring text;
        FaultRule rule;
        std::wstring canonical;
    } rows[] = {
        {L"silent", {K::Silent, 0, 0ms, {}, 0}, L"silent"},
        {L"half:0x17", {K::Half, 0, 0ms, 0x17, 0}, L"half:0x17"},
        {L"bad-crc:23@3", {K::BadCrc, 0, 0ms, 0x17, 3}, L"bad-crc:0x17@3"},
        {L"bad-stx@1", {K::BadStx, 0, 0ms, {}, 1}, L"bad-stx@1"},
        {L"wrong-id:0X0b", {K::WrongId, 0, 0ms, 0x0B, 0}, L"wrong-id:0x0B"},
        {L"hangup:1", {K::Hangup, 0, 0ms, 0x01, 0}, L"hangup:0x01"},
        {L"status=0xfa:0x14@2", {K::Status, 0xFA, 0ms, 0x14, 2}, L"status=0xFA:0x14@2"},
        {L"status=252", {K::Status, 0xFC, 0ms, {}, 0}, L"status=0xFC"},
        {L"delay=0x10", {K::Delay, 0, 16ms, {}, 0}, L"delay=16"},
    };
    for (const auto& row : rows) {
        const FaultRule rule = ParsedFault(row.text);
        EXPECT_EQ(rule, row.rule) << WideToNarrow(row.text);
        EXPECT_EQ(rule.ToText(), row.canonical);
    }
}

// A refused text names its problem and leaves the rule as it was.
TEST(FaultRule, RefusesAWrongForm) {
    const std::pair<std::wstring, std::wstring> rows[] = {
        {L"slow", L"unknown fault kind \"slow\""},
        {L"Silent", L"unknown fault kind \"Silent\""},
        {L"status", L"status needs a value, as in status=0xFA"},
        {L"delay:0x17", L"delay needs a value, as in delay=500"},
        {L"silent=1", L"silent takes no value"},
        {L"status=256", L"status code \"256\" is not a number 0..255"},
        {L"delay=600001", L"delay \"600001\" is not a number 0..600000"},
        {L"half:0x100", L"command ID \"0x100\" is not a number 0..255"},
        {L"half:1 7", L"command ID \"1 7\" is not a number 0..255"},
        {L"half@0", L"occurrence \"0\" is not a number from 1 on"},
    };
    for (const auto& [text, expected] : rows) {
        const FaultRule before{K::Garbage, 0, 0ms, 0x42, 9};
        FaultRule rule = before;
        std::wstring problem;
        EXPECT_EQ(FaultRule::Parse(text, rule, problem), -1);
        EXPECT_EQ(problem, expected);
        EXPECT_EQ(rule, before) << WideToNarrow(text);
    }
}

}  // namespace
