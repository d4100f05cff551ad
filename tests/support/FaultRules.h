#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "zavik-sim/FaultRule.h"

// The emulator answers the given occurrence (0 = every one) of a command with this status.
inline FaultRule StatusFault(std::uint8_t commandId, std::uint8_t status, unsigned occurrence = 0) {
    return {FaultKind::Status, status, {}, commandId, occurrence};
}

// The emulator does not answer the given occurrence of a command.
inline FaultRule SilentFault(std::uint8_t commandId, unsigned occurrence = 0) {
    return {FaultKind::Silent, 0, {}, commandId, occurrence};
}

// The rule the text describes; the test fails when the text is refused.
inline FaultRule ParsedFault(const std::wstring& text) {
    FaultRule rule;
    std::wstring problem;
    EXPECT_EQ(FaultRule::Parse(text, rule, problem), 0) << problem;
    return rule;
}
