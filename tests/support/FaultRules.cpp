#include "support/FaultRules.h"

FaultRule StatusFault(std::uint8_t commandId, std::uint8_t status, unsigned occurrence) {
    return {FaultKind::Status, status, {}, commandId, occurrence};
}

FaultRule SilentFault(std::uint8_t commandId, unsigned occurrence) {
    return {FaultKind::Silent, 0, {}, commandId, occurrence};
}
