#include "ostra-cli/ServeCommand.h"

#include "app/ApplicationCore.h"
#include "app/ControlServer.h"
#include "app/ControlService.h"
#include "app/DeviceQueue.h"
#include "app/DeviceSession.h"
#include "app/ManualControl.h"
#include "foundation/TextConversion.h"
#include "foundation/platform/ExitSignals.h"
#include "ostra-cli/Console.h"
#include "ostra-cli/ExitCode.h"
#include "ostra-cli/StderrDiagnostics.h"

CommandOutcome ServeCommand::Run() {
    if (const int failed = context_.ConnectDevice(); failed != ExitCode::kSuccess) {
        return {failed, true};
    }
    context_.ReportConnection();
    LogFile& log = context_.core.GetLogFile();
    ManualControl manual(context_.core.GetMicroController(), &log);
    ThreadDeviceQueue queue;
    ControlService service(context_.core, context_.session, manual, queue,
                           ControlCause::CommandLine());
    service.SetNextReceiver(&context_.diagnostics);
    log.SetMessageReceiver(&service);
    ControlServer server(service);
    if (const OperationResult started = server.Start(); !started) {
        queue.Stop();
        log.SetMessageReceiver(&context_.diagnostics);
        context_.diagnostics.ReportError(started.Message());
        return {ExitCode::kStartupFailure, true};
    }
    service.Start();
    const std::wstring socket = PathToWide(server.SocketPath());
    context_.console.Json()["socket"] = JsonText(socket);
    context_.console.Line(L"Serving the control socket " + socket + L" until SIGINT or SIGTERM.");
    while (!ExitSignals::WaitFor(std::chrono::seconds(1))) {
    }
    // What a script or this program started ends with the program; the clients still hear it.
    service.InterruptDeviceWork(ControlCause::CommandLine());
    OperationResult stopped = OperationResult::Success();
    queue.Post([&] {
        stopped = context_.session.StopAndDisconnect();
        service.Settle(ControlCause::CommandLine());
    });
    queue.Stop();
    server.Stop();
    log.SetMessageReceiver(&context_.diagnostics);
    if (!stopped) {
        context_.diagnostics.ReportError(stopped.Message());
        return {ExitCode::kDevice, true};
    }
    context_.console.Line(L"Stopped; every LED is off.");
    return {ExitCode::kSuccess, true};
}
