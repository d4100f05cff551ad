#include "ostra-cli/CommandContext.h"

#include "app/ApplicationCore.h"
#include "app/DeviceSession.h"
#include "ostra-cli/Console.h"
#include "ostra-cli/ExitCode.h"
#include "ostra-cli/StderrDiagnostics.h"

int CommandContext::ConnectDevice() {
    if (session.Connect() == VlrDataTypes::VLR_SUCCESS) {
        return ExitCode::kSuccess;
    }
    if (!session.LastError().empty()) {
        diagnostics.ReportError(session.LastError());
    }
    return ExitCode::kDevice;
}

int CommandContext::RequireSequence(std::uint32_t number) {
    SequenceContainer& sequences = core.GetSequenceContainer();
    if (sequences.ValidateSequenceNumber(number) != VlrDataTypes::VLR_SUCCESS) {
        return ExitCode::kValidation;
    }
    if (sequences.GetSequenceName(number).empty()) {
        diagnostics.ReportError(L"Sequence " + std::to_wstring(number) + L" is not defined.");
        return ExitCode::kValidation;
    }
    return ExitCode::kSuccess;
}

std::wstring CommandContext::SequenceTitle(std::uint32_t number) {
    return std::to_wstring(number) + L" (" + core.GetSequenceContainer().GetSequenceName(number) +
           L")";
}

void CommandContext::ReportConnection() {
    MicroController& device = core.GetMicroController();
    const std::wstring portName = device.GetConnection().Port().Name();
    console.Json()["port"] = device.GetPortNumber();
    console.Json()["portName"] = JsonText(portName);
    console.Line(L"Connected to the Zavik Driver on " + portName + L".");
}
