#pragma once

#include <cstdint>

#include "zavik-sim/FaultRule.h"

// The emulator answers the given occurrence (0 = every one) of a command with this status.
FaultRule StatusFault(std::uint8_t commandId, std::uint8_t status, unsigned occurrence = 0);

// The emulator does not answer the given occurrence of a command.
FaultRule SilentFault(std::uint8_t commandId, unsigned occurrence = 0);
