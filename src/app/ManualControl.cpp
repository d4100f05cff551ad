#include "app/ManualControl.h"

#include <string>

#include "device/MicroController.h"
#include "foundation/LogFile.h"

using VlrDataTypes::VLR_SUCCESS;

template <typename Operation>
OperationResult ManualControl::Run(Operation operation) {
    const std::uint64_t errorsBefore = log_ != nullptr ? log_->GetErrorCount() : 0;
    if (operation() == VLR_SUCCESS) {
        return OperationResult::Success();
    }
    // The model composed its message even where it logged nothing of its own.
    std::wstring reason = device_.GetMessageText();
    if (log_ != nullptr && log_->GetErrorCount() != errorsBefore) {
        reason = log_->GetLastError();
    }
    return OperationResult::Failure(reason);
}

OperationResult ManualControl::SetIntensity(int index, std::uint32_t value) {
    return Run([&] {
        LEDRecord led;
        return device_.GetLEDInfo(index, led) == VLR_SUCCESS
                   ? device_.SetIntensity(value, led.colorLabel)
                   : VlrDataTypes::VLR_FAILURE;
    });
}

OperationResult ManualControl::SetPulse(int index, const PulseParameters& pulse) {
    return Run([&] {
        LEDRecord led;
        return device_.GetLEDInfo(index, led) == VLR_SUCCESS
                   ? device_.SetLEDPulse(led.colorLabel, pulse)
                   : VlrDataTypes::VLR_FAILURE;
    });
}

OperationResult ManualControl::SwitchLED(int index, bool on) {
    return Run([&] { return on ? device_.TurnLEDOn(index) : device_.TurnLEDOff(index); });
}

OperationResult ManualControl::StartPulse(int index) {
    return Run([&] { return device_.StartPulse(index); });
}

OperationResult ManualControl::StopPulse(int index) {
    return Run([&] { return device_.StopPulse(index); });
}

OperationResult ManualControl::SendIntensitiesAndSwitchAllOff() {
    return Run([&] {
        if (device_.SendAllIntensities() != VLR_SUCCESS) {
            return VlrDataTypes::VLR_FAILURE;
        }
        // Each LED is tried, so a disconnected device logs one refusal per LED.
        VlrDataTypes::VlrRetVal result = VLR_SUCCESS;
        for (int index = 0; index < device_.GetLEDCount(); ++index) {
            if (device_.TurnLEDOff(index) != VLR_SUCCESS) {
                result = VlrDataTypes::VLR_FAILURE;
            }
        }
        return result;
    });
}
