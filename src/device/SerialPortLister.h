#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "foundation/VlrDataTypes.h"

// One serial port as the system lists it: the descriptive name that identifies the device
// (e.g. "Zavik Driver Virtual Com Port (COM7)") and the tty it stands for.
struct SerialPortListing {
    std::wstring name;
    std::filesystem::path devicePath;
    // Why the entry cannot be a device ("points at nothing", ...); empty when it may be one.
    std::wstring unusable;
};

// Lists the machine's serial ports with descriptive names; each platform supplies one.
class SerialPortLister {
  public:
    virtual ~SerialPortLister() = default;

    // Replaces the ports with the current list in a fixed order. On failure returns -1 and
    // says why in reason (the caller decides where that goes).
    virtual VlrDataTypes::VlrRetVal ListPorts(std::vector<SerialPortListing>& ports,
                                              std::string& reason) const = 0;
};

// The lister of the platform the program runs on, looking at the real system.
std::unique_ptr<SerialPortLister> CreatePlatformSerialPortLister();
