#pragma once

#include "ostra-cli/CommandContext.h"

// ostra-cli connect: connects as the window does (discovery, the port number, the firmware
// query, every intensity sent), asks the firmware version for the report, and disconnects.
class ConnectCommand {
  public:
    explicit ConnectCommand(CommandContext& context) : context_(context) {}

    CommandOutcome Run();

  private:
    CommandContext& context_;
};
