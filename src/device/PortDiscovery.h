#pragma once

#include <cstdint>

#include "device/SerialPortLister.h"
#include "foundation/VlrDataTypes.h"

class LogFile;

// Finds the LED driver's port number among the listed serial ports: the port whose name
// contains "Zavik Driver Virtual Com Port" and ends in a port name such as "(COM7)".
namespace PortDiscovery {

// On success stores the number of the last matching port in portNumber and returns 0. When no
// port matches, or the ports cannot be listed (which is also printed on standard output),
// logs the failure and returns -1 with portNumber unchanged.
VlrDataTypes::VlrRetVal DiscoverPortNumber(const SerialPortLister& lister,
                                           std::uint32_t& portNumber, LogFile* log);

}  // namespace PortDiscovery
