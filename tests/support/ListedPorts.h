#pragma once

#include <string>
#include <utility>
#include <vector>

#include "device/SerialPortLister.h"

// A port list that is whatever the test puts into it, or a failure for the reason it gives.
class ListedPorts final : public SerialPortLister {
  public:
    ListedPorts() = default;
    // Ports of these names, all on /dev/null.
    explicit ListedPorts(const std::vector<std::wstring>& names, std::string failure = "")
        : failure(std::move(failure)) {
        for (const std::wstring& name : names)
            ports.push_back({name, "/dev/null", L""});
    }

    VlrDataTypes::VlrRetVal ListPorts(std::vector<SerialPortListing>& listed,
                                      std::string& reason) const override {
        listed = failure.empty() ? ports : std::vector<SerialPortListing>();
        reason = failure;
        return failure.empty() ? VlrDataTypes::VLR_SUCCESS : VlrDataTypes::VLR_FAILURE;
    }

    std::vector<SerialPortListing> ports;
    std::string failure;
};
