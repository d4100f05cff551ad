#include "ostra-cli/StopCommand.h"

#include "app/ApplicationCore.h"
#include "ostra-cli/Console.h"
#include "ostra-cli/ExitCode.h"
#include "ostra-cli/TextFormat.h"

CommandOutcome StopCommand::Run() {
    if (const int failed = context_.ConnectDevice(); failed != ExitCode::kSuccess) {
        return {failed, true};
    }
    const MicroController& device = context_.core.GetMicroController();
    const bool stopped = context_.core.StopSequence().Ok();
    context_.console.Json()["stopped"] = stopped;
    context_.console.Json()["outputMask"] = device.GetOutputMask();
    if (!stopped) {
        return {ExitCode::kDevice, true};
    }
    context_.console.Line(L"Sequence execution stopped; every LED is off (outputs " +
                          TextFormat::HexWord(device.GetOutputMask()) + L").");
    return {ExitCode::kSuccess, true};
}
