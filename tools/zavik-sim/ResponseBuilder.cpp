#include "zavik-sim/ResponseBuilder.h"

#include "device/ByteOrder.h"
#include "device/PacketConstants.h"

using namespace PacketConstants;

std::vector<std::uint8_t> ResponseBuilder::Frame(const Answer& answer) {
    const std::size_t dataSize = 2 + answer.result.size();
    std::vector<std::uint8_t> packet(kHeaderSize + dataSize + kFooterSize);
    packet[0] = kStx;
    packet[1] = kTypeResponse;
    ByteOrder::WriteU16(&packet[2], static_cast<std::uint16_t>(dataSize));
    packet[4] = answer.commandId;
    packet[5] = answer.status;
    std::copy(answer.result.begin(), answer.result.end(), packet.begin() + 6);
    packet[packet.size() - 2] = kEtx;
    UpdateChecksum(packet);
    return packet;
}

void ResponseBuilder::UpdateChecksum(std::vector<std::uint8_t>& packet) {
    if (packet.empty()) {
        return;
    }
    packet.back() = XorChecksum(packet.data(), packet.size() - 1);
}
