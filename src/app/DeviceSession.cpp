#include "app/DeviceSession.h"

#include <cstdint>
#include <filesystem>
#include <string>

#include "app/RememberedOutputs.h"
#include "app/platform/Paths.h"
#include "device/MicroController.h"
#include "device/PortDirectory.h"
#include "device/PortDiscovery.h"
#include "foundation/LogFile.h"
#include "foundation/Notifier.h"

using VlrDataTypes::VLR_FAILURE;
using VlrDataTypes::VLR_SUCCESS;
using VlrDataTypes::VlrRetVal;

namespace {

const std::wstring kConnectionErrorCaption = L"Zavik Driver Connection Error";
const std::wstring kConnectionErrorText =
    L"Unable to connect to Zavik Driver.  Please verify the port number is valid and that the "
    L"device is connected to the PC.";

std::wstring PortInUseText(int portNumber, const std::filesystem::path& devicePath) {
    return L"The port COM" + std::to_wstring(portNumber) + L" (" +
           PortDirectory::PathText(devicePath) + L") is in use by another program.";
}

}  // namespace

DeviceSession::DeviceSession(MicroController& device, const SerialPortLister& lister,
                             Notifier& notifier, LogFile* log)
    : device_(device), lister_(lister), notifier_(notifier), log_(log) {}

VlrRetVal DeviceSession::Connect() {
    if (IsConnected()) {
        return VLR_SUCCESS;
    }
    lastError_.clear();
    // A device it finds replaces the port number and is opened where it was found; otherwise
    // the number stands and names its tty.
    PortDiscovery::DriverPort found;
    if (PortDiscovery::DiscoverPort(lister_, found, log_) == VLR_SUCCESS) {
        device_.SetPortNumber(found.portNumber);
    } else {
        found.devicePath =
            PortDirectory::DevicePathForPort(static_cast<int>(device_.GetPortNumber()));
    }
    MicroControllerConnection& connection = device_.GetConnection();
    const int number = static_cast<int>(device_.GetPortNumber());
    if (connection.Connect(number, found.devicePath) != VLR_SUCCESS) {
        if (connection.Port().LastOpenFoundPortInUse()) {
            lastError_ = PortInUseText(number, found.devicePath);
        }
        // The fix follows the box's own text, so the operator can copy the command.
        notifier_.ShowMessageBox(
            kConnectionErrorCaption,
            connection.Port().LastOpenLackedPermission()
                ? kConnectionErrorText + L"\n\n" + Paths::PortPermissionAdvice(found.devicePath)
                : kConnectionErrorText);
        return VLR_FAILURE;
    }
    if (outputs_ != nullptr) {
        outputs_->Recall(device_);
    }
    return device_.SendAllIntensities();
}

void DeviceSession::Disconnect() {
    if (IsConnected()) {
        if (outputs_ != nullptr && !outputs_->Record(device_) && log_ != nullptr) {
            log_->WriteMessage(LogLevel::Warning,
                               L"The LED outputs of this port could not be remembered: the next "
                               L"command will believe them all off.");
        }
        device_.GetConnection().Disconnect();
    }
}

OperationResult DeviceSession::StopAndDisconnect() {
    if (!IsConnected()) {
        return OperationResult::Success();
    }
    const OperationResult stopped =
        Stop(false, L"The device could not be stopped before the port was closed.");
    Disconnect();
    return stopped;
}

OperationResult DeviceSession::StopAll() {
    return Stop(true, L"The device could not be stopped.");
}

// Each stop is tried even after another failed: the device should end as quiet as it can.
OperationResult DeviceSession::Stop(bool always, const std::wstring& fallback) {
    const std::uint64_t errorsBefore = log_ != nullptr ? log_->GetErrorCount() : 0;
    bool stopped = true;
    bool anyPulse = false;
    for (int index = 0; index < device_.GetLEDCount(); ++index) {
        if (device_.IsPulsing(index)) {
            anyPulse = true;
            stopped = device_.StopPulse(index) == VlrDataTypes::VLR_SUCCESS && stopped;
        }
    }
    if (always || device_.HasStartedSequence() || anyPulse) {
        stopped = device_.StopSequenceExecution() == VlrDataTypes::VLR_SUCCESS && stopped;
    }
    if (stopped) {
        return OperationResult::Success();
    }
    return OperationResult::Failure(
        log_ != nullptr && log_->GetErrorCount() > errorsBefore ? log_->GetLastError() : fallback);
}

bool DeviceSession::CloseIfHungUp() {
    SerialPort& port = device_.GetConnection().Port();
    if (!port.HasHungUp()) {
        return false;
    }
    const std::wstring name = port.Name();
    device_.GetConnection().Disconnect();
    if (log_ != nullptr) {
        log_->WriteMessage(LogLevel::Error, L"The Zavik Driver on " + name +
                                                L" hung up (unplugged?); the connection is "
                                                L"closed.");
    }
    return true;
}

std::wstring DeviceSession::PortName() const {
    return device_.GetConnection().Port().Name();
}

std::wstring DeviceSession::FirmwareVersion() const {
    return device_.GetConnection().FirmwareVersion();
}

bool DeviceSession::IsSimulated() const {
    return IsConnected() &&
           PortDirectory::IsEmulatorEntry(device_.GetConnection().Port().DevicePath());
}

bool DeviceSession::IsConnected() const {
    return device_.GetConnection().IsConnected();
}
