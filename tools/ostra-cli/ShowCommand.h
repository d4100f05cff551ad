#pragma once

#include <cstdint>

#include "ostra-cli/CommandContext.h"

// ostra-cli show [N] [--script]: the operator's sequences (number, name, steps, duration), or
// one sequence's steps, and with --script its script commands as the upload would send them,
// decoded and as hex. Only looks.
class ShowCommand {
  public:
    explicit ShowCommand(CommandContext& context) : context_(context) {}

    CommandOutcome Run();

  private:
    CommandOutcome ShowList();
    CommandOutcome ShowSequence(std::uint32_t number);
    int ShowScript(std::uint32_t number);

    CommandContext& context_;
};
