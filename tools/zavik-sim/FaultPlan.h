#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include "zavik-sim/FaultRule.h"

// What the faults that hit one packet do to its answer.
struct FaultDecision {
    // Kinds of every rule that hit, in rule order.
    std::vector<FaultKind> applied;
    // The status to answer instead of carrying out the command (last status rule wins).
    std::optional<std::uint8_t> status;
    // Pause before answering (delay rules add up).
    std::chrono::milliseconds delay{0};
    bool hangup = false;

    bool Has(FaultKind kind) const;
};

// The fault rules in force and how often each has matched. Not thread-safe; the emulator holds
// its lock around it.
class FaultPlan {
  public:
    void Add(const FaultRule& rule);
    void Clear();
    std::vector<FaultRule> Rules() const;

    // Counts the packet for every rule of its command ID and returns what hits it.
    FaultDecision Decide(std::uint8_t commandId);

    // Turns a framed answer into the bytes to send. Defects inside the packet are applied
    // first (wrong-id, bad-type and bad-stx keep the checksum matching; bad-crc spoils it),
    // then the first hitting rule that changes the packet's shape (silent, half, oversize,
    // garbage, hangup) decides what of it goes out.
    static void Apply(const FaultDecision& decision, std::vector<std::uint8_t>& answer,
                      std::mt19937& random);

  private:
    struct Entry {
        FaultRule rule;
        unsigned matches = 0;
    };
    std::vector<Entry> entries_;
};
