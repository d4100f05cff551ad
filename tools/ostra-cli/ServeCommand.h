#pragma once

#include "ostra-cli/CommandContext.h"

// ostra-cli serve: the device connected and the control socket served, without a window, until
// SIGINT or SIGTERM; then what was started on the device is stopped and every LED switched off.
class ServeCommand {
  public:
    explicit ServeCommand(CommandContext& context) : context_(context) {}

    CommandOutcome Run();

  private:
    CommandContext& context_;
};
