#include "ostra-cli/CliProgram.h"

#include <memory>
#include <string>
#include <vector>

#include "app/ApplicationCore.h"
#include "app/DeviceSession.h"
#include "app/RememberedOutputs.h"
#include "app/platform/ControlSocket.h"
#include "device/SerialPortLister.h"
#include "foundation/TextConversion.h"
#include "foundation/platform/ExitSignals.h"
#include "ostra-cli/CheckCommand.h"
#include "ostra-cli/CommandContext.h"
#include "ostra-cli/CommandLine.h"
#include "ostra-cli/ConnectCommand.h"
#include "ostra-cli/Console.h"
#include "ostra-cli/ExitCode.h"
#include "ostra-cli/FileCommands.h"
#include "ostra-cli/ForwardedCommand.h"
#include "ostra-cli/LedCommand.h"
#include "ostra-cli/PortsCommand.h"
#include "ostra-cli/RunCommand.h"
#include "ostra-cli/ServeCommand.h"
#include "ostra-cli/ShowCommand.h"
#include "ostra-cli/StderrDiagnostics.h"
#include "ostra-cli/StopCommand.h"
#include "ostra-cli/TextFormat.h"
#include "ostra-cli/TimelineCommand.h"
#include "ostra-cli/UploadCommand.h"
#include "ostra-cli/WatchCommand.h"

namespace {

std::wstring CommandName(CliCommand command) {
    switch (command) {
        case CliCommand::Ports:
            return L"ports";
        case CliCommand::Check:
            return L"check";
        case CliCommand::Show:
            return L"show";
        case CliCommand::Timeline:
            return L"timeline";
        case CliCommand::Connect:
            return L"connect";
        case CliCommand::LedOn:
            return L"led on";
        case CliCommand::LedOff:
            return L"led off";
        case CliCommand::LedIntensity:
            return L"led intensity";
        case CliCommand::LedPulseStart:
            return L"led pulse-start";
        case CliCommand::LedPulseStop:
            return L"led pulse-stop";
        case CliCommand::Upload:
            return L"upload";
        case CliCommand::Run:
            return L"run";
        case CliCommand::Stop:
            return L"stop";
        case CliCommand::Import:
            return L"import";
        case CliCommand::Export:
            return L"export";
        case CliCommand::OpenSettings:
            return L"open-settings";
        case CliCommand::Serve:
            return L"serve";
        case CliCommand::Watch:
            return L"watch";
        case CliCommand::SaveSettings:
            break;
    }
    return L"save-settings";
}

CommandOutcome Dispatch(CommandContext& context) {
    FileCommands files(context);
    switch (context.options.command) {
        case CliCommand::Check:
            return CheckCommand(context).Run();
        case CliCommand::Show:
            return ShowCommand(context).Run();
        case CliCommand::Timeline:
            return TimelineCommand(context).Run();
        case CliCommand::Connect:
            return ConnectCommand(context).Run();
        case CliCommand::LedOn:
        case CliCommand::LedOff:
        case CliCommand::LedIntensity:
        case CliCommand::LedPulseStart:
        case CliCommand::LedPulseStop:
            return LedCommand(context).Run();
        case CliCommand::Upload:
            return UploadCommand(context).Run();
        case CliCommand::Run:
            return RunCommand(context).Run();
        case CliCommand::Stop:
            return StopCommand(context).Run();
        case CliCommand::Import:
            return files.Import();
        case CliCommand::Export:
            return files.Export();
        case CliCommand::OpenSettings:
            return files.OpenSettings();
        case CliCommand::Serve:
            return ServeCommand(context).Run();
        case CliCommand::SaveSettings:
        case CliCommand::Ports:
        case CliCommand::Watch:
            break;
    }
    return files.SaveSettings();
}

std::wstring CommandLineText(int argc, const char* const* argv) {
    std::wstring text;
    for (int i = 0; i < argc; ++i) {
        text += (i == 0 ? L"" : L" ") + NarrowToWide(argv[i]);
    }
    return text;
}

// A signal ends a wait for the device at once (ExitSignals are blocked from the start).
void PreparePort(const CliOptions& options, MicroController& device) {
    SerialPort& port = device.GetConnection().Port();
    port.SetAbortDescriptor(ExitSignals::Descriptor());
    if (options.readTimeoutMs <= 0) {
        return;
    }
    const std::chrono::milliseconds limit(options.readTimeoutMs);
    port.SetTimeouts(SerialTimeouts{limit, limit, std::chrono::milliseconds(0)});
}

bool SignalArrived() {
    return ExitSignals::WaitFor(std::chrono::milliseconds(0));
}

// SIGINT or SIGTERM came during the command (its device exchange, if any, failed at once): what
// it started on the device is stopped before the program ends.
CommandOutcome Interrupted(CommandContext& context, const CommandOutcome& outcome) {
    context.console.Line(L"Interrupted.");
    if (const OperationResult stopped = context.session.StopAndDisconnect(); !stopped) {
        context.diagnostics.ReportError(stopped.Message());
        return {ExitCode::kDevice, outcome.saveSettings};
    }
    return {ExitCode::kInterrupted, outcome.saveSettings};
}

// A directory given with a trailing slash still names the same setup file.
std::wstring WithoutTrailingSlashes(std::wstring directory) {
    while (directory.size() > 1 && directory.back() == L'/') {
        directory.pop_back();
    }
    return directory;
}

class CoreRun {
  public:
    CoreRun(const CliOptions& options, Console& console, StderrDiagnostics& diagnostics)
        : options_(options), console_(console), diagnostics_(diagnostics), core_(diagnostics) {}

