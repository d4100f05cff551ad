#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "zavik-sim/FaultRule.h"

// One packet the emulator received and what it did about it.
struct PacketRecord {
    // Counted from 1 since Start().
    std::size_t number = 0;
    // The packet's bytes as received, STX to checksum.
    std::vector<std::uint8_t> received;
    // Passed the framing checks (type, ETX, checksum).
    bool valid = false;
    // The decoded packet (see PacketDecoder), filled in for the packet log and by Packets().
    std::wstring description;
    // The faults that hit it, in rule order.
    std::vector<FaultKind> faults;
    // The bytes actually sent back (empty when nothing was).
    std::vector<std::uint8_t> sent;

    // "#3 SetLEDIntensity LED 2 carried 55 (intensity 200); rx 02 01 03 00 0B 02 37 03 3D;
    // tx 02 02 02 00 0B 00 03 0A", followed by "; faults half, delay" when any hit.
    std::wstring ToLine() const;
};
