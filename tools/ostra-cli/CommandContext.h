#pragma once

#include <cstdint>
#include <string>

#include "ostra-cli/CliOptions.h"

class ApplicationCore;
class Console;
class DeviceSession;
class StderrDiagnostics;

// How a subcommand ended: the exit status, and whether the shut-down may save the settings.
struct CommandOutcome {
    int exitCode = 0;
    bool saveSettings = true;
};

// What every subcommand works with: the options, the started application core, the device
// session over its device model, the output and the diagnostics. Also the steps several
// subcommands share, each reporting its own failure.
class CommandContext {
  public:
    CommandContext(const CliOptions& options, ApplicationCore& core, DeviceSession& session,
                   Console& console, StderrDiagnostics& diagnostics)
        : options(options),
          core(core),
          session(session),
          console(console),
          diagnostics(diagnostics) {}

    // 0 when connected; otherwise ExitCode::kDevice, with the reason on standard error (a port
    // that another program holds is named as such).
    int ConnectDevice();
    // 0 when the sequence is defined; otherwise ExitCode::kValidation, reported.
    int RequireSequence(std::uint32_t number);
    // The sequence's name as the operator gave it, e.g. "3 (Train)".
    std::wstring SequenceTitle(std::uint32_t number);
    // The port of the open connection, into the JSON report and as one text line.
    void ReportConnection();

    const CliOptions& options;
    ApplicationCore& core;
    DeviceSession& session;
    Console& console;
    StderrDiagnostics& diagnostics;
};
