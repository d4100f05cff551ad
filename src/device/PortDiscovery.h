#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <vector>

#include "device/SerialPortLister.h"
#include "foundation/VlrDataTypes.h"

class LogFile;

// Finds the LED driver's port among the listed serial ports: the port whose name contains
// "Zavik Driver Virtual Com Port" and ends in a port name such as "(COM7)".
namespace PortDiscovery {

// The port number of a listed port that is the Zavik Driver (a number a port can have); none for
// any other port.
std::optional<std::uint32_t> DriverPortNumber(const SerialPortListing& port);

// The driver as discovery found it: its number and the tty to open, which is the listed one,
// not whatever else the number may name.
struct DriverPort {
    std::uint32_t portNumber = 0;
    std::filesystem::path devicePath;
};

// The last usable listed port that is the Zavik Driver; none when there is none.
std::optional<DriverPort> FindDriver(const std::vector<SerialPortListing>& ports);

// On success stores the port FindDriver chose and returns 0. When no port matches, or the ports
// cannot be listed (the reason is logged too), logs the failure and returns -1 with port
// unchanged.
VlrDataTypes::VlrRetVal DiscoverPort(const SerialPortLister& lister, DriverPort& port,
                                     LogFile* log);

}  // namespace PortDiscovery
