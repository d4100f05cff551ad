#include "support/ListedPorts.h"

VlrDataTypes::VlrRetVal ListedPorts::ListPorts(std::vector<SerialPortListing>& listed,
                                               std::string& /*reason*/) const {
    listed = ports;
    return VlrDataTypes::VLR_SUCCESS;
}
