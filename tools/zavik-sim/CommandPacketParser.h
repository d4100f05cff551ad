#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Splits the byte stream from the PC into command packets, the way the firmware's receive loop
// does it:
// - bytes before an STX are line noise and are dropped;
// - STX, a type byte and a data size start a packet candidate, complete after size + 6 bytes;
// - a complete candidate with the command type, the ETX and a matching checksum is a valid
//   packet and is consumed whole, whatever its size (its payload is never scanned again for
//   packets); a candidate of size 1 or more that fails those checks is an invalid packet, also
//   consumed whole, so that the PC still gets exactly one answer for the packet it sent;
// - a candidate of size 0 is a packet only when its ETX and checksum are right; otherwise its
//   STX is dropped as noise and scanning goes on after it.
class CommandPacketParser {
  public:
    enum class Result { NeedMoreBytes, ValidPacket, InvalidPacket };

    // The size field's range; the largest command carries 22 data bytes.
    static constexpr std::size_t kMaxDataSize = 65535;

    void Append(const std::uint8_t* bytes, std::size_t count);

    // The next complete packet (valid or invalid) in packet, or NeedMoreBytes.
    Result Next(std::vector<std::uint8_t>& packet);

    // Gives up on an incomplete candidate (the line went quiet in the middle of it): its STX is
    // dropped and the bytes after it are scanned again.
    void DropPartialPacket();

    // Bytes received but not yet part of a packet or dropped.
    std::size_t PendingBytes() const { return buffer_.size(); }
    // Every byte dropped as noise so far.
    std::size_t DroppedBytes() const { return dropped_; }

  private:
    void SkipToStx();
    void DropFront(std::size_t count);
    static bool IsWellFormed(const std::vector<std::uint8_t>& packet);

    std::vector<std::uint8_t> buffer_;
    std::size_t dropped_ = 0;
};
