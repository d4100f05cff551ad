#pragma once

#include <ostream>

// The whole ostra-cli program: parses the command line, starts the application core as the
// window does (numbered data directories allowed, since scripts may start several runs within
// one second), runs the subcommand, disconnects, shuts the core down and reports. Returns the
// exit status (ExitCode).
class CliProgram {
  public:
    // terminal: whether out is a terminal (progress lines are only drawn there).
    static int Run(int argc, const char* const* argv, std::ostream& out, std::ostream& err,
                   bool terminal);
};
