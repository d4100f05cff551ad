#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "device/SerialPortLister.h"
#include "foundation/VlrDataTypes.h"
#include "support/HexBytes.h"
#include "support/ScopedEnvironmentVariable.h"
#include "zavik-sim/ZavikSimulator.h"

// An emulated Zavik Driver registered in a port directory that OSTRA_PORT_DIR names meanwhile.
class EmulatedDriver {
  public:
    EmulatedDriver(const std::filesystem::path& portDirectory, int portNumber);

    // How the next Start() sets the emulator up; directory and number are already filled in.
    SimulatorConfig& Config() { return config_; }
    // Plugs the driver in (again, after Unplug()).
    VlrDataTypes::VlrRetVal Start();
    // Stops the emulator and removes its registration, as pulling the plug does.
    void Unplug() { simulator_.reset(); }

    // The running emulator, for faults and its state.
    ZavikSimulator* operator->() const { return simulator_.get(); }

    // Later calls of Received() and CommandIds() show only what follows.
    void MarkHandled() { handled_ = simulator_->PacketCount(); }
    // The packets received since the mark (transactions are synchronous).
    std::vector<Bytes> Received() const;
    std::vector<std::uint8_t> CommandIds() const;

    // The driver as the system's port list shows it.
    SerialPortListing Listing() const {
        return {simulator_->PortName(), simulator_->RegisteredPath(), L""};
    }

  private:
    ScopedEnvironmentVariable portDirectoryVariable_;
    SimulatorConfig config_;
    std::unique_ptr<ZavikSimulator> simulator_;
    std::size_t handled_ = 0;
};
