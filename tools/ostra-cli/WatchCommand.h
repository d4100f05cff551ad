#pragma once

#include <ostream>

class StderrDiagnostics;

// ostra-cli watch: the events of the program serving the control socket, one line each (text,
// or the event's JSON line), until SIGINT or SIGTERM.
class WatchCommand {
  public:
    WatchCommand(std::ostream& out, bool json, StderrDiagnostics& diagnostics)
        : out_(out), json_(json), diagnostics_(diagnostics) {}

    // 0 after a signal; ExitCode::kDevice when nobody serves or the server went away.
    int Run();

  private:
    std::ostream& out_;
    bool json_ = false;
    StderrDiagnostics& diagnostics_;
};
