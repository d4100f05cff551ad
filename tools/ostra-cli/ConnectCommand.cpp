#include "ostra-cli/ConnectCommand.h"

#include <string>

#include "app/ApplicationCore.h"
#include "ostra-cli/Console.h"
#include "ostra-cli/ExitCode.h"

CommandOutcome ConnectCommand::Run() {
    if (const int failed = context_.ConnectDevice(); failed != ExitCode::kSuccess) {
        return {failed, true};
    }
    context_.ReportConnection();
    MicroController& device = context_.core.GetMicroController();
    const std::wstring firmware = device.GetConnection().FirmwareVersion();
    nlohmann::ordered_json& json = context_.console.Json();
    json["firmware"] = JsonText(firmware);
    context_.console.Line(L"Firmware version: " + firmware);
    json["intensities"] = nlohmann::ordered_json::array();
    std::wstring sent;
    for (int index = 0; index < device.GetLEDCount(); ++index) {
        LEDRecord led;
        device.GetLEDInfo(index, led);
        json["intensities"].push_back(
            {{"label", JsonText(led.colorLabel)}, {"intensity", led.intensity}});
        sent +=
            (sent.empty() ? L"" : L", ") + led.colorLabel + L" " + std::to_wstring(led.intensity);
    }
    context_.console.Line(L"Intensities sent: " + (sent.empty() ? L"(no LEDs)" : sent));
    return {ExitCode::kSuccess, true};
}
