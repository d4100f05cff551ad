#pragma once

#include <cstdint>

#include "zavik-sim/FaultRule.h"

// The emulator answers the given occurrence (0 = every one) of a command with this status.
inline FaultRule StatusFault(std::uint8_t commandId, std::uint8_t status, unsigned occurrence = 0) {
    return {FaultKind::Status, status, {}, commandId, occurrence};
}

// The emulator does not answer the given occurrence of a command.
inline FaultRule SilentFault(std::uint8_t commandId, unsigned occurrence = 0) {
    return {FaultKind::Silent, 0, {}, commandId, occurrence};
}
