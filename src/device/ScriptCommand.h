#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// Op codes of the device's script commands. LoopStart only lives in working records: loop
// pairing folds it into the matching EndLoop before anything is uploaded.
namespace ScriptOpCode {

inline constexpr std::uint8_t WaitSteps = 0x00;
inline constexpr std::uint8_t SetOutputs = 0x01;
inline constexpr std::uint8_t CallSequence = 0x05;
inline constexpr std::uint8_t EndLoop = 0x06;
inline constexpr std::uint8_t SetTTLOutputs = 0x07;
inline constexpr std::uint8_t LoopStart = 0x08;
inline constexpr std::uint8_t SetIntensity1 = 0x0A;
inline constexpr std::uint8_t SetIntensity2 = 0x0B;
inline constexpr std::uint8_t SetIntensity3 = 0x0C;
inline constexpr std::uint8_t EndOfSequence = 0xFF;

}  // namespace ScriptOpCode

// One script command while a sequence is converted: every field any op code may use. Only the
// fields of its op code reach the device; Serialize writes them into the fixed 10-byte form.
struct ScriptCommand {
    static constexpr std::size_t kSize = 10;
    using Bytes = std::array<std::uint8_t, kSize>;

    std::uint8_t opCode = ScriptOpCode::WaitSteps;
    // LED masks: bit n is the LED with device LED ID n.
    std::uint16_t ledValueMask = 0;
    std::uint16_t ledChangeMask = 0;
    // TTL masks: bit n is TTL output n.
    std::uint8_t ttlValueMask = 0;
    std::uint8_t ttlChangeMask = 0;
    std::uint64_t waitSteps = 0;
    std::uint8_t calledSequence = 0;
    std::uint32_t jumpTargetIndex = 0;
    std::uint32_t loopCount = 0;
    std::uint8_t intensity = 0;

    // Little-endian, unused bytes 0. An op code without a layout carries nothing but itself.
    Bytes Serialize() const;
    // The fields of the op code read back from kSize bytes; bytes the layout leaves unused are
    // ignored.
    static ScriptCommand Parse(const std::uint8_t* bytes);
};