    int Run(const std::wstring& commandLine) {
        core_.SetMessageReceiver(&diagnostics_);
        core_.SetAllowNumberedDataDirectory(true);
        core_.SetSettingsAccess(MayChangeSettings(options_.command)
                                    ? ApplicationCore::SettingsAccess::ReadWrite
                                    : ApplicationCore::SettingsAccess::ReadOnly);
        if (!options_.setupDirectory.empty()) {
            core_.SetProgramDirectory(
                WithoutTrailingSlashes(NarrowToWide(options_.setupDirectory)));
        }
        if (core_.RunStartupSequence() != ApplicationCore::StartupResult::Started) {
            core_.ShutDown(ApplicationCore::SettingsOnShutDown::Keep);
            return SignalArrived() ? ExitCode::kInterrupted : ExitCode::kStartupFailure;
        }
        core_.GetLogFile().WriteMessage(LogLevel::Notice, L"Command line: " + commandLine);
        PreparePort(options_, core_.GetMicroController());
        const std::unique_ptr<SerialPortLister> lister = CreatePlatformSerialPortLister();
        DeviceSession session(core_.GetMicroController(), *lister, diagnostics_,
                              &core_.GetLogFile());
        const RememberedOutputs outputs;
        session.RememberOutputs(&outputs);
        CommandContext context(options_, core_, session, console_, diagnostics_);
        // A signal during the start-up may have cut the settings short: nothing more is done,
        // and nothing is saved.
        CommandOutcome outcome = ExitSignals::Pending()
                                     ? CommandOutcome{ExitCode::kInterrupted, false}
                                     : Dispatch(context);
        if (SignalArrived()) {
            outcome = Interrupted(context, outcome);
        }
        session.Disconnect();
        core_.GetLogFile().WriteMessage(
            LogLevel::Notice, L"ostra-cli exit code " + std::to_wstring(outcome.exitCode));
        const bool save = outcome.saveSettings && !IsInspectOnly(options_.command);
        const VlrDataTypes::VlrRetVal saved =
            core_.ShutDown(save ? ApplicationCore::SettingsOnShutDown::Save
                                : ApplicationCore::SettingsOnShutDown::Keep);
        // The save's Error (or the log's failed write) is already on standard error; a command
        // whose result or record did not reach the disk has failed.
        const bool written =
            saved == VlrDataTypes::VLR_SUCCESS && !core_.GetLogFile().HasWriteFailed();
        if (!written && outcome.exitCode == ExitCode::kSuccess) {
            return ExitCode::kValidation;
        }
        return outcome.exitCode;
    }

