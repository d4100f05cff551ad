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
    JsonWriter& json = console_.Json();
    json.Key("ports").BeginArray();
    std::optional<std::uint32_t> discovered;
    for (const SerialPortListing& port : ports) {
        const std::optional<std::uint32_t> number = PortDiscovery::DriverPortNumber(port);
        // As in discovery, the last Zavik Driver listed is the one used.
        discovered = number ? number : discovered;
        const std::wstring device = PortDirectory::PathText(port.devicePath);
        json.BeginObject();
        json.Key("name").String(port.name);
        json.Key("device").String(device);
        json.Key("zavikDriver").Boolean(number.has_value());
        json.Key("portNumber");
        number ? json.Unsigned(*number) : json.Null();
        json.EndObject();
        console_.Line(port.name + L"  " + device +
                      (number ? L"  <- Zavik Driver, port " + std::to_wstring(*number) : L""));
    }
    json.EndArray();
    json.Key("discoveredPort");
    discovered ? json.Unsigned(*discovered) : json.Null();
    if (ports.empty()) {
        console_.Line(L"No serial ports found.");
    }
    console_.Line(discovered ? L"Connecting uses port " + std::to_wstring(*discovered) + L"."
                             : L"No Zavik Driver found: connecting uses the port number of the "
                               L"setup and settings files.");
    return ExitCode::kSuccess;
}
