#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "foundation/TextConversion.h"
#include "zavik-sim/FaultRule.h"

namespace {

using namespace std::chrono_literals;

struct GoodRule {
    std::wstring text;
    FaultRule rule;
    std::wstring canonical;
};

void PrintTo(const GoodRule& test, std::ostream* out) {
    *out << WideToNarrow(test.text);
}

FaultRule Rule(FaultKind kind, std::optional<std::uint8_t> commandId = std::nullopt,
               unsigned occurrence = 0) {
    FaultRule rule;
    rule.kind = kind;
    rule.commandId = commandId;
    rule.occurrence = occurrence;
    return rule;
}

FaultRule StatusRule(std::uint8_t status, std::optional<std::uint8_t> commandId,
                     unsigned occurrence) {
    FaultRule rule = Rule(FaultKind::Status, commandId, occurrence);
    rule.status = status;
    return rule;
}

FaultRule DelayRule(std::chrono::milliseconds delay) {
    FaultRule rule = Rule(FaultKind::Delay);
    rule.delay = delay;
    return rule;
}

class FaultRuleReads : public testing::TestWithParam<GoodRule> {};

TEST_P(FaultRuleReads, WrittenForm) {
    FaultRule rule;
    std::wstring problem;
    ASSERT_EQ(FaultRule::Parse(GetParam().text, rule, problem), 0) << problem;
    EXPECT_EQ(rule, GetParam().rule);
    EXPECT_EQ(rule.ToText(), GetParam().canonical);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FaultRuleReads,
    testing::Values(GoodRule{L"silent", Rule(FaultKind::Silent), L"silent"},
                    GoodRule{L"half:0x17", Rule(FaultKind::Half, 0x17), L"half:0x17"},
                    GoodRule{L"bad-crc:23@3", Rule(FaultKind::BadCrc, 0x17, 3), L"bad-crc:0x17@3"},
                    GoodRule{L"bad-stx@1", Rule(FaultKind::BadStx, std::nullopt, 1), L"bad-stx@1"},
                    GoodRule{L"bad-type", Rule(FaultKind::BadType), L"bad-type"},
                    GoodRule{L"wrong-id:0X0b", Rule(FaultKind::WrongId, 0x0B), L"wrong-id:0x0B"},
                    GoodRule{L"oversize", Rule(FaultKind::Oversize), L"oversize"},
                    GoodRule{L"garbage", Rule(FaultKind::Garbage), L"garbage"},
                    GoodRule{L"hangup:1", Rule(FaultKind::Hangup, 0x01), L"hangup:0x01"},
                    GoodRule{L"status=0xfa:0x14@2", StatusRule(0xFA, 0x14, 2),
                             L"status=0xFA:0x14@2"},
                    GoodRule{L"status=252", StatusRule(0xFC, std::nullopt, 0), L"status=0xFC"},
                    GoodRule{L"delay=300", DelayRule(300ms), L"delay=300"},
                    GoodRule{L"delay=0x10", DelayRule(16ms), L"delay=16"}));

struct BadRule {
    std::wstring text;
    std::wstring problem;
};

void PrintTo(const BadRule& test, std::ostream* out) {
    *out << WideToNarrow(test.text);
}

class FaultRuleRefuses : public testing::TestWithParam<BadRule> {};

TEST_P(FaultRuleRefuses, WrongForm) {
    FaultRule rule = Rule(FaultKind::Garbage, 0x42, 9);
    const FaultRule before = rule;
    std::wstring problem;
    EXPECT_EQ(FaultRule::Parse(GetParam().text, rule, problem), -1);
    EXPECT_EQ(problem, GetParam().problem);
    EXPECT_EQ(rule, before);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FaultRuleRefuses,
    testing::Values(BadRule{L"", L"unknown fault kind \"\""},
                    BadRule{L"slow", L"unknown fault kind \"slow\""},
                    BadRule{L"Silent", L"unknown fault kind \"Silent\""},
                    BadRule{L"status", L"status needs a value, as in status=0xFA"},
                    BadRule{L"delay:0x17", L"delay needs a value, as in delay=500"},
                    BadRule{L"silent=1", L"silent takes no value"},
                    BadRule{L"status=256", L"status code \"256\" is not a number 0..255"},
                    BadRule{L"delay=600001", L"delay \"600001\" is not a number 0..600000"},
                    BadRule{L"half:0x100", L"command ID \"0x100\" is not a number 0..255"},
                    BadRule{L"half:1 7", L"command ID \"1 7\" is not a number 0..255"},
                    BadRule{L"half@0", L"occurrence \"0\" is not a number from 1 on"},
                    BadRule{L"half:0x17@", L"occurrence \"\" is not a number from 1 on"}));

}  // namespace
