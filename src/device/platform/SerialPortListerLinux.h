#pragma once

#include <filesystem>

#include "device/SerialPortLister.h"

// Serial ports on Linux: every USB tty under <sysfs>/class/tty, named after the USB device's
// product string ("<product> (COMN)" for ttyACMN, "<product> (ttyUSB3)" for others), followed by
// every entry of the port directory, whose file name is its descriptive name.
class SerialPortListerLinux final : public SerialPortLister {
  public:
    SerialPortListerLinux(std::filesystem::path sysfsRoot, std::filesystem::path portDirectory);

    VlrDataTypes::VlrRetVal ListPorts(std::vector<SerialPortListing>& ports,
                                      std::string& reason) const override;

  private:
    VlrDataTypes::VlrRetVal ListUsbTtys(std::vector<SerialPortListing>& ports,
                                        std::string& reason) const;
    VlrDataTypes::VlrRetVal ListPortDirectory(std::vector<SerialPortListing>& ports,
                                              std::string& reason) const;

    std::filesystem::path sysfsRoot_;
    std::filesystem::path portDirectory_;
};
