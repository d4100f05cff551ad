#pragma once

#include <cstdint>
#include <optional>

#include "device/SerialPortLister.h"
#include "foundation/VlrDataTypes.h"

class LogFile;

// Finds the LED driver's port number among the listed serial ports: the port whose name
// contains "Zavik Driver Virtual Com Port" and ends in a port name such as "(COM7)".
namespace PortDiscovery {

// The port number of a listed port that is the Zavik Driver; none for any other port.
std::optional<std::uint32_t> DriverPortNumber(const SerialPortListing& port);

// On success stores the number of the last matching port in portNumber and returns 0. When no
// port matches, or the ports cannot be listed (the reason is logged too), logs the failure and
// returns -1 with portNumber unchanged.
VlrDataTypes::VlrRetVal DiscoverPortNumber(const SerialPortLister& lister,
                                           std::uint32_t& portNumber, LogFile* log);

}  // namespace PortDiscovery
