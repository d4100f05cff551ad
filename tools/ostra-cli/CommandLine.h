#pragma once

#include <optional>
#include <ostream>
#include <string>

#include "ostra-cli/CliOptions.h"

// The ostra-cli command line: global options, the subcommands and their arguments, help on
// every level with the exit codes in the epilog.
class CommandLine {
  public:
    // A refused command line, for the JSON report.
    struct UsageError {
        // The subcommand words recognised before the error ("led on"); empty when none was.
        std::string command;
        std::string message;
        // --json was given, so the report is expected on standard output.
        bool json = false;
    };

    // The options when the program is to go on; otherwise none, with exitCode set: 0 after help
    // was printed on out, ExitCode::kUsage after a usage error was explained on err (and
    // described in usage).
    static std::optional<CliOptions> Parse(int argc, const char* const* argv, int& exitCode,
                                           std::ostream& out, std::ostream& err, UsageError& usage);
};
