#pragma once

#include <cstdint>

#include "ostra-cli/CommandContext.h"

// ostra-cli run N [--upload]: starts sequence N on the device and waits for its duration (the
// sequence model's timing), showing a progress line on a terminal; the sequence then ends on
// the device by itself and nothing more is sent. SIGINT or SIGTERM at any point after the device
// was contacted sends the stop (the stop command, then every LED off) and ends with
// ExitCode::kInterrupted.
class RunCommand {
  public:
    explicit RunCommand(CommandContext& context) : context_(context) {}

    CommandOutcome Run();

  private:
    int Execute(std::uint32_t number, double durationMs);
    // True when a signal arrived before the duration ran out.
    bool WaitForEnd(std::uint32_t number, double durationMs);
    int StopAfterInterrupt(std::uint32_t number);
    void ShowProgress(std::uint32_t number, double elapsedMs, double durationMs);

    CommandContext& context_;
    bool started_ = false;
    bool interrupted_ = false;
    bool stopSent_ = false;
};
