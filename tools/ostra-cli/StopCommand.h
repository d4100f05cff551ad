#pragma once

#include "ostra-cli/CommandContext.h"

// ostra-cli stop: the stop command, then every LED off, one command per LED.
class StopCommand {
  public:
    explicit StopCommand(CommandContext& context) : context_(context) {}

    CommandOutcome Run();

  private:
    CommandContext& context_;
};
