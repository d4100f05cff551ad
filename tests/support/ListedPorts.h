#pragma once

#include <string>
#include <vector>

#include "device/SerialPortLister.h"

// A port list that is whatever the test puts into it.
class ListedPorts final : public SerialPortLister {
  public:
    VlrDataTypes::VlrRetVal ListPorts(std::vector<SerialPortListing>& listed,
                                      std::string& /*reason*/) const override {
        listed = ports;
        return VlrDataTypes::VLR_SUCCESS;
    }

    std::vector<SerialPortListing> ports;
};
