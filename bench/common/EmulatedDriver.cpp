#include "common/EmulatedDriver.h"

#include <cstdlib>

EmulatedDriver::EmulatedDriver(int portNumber) : portNumber_(portNumber) {
    SimulatorConfig config;
    config.portNumber = portNumber;
    config.portDirectory = ports_.Path();
    simulator_ = std::make_unique<ZavikSimulator>(config);
}

EmulatedDriver::~EmulatedDriver() {
    simulator_->Stop();
    unsetenv("OSTRA_PORT_DIR");
}

VlrDataTypes::VlrRetVal EmulatedDriver::Start() {
    setenv("OSTRA_PORT_DIR", ports_.Path().c_str(), 1);
    return simulator_->Start();
}
