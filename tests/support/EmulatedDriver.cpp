#include "support/EmulatedDriver.h"

EmulatedDriver::EmulatedDriver(const std::filesystem::path& portDirectory, int portNumber)
    : portDirectoryVariable_("OSTRA_PORT_DIR", portDirectory.string()) {
    config_.portDirectory = portDirectory;
    config_.portNumber = portNumber;
    // Device time moves only when a test advances it, however slowly the machine runs.
    config_.manualClock = true;
}

VlrDataTypes::VlrRetVal EmulatedDriver::Start() {
    simulator_ = std::make_unique<ZavikSimulator>(config_);
    handled_ = 0;
    return simulator_->Start();
}

std::vector<Bytes> EmulatedDriver::Received() const {
    std::vector<Bytes> packets;
    for (const PacketRecord& record : simulator_->Packets())
        if (record.number > handled_)
            packets.push_back(record.received);
    return packets;
}

std::vector<std::uint8_t> EmulatedDriver::CommandIds() const {
    std::vector<std::uint8_t> ids;
    for (const Bytes& packet : Received())
        ids.push_back(packet.at(4));
    return ids;
}
