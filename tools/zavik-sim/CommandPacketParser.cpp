#include "zavik-sim/CommandPacketParser.h"

#include <algorithm>

#include "device/ByteOrder.h"
#include "device/PacketConstants.h"

using namespace PacketConstants;

void CommandPacketParser::Append(const std::uint8_t* bytes, std::size_t count) {
    buffer_.insert(buffer_.end(), bytes, bytes + count);
}

CommandPacketParser::Result CommandPacketParser::Next(std::vector<std::uint8_t>& packet) {
    for (;;) {
        SkipToStx();
        if (buffer_.size() < kHeaderSize) {
            return Result::NeedMoreBytes;
        }
        const std::size_t dataSize = ByteOrder::ReadU16(&buffer_[2]);
        const std::size_t total = kHeaderSize + dataSize + kFooterSize;
        if (buffer_.size() < total) {
            return Result::NeedMoreBytes;
        }
        packet.assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(total));
        const bool wellFormed = IsWellFormed(packet);
        if (dataSize == 0 && !wellFormed) {
            DropFront(1);
            continue;
        }
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(total));
        return wellFormed ? Result::ValidPacket : Result::InvalidPacket;
    }
}

void CommandPacketParser::DropPartialPacket() {
    SkipToStx();
    if (!buffer_.empty()) {
        DropFront(1);
    }
}

void CommandPacketParser::SkipToStx() {
    const auto stx = std::find(buffer_.begin(), buffer_.end(), kStx);
    DropFront(static_cast<std::size_t>(stx - buffer_.begin()));
}

void CommandPacketParser::DropFront(std::size_t count) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(count));
    dropped_ += count;
}

bool CommandPacketParser::IsWellFormed(const std::vector<std::uint8_t>& packet) {
    const std::size_t crcAt = packet.size() - 1;
    return packet[1] == kTypeCommand && packet[crcAt - 1] == kEtx &&
           XorChecksum(packet.data(), crcAt) == packet[crcAt];
}
