#pragma once

#include <optional>
#include <string>

#include "app/ControlClient.h"
#include "ostra-cli/CliOptions.h"

class Console;
class StderrDiagnostics;

// A command carried out by the Ostra program that holds the settings and serves the control
// socket (a window, or "ostra-cli serve"), with the output, JSON report and exit code the
// command has when it runs itself.
class ForwardedCommand {
  public:
    using Json = nlohmann::ordered_json;

    ForwardedCommand(const CliOptions& options, ControlClient& client, Console& console,
                     StderrDiagnostics& diagnostics)
        : options_(options), client_(client), console_(console), diagnostics_(diagnostics) {}

    // Whether the command can go over the socket (show only as the list).
    static bool Forwards(const CliOptions& options);

    int Run();

    // The serving program's run, for the JSON report.
    const std::wstring& DataDirectory() const { return dataDirectory_; }
    const std::wstring& LogFile() const { return logFile_; }

  private:
    // The answer when it is ok; otherwise its error reported and nothing.
    std::optional<Json> Ask(Json request, const ControlClient::EventHandler& onEvent = nullptr);
    std::optional<Json> Sequence(std::uint32_t number, int& exitCode);
    std::wstring Title(const Json& sequence) const;
    int Connect(bool report);
    int Upload();
    int Run(std::uint32_t number);
    int WaitForEnd(const Json& sequence, Json& ended);
    int Stop();
    int Led();
    int ReportLeds(int exitCode);
    int Show();

    const CliOptions& options_;
    ControlClient& client_;
    Console& console_;
    StderrDiagnostics& diagnostics_;
    std::wstring dataDirectory_;
    std::wstring logFile_;
};
