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

// An emulated Zavik Driver registered under a port number in a private port directory. While
// the object lives OSTRA_PORT_DIR names that directory, so the serial port finds the driver by
// its number as it would find the real one.
class EmulatedDriver {
  public:
    EmulatedDriver(const std::filesystem::path& portDirectory, int portNumber);

    // How the next Start() sets the emulator up; directory and number are already filled in.
    SimulatorConfig& Config() { return config_; }
    // Plugs the driver in (again, after Unplug()).
    VlrDataTypes::VlrRetVal Start();
    // Stops the emulator and removes its registration, as pulling the plug does.
    void Unplug();

    // The running emulator, for faults and its state.
    ZavikSimulator* operator->() const { return simulator_.get(); }

    // Later calls of Received() and CommandIds() show only what follows.
    void MarkHandled();
    // The packets received since the mark, byte for byte. Transactions are synchronous, so
    // everything sent has been handled when an operation returns.
    std::vector<Bytes> Received() const;
    std::vector<std::uint8_t> CommandIds() const;

    // The driver as the system's port list shows it.
    SerialPortListing Listing() const;

  private:
    ScopedEnvironmentVariable portDirectoryVariable_;
    SimulatorConfig config_;
    std::unique_ptr<ZavikSimulator> simulator_;
    std::size_t handled_ = 0;
};
