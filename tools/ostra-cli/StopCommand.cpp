#include "ostra-cli/StopCommand.h"

#include "app/ApplicationCore.h"
#include "ostra-cli/Console.h"
#include "ostra-cli/ExitCode.h"
#include "ostra-cli/TextFormat.h"

CommandOutcome StopCommand::Run() {
    if (const int failed = context_.ConnectDevice(); failed != ExitCode::kSuccess) {
        return {failed, true};
    }
    MicroController& device = context_.core.GetMicroController();
    const bool stopped = device.StopSequenceExecution() == VlrDataTypes::VLR_SUCCESS;
    context_.console.Json().Key("stopped").Boolean(stopped);
    context_.console.Json().Key("outputMask").Unsigned(device.GetOutputMask());
    if (!stopped) {
        return {ExitCode::kDevice, true};
    }
    context_.console.Line(L"Sequence execution stopped; every LED is off (outputs " +
                          TextFormat::HexWord(device.GetOutputMask()) + L").");
    return {ExitCode::kSuccess, true};
}
