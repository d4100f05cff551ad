#pragma once

#include <cstdint>
#include <vector>

#include "zavik-sim/FaultRule.h"

// What the emulated driver should receive, written out independently of the code under test.
namespace ExpectedPackets {

using Bytes = std::vector<std::uint8_t>;

// The command packet that carries the payload: STX, type, little-endian size, payload, ETX and
// the XOR of every byte before it.
inline Bytes Packet(const Bytes& payload) {
    Bytes packet{0x02, 0x01, static_cast<std::uint8_t>(payload.size()),
                 static_cast<std::uint8_t>(payload.size() >> 8)};
    packet.insert(packet.end(), payload.begin(), payload.end());
    packet.push_back(0x03);
    std::uint8_t checksum = 0;
    for (const std::uint8_t byte : packet) {
        checksum ^= byte;
    }
    packet.push_back(checksum);
    return packet;
}

inline Bytes Outputs(std::uint16_t mask) {
    return Packet({0x0A, static_cast<std::uint8_t>(mask), static_cast<std::uint8_t>(mask >> 8)});
}

// The emulator answers the given occurrence (0 = every one) of a command with this status.
inline FaultRule StatusFault(std::uint8_t commandId, std::uint8_t status, unsigned occurrence = 0) {
    FaultRule rule;
    rule.kind = FaultKind::Status;
    rule.status = status;
    rule.commandId = commandId;
    rule.occurrence = occurrence;
    return rule;
}

}  // namespace ExpectedPackets
