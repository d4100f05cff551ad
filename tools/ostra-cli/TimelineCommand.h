#pragma once

#include "ostra-cli/CommandContext.h"

// ostra-cli timeline N [--svg FILE] [--max-events K]: the settings sequence N makes, as the
// core's TSV (the same lines a run's stimulus record holds) or JSON, then the listing's limit
// and the script walk's check as "# " lines. Only looks: no device, no settings written.
class TimelineCommand {
  public:
    explicit TimelineCommand(CommandContext& context) : context_(context) {}

    CommandOutcome Run();

  private:
    CommandContext& context_;
};
