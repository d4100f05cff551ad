#pragma once

#include <cstddef>
#include <cstdint>

// Framing of the packets exchanged with the Zavik Driver, shared by the link and the emulator.
namespace PacketConstants {

inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kEtx = 0x03;
inline constexpr std::uint8_t kTypeCommand = 0x01;
inline constexpr std::uint8_t kTypeResponse = 0x02;
inline constexpr std::size_t kHeaderSize = 4;
inline constexpr std::size_t kFooterSize = 2;
inline constexpr std::uint16_t kMaxResponseDataSize = 1028;

// The 8-bit longitudinal XOR checksum: 0 XORed with every byte in order.
inline std::uint8_t XorChecksum(const std::uint8_t* bytes, std::size_t count,
                                std::uint8_t seed = 0) {
    std::uint8_t sum = seed;
    for (std::size_t i = 0; i < count; ++i) {
        sum = static_cast<std::uint8_t>(sum ^ bytes[i]);
    }
    return sum;
}

}  // namespace PacketConstants

// Command IDs the system sends (first payload byte).
namespace DeviceCommand {

inline constexpr std::uint8_t GetFirmwareVersion = 0x01;
inline constexpr std::uint8_t SetLEDOutputs = 0x0A;
inline constexpr std::uint8_t SetLEDIntensity = 0x0B;
inline constexpr std::uint8_t StartSequence = 0x14;
inline constexpr std::uint8_t BeginSequenceUpload = 0x15;
inline constexpr std::uint8_t SetSequenceCommandCount = 0x16;
inline constexpr std::uint8_t SetSequenceScriptCommand = 0x17;
inline constexpr std::uint8_t EndSequenceUpload = 0x18;
inline constexpr std::uint8_t StopSequence = 0x19;
inline constexpr std::uint8_t SetLEDPulseTrain = 0x1E;

}  // namespace DeviceCommand

// Status codes in byte 1 of a response's data section.
namespace DeviceStatus {

inline constexpr std::uint8_t Success = 0;
inline constexpr std::uint8_t SequenceInProgress = 0xFA;
inline constexpr std::uint8_t SequenceAlreadyExists = 0xFB;
inline constexpr std::uint8_t SequenceNotFound = 0xFC;
inline constexpr std::uint8_t InvalidParameter = 0xFD;
inline constexpr std::uint8_t UnrecognizedCommand = 0xFE;
inline constexpr std::uint8_t GeneralFailure = 0xFF;

}  // namespace DeviceStatus
