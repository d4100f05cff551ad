#include "ostra-cli/PortsCommand.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "device/PortDirectory.h"
#include "device/PortDiscovery.h"
#include "foundation/TextConversion.h"
#include "ostra-cli/Console.h"
#include "ostra-cli/ExitCode.h"
#include "ostra-cli/StderrDiagnostics.h"

int PortsCommand::Run() {
    std::vector<SerialPortListing> ports;
    std::string reason;
    if (lister_.ListPorts(ports, reason) != VlrDataTypes::VLR_SUCCESS) {
        diagnostics_.ReportError(L"Failed to list serial ports: " + NarrowToWide(reason));
        return ExitCode::kDevice;
    }
    nlohmann::ordered_json& json = console_.Json();
    json["ports"] = nlohmann::ordered_json::array();
    for (const SerialPortListing& port : ports) {
        const std::optional<std::uint32_t> number = PortDiscovery::DriverPortNumber(port);
        const std::wstring device = PortDirectory::PathText(port.devicePath);
        nlohmann::ordered_json listed;
        listed["name"] = JsonText(port.name);
        listed["device"] = JsonText(device);
        listed["zavikDriver"] = number.has_value();
        listed["portNumber"] = number ? nlohmann::ordered_json(*number) : nullptr;
        listed["unusable"] = port.unusable.empty() ? nullptr : JsonText(port.unusable);
        json["ports"].push_back(listed);
        std::wstring mark;
        if (number) {
            mark = port.unusable.empty() ? L"  <- Zavik Driver, port " + std::to_wstring(*number)
                                         : L"  (skipped: " + port.unusable + L")";
        }
        console_.Line(port.name + L"  " + device + mark);
    }
    const std::optional<PortDiscovery::DriverPort> found = PortDiscovery::FindDriver(ports);
    const std::optional<std::uint32_t> discovered =
        found ? std::optional<std::uint32_t>(found->portNumber) : std::nullopt;
    json["discoveredPort"] = discovered ? nlohmann::ordered_json(*discovered) : nullptr;
    json["discoveredDevice"] =
        found ? JsonText(PortDirectory::PathText(found->devicePath)) : nullptr;
    if (ports.empty()) {
        console_.Line(L"No serial ports found.");
    }
    console_.Line(discovered ? L"Connecting uses port " + std::to_wstring(*discovered) + L"."
                             : L"No Zavik Driver found: connecting uses the port number of the "
                               L"setup and settings files.");
    return ExitCode::kSuccess;
}
