#pragma once

#include <memory>

#include "common/ScratchDirectory.h"
#include "foundation/VlrDataTypes.h"
#include "zavik-sim/ZavikSimulator.h"

// The emulated Zavik Driver running in this process, registered under a port number in a
// private port directory (OSTRA_PORT_DIR points there while the object lives), so the system
// finds it by number exactly as it finds a real device.
class EmulatedDriver {
  public:
    explicit EmulatedDriver(int portNumber);
    ~EmulatedDriver();
    EmulatedDriver(const EmulatedDriver&) = delete;
    EmulatedDriver& operator=(const EmulatedDriver&) = delete;

    VlrDataTypes::VlrRetVal Start();
    int PortNumber() const { return portNumber_; }
    ZavikSimulator& Simulator() { return *simulator_; }

  private:
    int portNumber_;
    ScratchDirectory ports_;
    std::unique_ptr<ZavikSimulator> simulator_;
};
