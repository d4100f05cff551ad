#include "device/PortDiscovery.h"

#include <climits>
#include <optional>
#include <string>
#include <vector>

#include "foundation/LogFile.h"
#include "foundation/TextConversion.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

constexpr wchar_t kDeviceName[] = L"Zavik Driver Virtual Com Port";
constexpr wchar_t kNumberPrefix[] = L"COM";
constexpr wchar_t kNumberTerminator[] = L")";

// A decimal number of digits only that a port can have (the port opens an int); none for
// anything else.
std::optional<std::uint32_t> DecimalNumber(const std::wstring& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const wchar_t c : text) {
        if (c < L'0' || c > L'9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - L'0');
        if (value > INT_MAX) {
            return std::nullopt;
        }
    }
    return static_cast<std::uint32_t>(value);
}

// The number between the first "COM" and the first ")" of a device's port name; none for a name
// of another device or without a number there.
std::optional<std::uint32_t> PortNumberOf(const std::wstring& name) {
    if (name.find(kDeviceName) == std::wstring::npos) {
        return std::nullopt;
    }
    const std::size_t prefix = name.find(kNumberPrefix);
    const std::size_t terminator = name.find(kNumberTerminator);
    if (prefix == std::wstring::npos || terminator == std::wstring::npos) {
        return std::nullopt;
    }
    const std::size_t numberStart = prefix + std::wstring(kNumberPrefix).size();
    if (terminator < numberStart) {
        return std::nullopt;
    }
    return DecimalNumber(name.substr(numberStart, terminator - numberStart));
}

void LogError(LogFile* log, const std::wstring& message) {
    if (log != nullptr) {
        log->WriteMessage(LogLevel::Error, message);
    }
}

VlrRetVal LogFailure(LogFile* log) {
    LogError(log,
             L"Error retrieving Zavik Driver device information.  Unable to determine port "
             L"number for device.");
    return VLR_FAILURE;
}

}  // namespace

namespace PortDiscovery {

std::optional<std::uint32_t> DriverPortNumber(const SerialPortListing& port) {
    return PortNumberOf(port.name);
}

std::optional<DriverPort> FindDriver(const std::vector<SerialPortListing>& ports) {
    std::optional<DriverPort> found;
    for (const SerialPortListing& port : ports) {
        const std::optional<std::uint32_t> number = DriverPortNumber(port);
        // Every usable match replaces the one before: the last one wins.
        if (number && port.unusable.empty()) {
            found = DriverPort{*number, port.devicePath};
        }
    }
    return found;
}

VlrRetVal DiscoverPort(const SerialPortLister& lister, DriverPort& port, LogFile* log) {
    std::vector<SerialPortListing> ports;
    std::string reason;
    if (lister.ListPorts(ports, reason) != VLR_SUCCESS) {
        LogError(log, L"Failed to list serial ports: " + NarrowToWide(reason));
        return LogFailure(log);
    }
    const std::optional<DriverPort> found = FindDriver(ports);
    if (!found) {
        return LogFailure(log);
    }
    port = *found;
    return VLR_SUCCESS;
}

}  // namespace PortDiscovery
