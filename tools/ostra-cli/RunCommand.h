#pragma once

#include "ostra-cli/CommandContext.h"

// ostra-cli run N [--upload]: the application layer's run of sequence N, with a progress line on
// a terminal; the sequence then ends on the device by itself and nothing more is sent. SIGINT or
// SIGTERM at any point after the device was contacted sends the stop (the stop command, then
// every LED off) and ends with ExitCode::kInterrupted.
class RunCommand {
  public:
    explicit RunCommand(CommandContext& context) : context_(context) {}

    CommandOutcome Run();

  private:
    CommandContext& context_;
};
