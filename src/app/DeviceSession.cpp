#include "app/DeviceSession.h"

#include <cstdint>
#include <string>

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

std::wstring PortInUseText(int portNumber) {
    return L"The port COM" + std::to_wstring(portNumber) + L" (" +
           PortDirectory::PathText(PortDirectory::DevicePathForPort(portNumber)) +
           L") is in use by another program.";
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
    // Its result does not matter: a device it finds has already replaced the port number.
    std::uint32_t portNumber = device_.GetPortNumber();
    if (PortDiscovery::DiscoverPortNumber(lister_, portNumber, log_) == VLR_SUCCESS) {
        device_.SetPortNumber(portNumber);
    }
    MicroControllerConnection& connection = device_.GetConnection();
    const int number = static_cast<int>(device_.GetPortNumber());
    if (connection.Connect(number) != VLR_SUCCESS) {
        if (connection.Port().LastOpenFoundPortInUse()) {
            lastError_ = PortInUseText(number);
        }
        notifier_.ShowMessageBox(kConnectionErrorCaption, kConnectionErrorText);
        return VLR_FAILURE;
    }
    return device_.SendAllIntensities();
}

void DeviceSession::Disconnect() {
    if (IsConnected()) {
        device_.GetConnection().Disconnect();
    }
}

OperationResult DeviceSession::StopAndDisconnect() {
    if (!IsConnected()) {
        return OperationResult::Success();
    }
    const std::uint64_t errorsBefore = log_ != nullptr ? log_->GetErrorCount() : 0;
    bool stopped = true;
    bool anyPulse = false;
    for (int index = 0; index < device_.GetLEDCount(); ++index) {
        if (device_.IsPulsing(index)) {
            anyPulse = true;
            stopped = device_.StopPulse(index) == VlrDataTypes::VLR_SUCCESS && stopped;
        }
    }
    if (device_.HasStartedSequence() || anyPulse) {
        stopped = device_.StopSequenceExecution() == VlrDataTypes::VLR_SUCCESS && stopped;
    }
    Disconnect();
    if (stopped) {
        return OperationResult::Success();
    }
    return OperationResult::Failure(
        log_ != nullptr && log_->GetErrorCount() > errorsBefore
            ? log_->GetLastError()
            : L"The device could not be stopped before the port was closed.");
}

bool DeviceSession::IsConnected() const {
    return device_.GetConnection().IsConnected();
}
