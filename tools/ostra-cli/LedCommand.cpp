#include "ostra-cli/LedCommand.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "app/ApplicationCore.h"
#include "app/DeviceSession.h"
#include "foundation/TextConversion.h"
#include "ostra-cli/Console.h"
#include "ostra-cli/ExitCode.h"
#include "ostra-cli/TextFormat.h"

using VlrDataTypes::VLR_SUCCESS;

namespace {

// The device model takes 32-bit values and reports anything above its limit in its message.
std::uint32_t Clamp32(std::uint64_t value) {
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(value, std::numeric_limits<std::uint32_t>::max()));
}

}  // namespace

CommandOutcome LedCommand::Run() {
    int result = ExitCode::kSuccess;
    switch (context_.options.command) {
        case CliCommand::LedOn:
            result = SwitchOutputs(true);
            break;
        case CliCommand::LedOff:
            result = SwitchOutputs(false);
            break;
        case CliCommand::LedIntensity:
            result = SetIntensity();
            break;
        case CliCommand::LedPulseStart:
            result = StartPulse();
            break;
        default:
            result = StopPulse();
            break;
    }
    ReportLEDs(result == ExitCode::kSuccess);
    return {result, true};
}

// Every label of the options, or every LED when there is none (only "off" allows that).
int LedCommand::FindLEDs(std::vector<int>& indexes) {
    MicroController& device = context_.core.GetMicroController();
    if (context_.options.labels.empty()) {
        for (int index = 0; index < device.GetLEDCount(); ++index) {
            indexes.push_back(index);
        }
        return ExitCode::kSuccess;
    }
    for (const std::string& label : context_.options.labels) {
        const int index = device.FindLEDIndex(NarrowToWide(label));
        if (index < 0) {
            return ExitCode::kValidation;
        }
        indexes.push_back(index);
    }
    return ExitCode::kSuccess;
}

int LedCommand::SwitchOutputs(bool on) {
    std::vector<int> indexes;
    if (const int failed = FindLEDs(indexes); failed != ExitCode::kSuccess) {
        return failed;
    }
    if (const int failed = context_.ConnectDevice(); failed != ExitCode::kSuccess) {
        return failed;
    }
    MicroController& device = context_.core.GetMicroController();
    for (const int index : indexes) {
        const int result = on ? device.TurnLEDOn(index) : device.TurnLEDOff(index);
        if (result != VLR_SUCCESS) {
            return ExitCode::kDevice;
        }
    }
    return ExitCode::kSuccess;
}

// Stored first while disconnected; the connect then sends every stored intensity.
int LedCommand::SetIntensity() {
    const std::wstring label = NarrowToWide(context_.options.labels.front());
    if (context_.core.GetMicroController().SetIntensity(Clamp32(context_.options.intensity),
                                                        label) != VLR_SUCCESS) {
        return ExitCode::kValidation;
    }
    return context_.ConnectDevice();
}

int LedCommand::StartPulse() {
    std::vector<int> indexes;
    if (const int failed = FindLEDs(indexes); failed != ExitCode::kSuccess) {
        return failed;
    }
    if (const int failed = StorePulseParameters(indexes.front()); failed != ExitCode::kSuccess) {
        return failed;
    }
    if (const int failed = context_.ConnectDevice(); failed != ExitCode::kSuccess) {
        return failed;
    }
    return context_.core.GetMicroController().StartPulse(indexes.front()) == VLR_SUCCESS
               ? ExitCode::kSuccess
               : ExitCode::kDevice;
}

// Only the parameters given change; the others keep their stored values.
int LedCommand::StorePulseParameters(int index) {
    const CliOptions& options = context_.options;
    if (!options.widthOn && !options.widthOff && !options.loopCount) {
        return ExitCode::kSuccess;
    }
    MicroController& device = context_.core.GetMicroController();
    LEDRecord led;
    device.GetLEDInfo(index, led);
    PulseParameters pulse = led.pulse;
    pulse.widthOn = options.widthOn.value_or(pulse.widthOn);
    pulse.widthOff = options.widthOff.value_or(pulse.widthOff);
    if (options.loopCount) {
        pulse.loopCount = Clamp32(*options.loopCount);
    }
    return device.SetLEDPulse(led.colorLabel, pulse) == VLR_SUCCESS ? ExitCode::kSuccess
                                                                    : ExitCode::kValidation;
}

int LedCommand::StopPulse() {
    std::vector<int> indexes;
    if (const int failed = FindLEDs(indexes); failed != ExitCode::kSuccess) {
        return failed;
    }
    if (const int failed = context_.ConnectDevice(); failed != ExitCode::kSuccess) {
        return failed;
    }
    return context_.core.GetMicroController().StopPulse(indexes.front()) == VLR_SUCCESS
               ? ExitCode::kSuccess
               : ExitCode::kDevice;
}

// The text line only after success: after a failure the reason on standard error says it all.
void LedCommand::ReportLEDs(bool succeeded) {
    MicroController& device = context_.core.GetMicroController();
    const std::uint16_t mask = device.GetOutputMask();
    nlohmann::ordered_json& json = context_.console.Json();
    json["connected"] = context_.session.IsConnected();
    json["outputMask"] = mask;
    json["leds"] = nlohmann::ordered_json::array();
    std::wstring states;
    for (int index = 0; index < device.GetLEDCount(); ++index) {
        LEDRecord led;
        device.GetLEDInfo(index, led);
        const bool on = ((mask >> led.deviceLedId) & 1u) != 0;
        nlohmann::ordered_json entry;
        entry["label"] = JsonText(led.colorLabel);
        entry["deviceLedId"] = led.deviceLedId;
        entry["on"] = on;
        entry["intensity"] = led.intensity;
        entry["widthOnMs"] = JsonNumber(led.pulse.widthOn);
        entry["widthOffMs"] = JsonNumber(led.pulse.widthOff);
        entry["loopCount"] = led.pulse.loopCount;
        json["leds"].push_back(entry);
        states += (states.empty() ? L"" : L", ") + led.colorLabel + (on ? L" on" : L" off") +
                  L" (intensity " + std::to_wstring(led.intensity) + L")";
    }
    if (succeeded) {
        context_.console.Line(L"Outputs " + TextFormat::HexWord(mask) + L": " + states);
    }
}
