#include "support/FaultRules.h"

FaultRule StatusFault(std::uint8_t commandId, std::uint8_t status, unsigned occurrence) {
    FaultRule rule;
    rule.kind = FaultKind::Status;
    rule.status = status;
    rule.commandId = commandId;
    rule.occurrence = occurrence;
    return rule;
}

FaultRule SilentFault(std::uint8_t commandId, unsigned occurrence) {
    FaultRule rule;
    rule.kind = FaultKind::Silent;
    rule.commandId = commandId;
    rule.occurrence = occurrence;
    return rule;
}
