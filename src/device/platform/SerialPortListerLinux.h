#pragma once

#include <filesystem>

#include "device/PortDirectory.h"
#include "device/SerialPortLister.h"

// Serial ports on Linux: every USB tty under <sysfs>/class/tty, named after the USB device's
// product string ("<product> (COMN)" for ttyACMN, "<product> (ttyUSB3)" for others), followed by
// every entry of the port directory that the user made, whose file name is its descriptive name
// (an entry that leads to no terminal device is listed with the reason, and never chosen).
// A port directory that another user could change fails the listing with the reason.
class SerialPortListerLinux final : public SerialPortLister {
  public:
    SerialPortListerLinux(std::filesystem::path sysfsRoot, PortDirectory::Place portDirectory);

    VlrDataTypes::VlrRetVal ListPorts(std::vector<SerialPortListing>& ports,
                                      std::string& reason) const override;

  private:
    VlrDataTypes::VlrRetVal ListUsbTtys(std::vector<SerialPortListing>& ports,
                                        std::string& reason) const;
    VlrDataTypes::VlrRetVal ListPortDirectory(std::vector<SerialPortListing>& ports,
                                              std::string& reason) const;

    std::filesystem::path sysfsRoot_;
    PortDirectory::Place portDirectory_;
};