    const std::wstring& DataDirectory() const { return core_.GetDataDirectory(); }
    std::wstring LogFilePath() { return core_.GetLogFile().GetFullPath(); }

  private:
    const CliOptions& options_;
    Console& console_;
    StderrDiagnostics& diagnostics_;
    ApplicationCore core_;
};

void FinishJson(Console& console, const std::vector<std::wstring>& errors, int exitCode,
                const std::wstring& dataDirectory, const std::wstring& logFile) {
    nlohmann::ordered_json& json = console.Json();
    // A command that logged an Error did not do all it was asked, whatever it exits with.
    json["ok"] = exitCode == ExitCode::kSuccess && errors.empty();
    json["exitCode"] = exitCode;
    json["errors"] = nlohmann::ordered_json::array();
    for (const std::wstring& error : errors) {
        json["errors"].push_back(JsonText(error));
    }
    json["dataDirectory"] = JsonText(dataDirectory);
    json["logFile"] = JsonText(logFile);
    if (console.IsJson()) {
        console.PrintJson();
    }
}

}  // namespace

int CliProgram::Run(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                    bool terminal) {
    int exitCode = ExitCode::kSuccess;
    CommandLine::UsageError usage;
    const std::optional<CliOptions> options =
        CommandLine::Parse(argc, argv, exitCode, out, err, usage);
    if (!options) {
        if (exitCode == ExitCode::kUsage && usage.json) {
            Console console(out, true, terminal);
            console.Json()["command"] = JsonText(NarrowToWide(usage.command));
            FinishJson(console, {NarrowToWide(usage.message)}, exitCode, L"", L"");
        }
        return exitCode;
    }
    Console console(out, options->json, terminal);
    StderrDiagnostics diagnostics(err);
    console.Json()["command"] = JsonText(CommandName(options->command));
    if (options->command == CliCommand::Ports) {
        const std::unique_ptr<SerialPortLister> lister = CreatePlatformSerialPortLister();
        exitCode = PortsCommand(*lister, console, diagnostics).Run();
        exitCode = SignalArrived() ? ExitCode::kInterrupted : exitCode;
        FinishJson(console, diagnostics.Errors(), exitCode, L"", L"");
        return exitCode;
    }
    if (options->command == CliCommand::Watch) {
        return WatchCommand(out, options->json, diagnostics).Run();
    }
    // The program that holds the settings and serves the socket carries the command out.
    if (ControlClient client;
        ForwardedCommand::Forwards(*options) && client.Connect(ControlSocket::Path())) {
        client.SetAbortDescriptor(ExitSignals::Descriptor());
        client.SetClientName("ostra-cli");
        ForwardedCommand forwarded(*options, client, console, diagnostics);
        exitCode = forwarded.Run();
        FinishJson(console, diagnostics.Errors(), exitCode, forwarded.DataDirectory(),
                   forwarded.LogFile());
        return exitCode;
    }
    CoreRun run(*options, console, diagnostics);
    exitCode = run.Run(CommandLineText(argc, argv));
    const std::wstring logFile = run.DataDirectory().empty() ? L"" : run.LogFilePath();
    FinishJson(console, diagnostics.Errors(), exitCode, run.DataDirectory(), logFile);
    if ((exitCode != ExitCode::kSuccess || !diagnostics.Errors().empty()) && !logFile.empty()) {
        err << "ostra-cli: the log of this run: " << TextFormat::ForTerminal(logFile) << std::endl;
    }
    return exitCode;
}
