#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "foundation/VlrDataTypes.h"

// The ways the emulator can misbehave when it answers a command.
enum class FaultKind {
    Status,    // answer with another status (the command is then not carried out)
    Silent,    // answer nothing
    Half,      // send only the first half of the answer's bytes
    BadCrc,    // checksum byte off by one bit
    BadStx,    // STX 0x00, checksum matching
    BadType,   // packet type 0x01, checksum matching
    WrongId,   // echo the command ID plus one, checksum matching
    Oversize,  // only a header announcing 1029 data bytes: 02 02 05 04
    Garbage,   // as many random bytes as the answer has, never starting with STX
    Hangup,    // no answer; the pseudo-terminal closes as if the device was unplugged
    Delay,     // answer after a pause
};

// One fault: what, for which command (none = any) and for which occurrence of it (0 = every
// one, N = only the N-th matching packet, counted from 1). Written as KIND[:CMD][@N], e.g.
// "status=0xFA:0x14@2", "delay=300", "silent:23".
struct FaultRule {
    FaultKind kind = FaultKind::Silent;
    std::uint8_t status = 0;
    std::chrono::milliseconds delay{0};
    std::optional<std::uint8_t> commandId;
    unsigned occurrence = 0;

    // Reads the written form; on failure describes the problem and returns -1.
    static VlrDataTypes::VlrRetVal Parse(const std::wstring& text, FaultRule& rule,
                                         std::wstring& problem);

    // The written form, numbers in canonical notation: "status=0xFA:0x14@2".
    std::wstring ToText() const;

    bool operator==(const FaultRule&) const = default;
};

// "bad-crc" for FaultKind::BadCrc, and so on.
std::wstring FaultKindName(FaultKind kind);
