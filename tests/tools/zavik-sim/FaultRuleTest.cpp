#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/TextConversion.h"
#include "zavik-sim/FaultRule.h"

namespace {

using namespace std::chrono_literals;
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
        FaultRule rule;
        std::wstring problem;
        ASSERT_EQ(FaultRule::Parse(row.text, rule, problem), 0) << problem;
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
