#include "zavik-sim/FaultPlan.h"

#include <algorithm>

#include "device/PacketConstants.h"
#include "zavik-sim/ResponseBuilder.h"

namespace {

// A header announcing 1029 data bytes, one more than any response may carry.
const std::vector<std::uint8_t> kOversizeHeader{PacketConstants::kStx,
                                                PacketConstants::kTypeResponse, 0x05, 0x04};
constexpr std::uint8_t kBadStx = 0x00;

bool ChangesShape(FaultKind kind) {
    return kind == FaultKind::Silent || kind == FaultKind::Half || kind == FaultKind::Oversize ||
           kind == FaultKind::Garbage || kind == FaultKind::Hangup;
}

void SetByteKeepingChecksum(std::vector<std::uint8_t>& answer, std::size_t at, std::uint8_t value) {
    if (answer.size() > at + 1) {
        answer[at] = value;
        ResponseBuilder::UpdateChecksum(answer);
    }
}

void ApplyDefects(const FaultDecision& decision, std::vector<std::uint8_t>& answer) {
    if (decision.Has(FaultKind::WrongId)) {
        SetByteKeepingChecksum(answer, 4, static_cast<std::uint8_t>(answer[4] + 1));
    }
    if (decision.Has(FaultKind::BadType)) {
        SetByteKeepingChecksum(answer, 1, PacketConstants::kTypeCommand);
    }
    if (decision.Has(FaultKind::BadStx)) {
        SetByteKeepingChecksum(answer, 0, kBadStx);
    }
    if (decision.Has(FaultKind::BadCrc) && !answer.empty()) {
        answer.back() ^= 0x01;
    }
}

void FillWithGarbage(std::vector<std::uint8_t>& answer, std::mt19937& random) {
    for (std::uint8_t& byte : answer) {
        byte = static_cast<std::uint8_t>(random());
    }
    if (!answer.empty() && answer[0] == PacketConstants::kStx) {
        answer[0] = static_cast<std::uint8_t>(~PacketConstants::kStx);
    }
}

void ApplyShape(FaultKind kind, std::vector<std::uint8_t>& answer, std::mt19937& random) {
    switch (kind) {
        case FaultKind::Half:
            answer.resize(answer.size() / 2);
            break;
        case FaultKind::Oversize:
            answer = kOversizeHeader;
            break;
        case FaultKind::Garbage:
            FillWithGarbage(answer, random);
            break;
        default:
            answer.clear();
            break;
    }
}

}  // namespace

bool FaultDecision::Has(FaultKind kind) const {
    return std::find(applied.begin(), applied.end(), kind) != applied.end();
}

void FaultPlan::Add(const FaultRule& rule) {
    entries_.push_back(Entry{rule, 0});
}

void FaultPlan::Clear() {
    entries_.clear();
}

std::vector<FaultRule> FaultPlan::Rules() const {
    std::vector<FaultRule> rules;
    for (const Entry& entry : entries_) {
        rules.push_back(entry.rule);
    }
    return rules;
}

FaultDecision FaultPlan::Decide(std::uint8_t commandId) {
    FaultDecision decision;
    for (Entry& entry : entries_) {
        const FaultRule& rule = entry.rule;
        if (rule.commandId && *rule.commandId != commandId) {
            continue;
        }
        ++entry.matches;
        if (rule.occurrence != 0 && entry.matches != rule.occurrence) {
            continue;
        }
        decision.applied.push_back(rule.kind);
        if (rule.kind == FaultKind::Status) {
            decision.status = rule.status;
        } else if (rule.kind == FaultKind::Delay) {
            decision.delay += rule.delay;
        } else if (rule.kind == FaultKind::Hangup) {
            decision.hangup = true;
        }
    }
    return decision;
}

void FaultPlan::Apply(const FaultDecision& decision, std::vector<std::uint8_t>& answer,
                      std::mt19937& random) {
    ApplyDefects(decision, answer);
    const auto shape = std::find_if(decision.applied.begin(), decision.applied.end(), ChangesShape);
    if (shape != decision.applied.end()) {
        ApplyShape(*shape, answer, random);
    }
}
